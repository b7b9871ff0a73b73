#include "jobs/job_manager.h"

#include "platform/convert.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <set>
#include <thread>

// Calls a terminate handler once, on a thread of its own, with its own copy
// of the record.
class TTerminateNotifier : public TThread {
public:
  TTerminateNotifier(TJobTerminateEvent AHandler, TObject *ASender, TTerminateInfo AInfo)
      : FHandler(std::move(AHandler)), FSender(ASender), FInfo(std::move(AInfo)) {}

protected:
  void Execute() override { FHandler(FSender, FInfo); }

private:
  TJobTerminateEvent FHandler;
  TObject *FSender;
  TTerminateInfo FInfo;
};

namespace {

using TNameValues = std::vector<std::pair<std::string, std::string>>;

// The value of the first entry named AName, empty when none.
std::string ValueOf(const TNameValues &AList, const std::string &AName) {
  for (const auto &[name, value] : AList)
    if (name == AName)
      return value;
  return "";
}

void SetValue(TNameValues &AList, const std::string &AName, const std::string &AValue) {
  for (auto &[name, value] : AList)
    if (name == AName) {
      value = AValue;
      return;
    }
  if (!AValue.empty())
    AList.emplace_back(AName, AValue);
}

bool OneOf(const std::string &AName, std::initializer_list<const char *> ANames) {
  for (const char *n : ANames)
    if (AName == n)
      return true;
  return false;
}

std::string Dec(int64_t AValue) { return std::to_string(AValue); }

// Seconds since 1970 of a date-time counted in days since 1899-12-30, local
// time, with the zone's standard offset (daylight saving is not applied).
int64_t DateTimeToUnix(double ADateTime) {
  tzset();
  const double offsetDays = -static_cast<double>(timezone) / 86400.0;
  return static_cast<int64_t>(std::llround((ADateTime - 25569.0 - offsetDays) * 86400.0));
}

// A time field of the string forms: a decimal µs count, not set when unreadable.
int64_t TimeFromText(const std::string &AValue) {
  try {
    return StrToInt64(AValue);
  } catch (const EConvertError &) {
    return kTimeNotSet;
  }
}

// The input record the string forms describe: a "TimeStart" line sets that
// field, every other line goes on into ExtOptions.
TInputOptions InputOptionsFromText(const std::string &AExtOptions) {
  TInputOptions options;
  for (const auto &[name, value] : ParseExtOptions(AExtOptions)) {
    if (LowerCase(name) == "timestart")
      options.TimeStart = TimeFromText(value);
    else
      options.ExtOptions += name + "=" + value + "\n";
  }
  return options;
}

} // namespace

TCustomJobManager::TCustomJobManager() : TFFBaseComponent(LIBS_CONVERT), FAVProbe(std::make_unique<TAVProbe>()) {}

TCustomJobManager::~TCustomJobManager() {
  // Let a dispatcher that is delivering right now finish first.
  for (TCriticalSection *lock : {&FHookLock, &FPreviewLock, &FProgressLock, &FTerminateLock}) {
    lock->Enter();
    lock->Leave();
  }
  Stop(true);
  ReapNotifiers(true);
  FFFmpegList.Clear();
  FAVProbe.reset();
}

void TCustomJobManager::WorkingGuard(const char *AOperation) const {
  if (FWorking)
    throw Exception(Format("Cannot %s while working.", AOperation));
}

TAVProbe *TCustomJobManager::AVProbes(int32_t ATaskIndex, int32_t AFileIndex) const {
  return FFFmpegList.Get(ATaskIndex)->AVProbe(AFileIndex);
}

void TCustomJobManager::ApplyInputOptions(TFFmpeg &ATask, const TInputOptions &AOptions) {
  for (const auto &[name, value] : ParseExtOptions(AOptions.ExtOptions)) {
    const std::string lname = LowerCase(name);
    // Stream additions, presets and filters only make sense for outputs.
    if (OneOf(lname, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf"}))
      continue;
    ATask.SetOption(lname, value);
  }
  if (!AOptions.FileFormat.empty())
    ATask.SetOption("f", AOptions.FileFormat);
  if (AOptions.TimeStart != kTimeNotSet)
    ATask.SetStartTime(AOptions.TimeStart);
  if (AOptions.ProgramID >= 0)
    ATask.SetOption("programid", Dec(AOptions.ProgramID));
}

int32_t TCustomJobManager::AddTask(const std::string &AFileName, PInputOptions AOptions) {
  WorkingGuard("AddTask");
  auto task = std::make_unique<TFFmpeg>(FCustomMaxFiles);
  try {
    task->ResetSession();
    task->SetVerbose(FVerbose);
    task->SetPostHooks((FPreview ? PostHookBit(phPreview) : 0) | (FPreviewBitmap ? PostHookBit(phBitmap) : 0));
    task->SetOnPreviewBitmap([this](TObject *ASender, TBitmap *ABitmap, int32_t AFrame, int64_t APTS) {
      TaskPreviewBitmap(static_cast<TCustomFFmpeg *>(ASender), ABitmap, AFrame, APTS);
    });
    if (AOptions) {
      if (AOptions->FileName.empty())
        AOptions->FileName = AFileName;
      task->StoreInputOptions(task->nb_input_files(), *AOptions);
      ApplyInputOptions(*task, *AOptions);
    }
    if (!task->OpenInputFile(AFileName)) {
      FLastErrMsg = task->LastErrMsg();
      return -1;
    }
    task->AttachProbe(task->nb_input_files() - 1);
    task->SetOnProgress([this](TObject *ASender, int32_t AFileIndex, int32_t AFrame, int32_t AFPS, float AQuality,
                               float ABitRate, int64_t ASize, int64_t ADuration, int64_t ATotal) {
      TaskProgress(static_cast<TCustomFFmpeg *>(ASender), AFileIndex, AFrame, AFPS, AQuality, ABitRate, ASize,
                   ADuration, ATotal);
    });
    task->SetOnTerminate([this](TObject *ASender) { TaskTerminate(static_cast<TCustomFFmpeg *>(ASender)); });
    return FFFmpegList.Add(std::move(task));
  } catch (const Exception &e) {
    FLastErrMsg = e.Message();
    return -1;
  }
}

int32_t TCustomJobManager::AddTask(const std::string &AFileName, const std::string &AExtOptions) {
  TInputOptions options = InputOptionsFromText(AExtOptions);
  return AddTask(AFileName, &options);
}

bool TCustomJobManager::AddInputFile(int32_t ATaskIndex, const std::string &AFileName, PInputOptions AOptions) {
  WorkingGuard("AddInputFile");
  TFFmpeg *task = FFFmpegList.Get(ATaskIndex);
  if (task->nb_input_files() >= task->MaxFiles()) {
    FLastErrMsg = Format("max input files %d reached", task->MaxFiles());
    return false;
  }
  const int32_t index = task->nb_input_files();
  try {
    if (AOptions) {
      if (AOptions->FileName.empty())
        AOptions->FileName = AFileName;
      task->StoreInputOptions(index, *AOptions);
      ApplyInputOptions(*task, *AOptions);
    } else {
      task->ResetInputOptions(index);
    }
    if (!task->OpenInputFile(AFileName)) {
      task->ResetInputOptions(index);
      FLastErrMsg = task->LastErrMsg();
      return false;
    }
    task->AttachProbe(task->nb_input_files() - 1);
    return true;
  } catch (const Exception &e) {
    FLastErrMsg = e.Message();
    return false;
  }
}

bool TCustomJobManager::AddInputFile(int32_t ATaskIndex, const std::string &AFileName,
                                     const std::string &AExtOptions) {
  TInputOptions options = InputOptionsFromText(AExtOptions);
  return AddInputFile(ATaskIndex, AFileName, &options);
}

bool TCustomJobManager::SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, POutputOptions AOptions) {
  WorkingGuard("SetOutputFile");
  TFFmpeg *task = FFFmpegList.Get(ATaskIndex);
  if (task->nb_output_files() >= task->MaxFiles()) {
    FLastErrMsg = Format("max output files %d reached", task->MaxFiles());
    return false;
  }
  const int32_t index = task->nb_output_files();
  TNameValues defaults; // "def_…" keys and the stream keys of ExtOptions, in order
  bool join = false;
  try {
    if (AOptions) {
      TOutputOptions &o = *AOptions;
      if (o.FileName.empty())
        o.FileName = AFileName;
      task->StoreOutputOptions(index, o);
      SetValue(defaults, "def_acodec", o.AudioCodec);
      SetValue(defaults, "def_vcodec", o.VideoCodec);
      SetValue(defaults, "def_scodec", o.SubtitleCodec);
      SetValue(defaults, "def_apre", o.AudioPreset);
      SetValue(defaults, "def_vpre", o.VideoPreset);
      SetValue(defaults, "def_spre", o.SubtitlePreset);
      SetValue(defaults, "def_s", o.FrameSize);
      SetValue(defaults, "def_vf", o.VideoFilters);
      const std::vector<TExtOption> lines = ParseExtOptions(o.ExtOptions);
      for (const auto &[name, value] : lines) {
        std::string key = LowerCase(name);
        if (value.empty() || !OneOf(key, {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vfilters", "vf"}))
          continue;
        if (key == "vfilters")
          key = "vf";
        if (ValueOf(defaults, "def_" + key).empty())
          SetValue(defaults, "def_" + key, value);
        defaults.emplace_back(key, value);
      }

      if (o.TargetType != ttIgnore) {
        static const char *const targets[] = {"", "vcd", "svcd", "dvd"};
        const char *norm = o.NormType == ntPAL ? "pal" : o.NormType == ntNTSC ? "ntsc" : "auto";
        task->ApplyTarget(targets[o.TargetType], norm, o.NormDefault == ntPAL ? "pal" : "ntsc");
      }
      for (const char *kind : {"acodec", "vcodec", "scodec"}) {
        const std::string v = ValueOf(defaults, std::string("def_") + kind);
        if (!v.empty())
          task->SetOption(kind, v);
      }
      for (const char *kind : {"apre", "vpre", "spre"}) {
        const std::string v = ValueOf(defaults, std::string("def_") + kind);
        if (!v.empty())
          task->LoadPreset(kind, v);
      }
      for (const auto &[name, value] : lines) {
        const std::string lname = LowerCase(name);
        if (OneOf(lname, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre", "vfilters", "vf", "acodec",
                          "vcodec", "scodec", "s"}))
          continue;
        task->SetOption(lname, value);
      }

      // Record fields after ExtOptions: an applied field overrides the line.
      if (!o.FileFormat.empty())
        task->SetOption("f", o.FileFormat);
      if (o.PacketSize > 0)
        task->ApplyGenericOption("packetsize", Dec(o.PacketSize));
      if (o.MuxRate > 0)
        task->ApplyGenericOption("muxrate", Dec(o.MuxRate));
      if (o.MuxDelay > 0)
        task->SetMuxDelay(o.MuxDelay);
      if (o.MuxPreload > 0)
        task->SetMuxPreload(o.MuxPreload);
      if (o.DisableAudio)
        task->SetOption("an", "1");
      if (o.AudioVolume >= 0)
        task->SetAudioVolume(o.AudioVolume);
      if (o.AudioChannels > 0)
        task->SetOption("ac", Dec(o.AudioChannels));
      if (o.AudioSampleRate > 0)
        task->SetOption("ar", Dec(o.AudioSampleRate));
      if (o.AudioBitrate > 0)
        task->ApplyGenericOption("ab", Dec(o.AudioBitrate));
      if (o.AudioBitRateTolerance > 0)
        task->ApplyGenericOption("abt", Dec(o.AudioBitRateTolerance));
      task->SetOption("alang", o.AudioLanguage);
      task->SetOption("async", Dec(o.AudioSyncMethod));
      if (!o.AudioTag.empty())
        task->SetOption("atag", o.AudioTag);
      if (o.DisableVideo)
        task->SetOption("vn", "1");
      if (!o.FrameRate.empty())
        task->SetOption("r", o.FrameRate);
      if (!o.FrameAspectRatio.empty())
        task->SetOption("aspect", o.FrameAspectRatio);
      const std::pair<const char *, int32_t> crops[] = {
          {"croptop", o.CropTop}, {"cropbottom", o.CropBottom}, {"cropleft", o.CropLeft}, {"cropright", o.CropRight}};
      for (const auto &[name, value] : crops)
        if (value > 0)
          task->SetOption(name, Dec(value));
      const std::pair<const char *, int32_t> rates[] = {{"g", o.GroupPictureSize}, {"vb", o.VideoBitrate},
                                                        {"maxrate", o.VideoMaxRate}, {"minrate", o.VideoMinRate},
                                                        {"bt", o.VideoBitRateTolerance}, {"bufsize", o.VideoBufSize}};
      for (const auto &[name, value] : rates)
        if (value > 0)
          task->ApplyGenericOption(name, Dec(value));
      task->SetOption("vsync", Dec(o.VideoSyncMethod));
      if (!o.VideoTag.empty())
        task->SetOption("vtag", o.VideoTag);
      task->SetOption("vlang", o.VideoLanguage);
      if (o.DisableSubtitle)
        task->SetOption("sn", "1");
      task->SetOption("slang", o.SubtitleLanguage);
      task->SetOption("isync", o.InputSync ? "1" : "0");
      if (o.CopyTimestamp)
        task->SetOption("copyts", "1");
      if (o.TimeStart != kTimeNotSet)
        task->SetStartTime(o.TimeStart);
      if (o.TimeLength != kTimeNotSet)
        task->SetRecordingTime(o.TimeLength);
      if (o.Info.TimeStamp == 0.0)
        task->SetRecordingTimestamp(static_cast<int64_t>(std::time(nullptr)));
      else if (o.Info.TimeStamp > 0)
        task->SetRecordingTimestamp(DateTimeToUnix(o.Info.TimeStamp));
      if (o.Info.Year > 0)
        task->AddMetadata("year", Dec(o.Info.Year));
      if (o.Info.Track > 0)
        task->AddMetadata("track", Dec(o.Info.Track));
      const std::pair<const char *, const std::string *> tags[] = {
          {"title", &o.Info.Title},     {"author", &o.Info.Author}, {"copyright", &o.Info.Copyright},
          {"comment", &o.Info.Comment}, {"album", &o.Info.Album},   {"genre", &o.Info.Genre}};
      for (const auto &[key, text] : tags)
        if (!text->empty())
          task->AddMetadata(key, *text);

      const std::string size = ValueOf(defaults, "def_s");
      if (!size.empty())
        task->SetOption("s", size);
      const std::string filters = ValueOf(defaults, "def_vf");
      if (!filters.empty())
        task->SetOption("vfilters", filters);
      if (o.CustomHook)
        task->SetOnCustomHook([this](TObject *ASender, TBitmap *ABitmap, int32_t AFrame, int64_t APTS, bool &AUpdate,
                                     bool &AStopHook) {
          TaskCustomHook(static_cast<TCustomFFmpeg *>(ASender), ABitmap, AFrame, APTS, AUpdate, AStopHook);
        });
      join = o.Join;
    } else {
      task->ResetOutputOptions(index);
    }

    if (task->OpenOutputFile(AFileName, join) < 0) {
      FLastErrMsg = task->LastErrMsg();
      task->ResetOutputOptions(index);
      return false;
    }
    if (!AOptions)
      return true;

    // Streams added after the main ones take the stream keys of ExtOptions in
    // order, falling back to the defaults.
    const auto take = [&](const std::string &AKey) {
      for (auto it = defaults.begin(); it != defaults.end(); ++it)
        if (it->first == AKey) {
          const std::string value = it->second;
          defaults.erase(it);
          task->SetOption(AKey, value);
          return;
        }
      task->SetOption(AKey, ValueOf(defaults, "def_" + AKey));
    };
    for (const auto &[name, value] : ParseExtOptions(AOptions->ExtOptions)) {
      const std::string lname = LowerCase(name);
      if (lname == "newaudio") {
        take("acodec");
        take("apre");
      } else if (lname == "newvideo") {
        take("vcodec");
        take("vpre");
        take("s");
        take("vf");
      } else if (lname == "newsubtitle") {
        take("scodec");
        take("spre");
      } else {
        continue;
      }
      task->SetOption(lname, value);
    }
    return true;
  } catch (const Exception &e) {
    FLastErrMsg = e.Message();
    return false;
  }
}

bool TCustomJobManager::SetOutputFile(int32_t ATaskIndex, const std::string &AFileName,
                                      const std::string &AExtOptions) {
  TOutputOptions options;
  for (const auto &[name, value] : ParseExtOptions(AExtOptions)) {
    const std::string lname = LowerCase(name);
    if (lname == "hook" || lname == "customhook") {
      options.CustomHook = true;
    } else if (lname == "join") {
      options.Join = true;
    } else if (lname == "timestart") {
      options.TimeStart = TimeFromText(value);
    } else if (lname == "timelength") {
      options.TimeLength = TimeFromText(value);
    } else {
      options.ExtOptions += name + "=" + value + "\n";
    }
  }
  return SetOutputFile(ATaskIndex, AFileName, &options);
}

void TCustomJobManager::ClearTasks() {
  if (FWorking && !FTerminated)
    throw Exception("Cannot ClearTasks while working.");
  ReapNotifiers(true);
  FFFmpegList.Clear();
  FLastErrMsg.clear();
  std::lock_guard<TCriticalSection> g(FTerminateLock);
  FCompleteTasks = 0;
  FCurrentTask = -1;
  FPendingTasks = 0;
  FTerminated = false;
  FThreadMode = false;
  FWorking = false;
}

void TCustomJobManager::Exchange(int32_t ATaskIndex1, int32_t ATaskIndex2) {
  WorkingGuard("Exchange");
  FFFmpegList.Exchange(ATaskIndex1, ATaskIndex2);
}

void TCustomJobManager::RemoveTask(int32_t ATaskIndex) {
  WorkingGuard("RemoveTask");
  FFFmpegList.Delete(ATaskIndex);
}

void TCustomJobManager::SetPreview(bool AValue) {
  FFFmpegList.SetPostHook(phPreview, AValue);
  FPreview = AValue;
}

void TCustomJobManager::SetPreviewBitmap(bool AValue) {
  FFFmpegList.SetPostHook(phBitmap, AValue);
  FPreviewBitmap = AValue;
}

int32_t TCustomJobManager::CodecThreadsFor(int32_t ARunningAtOnce) const {
  if (FCodecThreads > 0)
    return FCodecThreads;
  // Half a thread more per core than there are cores: frame-threaded codecs
  // (x264 first) wait on their reference pictures, and the spare threads
  // keep every core busy meanwhile (a lone 720p H.264 task on two cores: 0.64
  // of the one-thread time with two threads, 0.58 with three).
  const int32_t cores = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  return std::max(1, cores * 3 / 2 / std::max(1, ARunningAtOnce));
}

void TCustomJobManager::Start(int32_t AThreadCount) {
  WorkingGuard("StartTask");
  const int32_t count = FFFmpegList.Count();
  {
    std::lock_guard<TCriticalSection> g(FTerminateLock);
    FCompleteTasks = 0;
    FCurrentTask = 0;
    FPendingTasks = count;
    FTerminated = false;
    FThreadMode = AThreadCount > 0;
    FWorking = true;
    FRunningAtOnce = FThreadMode ? std::max(1, std::min(AThreadCount, count)) : 1;
  }
  if (count == 0) {
    // Nothing to run: the batch is over at once, so ClearTasks can follow.
    TaskTerminate(nullptr);
    return;
  }
  while (true) {
    {
      // Workers that end start further tasks and change the count meanwhile.
      std::lock_guard<TCriticalSection> g(FTerminateLock);
      if (FPendingTasks <= 0)
        break;
    }
    StartNextTask();
    if (FThreadMode && --AThreadCount == 0)
      break;
  }
}

void TCustomJobManager::StartNextTask() {
  TConvertThread *thread = nullptr;
  TFFmpeg *task;
  {
    // In thread mode the task is made ready to run under the lock: a Stop
    // that comes after then finds it converting and waits for it, and one
    // that came before has left nothing pending.
    std::unique_lock<TCriticalSection> g(FTerminateLock);
    if (FPendingTasks <= 0)
      return;
    task = FFFmpegList.Get(FCurrentTask);
    --FPendingTasks;
    ++FCurrentTask;
    task->ReportInterval = static_cast<int64_t>(FProgressInterval) * 1000;
    task->SetCodecThreads(CodecThreadsFor(FRunningAtOnce));
    if (FThreadMode) {
      // A task that cannot start has already sent its terminate notification.
      thread = task->StartConvert(true, FThreadPriority);
    } else {
      // The whole run happens here; Stop must be able to take the lock meanwhile.
      g.unlock();
      task->StartConvert(false, FThreadPriority);
    }
  }
  if (thread)
    thread->Start();
}

void TCustomJobManager::Pause() { FFFmpegList.Pause(); }

void TCustomJobManager::Resume() { FFFmpegList.Resume(); }

void TCustomJobManager::Stop(bool AWaitFor) {
  {
    std::lock_guard<TCriticalSection> g(FTerminateLock);
    FPendingTasks = 0;
  }
  FFFmpegList.Stop(AWaitFor);
  if (AWaitFor)
    WaitForDeliveries();
}

void TCustomJobManager::WaitForDeliveries() {
  {
    std::lock_guard<TCriticalSection> g(FTerminateLock);
    // On the caller's thread every notification was made before its task's
    // run returned; there is no worker and no notifier to wait for.
    if (!FThreadMode)
      return;
  }
  // A worker's engine may look idle while its notification is still on its
  // way into TaskTerminate: wait for the task to have been taken as well
  // (taken under the lock, so a taken task's event has been handed on).
  // The engine's stop has ended every run, so each wait here is short.
  while (true) {
    bool taken = true;
    {
      std::lock_guard<TCriticalSection> g(FTerminateLock);
      for (int32_t i = 0; i < FFFmpegList.Count() && taken; ++i) {
        const TFFmpeg *task = FFFmpegList.Get(i);
        taken = !task->Converting() && (!task->RunEnded() || task->TerminateTaken());
      }
    }
    if (taken)
      break;
    WaitTurn();
  }
  ReapNotifiers(true);
}

void TCustomJobManager::WaitTurn() {
  // A handler the workers or notifiers wait on may need the main thread.
  if (IsMainThread())
    PumpMainThread();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void TCustomJobManager::TaskTerminate(TCustomFFmpeg *ATask) {
  std::lock_guard<TCriticalSection> g(FTerminateLock);
  if (!ATask) {
    FireAllTerminated();
    return;
  }
  // Counted once: two stops in quick succession can make the engine report
  // a task that never ran twice.
  if (!static_cast<TFFmpeg *>(ATask)->TakeTerminate())
    return;
  if (TJobTerminateEvent handler = Handler(FOnTerminate)) {
    FTerminateInfo.TaskIndex = FFFmpegList.IndexOf(ATask);
    FTerminateInfo.Finished = ATask->Finished();
    FTerminateInfo.Exception = ATask->FatalException();
    FTerminateInfo.ExceptionMsg = ATask->FatalException() ? ATask->FatalMessage() : std::string();
    DeliverTerminate(std::move(handler), FTerminateInfo);
  }
  ++FCompleteTasks;
  if (FPendingTasks > 0) {
    if (FThreadMode)
      StartNextTask();
  } else if (FCompleteTasks >= FFFmpegList.Count()) {
    FireAllTerminated();
  }
}

void TCustomJobManager::FireAllTerminated() {
  // A handler on a thread of its own finds the batch ended, so it may clear
  // it. On the caller's thread the last run is still on the stack below the
  // handler: there the batch ends after the call, and ClearTasks is refused.
  if (FThreadMode)
    FTerminated = true;
  if (TJobTerminateEvent handler = Handler(FOnTerminate)) {
    FTerminateInfo = TTerminateInfo{-1, true, false, ""};
    DeliverTerminate(std::move(handler), FTerminateInfo);
  }
  FTerminated = true;
}

void TCustomJobManager::DeliverTerminate(TJobTerminateEvent AHandler, const TTerminateInfo &AInfo) {
  if (!FThreadMode) {
    AHandler(this, AInfo);
    return;
  }
  ReapNotifiers(false);
  FNotifiers.push_back(std::make_unique<TTerminateNotifier>(std::move(AHandler), this, AInfo));
  FNotifiers.back()->Start();
}

void TCustomJobManager::ReapNotifiers(bool AAll) {
  std::vector<std::unique_ptr<TTerminateNotifier>> done;
  const int32_t self = static_cast<int32_t>(CurrentThreadID());
  while (true) {
    bool running = false, onNotifier = false;
    {
      std::lock_guard<TCriticalSection> g(FTerminateLock);
      for (auto it = FNotifiers.begin(); it != FNotifiers.end();)
        if ((*it)->Finished()) {
          done.push_back(std::move(*it));
          it = FNotifiers.erase(it);
        } else {
          running = true;
          onNotifier = onNotifier || (*it)->ThreadID() == self;
          ++it;
        }
    }
    // A terminate handler that calls Stop or ClearTasks waits for no other
    // handler: two of them doing so would wait for each other.
    if (!AAll || !running || onNotifier)
      break;
    WaitTurn();
  }
  for (auto &n : done)
    n->WaitFor();
}

void TCustomJobManager::Deliver(const std::function<void()> &AHandler) {
  if (FTriggerEventInMainThread && !IsMainThread())
    RunOnMainThread(AHandler);
  else
    AHandler();
}

void TCustomJobManager::TaskProgress(TCustomFFmpeg *ATask, int32_t AFileIndex, int32_t AFrameNumber, int32_t AFPS,
                                     float AQuality, float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration,
                                     int64_t ATotalDuration) {
  if (!Handler(FOnProgress))
    return;
  std::lock_guard<TCriticalSection> g(FProgressLock);
  FProgressInfo = TProgressInfo{FFFmpegList.IndexOf(ATask), AFileIndex, AFrameNumber, AFPS, AQuality, ABitRate,
                                ACurrentSize, ACurrentDuration, ATotalDuration};
  // The handler is read where it runs: one cleared while the call waited
  // for the main thread is not called.
  Deliver([this] {
    if (const TJobProgressEvent handler = Handler(FOnProgress))
      handler(this, &FProgressInfo);
  });
}

void TCustomJobManager::TaskPreviewBitmap(TCustomFFmpeg *ATask, TBitmap *ABitmap, int32_t AFrameNumber,
                                          int64_t APTS) {
  if (!Handler(FOnPreviewBitmap))
    return;
  std::lock_guard<TCriticalSection> g(FPreviewLock);
  FPreviewInfo = TPreviewInfo{FFFmpegList.IndexOf(ATask), ABitmap, AFrameNumber, APTS};
  Deliver([this] {
    if (const TJobPreviewBitmapEvent handler = Handler(FOnPreviewBitmap))
      handler(this, FPreviewInfo);
  });
}

void TCustomJobManager::TaskCustomHook(TCustomFFmpeg *ATask, TBitmap *ABitmap, int32_t AFrameNumber, int64_t APTS,
                                       bool &AUpdate, bool &AStopHook) {
  const TJobCustomHookEvent handler = Handler(FOnCustomHook);
  if (!handler)
    return;
  std::lock_guard<TCriticalSection> g(FHookLock);
  FHookInfo = THookInfo{FFFmpegList.IndexOf(ATask), ABitmap, AFrameNumber, APTS, AUpdate, AStopHook};
  // Always on the worker: the picture waits for the handler's changes.
  handler(this, &FHookInfo);
  AUpdate = FHookInfo.Update;
  AStopHook = FHookInfo.StopHook;
}
