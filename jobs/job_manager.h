// The job manager: a list of conversion tasks run one after another or
// several at once on worker threads, with pause, resume and stop for all of
// them, and four events (progress, terminate, preview bitmap, custom hook)
// that carry the task's index.
//
// Threads: tasks are built, started, paused and stopped from the caller's
// thread (the main thread in the program). Progress and preview-bitmap
// events run on the main thread when TriggerEventInMainThread is set (the
// worker waits until the handler returns), else on the worker; the custom
// hook always runs on the worker; OnTerminate runs on a short-lived thread of
// its own in thread mode and on the thread that ran the task otherwise. A
// handler that runs on the main thread must not wait for a worker except
// through Stop, whose wait keeps serving the main thread. A terminate handler
// may call Stop; the handlers may be set from any thread.
#pragma once

#include "jobs/ffmpeg_task.h"
#include "jobs/option_records.h"
#include "media/ff_base_component.h"
#include "platform/sync.h"
#include "platform/thread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using TJobProgressEvent = std::function<void(TObject *Sender, PProgressInfo AProgressInfo)>;
using TJobTerminateEvent = std::function<void(TObject *Sender, const TTerminateInfo &ATerminateInfo)>;
using TJobPreviewBitmapEvent = std::function<void(TObject *Sender, const TPreviewInfo &APreviewInfo)>;
using TJobCustomHookEvent = std::function<void(TObject *Sender, PHookInfo AHookInfo)>;

class TTerminateNotifier;

class TCustomJobManager : public TFFBaseComponent {
public:
  TCustomJobManager();
  // Waits for dispatchers still running, stops every task and waits for it.
  ~TCustomJobManager() override;

  // --- Building tasks (caller's thread, not while Working: "Cannot %s while working.") ---

  // Opens AFileName as the first input of a new task. The index of the task,
  // or -1 with the reason in LastErrMsg. An empty AOptions->FileName is set
  // to AFileName.
  int32_t AddTask(const std::string &AFileName, PInputOptions AOptions);
  // The same with options as ExtOptions text ("TimeStart" line: µs).
  int32_t AddTask(const std::string &AFileName, const std::string &AExtOptions);
  bool AddInputFile(int32_t ATaskIndex, const std::string &AFileName, PInputOptions AOptions);
  bool AddInputFile(int32_t ATaskIndex, const std::string &AFileName, const std::string &AExtOptions);
  // Adds an output file to a task. False with the reason in LastErrMsg.
  bool SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, POutputOptions AOptions);
  // String form: "Hook"/"CustomHook" and "Join" lines switch those on
  // whatever their values; "TimeStart"/"TimeLength" set those fields.
  bool SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, const std::string &AExtOptions);

  // Frees every task; refused ("Cannot ClearTasks while working.") while a
  // started batch has not ended.
  void ClearTasks();
  void Exchange(int32_t ATaskIndex1, int32_t ATaskIndex2);
  void RemoveTask(int32_t ATaskIndex);

  // --- Running ---

  // Starts the batch: AThreadCount > 0 runs up to that many tasks at once on
  // worker threads (each ending task starts the next); 0 runs every task on
  // the caller's thread before returning.
  void Start(int32_t AThreadCount);
  void Pause();
  void Resume();
  // Stops the batch: no further task starts; running tasks break (their
  // outputs are finished and closed), never-started ones report their end.
  // With AWaitFor, returns once every worker has ended and, in thread mode,
  // every terminate event of the batch (the final one included) has been
  // delivered; on the main thread it serves the main thread's queue between
  // 20 ms turns meanwhile. Called from a terminate handler, it waits for the
  // workers but for no handler; it must not be called from a main-thread call
  // that a terminate handler waits for.
  void Stop(bool AWaitFor);

  // --- Properties ---
  TAVProbe *AVProbe() { return FAVProbe.get(); }
  TAVProbe *AVProbes(int32_t ATaskIndex, int32_t AFileIndex) const;
  int32_t TasksCount() const { return FFFmpegList.Count(); }
  TFFmpeg *Task(int32_t ATaskIndex) const { return FFFmpegList.Get(ATaskIndex); }
  const std::string &About() const { return FAbout; }
  std::string Version() const { return "3.3"; }
  int32_t CustomMaxFiles() const { return FCustomMaxFiles; }
  void SetCustomMaxFiles(int32_t AValue) { FCustomMaxFiles = AValue; }
  bool Preview() const { return FPreview; }
  void SetPreview(bool AValue);
  bool PreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool AValue);
  // Milliseconds between two progress reports of a task; at least 100.
  int32_t ProgressInterval() const { return FProgressInterval; }
  void SetProgressInterval(int32_t AValue) { FProgressInterval = AValue <= 100 ? 100 : AValue; }
  TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority AValue) { FThreadPriority = AValue; }
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool AValue) { FTriggerEventInMainThread = AValue; }
  int32_t Verbose() const { return FVerbose; }
  void SetVerbose(int32_t AValue) { FVerbose = AValue; }
  // Codec threads per task on worker threads: 0 (the default) shares one
  // and a half threads per core among the tasks running at once (three for
  // a lone task on two cores, one each for two); 1 gives each task one.
  int32_t CodecThreads() const { return FCodecThreads; }
  void SetCodecThreads(int32_t AValue) { FCodecThreads = AValue < 0 ? 0 : AValue; }
  void *UserData() const { return FData; }
  void SetUserData(void *AValue) { FData = AValue; }
  bool Terminated() const { return FTerminated; }
  bool Working() const { return FWorking; }

  // Any thread, also while tasks run. A handler replaced or cleared is not
  // called for events delivered afterwards; a call already under way ends
  // normally (a terminate handler is taken when its notification is made).
  void SetOnProgress(TJobProgressEvent AHandler) { SetHandler(FOnProgress, std::move(AHandler)); }
  void SetOnTerminate(TJobTerminateEvent AHandler) { SetHandler(FOnTerminate, std::move(AHandler)); }
  void SetOnPreviewBitmap(TJobPreviewBitmapEvent AHandler) { SetHandler(FOnPreviewBitmap, std::move(AHandler)); }
  void SetOnCustomHook(TJobCustomHookEvent AHandler) { SetHandler(FOnCustomHook, std::move(AHandler)); }

protected:
  // The task notifications, in the component's slot order.
  virtual void TaskCustomHook(TCustomFFmpeg *ATask, TBitmap *ABitmap, int32_t AFrameNumber, int64_t APTS,
                              bool &AUpdate, bool &AStopHook);
  virtual void TaskPreviewBitmap(TCustomFFmpeg *ATask, TBitmap *ABitmap, int32_t AFrameNumber, int64_t APTS);
  virtual void TaskProgress(TCustomFFmpeg *ATask, int32_t AFileIndex, int32_t AFrameNumber, int32_t AFPS,
                            float AQuality, float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration,
                            int64_t ATotalDuration);
  // ATask null: every task has ended.
  virtual void TaskTerminate(TCustomFFmpeg *ATask);

private:
  void WorkingGuard(const char *AOperation) const;
  void StartNextTask();
  void FireAllTerminated();
  void DeliverTerminate(TJobTerminateEvent AHandler, const TTerminateInfo &AInfo);
  // Runs AHandler on the main thread (waiting) or here, as TriggerEventInMainThread says.
  void Deliver(const std::function<void()> &AHandler);
  // Joins terminate notifiers that have finished (AAll: first waits for all
  // of them, serving the main thread, unless called by a terminate handler).
  void ReapNotifiers(bool AAll);
  // Thread mode: waits until every task whose run has ended has been taken
  // by TaskTerminate and every terminate notifier has delivered.
  void WaitForDeliveries();
  // One 20 ms turn of a wait that must keep the main thread served.
  static void WaitTurn();

  template <class T> void SetHandler(T &AField, T AHandler) {
    std::lock_guard<std::mutex> g(FEventLock);
    AField = std::move(AHandler);
  }
  // A copy of a handler, so the call runs without the lock.
  template <class T> T Handler(const T &AField) const {
    std::lock_guard<std::mutex> g(FEventLock);
    return AField;
  }
  // Applies an input record to a task's engine before OpenInputFile.
  void ApplyInputOptions(TFFmpeg &ATask, const TInputOptions &AOptions);
  int32_t CodecThreadsFor(int32_t ARunningAtOnce) const;

  std::string FAbout;
  void *FData = nullptr;
  int32_t FCustomMaxFiles = 20;
  bool FPreview = false;
  bool FPreviewBitmap = false;
  // Read by workers when a task ends and starts the next one.
  std::atomic<int32_t> FProgressInterval{500};
  std::atomic<TThreadPriority> FThreadPriority{tpNormal};
  std::atomic<bool> FTriggerEventInMainThread{true};
  int32_t FVerbose = 1;
  std::atomic<int32_t> FCodecThreads{0};

  // One lock per event kind; each guards its record and serialises its deliveries.
  TCriticalSection FHookLock;      // FHookInfo
  TCriticalSection FPreviewLock;   // FPreviewInfo
  TCriticalSection FProgressLock;  // FProgressInfo
  TCriticalSection FTerminateLock; // FTerminateInfo, FCompleteTasks, FCurrentTask, FPendingTasks,
                                   // FThreadMode, FRunningAtOnce, FNotifiers
  THookInfo FHookInfo;
  TPreviewInfo FPreviewInfo;
  TProgressInfo FProgressInfo;
  TTerminateInfo FTerminateInfo;

  // Guards the four handlers below: set on the caller's thread, read by
  // workers. Held only to copy or replace one, never while one runs (the
  // per-event locks above are held while a handler runs on the main thread,
  // so a setter on the main thread must not wait for them).
  mutable std::mutex FEventLock;
  TJobProgressEvent FOnProgress;
  TJobTerminateEvent FOnTerminate;
  TJobPreviewBitmapEvent FOnPreviewBitmap;
  TJobCustomHookEvent FOnCustomHook;

  std::unique_ptr<TAVProbe> FAVProbe;
  TFFmpegList FFFmpegList;
  int32_t FCompleteTasks = 0;
  int32_t FCurrentTask = -1;
  int32_t FPendingTasks = 0;
  int32_t FRunningAtOnce = 1; // tasks Start runs together, for the codec thread share
  std::atomic<bool> FTerminated{false};
  bool FThreadMode = false;
  std::atomic<bool> FWorking{false};
  std::vector<std::unique_ptr<TTerminateNotifier>> FNotifiers;
};

class TJobManager : public TCustomJobManager {};
