// The video path: keep the output frame rate (drop or repeat pictures), crop
// by bands, scale to the encoder's size and format (unless a filter graph
// did), encode and write, then the post hooks.
#include "engine/custom_ffmpeg.h"

#include "platform/convert.h"
#include "platform/exceptions.h"

#include <cmath>

namespace {

// Moves the planes of APicture by the top and left bands and shrinks it by
// all four. False for formats whose planes cannot be cut that way (palettes,
// bit-packed and hardware pictures, packed subsampled YUV).
bool CropPicture(AVFrame *APicture, int ATop, int ABottom, int ALeft, int ARight) {
  const AVPixelFormat format = static_cast<AVPixelFormat>(APicture->format);
  const AVPixFmtDescriptor *desc = AV.av_pix_fmt_desc_get(format);
  if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL)))
    return false;
  if (!(desc->flags & AV_PIX_FMT_FLAG_PLANAR) && desc->log2_chroma_w)
    return false;
  const bool yuv = !(desc->flags & AV_PIX_FMT_FLAG_RGB) && desc->nb_components >= 3;
  const int planes = AV.av_pix_fmt_count_planes(format);
  for (int p = 0; p < planes; ++p) {
    int step = 0;
    bool chroma = false;
    for (int c = 0; c < desc->nb_components; ++c)
      if (desc->comp[c].plane == p) {
        step = std::max(step, desc->comp[c].step);
        chroma = chroma || (yuv && (c == 1 || c == 2));
      }
    const int shiftH = chroma ? desc->log2_chroma_h : 0;
    const int shiftW = chroma ? desc->log2_chroma_w : 0;
    APicture->data[p] += static_cast<ptrdiff_t>(ATop >> shiftH) * APicture->linesize[p] + (ALeft >> shiftW) * step;
  }
  APicture->width -= ALeft + ARight;
  APicture->height -= ATop + ABottom;
  return true;
}

struct TFrameDeleter {
  void operator()(AVFrame *p) const { AV.av_frame_free(&p); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

// The bands scaled to a new picture size, even and not negative.
int ScaleBand(int ANewSize, int ABand, int AOriginalSize) {
  int band = AOriginalSize > 0 ? ANewSize * ABand / AOriginalSize : 0;
  band -= band & 1;
  Assert(band >= 0, "band >= 0");
  return band;
}

} // namespace

void TCustomFFmpeg::WriteEncodedVideo(AVFormatContext *AOutput, TAVOutputStream &AOst, AVPacket *APkt) {
  size_t size = 0;
  if (const uint8_t *stats = AV.av_packet_get_side_data(APkt, AV_PKT_DATA_QUALITY_STATS, &size); stats && size >= 6) {
    AOst.quality = static_cast<int32_t>(stats[0] | stats[1] << 8 | stats[2] << 16 | static_cast<uint32_t>(stats[3]) << 24);
    AOst.pict_type = stats[4];
    const int errors = std::min<int>(stats[5], 3);
    for (int i = 0; i < errors && size >= 8 + 8 * static_cast<size_t>(i + 1); ++i) {
      uint64_t e = 0;
      for (int b = 7; b >= 0; --b)
        e = e << 8 | stats[8 + 8 * i + b];
      AOst.frame_error[i] = static_cast<int64_t>(e);
    }
  }
  AVCodecContext *enc = AOst.enc_ctx;
  if (AOst.logfile && enc->stats_out)
    std::fputs(enc->stats_out, AOst.logfile);
  TBitstreamFilterChain none;
  TBitstreamFilterChain *chain = ChainOf(AOst);
  WriteFrame(AOutput, APkt, chain ? *chain : none, enc);
}

// Takes every packet the encoder has ready and writes it; the bytes of the
// last one in AFrameSize.
static void ReceiveVideoPackets(AVCodecContext *AEnc, TAVOutputStream &AOst,
                                const std::function<void(AVPacket *)> &AWrite, int32_t &AFrameSize) {
  AVPacket *pkt = AV.av_packet_alloc();
  if (!pkt)
    throw FFmpegException("Video encoding failed");
  int ret;
  try {
    while ((ret = AV.avcodec_receive_packet(AEnc, pkt)) == 0) {
      // One picture lasts one tick of the encoder's clock; muxers that keep
      // sample durations (MP4) would otherwise lose the last picture.
      if (pkt->duration <= 0)
        pkt->duration = 1;
      AV.av_packet_rescale_ts(pkt, AEnc->time_base, AOst.st->time_base);
      pkt->stream_index = AOst.index;
      AFrameSize = pkt->size;
      AWrite(pkt);
      AV.av_packet_unref(pkt);
    }
  } catch (...) {
    AV.av_packet_free(&pkt);
    throw;
  }
  AV.av_packet_free(&pkt);
  if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
    throw FFmpegException("Video encoding failed");
}

void TCustomFFmpeg::DoVideoOut(AVFormatContext *AOutput, TAVOutputStream &AOst, TAVInputStream &AIst,
                               AVFrame *APicture, int32_t &AFrameSize) {
  AVCodecContext *enc = AOst.enc_ctx;
  AFrameSize = 0;

  // 1.-2. How many times this picture goes out: the input time in encoder
  // frames against the frames written.
  const double syncIpts = static_cast<double>(AOst.sync_ist->pts - Fstart_time) / 1000000.0 / av_q2d(enc->time_base);
  int64_t n = 1;
  if (Fvideo_sync_method != 0) {
    const double vdelta = syncIpts - static_cast<double>(AOst.sync_opts);
    if (vdelta < -1.1) {
      n = 0;
    } else if (Fvideo_sync_method == 2 ||
               (Fvideo_sync_method < 0 && (AOutput->oformat->flags & AVFMT_VARIABLE_FPS))) {
      if (vdelta <= -0.6)
        n = 0;
      else if (vdelta > 0.6)
        AOst.sync_opts = std::llrint(syncIpts);
    } else if (vdelta > 1.1) {
      n = std::llrint(vdelta);
    }
    if (n == 0) {
      ++Fnb_frames_drop;
      FShowDupOrDrop = true;
      if (Fverbose > 2)
        FFLogger().Log(this, llVerbose, "*** drop!");
    } else if (n > 1) {
      Fnb_frames_dup += static_cast<int32_t>(n - 1);
      FShowDupOrDrop = true;
      if (Fverbose > 2)
        FFLogger().LogFmt(this, llVerbose, "*** %d dup!", static_cast<int>(n - 1));
    }
  } else {
    AOst.sync_opts = std::llrint(syncIpts);
  }

  // 3. Neither more pictures than asked for nor any past the recording time:
  // a damaged time stamp can ask for millions of copies of one picture, and
  // the loop only sees the recording time in the stamps of packets it reads.
  n = std::min<int64_t>(n, static_cast<int64_t>(Fmax_frames[miVideo]) - AOst.frame_number);
  if (Frecording_time != INT64_MAX)
    n = std::min<int64_t>(
        n, AV.av_rescale_q_rnd(Frecording_time, AV_TIME_BASE_Q, enc->time_base, AV_ROUND_UP) - AOst.sync_opts);
  if (n <= 0)
    return;

  // 4. Crop.
  AVFrame *picture = APicture;
  TFramePtr cropped;
  const bool filtered = AIst.filter_graph != nullptr;
  if (!filtered && AOst.video_crop) {
    cropped.reset(AV.av_frame_clone(APicture));
    if (!cropped || !CropPicture(cropped.get(), AOst.topBand, AOst.bottomBand, AOst.leftBand, AOst.rightBand)) {
      if (Fexit_on_error)
        throw FFmpegException("error cropping picture");
      FFLogger().Log(this, llError, "error cropping picture");
      return;
    }
    picture = cropped.get();
  }

  // 5. A new picture size or format mid-stream.
  const int width = APicture->width - (AOst.leftBand + AOst.rightBand);
  const int height = APicture->height - (AOst.topBand + AOst.bottomBand);
  const bool changed = !filtered && (width != AOst.resample_width || height != AOst.resample_height ||
                       APicture->format != AOst.resample_pix_fmt);
  if (changed) {
    const char *name = AV.av_get_pix_fmt_name(static_cast<AVPixelFormat>(APicture->format));
    FFLogger().LogFmt(this, llQuiet, "Input Stream #%d.%d frame size changed to %dx%d, %s", AIst.file_index,
                      AIst.index, APicture->width, APicture->height, name ? name : "none");
    Assert(AOst.video_resample, "ost->video_resample");
  }

  // 6. Scale.
  if (!filtered && AOst.video_resample) {
    if (changed) {
      AOst.topBand = ScaleBand(APicture->height, AOst.original_topBand, AOst.original_height);
      AOst.bottomBand = ScaleBand(APicture->height, AOst.original_bottomBand, AOst.original_height);
      AOst.leftBand = ScaleBand(APicture->width, AOst.original_leftBand, AOst.original_width);
      AOst.rightBand = ScaleBand(APicture->width, AOst.original_rightBand, AOst.original_width);
      AOst.resample_width = APicture->width - (AOst.leftBand + AOst.rightBand);
      AOst.resample_height = APicture->height - (AOst.topBand + AOst.bottomBand);
      AOst.resample_pix_fmt = APicture->format;
      AV.sws_freeContext(AOst.img_resample_ctx);
      int64_t flags = Fsws_flags;
      if (FOptions.sws_opts && AV.av_opt_get_int(FOptions.sws_opts.get(), "sws_flags", 0, &flags) >= 0)
        Fsws_flags = static_cast<uint32_t>(flags);
      AOst.img_resample_ctx =
          AV.sws_getContext(AOst.resample_width, AOst.resample_height, static_cast<AVPixelFormat>(APicture->format),
                            enc->width, enc->height, enc->pix_fmt, static_cast<int>(Fsws_flags), nullptr, nullptr, nullptr);
      if (!AOst.img_resample_ctx)
        throw FFmpegException("Cannot get resampling context");
    }
    // The encoder may still hold the last scaled picture.
    if (AV.av_frame_make_writable(AOst.pict_tmp) < 0)
      throw FFmpegException("Cannot allocate temp picture, check pix fmt");
    AV.sws_scale(AOst.img_resample_ctx, picture->data, picture->linesize, 0, AOst.resample_height,
                 AOst.pict_tmp->data, AOst.pict_tmp->linesize);
    picture = AOst.pict_tmp;
  }

  // 7. Encode n times.
  const AVCodecContext *opts = FOptions.avcodec_opts[miVideo].get();
  const bool interlacedCoding =
      opts && (opts->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME));
  bool wrote = false;
  const auto write = [&](AVPacket *APkt) {
    wrote = true;
    Fvideo_size += APkt->size;
    WriteEncodedVideo(AOutput, AOst, APkt);
  };
  for (int64_t i = 0; i < n && !FBroken; ++i) {
    AVFrame *in = FPlan.Scratch;
    if (AV.av_frame_ref(in, picture) < 0)
      throw FFmpegException("Video encoding failed");
    in->interlaced_frame = APicture->interlaced_frame;
    if (interlacedCoding)
      in->top_field_first = Ftop_field_first == -1 ? APicture->top_field_first : Ftop_field_first;
    in->quality = Fsame_quality ? APicture->quality : enc->global_quality;
    if (!Fme_threshold)
      in->pict_type = AV_PICTURE_TYPE_NONE;
    in->pts = AOst.sync_opts;
    const int ret = AV.avcodec_send_frame(enc, in);
    AV.av_frame_unref(in);
    if (ret < 0)
      throw FFmpegException("Video encoding failed");
    wrote = false;
    ReceiveVideoPackets(enc, AOst, write, AFrameSize);
    if (wrote)
      RunPostHooks(picture, AV.av_rescale_q(AOst.sync_opts, enc->time_base, AV_TIME_BASE_Q));
    ++AOst.sync_opts;
    ++AOst.frame_number;
  }
}

void TCustomFFmpeg::FlushVideo(AVFormatContext *AOutput, TAVOutputStream &AOst) {
  AVCodecContext *enc = AOst.enc_ctx;
  const int ret = AV.avcodec_send_frame(enc, nullptr);
  if (ret < 0 && ret != AVERROR_EOF)
    throw FFmpegException("Video encoding failed");
  int32_t frameSize = 0;
  ReceiveVideoPackets(
      enc, AOst,
      [&](AVPacket *APkt) {
        Fvideo_size += APkt->size;
        WriteEncodedVideo(AOutput, AOst, APkt);
      },
      frameSize);
}
