#include "platform/main_thread.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct TQueuedCall {
  std::function<void()> Fn;
  // Set for RunOnMainThread: the caller waits for Done and re-throws Error.
  bool Waited = false;
  bool Done = false;
  std::exception_ptr Error;
};

struct TMainQueue {
  std::mutex Lock; // guards Calls, MainId, Wakeup, ProcessEvents and every TQueuedCall's Done/Error
  std::condition_variable DoneCond;
  std::deque<std::shared_ptr<TQueuedCall>> Calls;
  std::thread::id MainId = std::this_thread::get_id();
  std::function<void()> Wakeup;
  std::function<void()> ProcessEvents;
};

TMainQueue &Queue() {
  static TMainQueue q;
  return q;
}

// Forces the queue (and so the main thread id) to be set up during static
// initialisation, which runs on the main thread.
[[maybe_unused]] const bool kInitialised = (Queue(), true);

void Enqueue(const std::shared_ptr<TQueuedCall> &call) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> g(Queue().Lock);
    Queue().Calls.push_back(call);
    wake = Queue().Wakeup;
  }
  if (wake)
    wake();
}

} // namespace

void SetMainThread() {
  std::lock_guard<std::mutex> g(Queue().Lock);
  Queue().MainId = std::this_thread::get_id();
}

bool IsMainThread() {
  std::lock_guard<std::mutex> g(Queue().Lock);
  return Queue().MainId == std::this_thread::get_id();
}

void RunOnMainThread(std::function<void()> fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  auto call = std::make_shared<TQueuedCall>();
  call->Fn = std::move(fn);
  call->Waited = true;
  Enqueue(call);
  std::unique_lock<std::mutex> g(Queue().Lock);
  Queue().DoneCond.wait(g, [&] { return call->Done; });
  // Taken over under the lock: the failure is then released on this thread
  // only, never by the main thread dropping its copy of the call.
  std::exception_ptr error = std::move(call->Error);
  g.unlock();
  if (error)
    std::rethrow_exception(error);
}

void QueueOnMainThread(std::function<void()> fn) {
  auto call = std::make_shared<TQueuedCall>();
  call->Fn = std::move(fn);
  Enqueue(call);
}

int PumpMainThread() {
  if (!IsMainThread())
    return 0;
  std::deque<std::shared_ptr<TQueuedCall>> calls;
  std::function<void()> process;
  {
    std::lock_guard<std::mutex> g(Queue().Lock);
    calls.swap(Queue().Calls);
    process = Queue().ProcessEvents;
  }
  for (auto &call : calls) {
    std::exception_ptr error;
    try {
      call->Fn();
    } catch (const std::exception &e) {
      // A waited call hands its failure to the waiting thread; a queued one
      // has nobody to tell, and must not take the main thread down.
      error = std::current_exception();
      if (!call->Waited)
        std::fprintf(stderr, "queued main-thread call failed: %s\n", e.what());
    } catch (...) {
      error = std::current_exception();
      if (!call->Waited)
        std::fprintf(stderr, "queued main-thread call failed\n");
    }
    if (call->Waited) {
      std::lock_guard<std::mutex> g(Queue().Lock);
      call->Error = std::move(error);
      call->Done = true;
    }
  }
  if (!calls.empty())
    Queue().DoneCond.notify_all();
  if (process)
    process();
  return static_cast<int>(calls.size());
}

void SetMainThreadHooks(std::function<void()> AWakeup, std::function<void()> AProcessEvents) {
  std::lock_guard<std::mutex> g(Queue().Lock);
  Queue().Wakeup = std::move(AWakeup);
  Queue().ProcessEvents = std::move(AProcessEvents);
}
