// Pictures and time: the clocks, the video thread with its filter graph and
// frame skipping, the picture ring with each picture's target time, the
// refresh thread and the refresh tick that shows pictures and drops late ones.
#include "playback/custom_player.h"

#include "platform/convert.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <thread>

using namespace player_detail;

// ---------------------------------------------------------------------------
// Clocks

namespace player_detail {

double GetAudioClock(TVideoState *is) {
  double pts = is->audio_clock;
  const int unplayed = is->audio_buf_size - is->audio_buf_index;
  const int bytesPerSec = is->audio_sample_rate * 2 * is->audio_channels;
  if (bytesPerSec > 0 && !is->audio_buf_silent)
    pts -= static_cast<double>(unplayed) / bytesPerSec;
  return pts;
}

double GetVideoClock(TVideoState *is) {
  if (is->paused)
    return is->video_current_pts;
  if (is->video_current_pts_drift != 0)
    return is->video_current_pts_drift + Now();
  return static_cast<double>(is->StartTime) / 1000000.0;
}

double GetExternalClock(TVideoState *is) {
  return is->external_clock + (Now() * 1000000.0 - static_cast<double>(is->external_clock_time)) / 1000000.0;
}

double GetMasterClock(TVideoState *is) {
  switch (is->av_sync_type) {
  case AV_SYNC_VIDEO_MASTER:
    return is->video_st ? GetVideoClock(is) : GetAudioClock(is);
  case AV_SYNC_AUDIO_MASTER:
    return is->audio_st ? GetAudioClock(is) : GetVideoClock(is);
  default:
    return GetExternalClock(is);
  }
}

} // namespace player_detail

namespace {

struct TThreadArg {
  TCustomPlayer *Player;
  TVideoState *State;
};

void SleepMs(int AMs) { std::this_thread::sleep_for(std::chrono::milliseconds(AMs)); }

} // namespace

// The video thread's decoder and filter graph. The graph takes the place of
// the old player's own source filter: decoded pictures go into a "buffer"
// source named "src" and come out of a "buffersink" named "out" limited to
// the overlay's 4:2:0 format.
struct TVideoDecodeState {
  AVFrame *Decoded = nullptr;
  AVPacket *Packet = nullptr;
  AVFilterGraph *Graph = nullptr;
  AVFilterContext *Src = nullptr;
  AVFilterContext *Sink = nullptr;
  int Width = 0, Height = 0, Format = -1;
  AVRational SAR{0, 1};
  bool Draining = false; // the decoder was given the end of the stream
};

namespace {

AVFilterInOut *InOut(const char *AName, AVFilterContext *ACtx) {
  AVFilterInOut *io = AV.avfilter_inout_alloc();
  if (!io)
    return nullptr;
  io->name = AV.av_strdup(AName);
  io->filter_ctx = ACtx;
  io->pad_idx = 0;
  io->next = nullptr;
  return io;
}

// (Re)builds the graph for pictures shaped like AFrame.
int ConfigureVideoFilters(TVideoDecodeState &d, const AVFrame *AFrame, AVRational ATimeBase, int ASwsFlags,
                          const std::string &AFilters) {
  AV.avfilter_graph_free(&d.Graph);
  d.Src = d.Sink = nullptr;
  d.Graph = AV.avfilter_graph_alloc();
  if (!d.Graph)
    return AVERROR(ENOMEM);
  d.Graph->scale_sws_opts = AV.av_strdup(::Format("flags=%d", ASwsFlags).c_str());
  const AVRational sar = AFrame->sample_aspect_ratio.den > 0 ? AFrame->sample_aspect_ratio : AVRational{0, 1};
  const std::string args = ::Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", AFrame->width,
                                  AFrame->height, AFrame->format, ATimeBase.num, ATimeBase.den, sar.num, sar.den);
  int ret = AV.avfilter_graph_create_filter(&d.Src, AV.avfilter_get_by_name("buffer"), "src", args.c_str(), nullptr,
                                            d.Graph);
  if (ret < 0)
    return ret;
  d.Sink = AV.avfilter_graph_alloc_filter(d.Graph, AV.avfilter_get_by_name("buffersink"), "out");
  if (!d.Sink)
    return AVERROR(ENOMEM);
  const AVPixelFormat fmts[] = {AV_PIX_FMT_YUV420P};
  ret = AV.av_opt_set_bin(d.Sink, "pix_fmts", reinterpret_cast<const uint8_t *>(fmts), sizeof(fmts),
                          AV_OPT_SEARCH_CHILDREN);
  if (ret < 0 || (ret = AV.avfilter_init_str(d.Sink, nullptr)) < 0)
    return ret;
  if (!AFilters.empty()) {
    AVFilterInOut *outputs = InOut("in", d.Src);
    AVFilterInOut *inputs = InOut("out", d.Sink);
    ret = AV.avfilter_graph_parse_ptr(d.Graph, AFilters.c_str(), &inputs, &outputs, nullptr);
    AV.avfilter_inout_free(&inputs);
    AV.avfilter_inout_free(&outputs);
  } else {
    ret = AV.avfilter_link(d.Src, 0, d.Sink, 0);
  }
  if (ret < 0)
    return ret;
  ret = AV.avfilter_graph_config(d.Graph, nullptr);
  if (ret < 0)
    return ret;
  d.Width = AFrame->width;
  d.Height = AFrame->height;
  d.Format = AFrame->format;
  d.SAR = AFrame->sample_aspect_ratio;
  return 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Video thread

int TCustomPlayer::VideoThreadEntry(void *AData) {
  auto *arg = static_cast<TThreadArg *>(AData);
  arg->Player->VideoThread(arg->State);
  delete arg;
  return 0;
}

void TCustomPlayer::VideoThread(TVideoState *is) {
  TVideoDecodeState d;
  d.Decoded = AV.av_frame_alloc();
  d.Packet = AV.av_packet_alloc();
  AVFrame *frame = AV.av_frame_alloc();
  while (d.Decoded && d.Packet && frame) {
    while (is->paused && !is->videoq.abort_request() && !is->seek_paused && !is->open_paused)
      SleepMs(10);
    const int ret = GetVideoPicture(is, frame, d);
    if (ret < 0)
      break;
    if (is->seek_done && is->seek_flushed) {
      is->seek_done = 0;
      is->seek_paused = 0;
    }
    const AVRational tb = AV.av_buffersink_get_time_base(d.Sink);
    const double pts = frame->pts == AV_NOPTS_VALUE ? 0 : static_cast<double>(frame->pts) * av_q2d(tb);
    const int64_t pos = frame->pkt_pos;
    const int queued = QueuePicture(is, frame, pts, pos);
    AV.av_frame_unref(frame);
    if (queued < 0)
      break;
    FPictEvent.SetEvent();
    is->EventEOF = false;
    if (!is->seek_req)
      FSeeking = false;
    if (is->open_paused) {
      if (is->open_paused > 1) {
        is->open_paused = 0;
        SetState(psPause);
      } else {
        ++is->open_paused;
      }
    }
    if (Fstep && is == FVideoState.load())
      StreamPause(is);
  }
  AV.av_frame_free(&frame);
  AV.av_frame_free(&d.Decoded);
  AV.av_packet_free(&d.Packet);
  AV.avfilter_graph_free(&d.Graph);
}

int TCustomPlayer::GetVideoPicture(TVideoState *is, AVFrame *AOut, TVideoDecodeState &d) {
  AVCodecContext *dec = is->video_dec;
  for (;;) {
    if (is->videoq.abort_request())
      return -1;
    if (d.Sink) {
      const int r = AV.av_buffersink_get_frame(d.Sink, AOut);
      if (r >= 0)
        return 1;
      if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
        return -1;
    }

    int r = AV.avcodec_receive_frame(dec, d.Decoded);
    if (r == 0) {
      AVFrame *f = d.Decoded;
      // The reordered value is the PTS of the packet the picture came from.
      const int64_t reordered = f->pts;
      const int64_t dts = f->pkt_dts;
      if (dts != AV_NOPTS_VALUE) {
        is->faulty_dts += dts <= is->last_dts_for_fault_detection;
        is->last_dts_for_fault_detection = dts;
      }
      if (reordered != AV_NOPTS_VALUE) {
        is->faulty_pts += reordered <= is->last_pts_for_fault_detection;
        is->last_pts_for_fault_detection = reordered;
      }
      int64_t pts;
      if ((Fdecoder_reorder_pts == 1 || (Fdecoder_reorder_pts && is->faulty_pts < is->faulty_dts) ||
           dts == AV_NOPTS_VALUE) &&
          reordered != AV_NOPTS_VALUE)
        pts = reordered;
      else if (dts != AV_NOPTS_VALUE)
        pts = dts;
      else
        pts = 0;
      is->skip_frames_index += 1;
      if (is->skip_frames_index < is->skip_frames) {
        AV.av_frame_unref(f);
        continue;
      }
      is->skip_frames_index -= std::max(is->skip_frames.load(), 1.0);
      f->pts = pts;
      // Pictures of another shape (a stream with changing size) get a graph of their own.
      if (!d.Graph || f->width != d.Width || f->height != d.Height || f->format != d.Format ||
          av_cmp_q(f->sample_aspect_ratio, d.SAR) != 0) {
        const int err = ConfigureVideoFilters(d, f, is->video_st->time_base, Fsws_flags, Fvfilters);
        if (err < 0) {
          FFLogger().Log(this, llError, "could not configure the video filters: " + AVErrorText(err));
          AV.av_frame_unref(f);
          return -1;
        }
      }
      if (AV.av_buffersrc_add_frame_flags(d.Src, f, 0) < 0)
        AV.av_frame_unref(f);
      continue;
    }
    if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
      FFLogger().Log(this, llInfo, "video decoding error: " + AVErrorText(r));

    // The decoder wants input.
    if (is->videoq.Get(d.Packet, true) < 0)
      return -1;
    AVPacket *pkt = d.Packet;
    if (pkt->data == FFlushPacket->data) {
      AV.avcodec_flush_buffers(dec);
      d.Draining = false;
      // Pictures still inside the graph are from before the seek.
      AV.avfilter_graph_free(&d.Graph);
      d.Src = d.Sink = nullptr;
      AV.SDL_LockMutex(is->pictq_mutex);
      for (auto &vp : is->pictq)
        vp.target_clock = 0;
      while (is->pictq_size && !is->videoq.abort_request())
        AV.SDL_CondWait(is->pictq_cond, is->pictq_mutex);
      is->video_current_pos = -1;
      AV.SDL_UnlockMutex(is->pictq_mutex);
      is->last_dts_for_fault_detection = std::numeric_limits<int64_t>::min();
      is->last_pts_for_fault_detection = std::numeric_limits<int64_t>::min();
      is->frame_last_pts = static_cast<double>(AV_NOPTS_VALUE);
      is->frame_last_delay = 0;
      is->frame_timer = Now();
      is->skip_frames = 1;
      is->skip_frames_index = 0;
      is->seek_flushed = 1;
      AV.av_packet_unref(pkt);
      continue;
    }
    if (!pkt->data && pkt->size == 0) {
      // The end of the stream: the decoder gives up what it holds back.
      if (!d.Draining) {
        AV.avcodec_send_packet(dec, nullptr);
        d.Draining = true;
      }
      AV.av_packet_unref(pkt);
      if (!is->EventEOF)
        CheckPosition(is);
      continue;
    }
    if (d.Draining) {
      AV.avcodec_flush_buffers(dec);
      d.Draining = false;
    }
    r = AV.avcodec_send_packet(dec, pkt);
    if (r < 0 && r != AVERROR(EAGAIN))
      FFLogger().Log(this, llInfo, "video decoding error: " + AVErrorText(r));
    AV.av_packet_unref(pkt);
  }
}

int TCustomPlayer::QueuePicture(TVideoState *is, AVFrame *AFrame, double APTS, int64_t APos) {
  // Predicted time of the next picture.
  double pts = APTS;
  if (pts != 0)
    is->video_clock = pts;
  else
    pts = is->video_clock;
  AVRational rate = AV.av_guess_frame_rate(is->ic, is->video_st, nullptr);
  const double frameDelay = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : av_q2d(is->video_st->time_base);
  is->video_clock = is->video_clock + frameDelay * (1 + AFrame->repeat_pict * 0.5);

  AV.SDL_LockMutex(is->pictq_mutex);
  if (is->pictq_size >= kPictQueueSize && !is->refresh)
    is->skip_frames = std::max(1.0 - kFrameSkipFactor, is->skip_frames * (1.0 - kFrameSkipFactor));
  while (is->pictq_size >= kPictQueueSize && !is->videoq.abort_request())
    AV.SDL_CondWait(is->pictq_cond, is->pictq_mutex);
  AV.SDL_UnlockMutex(is->pictq_mutex);
  if (is->videoq.abort_request())
    return -1;

  TVideoPicture &vp = is->pictq[is->pictq_windex];
  const int width = std::max(2, AFrame->width & ~1);
  const int height = std::max(2, AFrame->height & ~1);
  if (!vp.HasOverlay() || vp.width != width || vp.height != height) {
    AV.SDL_LockMutex(is->pictq_mutex);
    vp.allocated = false;
    vp.width = width;
    vp.height = height;
    AV.SDL_UnlockMutex(is->pictq_mutex);
    // SDL's video calls belong to the play thread.
    PushEvent(FF_ALLOC_EVENT, is);
    AV.SDL_LockMutex(is->pictq_mutex);
    while (!vp.allocated && !is->videoq.abort_request())
      AV.SDL_CondWait(is->pictq_cond, is->pictq_mutex);
    AV.SDL_UnlockMutex(is->pictq_mutex);
    if (is->videoq.abort_request())
      return -1;
  }

  // Copy into the overlay's planes, bottom-up when flipped.
  const bool flip = FVerticalFlip;
  for (int plane = 0; plane < 3; ++plane) {
    const int w = plane ? width / 2 : width;
    const int h = plane ? height / 2 : height;
    for (int y = 0; y < h; ++y) {
      const int sy = flip ? h - 1 - y : y;
      std::memcpy(vp.Data[plane] + static_cast<ptrdiff_t>(y) * vp.Linesize[plane],
                  AFrame->data[plane] + static_cast<ptrdiff_t>(sy) * AFrame->linesize[plane], static_cast<size_t>(w));
    }
  }
  vp.sar = AFrame->sample_aspect_ratio;
  RunHook(is, vp, pts);

  vp.pts = pts;
  vp.pos = APos;
  is->pictq_windex = (is->pictq_windex + 1) % kPictQueueSize;
  AV.SDL_LockMutex(is->pictq_mutex);
  vp.target_clock = ComputeTargetTime(is, vp.pts);
  ++is->pictq_size;
  AV.SDL_UnlockMutex(is->pictq_mutex);
  return 0;
}

double TCustomPlayer::ComputeTargetTime(TVideoState *is, double AFramePTS) {
  double delay = AFramePTS - is->frame_last_pts;
  if (delay <= 0 || delay >= 10.0)
    delay = is->frame_last_delay; // a jump or an unknown previous time: keep the last step
  else
    is->frame_last_delay = delay;
  is->frame_last_pts = AFramePTS;

  if ((is->av_sync_type == AV_SYNC_AUDIO_MASTER && is->audio_st) || is->av_sync_type == AV_SYNC_EXTERNAL_CLOCK) {
    const double diff = GetVideoClock(is) - GetMasterClock(is);
    const double threshold = std::max(delay, kAVSyncThreshold);
    if (std::fabs(diff) < kAVNoSyncThreshold) {
      if (diff <= -threshold)
        delay = 0;
      else if (diff >= threshold)
        delay = 2 * delay;
    }
  }
  is->frame_timer = is->frame_timer + delay;
  return is->frame_timer;
}

void TCustomPlayer::RunHook(TVideoState *is, TVideoPicture &vp, double APTS) {
  if (!FHook)
    return;
  THookEvent handler;
  {
    std::lock_guard<std::mutex> g(FHandlerLock);
    handler = FOnHook;
  }
  if (!handler)
    return;
  TPictureRef pic;
  for (int i = 0; i < 3; ++i) {
    pic.Data[i] = vp.Data[i];
    pic.Linesize[i] = vp.Linesize[i];
  }
  if (!PictureToBitmap(FHookContext, pic, AV_PIX_FMT_YUV420P, vp.width, vp.height)) {
    FFLogger().Log(this, llError, "Cannot initialize the toRGB conversion context");
    return;
  }
  try {
    handler(this, FHookContext.Bitmap.get(), std::llround(APTS * 1000000.0) - is->StartTime);
  } catch (const std::exception &e) {
    FFLogger().Log(this, llError, std::string("Error occurs OnHook: ") + e.what());
    return;
  }
  if (!BitmapToPicture(FHookContext, pic, AV_PIX_FMT_YUV420P, vp.width, vp.height))
    FFLogger().Log(this, llError, "Cannot initialize the fromRGB conversion context");
}

// ---------------------------------------------------------------------------
// Refresh thread and tick

int TCustomPlayer::RefreshThreadEntry(void *AData) {
  auto *arg = static_cast<TThreadArg *>(AData);
  TCustomPlayer *player = arg->Player;
  TVideoState *is = arg->State;
  delete arg;
  while (!is->abort_request) {
    if (!is->refresh) {
      is->refresh = 1;
      player->PushEvent(FF_REFRESH_EVENT, is);
    }
    SleepMs(is->show_audio && is->audio_st ? player->Frdftspeed : 5);
  }
  return 0;
}

void TCustomPlayer::VideoRefresh(TVideoState *is, bool AConsume) {
  bool dropped = false;
  if (is->video_st) {
    for (;;) {
      const bool forced = is->seek_done;
      AV.SDL_LockMutex(is->pictq_mutex);
      if (is->pictq_size == 0) {
        AV.SDL_UnlockMutex(is->pictq_mutex);
        if (!AConsume)
          VideoDisplay(is);
        break;
      }
      TVideoPicture &vp = is->pictq[is->pictq_rindex];
      const double now = Now();
      if (now < vp.target_clock) {
        AV.SDL_UnlockMutex(is->pictq_mutex);
        return;
      }
      is->video_current_pts = vp.pts;
      is->video_current_pts_drift = vp.pts - now;
      is->video_current_pos = vp.pos;
      const double nextTarget = is->pictq_size > 1
                                    ? is->pictq[(is->pictq_rindex + 1) % kPictQueueSize].target_clock
                                    : vp.target_clock + is->video_clock - vp.pts;
      // A paused picture is never late: dropping it would leave a preview
      // opened paused on a slow display without any picture.
      if ((Fframedrop && now > nextTarget && !is->IsDevice && !is->paused) || forced) {
        is->skip_frames = is->skip_frames * (1.0 + kFrameSkipFactor);
        if (is->pictq_size > 1 || now > nextTarget + 0.5 || forced) {
          is->pictq_rindex = (is->pictq_rindex + 1) % kPictQueueSize;
          --is->pictq_size;
          AV.SDL_CondSignal(is->pictq_cond);
          AV.SDL_UnlockMutex(is->pictq_mutex);
          dropped = true;
          continue;
        }
      }
      AV.SDL_UnlockMutex(is->pictq_mutex);

      if (is->subtitle_st) {
        AV.SDL_LockMutex(is->subpq_mutex);
        if (is->subtitle_stream_changed) {
          while (is->subpq_size) {
            AV.avsubtitle_free(&is->subpq[is->subpq_rindex].sub);
            is->subpq_rindex = (is->subpq_rindex + 1) % kSubPictQueueSize;
            --is->subpq_size;
          }
          is->subtitle_stream_changed = 0;
          AV.SDL_CondSignal(is->subpq_cond);
        } else if (is->subpq_size > 0) {
          TSubPicture &sp = is->subpq[is->subpq_rindex];
          TSubPicture *sp2 =
              is->subpq_size > 1 ? &is->subpq[(is->subpq_rindex + 1) % kSubPictQueueSize] : nullptr;
          const double shown = is->video_current_pts;
          if (shown > sp.pts + sp.sub.end_display_time / 1000.0 ||
              (sp2 && shown > sp2->pts + sp2->sub.start_display_time / 1000.0)) {
            AV.avsubtitle_free(&sp.sub);
            is->subpq_rindex = (is->subpq_rindex + 1) % kSubPictQueueSize;
            --is->subpq_size;
            AV.SDL_CondSignal(is->subpq_cond);
          }
        }
        AV.SDL_UnlockMutex(is->subpq_mutex);
      }

      ShowPicture(is, vp);
      VideoDisplay(is);
      if (AConsume) {
        AV.SDL_LockMutex(is->pictq_mutex);
        is->pictq_rindex = (is->pictq_rindex + 1) % kPictQueueSize;
        --is->pictq_size;
        AV.SDL_CondSignal(is->pictq_cond);
        AV.SDL_UnlockMutex(is->pictq_mutex);
      }
      break;
    }
  } else if (is->audio_st) {
    VideoDisplay(is);
  }
  if (!dropped)
    CheckPosition(is);
}
