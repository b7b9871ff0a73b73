// The read thread and what belongs to it: opening and closing a playback,
// stream choice and the opening and closing of stream components, seek
// requests, queue limits and the end of the input.
#include "playback/custom_player.h"

#include "media/error_text.h"
#include "media/wide_file.h"
#include "platform/convert.h"
#include "platform/main_thread.h"

#include <chrono>
#include <cinttypes>
#include <cmath>
#include <limits>
#include <thread>

using namespace player_detail;

namespace {

std::atomic<int> gReadThreads{0};

// Aborts blocking library I/O once the playback is asked to end.
int DecodeInterruptCB(void *AData) { return static_cast<TVideoState *>(AData)->abort_request.load() ? 1 : 0; }

void SleepMs(int AMs) { std::this_thread::sleep_for(std::chrono::milliseconds(AMs)); }

struct TThreadArg {
  TCustomPlayer *Player;
  TVideoState *State;
};

} // namespace

int TCustomPlayer::RunningReadThreads() { return gReadThreads.load(); }

// ---------------------------------------------------------------------------
// Opening and closing a playback

bool TCustomPlayer::OpenPlayback(const std::string &AFileName, const AVInputFormat *AFormat, bool APaused) {
  if (FVideoState.load())
    return false;
  TVideoState *is = AllocVideoState();
  if (!is) {
    Report(llError, "av_mallocz() failed.");
    return false;
  }
  is->Owner = this;
  if (APaused) {
    is->paused = 1;
    is->open_paused = 1;
    Fstep = false;
  }
  is->filename = AFileName.substr(0, 1024);
  is->iformat = AFormat;
  is->xleft = is->ytop = 0;
  is->pictq_mutex = AV.SDL_CreateMutex();
  is->pictq_cond = AV.SDL_CreateCond();
  is->subpq_mutex = AV.SDL_CreateMutex();
  is->subpq_cond = AV.SDL_CreateCond();
  is->av_sync_type = Fav_sync_type;

  auto *arg = new TThreadArg{this, is};
  ++gReadThreads;
  is->parse_tid = AV.SDL_CreateThread(ReadThreadEntry, "read", arg);
  if (!is->parse_tid) {
    --gReadThreads;
    delete arg;
    Report(llError, "SDL_CreateThread() failed.");
    FreeVideoState(is);
    return false;
  }
  const bool main = IsMainThread();
  while (is->Opened.load() == 0) {
    SleepMs(10);
    if (main)
      PumpMainThread();
  }
  if (is->Opened.load() > 0) {
    FVideoState = is;
    FPlaying = true;
    if (!is->video_st && !FDisableDisplay)
      is->show_audio = FShowAudio;
    is->refresh_tid = AV.SDL_CreateThread(RefreshThreadEntry, "refresh", new TThreadArg{this, is});
    return true;
  }
  while (is->Opened.load() == -1) {
    SleepMs(10);
    if (main)
      PumpMainThread();
  }
  AV.SDL_WaitThread(is->parse_tid, nullptr);
  ReleaseVideoState(is); // the read thread has dropped its hold
  ResetRunState();
  return false;
}

void TCustomPlayer::ClosePlayback() {
  TVideoState *is = FVideoState.load();
  if (!is)
    return;
  is->abort_request = 1;
  // The probe reads the file context the read thread is about to close.
  FAVProbe->CloseFile();
  // Every decoder wakes up from its queue; a read thread inside a blocking
  // read does not, and is left behind after a while: the components are
  // closed from here and the state is freed by whichever of us is last.
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  auto readingSince = clock::time_point{};
  bool detached = false;
  while (!is->ReadEnded.load()) {
    const auto now = clock::now();
    if (is->Reading.load()) {
      if (readingSince == clock::time_point{})
        readingSince = now;
      if (now - readingSince > std::chrono::milliseconds(1000)) {
        detached = true;
        break;
      }
    } else {
      readingSince = {};
    }
    if (now - start > std::chrono::milliseconds(3000)) {
      detached = true;
      break;
    }
    SleepMs(10);
  }
  if (detached) {
    FFLogger().Log(this, llWarning, "the read thread is blocked; it ends when its read returns.");
    AV.SDL_DetachThread(is->parse_tid);
    CloseComponents(is);
  } else {
    AV.SDL_WaitThread(is->parse_tid, nullptr);
  }
  is->parse_tid = nullptr;
  if (is->refresh_tid)
    AV.SDL_WaitThread(is->refresh_tid, nullptr);
  is->refresh_tid = nullptr;
  FVideoState = nullptr;
  DestroyScreen();
  ReleaseVideoState(is);
  ResetRunState();
  ShutdownSDL();
}

// ---------------------------------------------------------------------------
// The read thread

int TCustomPlayer::ReadThreadEntry(void *AData) {
  auto *arg = static_cast<TThreadArg *>(AData);
  TCustomPlayer *player = arg->Player;
  TVideoState *is = arg->State;
  delete arg;
  player->ReadThread(is);
  is->ReadEnded = true;
  ReleaseVideoState(is);
  --gReadThreads;
  return 0;
}

void TCustomPlayer::ReadThread(TVideoState *is) {
  is->video_stream = is->audio_stream = is->subtitle_stream = -1;
  AVPacket *pkt = AV.av_packet_alloc();
  AVFormatContext *ic = AV.avformat_alloc_context();
  bool failed = true;
  [&] {
    if (!pkt || !ic) {
      Report(llError, is->filename + ": " + OpenErrorText(AVERROR(ENOMEM)));
      return;
    }
    ic->interrupt_callback.callback = DecodeInterruptCB;
    ic->interrupt_callback.opaque = is;
    if (Fgenpts)
      ic->flags |= AVFMT_FLAG_GENPTS;
    // The old format parameters (frame size hint, time base 1/25, pixel
    // format) are demuxer options now; demuxers that do not know them ignore them.
    AVDictionary *opts = nullptr;
    if (Fframe_width > 0 && Fframe_height > 0)
      AV.av_dict_set(&opts, "video_size", ::Format("%dx%d", Fframe_width, Fframe_height).c_str(), 0);
    if (Fframe_pix_fmt != AV_PIX_FMT_NONE)
      AV.av_dict_set(&opts, "pixel_format", AV.av_get_pix_fmt_name(Fframe_pix_fmt), 0);
    int err = OpenInputFormat(&ic, WideFileNameToURL(is->filename), is->iformat, &opts);
    AV.av_dict_free(&opts);
    if (err < 0) {
      Report(llError, is->filename + ": " + OpenErrorText(err));
      return;
    }
    is->ic = ic;
    {
      // The library may open decoders while it reads the stream information;
      // the engine and the probe hold the same lock for that step.
      std::lock_guard<TCriticalSection> lock(LibraryLock());
      err = AV.avformat_find_stream_info(ic, nullptr);
    }
    if (err < 0) {
      Report(llError, ::Format("%s: could not find codec parameters", is->filename.c_str()));
      return;
    }
    if (ic->pb)
      ic->pb->eof_reached = 0;
    if (Fseek_by_bytes < 0)
      Fseek_by_bytes = (ic->iformat->flags & AVFMT_TS_DISCONT) ? 1 : 0;
    const std::string fmtName = ic->iformat->name ? ic->iformat->name : "";
    is->IsImage2 = fmtName == "image2";
    is->IsDevice = fmtName == "vfwcap" || fmtName == "vfwcapture" || fmtName == "video4linux2,v4l2";
    is->StartTime = ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0;
    is->Duration = ic->duration != AV_NOPTS_VALUE ? ic->duration : -1;

    if (Fstart_time != kNotSet) {
      int64_t ts = Fstart_time;
      if (ic->start_time != AV_NOPTS_VALUE)
        ts += ic->start_time;
      if (AV.avformat_seek_file(ic, -1, std::numeric_limits<int64_t>::min(), ts,
                                std::numeric_limits<int64_t>::max(), 0) < 0)
        Report(llError, ::Format("%s: could not seek to position %0.3f", is->filename.c_str(),
                               static_cast<double>(ts) / AV_TIME_BASE));
    }

    // The candidate of each kind with the most frames analysed wins. The
    // current libraries keep that count to themselves; their best-stream
    // choice weighs it first, so it chooses among the candidates, and a
    // wanted stream (counted per kind) is handed to it by its index.
    int st_index[AVMEDIA_TYPE_NB];
    int wantedIndex[AVMEDIA_TYPE_NB];
    int st_count[AVMEDIA_TYPE_NB];
    for (int t = 0; t < AVMEDIA_TYPE_NB; ++t) {
      st_index[t] = -1;
      wantedIndex[t] = -1;
      st_count[t] = 0;
    }
    bool wantedMissing[AVMEDIA_TYPE_NB] = {};
    for (unsigned i = 0; i < ic->nb_streams; ++i) {
      AVStream *st = ic->streams[i];
      st->discard = AVDISCARD_ALL;
      const AVMediaType type = st->codecpar->codec_type;
      if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE)
        continue;
      if (st_count[type]++ == Fwanted_stream[type])
        wantedIndex[type] = static_cast<int>(i);
    }
    for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_SUBTITLE}) {
      wantedMissing[type] = Fwanted_stream[type] >= 0 && wantedIndex[type] < 0;
      if (wantedMissing[type] || (type == AVMEDIA_TYPE_AUDIO ? FDisableAudio : (FDisableVideo || FDisableDisplay)))
        continue;
      const int best = AV.av_find_best_stream(ic, type, wantedIndex[type], -1, nullptr, 0);
      if (best >= 0)
        st_index[type] = best;
    }
    if (st_index[AVMEDIA_TYPE_AUDIO] >= 0)
      StreamComponentOpen(is, st_index[AVMEDIA_TYPE_AUDIO]);
    int ret = -1;
    if (st_index[AVMEDIA_TYPE_VIDEO] >= 0)
      ret = StreamComponentOpen(is, st_index[AVMEDIA_TYPE_VIDEO]);
    if (ret < 0 && !FDisableDisplay)
      is->show_audio = saRDFT;
    if (st_index[AVMEDIA_TYPE_SUBTITLE] >= 0)
      StreamComponentOpen(is, st_index[AVMEDIA_TYPE_SUBTITLE]);
    if (is->video_stream < 0 && is->audio_stream < 0) {
      Report(llError, ::Format("%s: could not open codecs, no stream to play.", is->filename.c_str()));
      return;
    }
    failed = false;
  }();

  if (!failed) {
    is->Opened = 1;
    while (!is->abort_request) {
      if (is->paused != is->last_paused) {
        is->last_paused = is->paused;
        if (is->paused)
          is->read_pause_return = AV.av_read_pause(ic);
        else
          AV.av_read_play(ic);
      }
      if (is->seek_req) {
        const int64_t target = is->seek_pos;
        const int64_t minTs = is->seek_rel > 0 ? target - is->seek_rel + 2 : std::numeric_limits<int64_t>::min();
        const int64_t maxTs = is->seek_rel < 0 ? target - is->seek_rel - 2 : std::numeric_limits<int64_t>::max();
        int ret = AV.avformat_seek_file(ic, -1, minTs, target, maxTs, is->seek_flags);
        if (ret < 0)
          ret = AV.av_seek_frame(ic, -1, target, is->seek_flags);
        if (ret < 0)
          ret = AV.av_seek_frame(ic, -1, target, is->seek_flags ^ AVSEEK_FLAG_BACKWARD);
        if (ret < 0) {
          FFLogger().Log(this, llError, ::Format("%s: error while seeking", is->filename.c_str()));
          if (is->video_stream >= 0)
            FPictEvent.SetEvent();
        } else {
          if (is->audio_stream >= 0) {
            is->audioq.Flush();
            is->audioq.Put(FFlushPacket);
          }
          if (is->subtitle_stream >= 0) {
            is->subtitleq.Flush();
            is->subtitleq.Put(FFlushPacket);
          }
          if (is->video_stream >= 0) {
            is->seek_flushed = 0;
            is->videoq.Flush();
            is->videoq.Put(FFlushPacket);
            FPictEvent.ResetEvent();
          }
        }
        is->ErrorEOF = false;
        is->ReachEOF = false;
        // Without video no picture clears the end report; a seek back from
        // the end must be able to report the next end.
        if (is->video_stream < 0)
          is->EventEOF = false;
        is->seek_req = 0;
        is->seek_done = 1;
        FSeekEvent.SetEvent();
        if (is->video_stream < 0)
          FSeeking = false;
        is->EndFlag = false;
        if (ic->pb)
          ic->pb->eof_reached = 0;
      }

      const int total = is->audioq.size() + is->videoq.size() + is->subtitleq.size();
      const bool audioFull = is->audio_stream < 0 || is->audioq.size() > kMinAudioQueueSize;
      const bool videoFull = is->video_stream < 0 || is->videoq.nb_packets() > kMinFrames;
      const bool subFull = is->subtitle_stream < 0 || is->subtitleq.nb_packets() > kMinFrames;
      if (total > kMaxQueueSize || (audioFull && videoFull && subFull)) {
        SleepMs(10);
        continue;
      }
      if ((ic->pb && AV.avio_feof(ic->pb)) || is->EndFlag) {
        // One empty packet at a time: a paused video thread would otherwise
        // collect a hundred a second.
        if (is->video_stream >= 0 && is->videoq.nb_packets() == 0) {
          AVPacket *empty = AV.av_packet_alloc();
          empty->stream_index = is->video_stream;
          is->videoq.Put(empty);
          AV.av_packet_free(&empty);
          FPictEvent.SetEvent();
        }
        SleepMs(10);
        if (is->audioq.size() + is->videoq.size() + is->subtitleq.size() == 0)
          is->ReachEOF = true;
        continue;
      }
      is->Reading = true;
      const int ret = AV.av_read_frame(ic, pkt);
      is->Reading = false;
      if (is->abort_request) {
        AV.av_packet_unref(pkt);
        break;
      }
      if (ret < 0) {
        if (ret == AVERROR(EAGAIN)) {
          SleepMs(10);
          continue;
        }
        if (is->video_stream >= 0)
          FPictEvent.SetEvent();
        if (!is->IsImage2 && !is->ErrorEOF) {
          is->ErrorEOF = true;
          if (ret == AVERROR_EOF)
            FFLogger().Log(this, llInfo, ::Format("reach end of file: %s", is->filename.c_str()));
          else
            FFLogger().Log(this, llError,
                           ::Format("error #%d while reading file: %s", ret, is->filename.c_str()));
        }
        if (ret == AVERROR_EOF)
          is->EndFlag = true;
        if (ic->pb && ic->pb->error)
          break;
        SleepMs(100);
        continue;
      }
      if (pkt->stream_index == is->audio_stream)
        is->audioq.Put(pkt);
      else if (pkt->stream_index == is->video_stream)
        is->videoq.Put(pkt);
      else if (pkt->stream_index == is->subtitle_stream)
        is->subtitleq.Put(pkt);
      AV.av_packet_unref(pkt);
    }
    while (!is->abort_request)
      SleepMs(100);
  }

  // Clean-up.
  if (is->Opened.load() != 1)
    is->Opened = -1;
  CloseComponents(is);
  if (is->ic) {
    CloseInputFormat(&is->ic);
  } else if (ic) {
    AV.avformat_free_context(ic);
  }
  AV.av_packet_free(&pkt);
  if (is->Opened.load() == -1) {
    PushEvent(FF_QUIT_EVENT, is);
    is->Opened = -2;
  }
}

// ---------------------------------------------------------------------------
// Stream components

int TCustomPlayer::StreamComponentOpen(TVideoState *is, int AStreamIndex) {
  AVFormatContext *ic = is->ic;
  if (AStreamIndex < 0 || AStreamIndex >= static_cast<int>(ic->nb_streams))
    return -1;
  AVStream *st = ic->streams[AStreamIndex];
  AVCodecParameters *par = st->codecpar;
  const AVCodec *codec = AV.avcodec_find_decoder(par->codec_id);
  AVCodecContext *avctx = AV.avcodec_alloc_context3(codec);
  if (!avctx || AV.avcodec_parameters_to_context(avctx, par) < 0) {
    AV.avcodec_free_context(&avctx);
    Report(llError, "avcodec_open() failed.");
    return -1;
  }
  avctx->pkt_timebase = st->time_base;
  avctx->debug = Fdebug;
  avctx->workaround_bugs = Fworkaround_bugs;
  avctx->lowres = Flowres;
  avctx->idct_algo = Fidct_algo;
  if (Ffast)
    avctx->flags2 |= AV_CODEC_FLAG2_FAST;
  avctx->skip_frame = Fskip_frame;
  avctx->skip_idct = Fskip_idct;
  avctx->skip_loop_filter = Fskip_loop_filter;
  // The old recognition levels map onto the error detection flags: 1 careful.
  avctx->err_recognition = Ferror_recognition > 0 ? AV_EF_CAREFUL : 0;
  avctx->error_concealment = Ferror_concealment;
  avctx->thread_count = 1;
  int err;
  {
    std::lock_guard<TCriticalSection> lock(LibraryLock());
    err = codec ? AV.avcodec_open2(avctx, codec, nullptr) : AVERROR_DECODER_NOT_FOUND;
  }
  if (err < 0) {
    AV.avcodec_free_context(&avctx);
    Report(llError, "avcodec_open() failed.");
    return -1;
  }

  if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
    // At most two channels reach the device; the converter mixes down.
    const int channels = par->ch_layout.nb_channels == 1 ? 1 : 2;
    SDL_AudioSpec wanted{}, spec{};
    wanted.freq = par->sample_rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.silence = 0;
    wanted.samples = kSDLAudioBufferSamples;
    wanted.callback = AudioCallbackEntry;
    wanted.userdata = is;
    const SDL_AudioDeviceID dev = AV.SDL_OpenAudioDevice(nullptr, 0, &wanted, &spec, 0);
    if (dev == 0) {
      Report(llError, std::string("SDL_OpenAudio() failed: ") + AV.SDL_GetError());
      std::lock_guard<TCriticalSection> lock(LibraryLock());
      AV.avcodec_free_context(&avctx);
      return -1;
    }
    is->audio_dev = dev;
    is->audio_hw_buf_size = static_cast<int>(spec.size);
    is->audio_channels = channels;
    is->audio_sample_rate = par->sample_rate;
    is->audio_src_fmt = AV_SAMPLE_FMT_S16;
    AV.av_channel_layout_uninit(&is->audio_src_layout);
    AV.av_channel_layout_default(&is->audio_src_layout, channels);
    is->audio_src_rate = par->sample_rate;
  }

  st->discard = AVDISCARD_DEFAULT;
  switch (par->codec_type) {
  case AVMEDIA_TYPE_AUDIO:
    is->audio_dec = avctx;
    is->audio_st = st;
    is->AudioDuration = st->duration != AV_NOPTS_VALUE ? AV.av_rescale_q(st->duration, st->time_base, {1, AV_TIME_BASE})
                                                       : -1;
    is->audio_buf_size = 0;
    is->audio_buf_index = 0;
    is->audio_diff_avg_coef = std::exp(std::log(0.01) / kAudioDiffAvgNB);
    is->audio_diff_avg_count = 0;
    is->audio_diff_threshold = 2.0 * kSDLAudioBufferSamples / par->sample_rate;
    is->audio_pkt = AV.av_packet_alloc();
    is->audio_pkt_pending = false;
    is->audio_frame = AV.av_frame_alloc();
    is->audioq.Init(FFlushPacket);
    is->audioq.Put(FFlushPacket);
    is->audio_stream = AStreamIndex;
    AV.SDL_PauseAudioDevice(is->audio_dev, 0);
    break;
  case AVMEDIA_TYPE_VIDEO:
    is->video_dec = avctx;
    is->video_st = st;
    is->videoq.Init(FFlushPacket);
    is->videoq.Put(FFlushPacket);
    is->video_stream = AStreamIndex;
    is->video_tid = AV.SDL_CreateThread(VideoThreadEntry, "video", new TThreadArg{this, is});
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    is->subtitle_dec = avctx;
    is->subtitle_st = st;
    is->subtitleq.Init(FFlushPacket);
    is->subtitleq.Put(FFlushPacket);
    is->subtitle_stream = AStreamIndex;
    is->subtitle_tid = AV.SDL_CreateThread(SubtitleThreadEntry, "subtitle", new TThreadArg{this, is});
    break;
  default:
    break;
  }
  return 0;
}

void TCustomPlayer::StreamComponentClose(TVideoState *is, int AStreamIndex) {
  AVFormatContext *ic = is->ic;
  if (!ic || AStreamIndex < 0 || AStreamIndex >= static_cast<int>(ic->nb_streams))
    return;
  AVStream *st = ic->streams[AStreamIndex];
  AVCodecContext *avctx = nullptr;
  switch (st->codecpar->codec_type) {
  case AVMEDIA_TYPE_AUDIO:
    is->audioq.Abort();
    AV.SDL_CloseAudioDevice(is->audio_dev);
    is->audio_dev = 0;
    is->audioq.Flush();
    AV.swr_free(&is->reformat_ctx);
    AV.av_packet_free(&is->audio_pkt);
    AV.av_frame_free(&is->audio_frame);
    avctx = is->audio_dec;
    is->audio_dec = nullptr;
    break;
  case AVMEDIA_TYPE_VIDEO:
    is->videoq.Abort();
    // The video thread may wait for room in the ring or for an overlay.
    AV.SDL_LockMutex(is->pictq_mutex);
    AV.SDL_CondSignal(is->pictq_cond);
    AV.SDL_UnlockMutex(is->pictq_mutex);
    if (is->video_tid)
      AV.SDL_WaitThread(is->video_tid, nullptr);
    is->video_tid = nullptr;
    is->videoq.Flush();
    avctx = is->video_dec;
    is->video_dec = nullptr;
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    is->subtitleq.Abort();
    AV.SDL_LockMutex(is->subpq_mutex);
    is->subtitle_stream_changed = 1;
    AV.SDL_CondSignal(is->subpq_cond);
    AV.SDL_UnlockMutex(is->subpq_mutex);
    if (is->subtitle_tid)
      AV.SDL_WaitThread(is->subtitle_tid, nullptr);
    is->subtitle_tid = nullptr;
    is->subtitleq.Flush();
    avctx = is->subtitle_dec;
    is->subtitle_dec = nullptr;
    break;
  default:
    break;
  }
  st->discard = AVDISCARD_ALL;
  {
    std::lock_guard<TCriticalSection> lock(LibraryLock());
    AV.avcodec_free_context(&avctx);
  }
  switch (st->codecpar->codec_type) {
  case AVMEDIA_TYPE_AUDIO:
    is->audio_st = nullptr;
    is->audio_stream = -1;
    is->AudioDuration = -1;
    break;
  case AVMEDIA_TYPE_VIDEO:
    is->video_st = nullptr;
    is->video_stream = -1;
    break;
  case AVMEDIA_TYPE_SUBTITLE:
    is->subtitle_st = nullptr;
    is->subtitle_stream = -1;
    break;
  default:
    break;
  }
}

void TCustomPlayer::CloseComponents(TVideoState *is) {
  // Once: by the read thread at its end, or by a closer that left it behind.
  if (is->ComponentsClosed.exchange(true))
    return;
  if (is->audio_stream >= 0)
    StreamComponentClose(is, is->audio_stream);
  if (is->video_stream >= 0)
    StreamComponentClose(is, is->video_stream);
  if (is->subtitle_stream >= 0)
    StreamComponentClose(is, is->subtitle_stream);
}

void TCustomPlayer::SelectStream(AVMediaType AType, int32_t AIndex) {
  auto lock = LockData();
  TVideoState *is = FVideoState.load();
  if (!is)
    return;
  const int current = AType == AVMEDIA_TYPE_AUDIO   ? is->audio_stream.load()
                      : AType == AVMEDIA_TYPE_VIDEO ? is->video_stream.load()
                                                    : is->subtitle_stream.load();
  const int count = static_cast<int>(is->ic->nb_streams);
  const bool subtitle = AType == AVMEDIA_TYPE_SUBTITLE;
  if (!(current >= 0 && current < count) && !(subtitle && current == -1)) {
    Report(llError, "the current stream is not valid.");
    return;
  }
  if (!(AIndex >= 0 && AIndex < count) && !(subtitle && AIndex == -1)) {
    Report(llError, "the stream index is not valid.");
    return;
  }
  if (AIndex == current)
    return;
  if (AIndex >= 0) {
    const AVCodecParameters *par = is->ic->streams[AIndex]->codecpar;
    const AVMediaType type = par->codec_type;
    if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE) {
      Report(llError, "the stream type is invalid.");
      return;
    }
    if (type != AType) {
      Report(llError, "the stream type is not matched.");
      return;
    }
    if (type == AVMEDIA_TYPE_AUDIO && (par->sample_rate == 0 || par->ch_layout.nb_channels == 0)) {
      Report(llError, "the audio stream is not invalid.");
      return;
    }
  }
  StreamComponentClose(is, current);
  StreamComponentOpen(is, AIndex);
}

// ---------------------------------------------------------------------------
// Seeking

void TCustomPlayer::StreamSeek(TVideoState *is, int64_t APos, int64_t ARel, int AFlags) {
  if (is->seek_req)
    return;
  FSeeking = true;
  is->seek_paused = is->paused.load();
  is->seek_pos = APos;
  is->seek_rel = ARel;
  is->seek_flags = AFlags;
  FSeekEvent.ResetEvent();
  is->seek_req = 1;
}

void TCustomPlayer::SeekTo(TVideoState *is, int64_t APTS, TSeekFlags ASeekFlags) {
  if (ASeekFlags & SeekFlag(sfByte)) {
    StreamSeek(is, APTS, 0, static_cast<int>(ASeekFlags));
    return;
  }
  int64_t target = APTS;
  if (is->Duration > 0 && target > is->Duration)
    target = is->Duration;
  if (is->ic->start_time != AV_NOPTS_VALUE)
    target += is->ic->start_time;
  StreamSeek(is, target, APTS <= 0 ? 1 : 0, static_cast<int>(ASeekFlags));
}
