// The preview player: plays one media file at a time into a window, with
// SDL2 for audio output, the picture window, threads, mutexes and conditions.
//
// A read thread demultiplexes into three packet queues, a video and a
// subtitle thread decode, SDL's audio thread pulls decoded audio through a
// callback, a refresh thread ticks the display, a play thread runs SDL's
// event loop (window, pictures at their time) and an event thread delivers
// OnPosition and OnState. The host sees states (psPlay, psPause, psResume,
// psStep, psEnd, psStop), positions, a probe of the open file and the
// picture on screen.
//
// Threads: the public operations may be called from any one thread at a
// time (normally the main thread); they reach the playback through flags,
// the seek fields and SDL events and wait only in bounded turns that keep
// serving the main thread (PumpMainThread). One player plays at a time per
// process (the library's interrupt check and SDL are process-wide).
//
// Every message goes to FFLogger() with the player as sender; the ones that
// say why an operation failed are also kept in LastErrMsg().
#pragma once

#include "media/ff_base_component.h"
#include "media/ff_logger.h"
#include "media/rgb_convert.h"
#include "playback/av_probe.h"
#include "playback/player_state.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum TAudioDriver { adDefault, adDirectSound, adWaveOut };
enum TVideoDriver { vdDefault, vdDirectDraw, vdGDI };
using TAudioVolume = int; // 0 (silent) .. 128 (full)

// Called on the main thread (by default) once the file is open: the handler
// may change the window size it is given.
using TFileOpenEvent = std::function<void(TObject *Sender, int64_t ADuration, int32_t AFrameWidth,
                                          int32_t AFrameHeight, int32_t &AScreenWidth, int32_t &AScreenHeight)>;
// Called on the video thread for every picture when Hook is set; what the
// handler draws into ABitmap is what is shown.
using THookEvent = std::function<void(TObject *Sender, TBitmap *ABitmap, int64_t APTS)>;
using TPositionEvent = std::function<void(TObject *Sender, int64_t APTS)>;
using TPlayStateEvent = std::function<void(TObject *Sender, TPlayState AState)>;

class TCustomPlayer : public TFFBaseComponent {
public:
  explicit TCustomPlayer(TObject *AOwner = nullptr);
  // Clears OnPosition, OnState and OnHook, stops with waiting, and waits for
  // the event thread.
  ~TCustomPlayer() override;
  TCustomPlayer(const TCustomPlayer &) = delete;
  TCustomPlayer &operator=(const TCustomPlayer &) = delete;

  // Stops any playback, initialises SDL and opens AFileName (UTF-8). With
  // AScreenHandle (an X11 window id) the pictures go into that window,
  // otherwise into a window of the player's own captioned "VURadori".
  // APaused shows the first pictures and then pauses (psPause). False with
  // the reason in LastErrMsg (also logged at error level).
  bool Open(const std::string &AFileName, uintptr_t AScreenHandle = 0, bool APaused = false);
  // Ends the playback. With AWaitForStop, returns once it has ended (in
  // 100 ms turns, closing it from here when the play thread does not answer)
  // and shuts SDL down.
  void Stop(bool AWaitForStop);
  void Pause();
  void Resume();
  void TogglePause();
  // Shows the next picture and pauses again.
  void StepToNextFrame();
  // Absolute seek: APTS in µs from the start (bytes with sfByte), limited to
  // the duration. With AWaitForSeekEnd returns once the seek is done and,
  // with video, a picture of the new position is queued.
  void Seek(int64_t APTS, TSeekFlags ASeekFlags = 0, bool AWaitForSeekEnd = false);
  void Seek(int APTS, TSeekFlags ASeekFlags = 0, bool AWaitForSeekEnd = false) {
    Seek(static_cast<int64_t>(APTS), ASeekFlags, AWaitForSeekEnd);
  }
  // Relative seek by ADelta seconds (or the bytes they stand for with sfByte).
  void Seek(double ADelta, TSeekFlags ASeekFlags = 0, bool AWaitForSeekEnd = false);
  // The picture on screen as a 24-bit bitmap and its time (µs from the
  // start); without video an empty bitmap and -1. The bitmap is the player's
  // own: valid until the next call or playback, callers copy it.
  const TBitmap &CurrentFrame(int64_t &APTS);
  const TBitmap &CurrentFrame() {
    int64_t pts;
    return CurrentFrame(pts);
  }
  // None -> wave -> spectrum -> none.
  void ToggleAudioDisplay();
  // The audio display shown now (saNone when not playing).
  TShowAudio AudioDisplayMode() const;
  // The host window moved or changed size: the display area follows it.
  void UpdateScreenPosition();

  // ---- properties (defaults in the constructor)
  float AspectRatio() const { return FAspectRatio; }
  void SetAspectRatio(float AValue);
  TAudioDriver AudioDriver() const { return FAudioDriver; }
  void SetAudioDriver(TAudioDriver AValue) { FAudioDriver = AValue; }
  TVideoDriver VideoDriver() const { return FVideoDriver; }
  void SetVideoDriver(TVideoDriver AValue) { FVideoDriver = AValue; }
  TAudioVolume AudioVolume() const { return FAudioVolume; }
  void SetAudioVolume(TAudioVolume AValue) { FAudioVolume = AValue < 0 ? 0 : AValue > 128 ? 128 : AValue; }
  bool Mute() const { return FMute; }
  void SetMute(bool AValue) { FMute = AValue; }
  bool DisableAudio() const { return FDisableAudio; }
  void SetDisableAudio(bool AValue) { FDisableAudio = AValue; }
  bool DisableVideo() const { return FDisableVideo; }
  void SetDisableVideo(bool AValue) { FDisableVideo = AValue; }
  bool DisableDisplay() const { return FDisableDisplay; }
  void SetDisableDisplay(bool AValue) { FDisableDisplay = AValue; }
  int32_t FrameWidth() const { return Fframe_width; }
  void SetFrameWidth(int32_t AValue) { Fframe_width = AValue; }
  int32_t FrameHeight() const { return Fframe_height; }
  void SetFrameHeight(int32_t AValue) { Fframe_height = AValue; }
  int32_t ScreenWidth() const { return FScreenWidth; }
  void SetScreenWidth(int32_t AValue) { FScreenWidth = AValue; }
  int32_t ScreenHeight() const { return FScreenHeight; }
  void SetScreenHeight(int32_t AValue) { FScreenHeight = AValue; }
  bool Hook() const { return FHook; }
  void SetHook(bool AValue) { FHook = AValue; }
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool AValue) { FTriggerEventInMainThread = AValue; }
  TShowAudio ShowAudio() const { return FShowAudio; }
  void SetShowAudio(TShowAudio AValue);
  TRepeatType RepeatType() const { return FRepeatType; }
  void SetRepeatType(TRepeatType AValue) { FRepeatType = AValue; }
  // Play length in µs from start_time; AV_NOPTS_VALUE when not set.
  int64_t PlayTime() const { return FPlayTime; }
  void SetPlayTime(int64_t AValue) { FPlayTime = AValue; }
  // Position to start from in µs; AV_NOPTS_VALUE when not set.
  int64_t start_time() const { return Fstart_time; }
  void Setstart_time(int64_t AValue) { Fstart_time = AValue; }
  bool VerticalFlip() const { return FVerticalFlip; }
  void SetVerticalFlip(bool AValue) { FVerticalFlip = AValue; }
  const std::string &VideoFilters() const { return Fvfilters; }
  void SetVideoFilters(const std::string &AValue) { Fvfilters = AValue; }
  // The forced input format's name, empty when none. Setting an unknown
  // name raises Exception("Unknown input format: %s").
  std::string Format() const;
  void SetFormat(const std::string &AValue);
  const std::string &FileName() const { return FFileName; }
  // The last stored error (the base's text, read under the player's lock).
  std::string LastErrMsg() const;
  uintptr_t ScreenHandle() const { return FScreenHandle; }
  bool FullScreen() const { return Fis_full_screen; }
  void SetFullScreen(bool AValue) { Fis_full_screen = AValue; }
  bool is_full_screen() const { return Fis_full_screen; }
  // -1 when not playing; setting switches streams of the open file.
  int32_t AudioStreamIndex() const;
  void SetAudioStreamIndex(int32_t AValue);
  int32_t VideoStreamIndex() const;
  void SetVideoStreamIndex(int32_t AValue);
  int32_t SubtitleStreamIndex() const;
  void SetSubtitleStreamIndex(int32_t AValue);
  // The stream to open, counted per media type; -1 chooses.
  int32_t wanted_audio_stream() const { return Fwanted_stream[AVMEDIA_TYPE_AUDIO]; }
  void Setwanted_audio_stream(int32_t AValue) { Fwanted_stream[AVMEDIA_TYPE_AUDIO] = AValue; }
  int32_t wanted_video_stream() const { return Fwanted_stream[AVMEDIA_TYPE_VIDEO]; }
  void Setwanted_video_stream(int32_t AValue) { Fwanted_stream[AVMEDIA_TYPE_VIDEO] = AValue; }
  int32_t wanted_subtitle_stream() const { return Fwanted_stream[AVMEDIA_TYPE_SUBTITLE]; }
  void Setwanted_subtitle_stream(int32_t AValue) { Fwanted_stream[AVMEDIA_TYPE_SUBTITLE] = AValue; }
  // Attached to the open file while playing; read it on the caller's thread only.
  TAVProbe &AVProbe() { return *FAVProbe; }
  int64_t CurrentPTS() const { return FCurrentPTS; }
  bool Paused() const;
  TPlayState PlayState() const { return FState; }
  bool Seeking() const { return FSeeking; }
  int seek_by_bytes() const { return Fseek_by_bytes; }
  void Setseek_by_bytes(int AValue) { Fseek_by_bytes = AValue; }
  int workaround_bugs() const { return Fworkaround_bugs; }
  void Setworkaround_bugs(int AValue) { Fworkaround_bugs = AValue; }
  int debug_mv() const { return Fdebug_mv; }
  void Setdebug_mv(int AValue) { Fdebug_mv = AValue; }
  bool fast() const { return Ffast; }
  void Setfast(bool AValue) { Ffast = AValue; }
  bool genpts() const { return Fgenpts; }
  void Setgenpts(bool AValue) { Fgenpts = AValue; }
  int decoder_reorder_pts() const { return Fdecoder_reorder_pts; }
  void Setdecoder_reorder_pts(int AValue) { Fdecoder_reorder_pts = AValue; }
  int framedrop() const { return Fframedrop; }
  void Setframedrop(int AValue) { Fframedrop = AValue; }
  int rdftspeed() const { return Frdftspeed; }
  void Setrdftspeed(int AValue) { Frdftspeed = AValue; }
  int lowres() const { return Flowres; }
  void Setlowres(int AValue) { Flowres = AValue; }
  int idct_algo() const { return Fidct_algo; }
  void Setidct_algo(int AValue) { Fidct_algo = AValue; }
  int error_recognition() const { return Ferror_recognition; }
  void Seterror_recognition(int AValue) { Ferror_recognition = AValue; }
  int error_concealment() const { return Ferror_concealment; }
  void Seterror_concealment(int AValue) { Ferror_concealment = AValue; }
  Tav_sync_type av_sync_type() const { return Fav_sync_type; }
  void Setav_sync_type(Tav_sync_type AValue) { Fav_sync_type = AValue; }
  std::string About() const { return "Zelvora preview player"; }
  std::string Version() const { return "2.3"; }

  // Events; assigning is safe while playing.
  void SetOnFileOpen(TFileOpenEvent AHandler);
  void SetOnHook(THookEvent AHandler);
  void SetOnPosition(TPositionEvent AHandler);
  void SetOnState(TPlayStateEvent AHandler);

  // Read threads still alive in this process, also one a stop left behind in
  // a blocking read (it ends by itself when the read returns).
  static int RunningReadThreads();

private:
  friend class TEventThread;
  friend class TPlayThread;
  using TVideoState = player_detail::TVideoState;

  // ---- custom_player.cpp
  void Report(TLogLevel ALevel, const std::string &AMsg); // logs and stores
  void SetState(TPlayState AState);
  void QueueEvent(player_detail::TPlayEventKind AKind, int64_t AValue);
  void DeliverEvent(const player_detail::TPlayEventItem &AItem, bool &AEnd);
  void FileOpenStep();
  void PushEvent(uint32_t AType, void *AData = nullptr);
  void TogglePauseInternal();
  void StreamPause(TVideoState *is);
  void CheckPosition(TVideoState *is);
  void RunEventLoop();
  void ResetRunState();
  bool WaitEventPumping(TEvent &AEvent);
  // FDataLock taken in turns that keep serving the main thread.
  std::unique_lock<std::recursive_timed_mutex> LockData() const;
  void JoinThreadPumping(TThread *AThread);
  void ReapEventThreads(bool AWait);
  void ShutdownSDL();

  // ---- player_read.cpp
  bool OpenPlayback(const std::string &AFileName, const AVInputFormat *AFormat, bool APaused);
  void ClosePlayback();
  static int ReadThreadEntry(void *AData);
  void ReadThread(TVideoState *is);
  int StreamComponentOpen(TVideoState *is, int AStreamIndex);
  void StreamComponentClose(TVideoState *is, int AStreamIndex);
  void CloseComponents(TVideoState *is);
  void SelectStream(AVMediaType AType, int32_t AIndex);
  // Queues a seek for the read thread (ignored while one is pending).
  void StreamSeek(TVideoState *is, int64_t APos, int64_t ARel, int AFlags);
  // The absolute seek of Seek(APTS): limited to the duration, from the container start.
  void SeekTo(TVideoState *is, int64_t APTS, TSeekFlags ASeekFlags);

  // ---- player_video.cpp
  static int VideoThreadEntry(void *AData);
  void VideoThread(TVideoState *is);
  int GetVideoPicture(TVideoState *is, AVFrame *AOut, struct TVideoDecodeState &AState);
  int QueuePicture(TVideoState *is, AVFrame *AFrame, double APTS, int64_t APos);
  double ComputeTargetTime(TVideoState *is, double AFramePTS);
  void RunHook(TVideoState *is, player_detail::TVideoPicture &vp, double APTS);
  static int RefreshThreadEntry(void *AData);
  void VideoRefresh(TVideoState *is, bool AConsume);

  // ---- player_display.cpp
  bool VideoOpen(TVideoState *is, bool AForce);
  void VideoDisplay(TVideoState *is);
  void ShowPicture(TVideoState *is, player_detail::TVideoPicture &vp);
  void VideoImageDisplay(TVideoState *is);
  void AudioDisplay(TVideoState *is);
  void AllocPicture(TVideoState *is);
  void ResizeWindow(TVideoState *is, int AWidth, int AHeight);
  void FillBlack(TVideoState *is);
  void DestroyScreen();

  // ---- player_audio.cpp
  static void AudioCallbackEntry(void *AData, Uint8 *AStream, int ALen);
  void AudioCallback(TVideoState *is, Uint8 *AStream, int ALen);
  int AudioDecodeFrame(TVideoState *is);
  int SynchronizeAudio(TVideoState *is, int16_t *ASamples, int ASize);
  void UpdateSampleDisplay(TVideoState *is, const int16_t *ASamples, int ASize);

  // ---- player_subtitle.cpp
  static int SubtitleThreadEntry(void *AData);
  void SubtitleThread(TVideoState *is);

  // ---- properties
  std::atomic<float> FAspectRatio{0};
  TAudioDriver FAudioDriver = adDefault;
  TVideoDriver FVideoDriver = vdDefault;
  std::atomic<int> FAudioVolume{128};
  std::atomic<bool> FMute{false};
  bool FDisableAudio = false, FDisableVideo = false, FDisableDisplay = false;
  std::atomic<int32_t> FScreenWidth{0}, FScreenHeight{0};
  std::atomic<bool> FHook{false};
  std::atomic<bool> FTriggerEventInMainThread{true};
  TShowAudio FShowAudio = saWave;
  std::string FFileName;
  uintptr_t FScreenHandle = 0;
  bool Fis_full_screen = false;
  const AVInputFormat *Ffile_iformat = nullptr;
  std::unique_ptr<TAVProbe> FAVProbe;

  // ---- run state, back to these values after every playback
  std::atomic<bool> FPlaying{false};
  std::atomic<int64_t> FLastPTS{player_detail::kNotSet};
  std::atomic<int64_t> FCurrentPTS{-1};
  std::atomic<bool> Fstep{false};
  int Fwanted_stream[AVMEDIA_TYPE_NB] = {-1, -1, -1, -1, -1};
  int Fseek_by_bytes = -1;
  int64_t Fstart_time = player_detail::kNotSet;
  int64_t FPlayTime = player_detail::kNotSet;
  std::atomic<TRepeatType> FRepeatType{rtStop};
  std::atomic<bool> FVerticalFlip{false};
  std::atomic<bool> FSeeking{false};
  std::atomic<bool> FPausedNow{false}; // the playback's pause flag, readable without it

  // Manual-reset events, created signalled: FSeekEvent is reset while a seek
  // is pending, FPictEvent while a video seek waits for its first picture,
  // FStopEvent while a play thread runs.
  TEvent FSeekEvent{true}, FPictEvent{true}, FStopEvent{true};
  // Serialises the play thread's handling of one event against Stop and the
  // public operations: guards FVideoState (its freeing) and FScreen.
  mutable std::recursive_timed_mutex FDataLock;
  std::atomic<TVideoState *> FVideoState{nullptr};
  std::atomic<TPlayState> FState{psStop};
  std::atomic<TPlayState> FEventState{psStop};
  std::atomic<int64_t> FEventPTS{-1};
  // Guards the position and end check, run by the play and the video thread.
  std::mutex FPositionLock;

  // ---- decoder options
  int Fsws_flags = 4; // bicubic
  Tav_sync_type Fav_sync_type = AV_SYNC_AUDIO_MASTER;
  int Fworkaround_bugs = 1;
  bool Ffast = false, Fgenpts = false;
  int Flowres = 0, Fidct_algo = 0;
  AVDiscard Fskip_frame = AVDISCARD_DEFAULT, Fskip_idct = AVDISCARD_DEFAULT, Fskip_loop_filter = AVDISCARD_DEFAULT;
  int Ferror_recognition = 1, Ferror_concealment = 3;
  int Fdecoder_reorder_pts = -1;
  int Fframedrop = 1;
  int Frdftspeed = 20; // ms
  int Fdebug = 0, Fdebug_mv = 0;
  std::string Fvfilters;
  int Fframe_width = 0, Fframe_height = 0;
  AVPixelFormat Fframe_pix_fmt = AV_PIX_FMT_NONE;

  // ---- events and their threads
  mutable std::mutex FHandlerLock; // guards the four handlers
  TFileOpenEvent FOnFileOpen;
  THookEvent FOnHook;
  TPositionEvent FOnPosition;
  TPlayStateEvent FOnState;
  std::shared_ptr<player_detail::TPlayEvent> FEventQueue;
  std::unique_ptr<TEventThread> FEventThread;
  std::vector<std::unique_ptr<TEventThread>> FOldEventThreads; // ended or ending, joined later
  std::unique_ptr<TPlayThread> FPlayThread;
  mutable std::mutex FErrLock; // guards FLastErrMsg

  // ---- outputs
  TRGBConvertContext FRGBContext;  // CurrentFrame (caller's thread)
  TRGBConvertContext FHookContext; // hook (video thread)
  TBitmap FNoFrame;                // the empty bitmap of CurrentFrame
  TBitmap FFrameBitmap;            // CurrentFrame's result with video
  AVPacket *FFlushPacket = nullptr;
  int Ffs_screen_width = 0, Ffs_screen_height = 0;
  std::atomic<int64_t> Faudio_callback_time{0}; // µs of the monotonic clock
  bool FSDLStarted = false;
  // The play thread's window objects and the picture on screen; guarded by FDataLock.
  struct TScreen {
    SDL_Window *Window = nullptr;
    bool Foreign = false;
    SDL_Renderer *Renderer = nullptr;
    SDL_Texture *Texture = nullptr; // IYUV, the shown picture
    int TexWidth = 0, TexHeight = 0;
    SDL_Texture *AudioTexture = nullptr; // ARGB8888, the audio display
    int AudioWidth = 0, AudioHeight = 0;
    std::vector<uint32_t> AudioPixels;
    player_detail::TVideoPicture Shown; // copy of the picture on screen, subtitles blended
    bool HasShown = false;
    bool ClearPending = false; // the audio display mode changed: start from black
    int Width = 0, Height = 0; // the surface size
  } FScreen;
};

// The published player.
class RIVEvidir : public TCustomPlayer {
public:
  using TCustomPlayer::TCustomPlayer;
};
