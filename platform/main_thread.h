// The main-thread call queue.
//
// Workers never touch windows: what must run on the main thread is handed over
// as a function object that owns copies of its data. The window layer installs
// an adapter (SetMainThreadHooks) so that a queued call wakes its event loop
// and PumpMainThread also processes window events; without an adapter (tests,
// the command-line program) queued calls run only when the main thread pumps.
//
// Rules:
//  - RunOnMainThread waits until the call has run; on the main thread it runs
//    the call directly (no re-entrancy through the queue). An exception thrown
//    by the call is re-thrown in the caller.
//  - QueueOnMainThread does not wait.
//  - Every wait of the main thread for a worker must call PumpMainThread
//    between its turns, or a worker waiting in RunOnMainThread deadlocks it.
#pragma once

#include <functional>

// The thread that initialised the process's static data is the main thread
// unless SetMainThread names another one (tests that drive a component from a
// thread of their own).
void SetMainThread();
bool IsMainThread();

void RunOnMainThread(std::function<void()> fn);
void QueueOnMainThread(std::function<void()> fn);

// Runs every call queued so far (main thread only; elsewhere it does nothing),
// then the event hook of the adapter. Returns the number of calls run.
int PumpMainThread();

// AWakeup is called (from any thread) after a call was queued; AProcessEvents
// is called by PumpMainThread on the main thread. Either may be empty.
void SetMainThreadHooks(std::function<void()> AWakeup, std::function<void()> AProcessEvents);
