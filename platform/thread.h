// A worker thread object with a priority, in the shape of the classic
// "TThread": derive, override Execute, Start, and WaitFor or let it free
// itself. Priorities map to nice values of the thread (idle to SCHED_IDLE);
// raising a priority above normal needs privileges and is silently kept at
// normal when refused.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread {
public:
  TThread() = default;
  // Joins the thread when it was started and not yet waited for.
  virtual ~TThread();
  TThread(const TThread &) = delete;
  TThread &operator=(const TThread &) = delete;

  // Starts Execute on a new thread. Call once.
  void Start();
  // Asks Execute to end; Execute polls Terminated().
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Blocks until Execute has returned (callers on the main thread that must
  // keep serving it use Finished() with PumpMainThread instead).
  void WaitFor();
  bool Finished() const { return FFinished; }

  TThreadPriority Priority() const { return FPriority; }
  // May be called before or after Start; applies to the running thread.
  void SetPriority(TThreadPriority APriority);
  // The kernel's id of the running thread, 0 before it runs.
  int32_t ThreadID() const { return FTid; }

protected:
  virtual void Execute() = 0;

private:
  void ApplyPriority();

  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<TThreadPriority> FPriority{tpNormal};
  std::atomic<int32_t> FTid{0};
};

// Applies APriority to the calling thread.
void SetCurrentThreadPriority(TThreadPriority APriority);
// The kernel's id of the calling thread.
uint32_t CurrentThreadID();
