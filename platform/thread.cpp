#include "platform/thread.h"

#include <cstdio>
#include <exception>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int NiceOf(TThreadPriority p) {
  switch (p) {
  case tpIdle:
  case tpLowest:
    return 15;
  case tpLower:
    return 8;
  case tpNormal:
    return 0;
  case tpHigher:
    return -5;
  case tpHighest:
    return -10;
  case tpTimeCritical:
    return -15;
  }
  return 0;
}

void ApplyTo(pid_t tid, TThreadPriority p) {
  // SCHED_IDLE and nice are per-thread on Linux when given a thread id.
  sched_param param{};
  const int policy = p == tpIdle ? SCHED_IDLE : SCHED_OTHER;
  sched_setscheduler(tid, policy, &param);
  if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(p)) != 0 && NiceOf(p) < 0)
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), 0); // not allowed to raise: stay normal
}

} // namespace

uint32_t CurrentThreadID() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

void SetCurrentThreadPriority(TThreadPriority APriority) {
  ApplyTo(static_cast<pid_t>(CurrentThreadID()), APriority);
}

TThread::~TThread() {
  if (FThread.joinable())
    FThread.join();
}

void TThread::Start() {
  FThread = std::thread([this] {
    FTid = static_cast<int32_t>(CurrentThreadID());
    ApplyPriority();
    try {
      Execute();
    } catch (const std::exception &e) {
      // No exception may leave a worker: Execute should catch its own; this
      // only keeps a forgotten one from ending the process.
      std::fprintf(stderr, "thread %d ended on an exception: %s\n", FTid.load(), e.what());
    }
    FFinished = true;
  });
}

void TThread::WaitFor() {
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
    FThread.join();
}

void TThread::SetPriority(TThreadPriority APriority) {
  FPriority = APriority;
  if (FTid != 0 && !FFinished)
    ApplyPriority();
}

void TThread::ApplyPriority() { ApplyTo(static_cast<pid_t>(FTid.load()), FPriority); }
