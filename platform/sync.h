// Locks and events in the shape the rest of the system expects of them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A recursive mutual-exclusion lock: the owning thread may enter again.
// Usable with std::lock_guard / std::unique_lock (lock/unlock/try_lock).
class TCriticalSection {
public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }
  bool TryEnter() { return FMutex.try_lock(); }
  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

private:
  std::recursive_mutex FMutex;
};

enum TWaitResult { wrSignaled, wrTimeout };

constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// A manual-reset event: once set, every wait returns at once until it is
// reset. Any thread may set, reset or wait.
class TEvent {
public:
  explicit TEvent(bool AInitialState = false) : FSignaled(AInitialState) {}

  void SetEvent() {
    {
      std::lock_guard<std::mutex> g(FMutex);
      FSignaled = true;
    }
    FCond.notify_all();
  }
  void ResetEvent() {
    std::lock_guard<std::mutex> g(FMutex);
    FSignaled = false;
  }
  bool IsSet() {
    std::lock_guard<std::mutex> g(FMutex);
    return FSignaled;
  }
  // Waits until the event is set or ATimeoutMs milliseconds pass (INFINITE: no limit).
  TWaitResult WaitFor(uint32_t ATimeoutMs = INFINITE) {
    std::unique_lock<std::mutex> g(FMutex);
    if (ATimeoutMs == INFINITE) {
      FCond.wait(g, [this] { return FSignaled; });
      return wrSignaled;
    }
    return FCond.wait_for(g, std::chrono::milliseconds(ATimeoutMs), [this] { return FSignaled; }) ? wrSignaled
                                                                                                  : wrTimeout;
  }

private:
  std::mutex FMutex;             // guards FSignaled
  std::condition_variable FCond; // notified when FSignaled becomes true
  bool FSignaled;
};
