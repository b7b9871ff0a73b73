// The player's playback state and the small machinery its threads share:
// the packet queue with its flush packet, the picture and subtitle rings, the
// per-playback record TVideoState and the coalescing event queue with the
// thread that delivers it. Internal to the player (playback/player_*.cpp and
// custom_player.cpp); the host sees only custom_player.h.
#pragma once

#include "media/ffmpeg_loader.h"
#include "platform/sync.h"
#include "platform/thread.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <mutex>
#include <string>
#include <vector>

class TCustomPlayer;

enum TPlayState { psPlay = 0, psPause, psResume, psStep, psStop, psEnd = 5 };
enum TRepeatType { rtNone, rtStop, rtLoop };
enum TShowAudio { saNone, saWave, saRDFT };
enum Tav_sync_type { AV_SYNC_AUDIO_MASTER, AV_SYNC_VIDEO_MASTER, AV_SYNC_EXTERNAL_CLOCK };

namespace player_detail {

// SDL 1.2 numbered the first user event 24; SDL2 starts user events at
// SDL_USEREVENT, so the player's four events keep their order from there.
constexpr uint32_t FF_ALLOC_EVENT = SDL_USEREVENT;       // allocate the write entry's overlay
constexpr uint32_t FF_REFRESH_EVENT = SDL_USEREVENT + 1; // refresh tick
constexpr uint32_t FF_QUIT_EVENT = SDL_USEREVENT + 2;    // end the playback
constexpr uint32_t FF_REOPEN_EVENT = SDL_USEREVENT + 3;  // reopen the window and redraw

constexpr int kAudioBufSize = 288000;       // bytes in each of audio_buf1 / audio_buf2
constexpr int kSampleArraySize = 131072;    // samples in the audio display ring
constexpr int kPictQueueSize = 2;
constexpr int kSubPictQueueSize = 4;
constexpr int kMaxQueueSize = 15 * 1024 * 1024;
constexpr int kMinAudioQueueSize = 327680;   // audio queue satisfied above this many bytes
constexpr int kMinFrames = 5;                // video/subtitle queues satisfied above this many packets
constexpr int kPacketNodeOverhead = 72;      // bytes a queued packet counts beside its data
constexpr double kAVNoSyncThreshold = 10.0;  // s: differences above this are not corrected
constexpr double kAVSyncThreshold = 0.01;    // s
constexpr int kAudioDiffAvgNB = 20;
constexpr int kSampleCorrectionPercentMax = 10;
constexpr double kFrameSkipFactor = 0.05;
constexpr int kSDLAudioBufferSamples = 1024;

// "Not set" of the 64-bit µs run settings (FLastPTS, Fstart_time, FPlayTime).
constexpr int64_t kNotSet = AV_NOPTS_VALUE;

// Seconds of a monotonic clock: the "wall time" the clocks and target times use.
double Now();

// Allocates as av_malloc aligns: the libraries' transforms read their
// buffers with aligned vector loads, which fault on malloc's 16 bytes.
template <typename T> struct TSimdAllocator {
  using value_type = T;
  static constexpr std::align_val_t kAlignment{64};
  TSimdAllocator() = default;
  template <typename U> TSimdAllocator(const TSimdAllocator<U> &) {}
  T *allocate(size_t ACount) { return static_cast<T *>(::operator new(ACount * sizeof(T), kAlignment)); }
  void deallocate(T *APointer, size_t) { ::operator delete(APointer, kAlignment); }
  template <typename U> bool operator==(const TSimdAllocator<U> &) const { return true; }
};

// A FIFO of packets between the read thread and one decoder. The flush
// packet (its data points to the player's "FLUSH" text) goes in and out as a
// marker without being copied; every other packet is referenced on put.
//
// Thread safety: every member below FMutex is guarded by it; FCond is
// signalled on put and abort. Init/End run while no other thread uses the
// queue.
class TPacketQueue {
public:
  // Creates mutex and condition on first use and clears the abort flag.
  void Init(const AVPacket *AFlushPacket);
  // Frees the packets and destroys mutex and condition.
  void End();
  // Appends a reference to APacket (the flush packet and an empty packet,
  // the end-of-stream marker, as they are); -1 when aborted. APacket itself
  // stays the caller's.
  int Put(AVPacket *APacket);
  // Moves the first packet into APacket: 1 with a packet, 0 when empty and
  // not blocking, -1 when aborted. The flush packet comes out with its data
  // pointer and no buffer, an empty packet with no data and size 0.
  int Get(AVPacket *APacket, bool ABlock);
  void Flush();
  // Wakes every waiting Get; later Puts are refused until the next Init.
  void Abort();

  int nb_packets() const { return Fnb_packets.load(); }
  int size() const { return Fsize.load(); }
  bool abort_request() const { return Fabort_request.load(); }
  bool Initialised() const { return Fmutex != nullptr; }

private:
  struct TNode {
    AVPacket *Packet; // null for the flush packet and the empty packet
    bool Flush;
    TNode *Next;
  };
  TNode *first_pkt = nullptr;
  TNode *last_pkt = nullptr;
  std::atomic<int> Fnb_packets{0};
  std::atomic<int> Fsize{0};
  std::atomic<bool> Fabort_request{false};
  SDL_mutex *Fmutex = nullptr;
  SDL_cond *Fcond = nullptr;
  const AVPacket *FFlushPacket = nullptr;
};

// One entry of the picture ring. The "overlay" of SDL 1.2 is split: the
// picture's 4:2:0 planes live here in memory (the video thread writes them),
// the streaming IYUV texture lives with the screen and is filled by the play
// thread when the picture is shown, since SDL2 renders on one thread only.
struct TVideoPicture {
  double pts = 0;          // s
  double target_clock = 0; // s of Now() at which to show it
  int64_t pos = -1;
  std::vector<uint8_t> Planes; // Y, U, V one after the other
  uint8_t *Data[3] = {nullptr, nullptr, nullptr};
  int Linesize[3] = {0, 0, 0};
  int width = 0, height = 0;
  bool allocated = false;
  AVPixelFormat pix_fmt = AV_PIX_FMT_YUV420P;
  AVRational sar{0, 1};
  bool HasOverlay() const { return !Planes.empty(); }
};

// A subtitle rectangle's palette in Y, U, V, A (studio range).
struct TSubPicture {
  double pts = 0; // s
  AVSubtitle sub{};
  std::vector<std::vector<uint32_t>> YUVAPalettes; // per rectangle, entries packed A<<24 | Y<<16 | U<<8 | V
};

// One playback, made by the open step and freed when it ends. Fields the
// threads share are atomic; the rings are guarded by their own mutexes
// (noted beside them).
struct TVideoState {
  std::vector<uint8_t> audio_buf1, audio_buf2; // decoded, and converted to signed 16-bit
  SDL_Thread *parse_tid = nullptr;
  SDL_Thread *video_tid = nullptr;
  SDL_Thread *refresh_tid = nullptr;
  const AVInputFormat *iformat = nullptr;
  std::atomic<bool> no_background{false};
  std::atomic<int> abort_request{0};
  std::atomic<int> paused{0};
  int last_paused = 0; // read thread only
  std::atomic<int> seek_req{0};
  int seek_flags = 0;
  int64_t seek_pos = 0;
  int64_t seek_rel = 0;
  std::atomic<int> read_pause_return{0};
  AVFormatContext *ic = nullptr;

  std::atomic<int> audio_stream{-1};
  Tav_sync_type av_sync_type = AV_SYNC_AUDIO_MASTER;
  std::atomic<double> external_clock{0};
  std::atomic<int64_t> external_clock_time{0};

  // Audio: written by the audio callback, read by the clocks.
  std::atomic<double> audio_clock{0};
  double audio_diff_cum = 0;
  double audio_diff_avg_coef = 0;
  double audio_diff_threshold = 0;
  int audio_diff_avg_count = 0;
  AVStream *audio_st = nullptr;
  AVCodecContext *audio_dec = nullptr;
  TPacketQueue audioq;
  int audio_hw_buf_size = 0;
  SDL_AudioDeviceID audio_dev = 0;
  int audio_channels = 0;     // of the device: 1 or 2
  int audio_sample_rate = 0;  // of the device
  const uint8_t *audio_buf = nullptr;
  std::atomic<int> audio_buf_size{0};
  std::atomic<int> audio_buf_index{0};
  std::atomic<bool> audio_buf_silent{false}; // the block is silence for a gap: no time of the stream
  AVPacket *audio_pkt = nullptr;     // being decoded, unsent while audio_pkt_pending
  bool audio_pkt_pending = false;
  AVFrame *audio_frame = nullptr;
  int audio_src_fmt = AV_SAMPLE_FMT_S16;
  AVChannelLayout audio_src_layout{};
  int audio_src_rate = 0;
  SwrContext *reformat_ctx = nullptr;
  bool audio_cannot_convert = false; // the source format has no converter: its blocks are skipped
  std::vector<uint8_t> audio_silence;

  std::atomic<int> show_audio{saNone};
  // Audio display ring: written by the audio callback, read by the play thread
  // without a lock (a torn read shows one odd column, nothing worse).
  std::vector<int16_t> sample_array;
  std::atomic<int> sample_array_index{0};
  int last_i_start = 0;
  RDFTContext *rdft = nullptr;
  int rdft_bits = 0;
  std::vector<FFTSample, TSimdAllocator<FFTSample>> rdft_data;
  int xpos = 0;

  SDL_Thread *subtitle_tid = nullptr;
  std::atomic<int> subtitle_stream{-1};
  std::atomic<int> subtitle_stream_changed{0};
  AVStream *subtitle_st = nullptr;
  AVCodecContext *subtitle_dec = nullptr;
  TPacketQueue subtitleq;
  // -- guarded by subpq_mutex, subpq_cond signalled when an entry is freed:
  TSubPicture subpq[kSubPictQueueSize];
  int subpq_size = 0, subpq_rindex = 0, subpq_windex = 0;
  SDL_mutex *subpq_mutex = nullptr;
  SDL_cond *subpq_cond = nullptr;

  // Video pacing: frame_timer, frame_last_* belong to the video thread and the
  // play thread in turn (the picture ring's hand-over orders them).
  std::atomic<double> frame_timer{0};
  double frame_last_pts = 0;
  double frame_last_delay = 0;
  std::atomic<double> video_clock{0}; // written by the video thread
  std::atomic<int> video_stream{-1};
  AVStream *video_st = nullptr;
  AVCodecContext *video_dec = nullptr;
  TPacketQueue videoq;
  std::atomic<double> video_current_pts{0};
  std::atomic<double> video_current_pts_drift{0};
  std::atomic<int64_t> video_current_pos{-1};
  // -- guarded by pictq_mutex, pictq_cond signalled on every change of the count
  // and when an overlay was allocated:
  TVideoPicture pictq[kPictQueueSize];
  int pictq_size = 0, pictq_rindex = 0, pictq_windex = 0;
  SDL_mutex *pictq_mutex = nullptr;
  SDL_cond *pictq_cond = nullptr;

  std::string filename;
  int width = 0, height = 0, xleft = 0, ytop = 0; // display area (play thread)

  int faulty_pts = 0, faulty_dts = 0;
  int64_t last_dts_for_fault_detection = 0, last_pts_for_fault_detection = 0;
  AVFilterContext *out_video_filter = nullptr;
  std::atomic<double> skip_frames{1};
  double skip_frames_index = 0;
  std::atomic<int> refresh{0};
  TCustomPlayer *Owner = nullptr;
  std::atomic<int> Opened{0};
  int64_t StartTime = 0;
  int64_t Duration = -1;
  std::atomic<int64_t> AudioDuration{-1};
  bool IsImage2 = false, IsDevice = false;
  std::atomic<bool> ErrorEOF{false}, EventEOF{false}, ReachEOF{false};
  std::atomic<bool> Reading{false};
  std::atomic<int> open_paused{0};
  std::atomic<int> seek_paused{0};
  std::atomic<int> seek_done{0};
  std::atomic<int> seek_flushed{0};

  // Set by the read thread's av_read_frame end-of-file (the old byte stream's flag).
  std::atomic<bool> EndFlag{false};
  // Who still holds the state: the closer and the read thread. A read thread
  // left behind in a blocking read frees the state itself when it returns.
  std::atomic<int> Holders{2};
  std::atomic<bool> ReadEnded{false};
  std::atomic<bool> ComponentsClosed{false};
};

// Creates the state with its buffers; null when memory is short.
TVideoState *AllocVideoState();
// Ends the queues, frees buffers, mutexes and conditions, and the state.
void FreeVideoState(TVideoState *is);
// Drops one holder; the last one frees the state.
void ReleaseVideoState(TVideoState *is);

// The clocks, in seconds (see the master clock rules in player_video.cpp).
double GetAudioClock(TVideoState *is);
double GetVideoClock(TVideoState *is);
double GetExternalClock(TVideoState *is);
double GetMasterClock(TVideoState *is);

// Where a picture goes in the display area: AAspectRatio > 0 is the display
// aspect, 0 takes the picture's own (with its sample aspect ratio, 1 when
// unknown), < 0 fills the area. Centred, sizes rounded down to even.
struct TDisplayRect {
  int x = 0, y = 0, w = 0, h = 0;
};
TDisplayRect PictureDisplayRect(int AAreaLeft, int AAreaTop, int AAreaWidth, int AAreaHeight, int APicWidth,
                                int APicHeight, AVRational ASampleAspect, float AAspectRatio);

// The component's event queue: ten slots, at most nine events waiting. An
// event of the same kind as the last one queued replaces it, so a burst of
// position changes reaches the host as the latest one.
enum TPlayEventKind { ekPosition = 1, ekState = 2, ekQuit = 3 };

struct TPlayEventItem {
  TPlayEventKind Kind = ekPosition;
  int64_t Value = 0;
};

class TPlayEvent {
public:
  static constexpr int kSlots = 10;
  // Any thread.
  void Put(TPlayEventKind AKind, int64_t AValue);
  // False when empty; resets Event when the queue becomes empty.
  bool Get(TPlayEventItem &AItem);
  // Set while the queue is not empty.
  TEvent Event{false};

private:
  std::mutex Lock; // guards Header, Tailer, Events
  int Header = 0, Tailer = 0;
  TPlayEventItem Events[kSlots];
};

} // namespace player_detail

// Delivers the player's queued events to OnPosition / OnState: on the main
// thread (waiting for each handler) when the player says so, else on this
// thread. Ends after delivering psStop or on a quit event.
class TEventThread : public TThread {
public:
  TEventThread(TCustomPlayer *APlayer, std::shared_ptr<player_detail::TPlayEvent> AQueue)
      : FPlayer(APlayer), FQueue(std::move(AQueue)) {}

protected:
  void Execute() override;

private:
  TCustomPlayer *FPlayer;
  std::shared_ptr<player_detail::TPlayEvent> FQueue;
};

// Runs the SDL event loop of one playback: window
// events, overlay allocation, refresh ticks and quit.
class TPlayThread : public TThread {
public:
  explicit TPlayThread(TCustomPlayer *APlayer) : FPlayer(APlayer) {}

protected:
  void Execute() override;

private:
  TCustomPlayer *FPlayer;
};
