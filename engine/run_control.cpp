// Running a conversion: on the caller's thread or a worker of its own, with
// pause, stop, captured failures and exactly one terminate notification.
#include "engine/custom_ffmpeg.h"

#include "platform/main_thread.h"

#include <exception>

void TConvertThread::Execute() {
  if (!FOwner)
    return;
  FOwner->FStopEvent.ResetEvent();
  FOwner->RunConversion(); // captures every exception of the run
  // Last touch of the engine: a waiting Stop may free it right after.
  FOwner->FStopEvent.SetEvent();
}

void TDoTerminateThread::Execute() {
  if (!FOwner)
    return;
  FOwner->FTermEvent.ResetEvent();
  try {
    FOwner->DoTerminate();
  } catch (const std::exception &e) {
    FOwner->SetFatal(e.what());
  }
  FOwner->FTermEvent.SetEvent();
}

void TCustomFFmpeg::SetFatal(const std::string &AMessage) {
  FFLogger().Log(this, llQuiet, AMessage);
  FFatalException = true;
  FFatalMessage = AMessage;
}

TConvertThread *TCustomFFmpeg::StartConvert(bool AUseThread, TThreadPriority APriority) {
  if (FConverting || FTerminated)
    return nullptr;
  const char *missing = Fnb_output_files == 0  ? "At least one output file must be specified"
                        : Fnb_input_files == 0 ? "At least one input file must be specified"
                                               : nullptr;
  if (missing) {
    FreeSession();
    SetFatal(missing);
    DoTerminate();
    return nullptr;
  }
  FConverting = true;
  FBroken = false;
  FFinished = false;
  FTerminated = false;
  FPaused = false;
  if (!AUseThread) {
    RunConversion();
    return nullptr;
  }
  // A thread object of an earlier run has ended (FConverting was false).
  if (FThreadOwner)
    FThreadOwner->WaitFor();
  FThreadOwner = std::make_unique<TConvertThread>(this);
  FThreadOwner->SetPriority(APriority);
  FThread = FThreadOwner.get();
  // Reset here as well as in the thread: a Stop(true) between this return and
  // the thread's first step must wait for it, not see the idle state.
  FStopEvent.ResetEvent();
  return FThread;
}

void TCustomFFmpeg::RunConversion() {
  FFinished = false;
  const auto capture = [this](const auto &AStep) {
    try {
      AStep();
    } catch (const std::exception &e) {
      SetFatal(e.what());
    } catch (...) {
      SetFatal("Unknown error");
    }
  };
  capture([this] { Transcode(); });
  capture([this] {
    // Codecs a failed run left open; each is closed exactly once.
    while (!FEncoderList.empty())
      CloseCodec(FEncoderList.front());
    while (!FDecoderList.empty())
      CloseCodec(FDecoderList.front());
    FreePlan();
  });
  capture([this] { FreeSession(); });
  capture([this] { DoTerminate(); });
}

void TCustomFFmpeg::DoTerminate() {
  FConverting = false;
  FTerminated = true;
  FThread = nullptr;
  if (FOnTerminate)
    FOnTerminate(this);
}

void TCustomFFmpeg::WaitWhilePaused() {
  if (!FPaused)
    return;
  std::unique_lock<std::mutex> g(FPauseLock);
  FPauseCond.wait(g, [this] { return !FPaused || FBroken; });
}

void TCustomFFmpeg::Pause() {
  if (!FThread || FPaused)
    return;
  std::lock_guard<std::mutex> g(FPauseLock);
  FPaused = true;
}

void TCustomFFmpeg::Resume() {
  if (!FPaused)
    return;
  {
    std::lock_guard<std::mutex> g(FPauseLock);
    FPaused = false;
  }
  FPauseCond.notify_all();
}

void TCustomFFmpeg::Stop(bool AWaitFor) {
  FBroken = true;
  if (!FThread)
    return;
  Resume(); // a paused worker must run to notice the stop
  if (!AWaitFor)
    return;
  const bool onMain = IsMainThread();
  while (FStopEvent.WaitFor(20) != wrSignaled)
    if (onMain)
      PumpMainThread(); // a handler the worker waits on must be able to run
}

void TCustomFFmpeg::StopOrTerminate(bool AWaitFor) {
  if (FConverting) {
    Stop(AWaitFor);
    return;
  }
  if (FTerminated)
    return;
  if (FTermThreadOwner) {
    FTermThreadOwner->WaitFor();
    // The earlier helper may have just delivered the notification.
    if (FTerminated)
      return;
  }
  FTermEvent.ResetEvent();
  FTermThreadOwner = std::make_unique<TDoTerminateThread>(this);
  FTermThreadOwner->Start();
  if (!AWaitFor)
    return;
  // The notification may hand work to the main thread: keep serving it.
  const bool onMain = IsMainThread();
  while (FTermEvent.WaitFor(20) != wrSignaled)
    if (onMain)
      PumpMainThread();
}
