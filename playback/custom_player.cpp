// The player component: properties, Open and Stop, pause and step, seeking,
// stream switching, the picture on screen, the state model with its event
// queue, the play thread's SDL event loop and the position and end check.
#include "playback/custom_player.h"

#include "platform/convert.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace player_detail;

namespace {

// The flush packet's data: consumers know it by this address.
const uint8_t kFlushText[] = "FLUSH";

// The player whose event the current thread is delivering, so that an Open
// from inside OnState does not wait for the thread that called it.
thread_local const TCustomPlayer *tDeliveringFor = nullptr;

const char *AudioDriverName(TAudioDriver ADriver) {
  switch (ADriver) {
  case adDirectSound:
    return "pulseaudio";
  case adWaveOut:
    return "alsa";
  default:
    return nullptr;
  }
}

const char *VideoDriverName(TVideoDriver ADriver) {
  switch (ADriver) {
  case vdDirectDraw:
    return "x11";
  case vdGDI:
    return "wayland";
  default:
    return nullptr;
  }
}

} // namespace

TCustomPlayer::TCustomPlayer(TObject *) : TFFBaseComponent(LIBS_PLAYER), FAVProbe(std::make_unique<TAVProbe>()) {
  FEventQueue = std::make_shared<TPlayEvent>();
}

TCustomPlayer::~TCustomPlayer() {
  {
    std::lock_guard<std::mutex> g(FHandlerLock);
    FOnPosition = nullptr;
    FOnState = nullptr;
    FOnHook = nullptr;
  }
  if (AV.SDL_Quit)
    Stop(true);
  if (FEventThread)
    FOldEventThreads.push_back(std::move(FEventThread));
  ReapEventThreads(true);
  if (FFlushPacket && AV.av_packet_free) {
    FFlushPacket->data = nullptr;
    AV.av_packet_free(&FFlushPacket);
  }
}

// ---------------------------------------------------------------------------
// Small helpers

void TCustomPlayer::Report(TLogLevel ALevel, const std::string &AMsg) {
  {
    std::lock_guard<std::mutex> g(FErrLock);
    FLastErrMsg = AMsg;
  }
  FFLogger().Log(this, ALevel, AMsg);
}

std::string TCustomPlayer::LastErrMsg() const {
  std::lock_guard<std::mutex> g(FErrLock);
  return FLastErrMsg;
}

void TCustomPlayer::PushEvent(uint32_t AType, void *AData) {
  SDL_Event ev;
  std::memset(&ev, 0, sizeof ev);
  ev.type = AType;
  ev.user.data1 = AData;
  AV.SDL_PushEvent(&ev);
}

std::unique_lock<std::recursive_timed_mutex> TCustomPlayer::LockData() const {
  std::unique_lock<std::recursive_timed_mutex> lock(FDataLock, std::defer_lock);
  if (!IsMainThread()) {
    lock.lock();
    return lock;
  }
  // The play thread may be waiting for a thread that waits for the main thread.
  while (!lock.try_lock_for(std::chrono::milliseconds(10)))
    PumpMainThread();
  return lock;
}

bool TCustomPlayer::WaitEventPumping(TEvent &AEvent) {
  const bool main = IsMainThread();
  for (;;) {
    if (AEvent.WaitFor(100) == wrSignaled)
      return true;
    if (main)
      PumpMainThread();
    if (!FVideoState.load())
      return false;
  }
}

void TCustomPlayer::JoinThreadPumping(TThread *AThread) {
  const bool main = IsMainThread();
  while (!AThread->Finished()) {
    if (main)
      PumpMainThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  AThread->WaitFor();
}

void TCustomPlayer::ReapEventThreads(bool AWait) {
  for (auto it = FOldEventThreads.begin(); it != FOldEventThreads.end();) {
    if (AWait)
      JoinThreadPumping(it->get());
    if ((*it)->Finished()) {
      (*it)->WaitFor();
      it = FOldEventThreads.erase(it);
    } else {
      ++it;
    }
  }
}

void TCustomPlayer::ShutdownSDL() {
  if (AV.SDL_Quit)
    AV.SDL_Quit();
}

void TCustomPlayer::ResetRunState() {
  FPlaying = false;
  FPausedNow = false;
  FLastPTS = kNotSet;
  FCurrentPTS = -1;
  Fstep = false;
  for (int &w : Fwanted_stream)
    w = -1;
  Fseek_by_bytes = -1;
  Fstart_time = kNotSet;
  FPlayTime = kNotSet;
  FRepeatType = rtStop;
  FVerticalFlip = false;
  FSeeking = false;
}

// ---------------------------------------------------------------------------
// States and events

void TCustomPlayer::SetState(TPlayState AState) {
  FState = AState;
  bool handled;
  {
    std::lock_guard<std::mutex> g(FHandlerLock);
    handled = static_cast<bool>(FOnState);
  }
  if (handled)
    QueueEvent(ekState, AState);
  else if (AState == psStop)
    QueueEvent(ekQuit, 0);
}

void TCustomPlayer::QueueEvent(TPlayEventKind AKind, int64_t AValue) {
  std::shared_ptr<TPlayEvent> queue = std::atomic_load(&FEventQueue);
  queue->Put(AKind, AValue);
}

void TCustomPlayer::DeliverEvent(const TPlayEventItem &AItem, bool &AEnd) {
  std::function<void()> call;
  switch (AItem.Kind) {
  case ekPosition:
    FEventPTS = AItem.Value;
    // The handler is read when the call runs: a handler cleared meanwhile
    // (the destructor clears them) is not called any more.
    call = [this, pts = AItem.Value] {
      TPositionEvent handler;
      {
        std::lock_guard<std::mutex> g(FHandlerLock);
        handler = FOnPosition;
      }
      if (handler)
        handler(this, pts);
    };
    break;
  case ekState: {
    const auto state = static_cast<TPlayState>(AItem.Value);
    FEventState = state;
    call = [this, state] {
      TPlayStateEvent handler;
      {
        std::lock_guard<std::mutex> g(FHandlerLock);
        handler = FOnState;
      }
      if (handler)
        handler(this, state);
    };
    AEnd = state == psStop;
    break;
  }
  default:
    AEnd = true;
    return;
  }
  auto guarded = [this, call] {
    const TCustomPlayer *outer = tDeliveringFor;
    tDeliveringFor = this;
    try {
      call();
    } catch (...) {
      tDeliveringFor = outer;
      throw;
    }
    tDeliveringFor = outer;
  };
  try {
    if (FTriggerEventInMainThread)
      RunOnMainThread(guarded);
    else
      guarded();
  } catch (const std::exception &e) {
    FFLogger().Log(this, llError, std::string("event handler failed: ") + e.what());
  }
}

void TCustomPlayer::SetOnFileOpen(TFileOpenEvent AHandler) {
  std::lock_guard<std::mutex> g(FHandlerLock);
  FOnFileOpen = std::move(AHandler);
}
void TCustomPlayer::SetOnHook(THookEvent AHandler) {
  std::lock_guard<std::mutex> g(FHandlerLock);
  FOnHook = std::move(AHandler);
}
void TCustomPlayer::SetOnPosition(TPositionEvent AHandler) {
  std::lock_guard<std::mutex> g(FHandlerLock);
  FOnPosition = std::move(AHandler);
}
void TCustomPlayer::SetOnState(TPlayStateEvent AHandler) {
  std::lock_guard<std::mutex> g(FHandlerLock);
  FOnState = std::move(AHandler);
}

void TCustomPlayer::CheckPosition(TVideoState *is) {
  if (is->IsImage2)
    return;
  std::lock_guard<std::mutex> g(FPositionLock);
  int64_t pts;
  if (is->video_st) {
    pts = std::llround(GetVideoClock(is) * 1000000.0) - is->StartTime;
  } else if (is->audio_st) {
    pts = std::llround(GetAudioClock(is) * 1000000.0) - is->StartTime;
    if (is->AudioDuration > 0 && pts >= is->AudioDuration)
      pts = std::max(pts, is->Duration);
  } else {
    return;
  }
  if (is->Duration > 0 && pts >= is->Duration) {
    pts = is->Duration;
    if (FLastPTS != is->Duration)
      FLastPTS = 0; // the end is always reported
  }
  FCurrentPTS = pts;
  if (FLastPTS == kNotSet || std::llabs(pts - FLastPTS) > 10000) {
    FLastPTS = pts;
    bool handled;
    {
      std::lock_guard<std::mutex> hg(FHandlerLock);
      handled = static_cast<bool>(FOnPosition);
    }
    if (handled)
      QueueEvent(ekPosition, pts);
  }
  if (!is->IsDevice && !is->EventEOF && is->ReachEOF) {
    is->EventEOF = true;
    SetState(psEnd);
  }
  // A seek on its way still shows the old position: wait for it to land.
  if (FPlayTime != kNotSet && !FSeeking && !is->seek_req) {
    const int64_t end = Fstart_time != kNotSet ? Fstart_time + FPlayTime : FPlayTime;
    if (pts >= end) {
      if (FRepeatType == rtStop) {
        if (is->paused)
          StreamPause(is);
        PushEvent(FF_QUIT_EVENT, is);
      } else if (FRepeatType == rtLoop) {
        if (Fstart_time != kNotSet)
          SeekTo(is, Fstart_time, 0);
        else
          SeekTo(is, 0, SeekFlag(sfAny));
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The play thread

void TCustomPlayer::RunEventLoop() {
  SetState(psPlay);
  {
    auto lock = LockData();
    TVideoState *is = FVideoState.load();
    // Without video no picture ends the paused opening.
    if (is && !is->video_st && is->open_paused) {
      is->open_paused = 0;
      SetState(psPause);
    }
  }
  // SDL wakes a waiting event loop with a message to its window; the host's
  // window passes such messages to the host, not to SDL, so with a host
  // window the loop looks for events every few milliseconds instead.
  int waitMs = 100;
  try {
    for (;;) {
      SDL_Event ev;
      const int got = AV.SDL_WaitEventTimeout(&ev, waitMs);
      std::unique_lock<std::recursive_timed_mutex> lock(FDataLock);
      TVideoState *is = FVideoState.load();
      if (!is)
        break; // closed by a Stop that did not wait for us
      waitMs = FScreen.Foreign ? 5 : 100;
      if (!got)
        continue;
      if (ev.type == SDL_QUIT || ev.type == FF_QUIT_EVENT) {
        ClosePlayback();
        break;
      }
      if (ev.type == SDL_WINDOWEVENT) {
        switch (ev.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          if (FScreen.Foreign) {
            VideoOpen(is, true);
            VideoRefresh(is, false);
          } else {
            ResizeWindow(is, ev.window.data1, ev.window.data2);
          }
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          if (is->paused)
            VideoRefresh(is, false);
          else
            VideoDisplay(is);
          break;
        default:
          break; // a close request of the host's window is the host's business
        }
      } else if (ev.type == FF_ALLOC_EVENT) {
        AllocPicture(is);
      } else if (ev.type == FF_REFRESH_EVENT) {
        VideoRefresh(is, true);
        is->refresh = 0;
      } else if (ev.type == FF_REOPEN_EVENT) {
        VideoOpen(is, true);
        if (is->paused)
          VideoRefresh(is, false);
        else
          VideoDisplay(is);
      }
    }
  } catch (const std::exception &e) {
    FFLogger().Log(this, llFatal, std::string("PlayThread Exception: ") + e.what());
    std::unique_lock<std::recursive_timed_mutex> lock(FDataLock);
    ClosePlayback();
  }
  FStopEvent.SetEvent();
  SetState(psStop);
}

// ---------------------------------------------------------------------------
// Open and Stop

bool TCustomPlayer::Open(const std::string &AFileName, uintptr_t AScreenHandle, bool APaused) {
  if (!AVLibLoaded()) {
    Report(llError, "libav or libsdl not loaded.");
    return false;
  }
  // What the caller set up for this playback must survive the end of the
  // previous one, which puts the run state back to its defaults.
  const int64_t startTime = Fstart_time, playTime = FPlayTime;
  const TRepeatType repeat = FRepeatType;
  const bool flip = FVerticalFlip;
  const int seekByBytes = Fseek_by_bytes;
  int wanted[AVMEDIA_TYPE_NB];
  std::copy(std::begin(Fwanted_stream), std::end(Fwanted_stream), wanted);

  Stop(true);
  if (FEventThread)
    FOldEventThreads.push_back(std::move(FEventThread));
  // The previous playback's psStop comes before this one's psPlay, unless we
  // are inside its delivery.
  ReapEventThreads(tDeliveringFor != this);

  Fstart_time = startTime;
  FPlayTime = playTime;
  FRepeatType = repeat;
  FVerticalFlip = flip;
  Fseek_by_bytes = seekByBytes;
  std::copy(std::begin(wanted), std::end(wanted), Fwanted_stream);

  // The default drivers leave SDL's own choice, which the environment may steer.
  if (const char *name = AudioDriverName(FAudioDriver))
    ::setenv("SDL_AUDIODRIVER", name, 1);
  if (const char *name = VideoDriverName(FVideoDriver))
    ::setenv("SDL_VIDEODRIVER", name, 1);
  Uint32 flags = SDL_INIT_TIMER | SDL_INIT_EVENTS;
  if (!FDisableAudio)
    flags |= SDL_INIT_AUDIO;
  if (!FDisableDisplay)
    flags |= SDL_INIT_VIDEO;
  if (AV.SDL_Init(flags) < 0) {
    Report(llError, ::Format("Could not initialize SDL with ScreenHandle(%u): %s", static_cast<unsigned>(AScreenHandle),
                           AV.SDL_GetError()));
    ShutdownSDL();
    return false;
  }
  if (AScreenHandle) {
    const char *audio = AV.SDL_GetCurrentAudioDriver();
    const char *video = AV.SDL_GetCurrentVideoDriver();
    FFLogger().Log(this, llDebug, ::Format("using audio driver: %s", audio ? audio : ""));
    FFLogger().Log(this, llDebug, ::Format("using video driver: %s", video ? video : ""));
  }
  if (!FDisableDisplay) {
    SDL_DisplayMode mode;
    if (AV.SDL_GetDesktopDisplayMode(0, &mode) != 0) {
      Report(llError, "SDL_GetVideoInfo() failed");
      ShutdownSDL();
      return false;
    }
    Ffs_screen_width = mode.w;
    Ffs_screen_height = mode.h;
  }
  if (!FFlushPacket) {
    FFlushPacket = AV.av_packet_alloc();
    FFlushPacket->data = const_cast<uint8_t *>(kFlushText);
  }
  // Mouse motion and system window events would only fill the queue.
  AV.SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
  AV.SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);

  FScreenHandle = AScreenHandle;
  FHookContext.Reset();
  std::atomic_store(&FEventQueue, std::make_shared<TPlayEvent>());
  FPausedNow = APaused;
  if (!OpenPlayback(AFileName, Ffile_iformat, APaused)) {
    FLastPTS = kNotSet;
    ShutdownSDL();
    return false;
  }
  FFileName = AFileName;
  FAVProbe->SetFileHandle(FVideoState.load()->ic);
  if (FTriggerEventInMainThread)
    RunOnMainThread([this] { FileOpenStep(); });
  else
    FileOpenStep();
  FEventThread = std::make_unique<TEventThread>(this, std::atomic_load(&FEventQueue));
  FEventThread->Start();
  FStopEvent.ResetEvent();
  FPlayThread = std::make_unique<TPlayThread>(this);
  FPlayThread->Start();
  return true;
}

void TCustomPlayer::FileOpenStep() {
  FRGBContext.Reset();
  TFileOpenEvent handler;
  {
    std::lock_guard<std::mutex> g(FHandlerLock);
    handler = FOnFileOpen;
  }
  TVideoState *is = FVideoState.load();
  if (!handler || !is)
    return;
  const int64_t duration = is->IsImage2 ? 0 : is->Duration;
  const int32_t fw = is->video_dec ? is->video_dec->width : -1;
  const int32_t fh = is->video_dec ? is->video_dec->height : -1;
  int32_t sw = FScreenWidth, sh = FScreenHeight;
  handler(this, duration, fw, fh, sw, sh);
  FScreenWidth = sw;
  FScreenHeight = sh;
}

void TCustomPlayer::Stop(bool AWaitForStop) {
  if (FPlaying && FVideoState.load()) {
    if (FPausedNow)
      TogglePauseInternal();
    Fstep = false;
    auto lock = LockData();
    if (TVideoState *is = FVideoState.load())
      PushEvent(FF_QUIT_EVENT, is);
  }
  if (!AWaitForStop)
    return;
  const bool main = IsMainThread();
  int turn = 1;
  for (;;) {
    if (FStopEvent.WaitFor(100) == wrSignaled)
      break;
    if (main)
      PumpMainThread();
    if (!FVideoState.load())
      break;
    std::unique_lock<std::recursive_timed_mutex> lock(FDataLock, std::defer_lock);
    if (!lock.try_lock_for(std::chrono::milliseconds(100)))
      continue;
    TVideoState *is = FVideoState.load();
    if (!is)
      break;
    ++turn;
    if (turn <= 10 || (turn <= 20 && !is->Reading)) {
      PushEvent(FF_QUIT_EVENT, is);
      continue;
    }
    // The play thread does not answer: close from here.
    ClosePlayback();
    break;
  }
  if (FPlayThread) {
    JoinThreadPumping(FPlayThread.get());
    FPlayThread.reset();
  }
  ShutdownSDL();
}

// ---------------------------------------------------------------------------
// Pause and step

void TCustomPlayer::StreamPause(TVideoState *is) {
  if (is->paused) {
    const double now = Now();
    is->frame_timer = is->frame_timer + now + is->video_current_pts_drift - is->video_current_pts;
    if (is->read_pause_return != AVERROR(ENOSYS))
      is->video_current_pts = is->video_current_pts_drift + now;
    is->video_current_pts_drift = is->video_current_pts - now;
  }
  is->paused = !is->paused;
  FPausedNow = is->paused != 0;
}

void TCustomPlayer::TogglePauseInternal() {
  if (FSeekEvent.WaitFor(250) == wrTimeout)
    FSeekEvent.SetEvent();
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  if (!is)
    return;
  if (!is->paused) {
    if (is->video_stream >= 0) {
      // Let the picture of a seek arrive first, so the pause shows it.
      lock.unlock();
      if (FPictEvent.WaitFor(250) == wrTimeout)
        FPictEvent.SetEvent();
      lock = LockData();
      is = FVideoState.load();
      if (!is || is->paused)
        return;
    }
  }
  StreamPause(is);
}

void TCustomPlayer::Pause() {
  if (!FPlaying || FPausedNow)
    return;
  TogglePauseInternal();
  Fstep = false;
  SetState(psPause);
}

void TCustomPlayer::Resume() {
  if (!FPlaying || !FPausedNow)
    return;
  TogglePauseInternal();
  Fstep = false;
  SetState(psResume);
}

void TCustomPlayer::TogglePause() {
  if (!FPlaying)
    return;
  TogglePauseInternal();
  Fstep = false;
  SetState(FPausedNow ? psPause : psResume);
}

void TCustomPlayer::StepToNextFrame() {
  if (!FPlaying)
    return;
  if (FPausedNow)
    TogglePauseInternal();
  if (!Fstep.exchange(true))
    SetState(psStep);
}

bool TCustomPlayer::Paused() const { return !FPlaying || FPausedNow; }

// ---------------------------------------------------------------------------
// Seeking

void TCustomPlayer::Seek(int64_t APTS, TSeekFlags ASeekFlags, bool AWaitForSeekEnd) {
  bool video;
  {
    auto lock = LockData();
    TVideoState *is = FVideoState.load();
    if (!FPlaying || !is || is->seek_req)
      return;
    video = is->video_stream >= 0;
    SeekTo(is, APTS, ASeekFlags);
  }
  if (AWaitForSeekEnd && WaitEventPumping(FSeekEvent) && video)
    WaitEventPumping(FPictEvent);
}

void TCustomPlayer::Seek(double ADelta, TSeekFlags ASeekFlags, bool AWaitForSeekEnd) {
  bool video;
  {
    auto lock = LockData();
    TVideoState *is = FVideoState.load();
    if (!FPlaying || !is || is->seek_req)
      return;
    video = is->video_stream >= 0;
    if (ASeekFlags & SeekFlag(sfByte)) {
      int64_t pos = is->video_current_pos;
      if (pos < 0 && is->ic->pb)
        pos = AV.avio_seek(is->ic->pb, 0, SEEK_CUR);
      const double amount = is->ic->bit_rate > 0 ? ADelta * static_cast<double>(is->ic->bit_rate) / 8.0
                                                 : ADelta * 180000.0;
      StreamSeek(is, pos + static_cast<int64_t>(amount), static_cast<int64_t>(amount),
                 static_cast<int>(ASeekFlags));
    } else {
      const double pos = GetMasterClock(is);
      StreamSeek(is, static_cast<int64_t>((pos + ADelta) * AV_TIME_BASE), std::llround(ADelta * AV_TIME_BASE),
                 static_cast<int>(ASeekFlags));
    }
  }
  if (AWaitForSeekEnd && WaitEventPumping(FSeekEvent) && video)
    WaitEventPumping(FPictEvent);
}

// ---------------------------------------------------------------------------
// Streams

int32_t TCustomPlayer::AudioStreamIndex() const {
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  return FPlaying && is ? is->audio_stream.load() : -1;
}
int32_t TCustomPlayer::VideoStreamIndex() const {
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  return FPlaying && is ? is->video_stream.load() : -1;
}
int32_t TCustomPlayer::SubtitleStreamIndex() const {
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  return FPlaying && is ? is->subtitle_stream.load() : -1;
}
void TCustomPlayer::SetAudioStreamIndex(int32_t AValue) {
  if (FPlaying && AValue != AudioStreamIndex())
    SelectStream(AVMEDIA_TYPE_AUDIO, AValue);
}
void TCustomPlayer::SetVideoStreamIndex(int32_t AValue) {
  if (FPlaying && AValue != VideoStreamIndex())
    SelectStream(AVMEDIA_TYPE_VIDEO, AValue);
}
void TCustomPlayer::SetSubtitleStreamIndex(int32_t AValue) {
  if (FPlaying && AValue != SubtitleStreamIndex())
    SelectStream(AVMEDIA_TYPE_SUBTITLE, AValue);
}

// ---------------------------------------------------------------------------
// Outputs

void TCustomPlayer::SetAspectRatio(float AValue) {
  if (AValue == FAspectRatio)
    return;
  FAspectRatio = AValue;
  auto lock = LockData();
  if (TVideoState *is = FVideoState.load())
    PushEvent(FF_REOPEN_EVENT, is);
}

void TCustomPlayer::SetShowAudio(TShowAudio AValue) {
  FShowAudio = AValue;
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  if (is && is->audio_st && !FDisableDisplay) {
    is->show_audio = AValue;
    FScreen.ClearPending = true;
  }
}

void TCustomPlayer::ToggleAudioDisplay() {
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  if (!FPlaying || !is)
    return;
  is->show_audio = (is->show_audio + 1) % 3;
  FScreen.ClearPending = true;
}

TShowAudio TCustomPlayer::AudioDisplayMode() const {
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  return is ? static_cast<TShowAudio>(is->show_audio.load()) : saNone;
}

void TCustomPlayer::UpdateScreenPosition() {
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  if (is && FScreenHandle)
    PushEvent(FF_REOPEN_EVENT, is);
}

std::string TCustomPlayer::Format() const {
  return Ffile_iformat && Ffile_iformat->name ? Ffile_iformat->name : "";
}

void TCustomPlayer::SetFormat(const std::string &AValue) {
  if (!AVLibLoaded()) {
    Report(llError, "libav or libsdl not loaded.");
    return;
  }
  if (AValue.empty()) {
    Ffile_iformat = nullptr;
    return;
  }
  const AVInputFormat *f = AV.av_find_input_format(AValue.c_str());
  if (!f)
    throw Exception(::Format("Unknown input format: %s", AValue.c_str()));
  Ffile_iformat = f;
}

const TBitmap &TCustomPlayer::CurrentFrame(int64_t &APTS) {
  APTS = -1;
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  if (!is || !is->video_dec) {
    FNoFrame.SetSize(0, 0);
    return FNoFrame;
  }
  const int w = is->video_dec->width, h = is->video_dec->height;
  FFrameBitmap.SetSize(w, h);
  for (int y = 0; y < FFrameBitmap.Height(); ++y)
    std::memset(FFrameBitmap.ScanLine(y), 0, static_cast<size_t>(FFrameBitmap.RowSize()));
  if (!FScreen.HasShown)
    return FFrameBitmap;
  const TVideoPicture &shown = FScreen.Shown;
  APTS = std::llround(shown.pts * 1000000.0) - is->StartTime;
  TPictureRef pic;
  for (int i = 0; i < 3; ++i) {
    pic.Data[i] = const_cast<uint8_t *>(shown.Data[i]);
    pic.Linesize[i] = shown.Linesize[i];
  }
  if (!PictureToBitmap(FRGBContext, pic, AV_PIX_FMT_YUV420P, shown.width, shown.height)) {
    FFrameBitmap.SetSize(0, 0);
    return FFrameBitmap;
  }
  const TBitmap &src = *FRGBContext.Bitmap;
  const int rows = std::min(src.Height(), FFrameBitmap.Height());
  const size_t bytes = static_cast<size_t>(std::min(src.Width(), FFrameBitmap.Width())) * 3;
  for (int y = 0; y < rows; ++y)
    std::memcpy(FFrameBitmap.ScanLine(y), src.ScanLine(y), bytes);
  return FFrameBitmap;
}
