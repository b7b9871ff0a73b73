// Creating output files and their streams from the pending output options.
//
// The current libraries keep no codec context in a stream, so each new output
// stream gets an encoder context here (configured, not opened) that waits in
// FStreamSetups until a run takes it into its plan.
#include "engine/custom_ffmpeg.h"
#include "engine/legacy_names.h"

#include "media/error_text.h"
#include "media/wide_file.h"
#include "platform/convert.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

AVRational SampleAspectRatio(float AAspect, int AWidth, int AHeight) {
  // The sides apart: their product overflows for a huge size.
  const double sar = AWidth != 0 && AHeight != 0 ? AAspect * AHeight / AWidth : AAspect * 3.0 / 4.0;
  return AV.av_d2q(sar, 255);
}

int Strictness(const AVCodecContext *AContext) { return AContext ? AContext->strict_std_compliance : 0; }

// "start,end,q/start,end,q...": q > 0 is a fixed quantiser, otherwise -q is a
// quality factor in percent.
void ParseRCOverride(const std::string &AText, AVCodecContext *ACtx) {
  std::vector<RcOverride> groups;
  const char *p = AText.c_str();
  while (p && *p) {
    char *end = nullptr;
    RcOverride o{};
    o.start_frame = static_cast<int>(std::strtol(p, &end, 10));
    if (end == p || *end != ',')
      throw FFmpegException("error parsing rc_override");
    p = end + 1;
    o.end_frame = static_cast<int>(std::strtol(p, &end, 10));
    if (end == p || *end != ',')
      throw FFmpegException("error parsing rc_override");
    p = end + 1;
    const int q = static_cast<int>(std::strtol(p, &end, 10));
    if (q > 0) {
      o.qscale = q;
      o.quality_factor = 1.0f;
    } else {
      o.qscale = 0;
      o.quality_factor = -q / 100.0f;
    }
    groups.push_back(o);
    p = std::strchr(p, '/');
    if (p)
      ++p;
  }
  if (groups.empty())
    return;
  auto *array = static_cast<RcOverride *>(AV.av_malloc(groups.size() * sizeof(RcOverride)));
  if (!array)
    throw FFmpegException("error parsing rc_override");
  std::copy(groups.begin(), groups.end(), array);
  AV.av_freep(&ACtx->rc_override);
  ACtx->rc_override = array;
  ACtx->rc_override_count = static_cast<int>(groups.size());
}

uint16_t *CopyMatrix(const std::array<uint16_t, 64> &AMatrix) {
  auto *m = static_cast<uint16_t *>(AV.av_malloc(sizeof(uint16_t) * 64));
  if (m)
    std::copy(AMatrix.begin(), AMatrix.end(), m);
  return m;
}

bool StartsWith(const std::string &AText, const char *APrefix) { return AText.rfind(APrefix, 0) == 0; }

} // namespace

TOutputStreamSetup *TCustomFFmpeg::StreamSetup(const AVStream *AStream) {
  const auto it = FStreamSetups.find(AStream);
  return it == FStreamSetups.end() ? nullptr : &it->second;
}

// The parts every new stream shares: the library stream with its id, the
// pending bitstream filter chain of its kind, the encoder context and its
// thread count and tag. The encoder (or none for copy) is resolved before
// anything is created, so a failure leaves the file as it was.
namespace {
struct TNewStream {
  AVStream *Stream;
  AVCodecContext *Codec;
};
} // namespace

static TNewStream CreateStream(AVFormatContext *AOutput, const AVCodec *ACodec, AVMediaType AType,
                               std::map<const AVStream *, TOutputStreamSetup> &ASetups, bool ACopy) {
  TCodecContextPtr ctx(AV.avcodec_alloc_context3(ACodec));
  AVStream *st = ctx ? AV.avformat_new_stream(AOutput, nullptr) : nullptr;
  if (!st)
    throw FFmpegException("Could not alloc stream");
  ctx->codec_type = AType;
  st->codecpar->codec_type = AType;
  AVCodecContext *raw = ctx.get();
  ASetups[st] = TOutputStreamSetup{std::move(ctx), ACopy};
  return {st, raw};
}

// The output file's number for the tables kept per output file: its slot, or
// the next one while it is being created.
static int32_t FileSlot(const std::vector<AVFormatContext *> &AFiles, int32_t ACount, const AVFormatContext *AOutput) {
  for (int32_t i = 0; i < ACount; ++i)
    if (AFiles[static_cast<size_t>(i)] == AOutput)
      return i;
  return ACount;
}

void TCustomFFmpeg::NewVideoStream(AVFormatContext *AOutput) {
  AVCodecContext *opts = FOptions.avcodec_opts[miVideo].get();
  const bool copy = Fvideo_stream_copy != 0;
  const AVCodec *codec = nullptr;
  bool byName = false;
  if (!copy) {
    AVCodecID id;
    if (!Fvideo_codec_name.empty()) {
      if (!FindCodec(Fvideo_codec_name, AVMEDIA_TYPE_VIDEO, true, Strictness(opts), id))
        throw FFmpegException(FLastErrMsg);
      codec = AV.avcodec_find_encoder_by_name(CurrentCodecName(Fvideo_codec_name).c_str());
      byName = true;
    } else {
      id = AV.av_guess_codec(AOutput->oformat, nullptr, AOutput->url, nullptr, AVMEDIA_TYPE_VIDEO);
      codec = AV.avcodec_find_encoder(id);
    }
  }
  TNewStream ns;
  try {
    ns = CreateStream(AOutput, codec, AVMEDIA_TYPE_VIDEO, FStreamSetups, copy);
  } catch (...) {
    Fvideo_codec_name.clear();
    throw;
  }
  AVStream *st = ns.Stream;
  AVCodecContext *enc = ns.Codec;
  if (!copy && !codec)
    enc->codec_id = AV.av_guess_codec(AOutput->oformat, nullptr, AOutput->url, nullptr, AVMEDIA_TYPE_VIDEO);
  st->id = st->index < MAX_STREAMS ? Fstreamid_map[static_cast<size_t>(st->index)] : 0;
  const int32_t slot = FileSlot(Foutput_files, Fnb_output_files, AOutput);
  if (slot < FMaxFiles && st->index < MAX_STREAMS)
    Fbitstream_filters[static_cast<size_t>(slot)][static_cast<size_t>(st->index)] =
        std::move(Fvideo_bitstream_filters);
  Fvideo_bitstream_filters.clear();
  enc->thread_count = Fthread_count;
  if (Fvideo_codec_tag)
    enc->codec_tag = Fvideo_codec_tag;
  if ((Fvideo_global_header & 1) ||
      (Fvideo_global_header == 0 && (AOutput->oformat->flags & AVFMT_GLOBALHEADER))) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (opts)
      opts->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (Fvideo_global_header & 2) {
    enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    if (opts)
      opts->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
  }

  if (copy) {
    st->sample_aspect_ratio = SampleAspectRatio(Fframe_aspect_ratio, Fframe_width, Fframe_height);
    enc->sample_aspect_ratio = st->sample_aspect_ratio;
  } else {
    enc->codec_id = codec ? codec->id : enc->codec_id;
    ApplyCollectedOptions(enc, opts, AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    AVRational rate = Fframe_rate.num > 0 && Fframe_rate.den > 0 ? Fframe_rate : AVRational{25, 1};
    if (codec && codec->supported_framerates && !Fforce_fps)
      rate = codec->supported_framerates[AV.av_find_nearest_q_idx(rate, codec->supported_framerates)];
    enc->time_base = AVRational{rate.den, rate.num};
    enc->framerate = rate;
    enc->width = Fframe_width;
    enc->height = Fframe_height;
    st->sample_aspect_ratio = SampleAspectRatio(Fframe_aspect_ratio, Fframe_width, Fframe_height);
    enc->sample_aspect_ratio = st->sample_aspect_ratio;
    AVPixelFormat pixFmt = Fframe_pix_fmt;
    if (codec && codec->pix_fmts) {
      bool listed = false;
      for (const AVPixelFormat *p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        listed = listed || *p == pixFmt;
      const bool mjpegLoose = codec->id == AV_CODEC_ID_MJPEG &&
                              enc->strict_std_compliance <= FF_COMPLIANCE_UNOFFICIAL &&
                              (pixFmt == AV_PIX_FMT_YUV420P || pixFmt == AV_PIX_FMT_YUV422P);
      if (!listed && !mjpegLoose)
        pixFmt = codec->pix_fmts[0];
    }
    enc->pix_fmt = pixFmt;
    if (Fintra_only)
      enc->gop_size = 0;
    if (Fvideo_qscale != 0 || Fsame_quality) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = static_cast<int>(FF_QP2LAMBDA * Fvideo_qscale);
    }
    if (Fintra_matrix)
      enc->intra_matrix = CopyMatrix(*Fintra_matrix);
    if (Finter_matrix)
      enc->inter_matrix = CopyMatrix(*Finter_matrix);
    ParseRCOverride(Fvideo_rc_override_string, enc);
    if (enc->rc_initial_buffer_occupancy == 0)
      enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
    enc->intra_dc_precision = Fintra_dc_precision - 8;
    if (Fdo_psnr)
      enc->flags |= AV_CODEC_FLAG_PSNR;
    if (Fdo_pass == 1)
      enc->flags |= AV_CODEC_FLAG_PASS1;
    else if (Fdo_pass == 2)
      enc->flags |= AV_CODEC_FLAG_PASS2;
  }

  if (Fnb_ocodecs < static_cast<int32_t>(Foutput_codecs.size()))
    Foutput_codecs[static_cast<size_t>(Fnb_ocodecs++)] = byName ? codec : nullptr;
  if (!Fvideo_language.empty()) {
    AV.av_dict_set(&st->metadata, "language", Fvideo_language.c_str(), 0);
    Fvideo_language.clear();
  }
  Fvideo_disable = false;
  Fvideo_codec_name.clear();
  Fvideo_stream_copy = 0;
  Fframe_pix_fmt = AV_PIX_FMT_NONE;
}

void TCustomFFmpeg::NewAudioStream(AVFormatContext *AOutput) {
  AVCodecContext *opts = FOptions.avcodec_opts[miAudio].get();
  const bool copy = Faudio_stream_copy != 0;
  const AVCodec *codec = nullptr;
  bool byName = false;
  AVCodecID id = AV_CODEC_ID_NONE;
  if (!copy) {
    if (!Faudio_codec_name.empty()) {
      if (!FindCodec(Faudio_codec_name, AVMEDIA_TYPE_AUDIO, true, Strictness(opts), id))
        throw FFmpegException(FLastErrMsg);
      codec = AV.avcodec_find_encoder_by_name(CurrentCodecName(Faudio_codec_name).c_str());
      byName = true;
    } else {
      id = AV.av_guess_codec(AOutput->oformat, nullptr, AOutput->url, nullptr, AVMEDIA_TYPE_AUDIO);
      codec = AV.avcodec_find_encoder(id);
    }
  }
  TNewStream ns;
  try {
    ns = CreateStream(AOutput, codec, AVMEDIA_TYPE_AUDIO, FStreamSetups, copy);
  } catch (...) {
    Faudio_codec_name.clear();
    throw;
  }
  AVStream *st = ns.Stream;
  AVCodecContext *enc = ns.Codec;
  st->id = st->index < MAX_STREAMS ? Fstreamid_map[static_cast<size_t>(st->index)] : 0;
  const int32_t slot = FileSlot(Foutput_files, Fnb_output_files, AOutput);
  if (slot < FMaxFiles && st->index < MAX_STREAMS)
    Fbitstream_filters[static_cast<size_t>(slot)][static_cast<size_t>(st->index)] =
        std::move(Faudio_bitstream_filters);
  Faudio_bitstream_filters.clear();
  enc->thread_count = Fthread_count;
  if (Faudio_codec_tag)
    enc->codec_tag = Faudio_codec_tag;
  if (AOutput->oformat->flags & AVFMT_GLOBALHEADER) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (opts)
      opts->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }

  if (copy) {
    AV.av_channel_layout_uninit(&enc->ch_layout);
    AV.av_channel_layout_default(&enc->ch_layout, Faudio_channels);
    enc->sample_rate = Faudio_sample_rate;
  } else {
    enc->codec_id = codec ? codec->id : id;
    ApplyCollectedOptions(enc, opts, AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
    if (Faudio_qscale > -99999.0f) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = static_cast<int>(FF_QP2LAMBDA * Faudio_qscale);
    }
    AV.av_channel_layout_uninit(&enc->ch_layout);
    // A layout that does not fit the channel count is dropped for the
    // count's default layout.
    if (Fchannel_layout != 0 && std::popcount(static_cast<uint64_t>(Fchannel_layout)) == Faudio_channels)
      AV.av_channel_layout_from_mask(&enc->ch_layout, static_cast<uint64_t>(Fchannel_layout));
    else
      AV.av_channel_layout_default(&enc->ch_layout, Faudio_channels);
    AVSampleFormat sampleFmt = Faudio_sample_fmt;
    if (codec && codec->sample_fmts) {
      bool listed = false;
      for (const AVSampleFormat *p = codec->sample_fmts; *p != AV_SAMPLE_FMT_NONE; ++p)
        listed = listed || *p == sampleFmt;
      if (!listed)
        sampleFmt = codec->sample_fmts[0];
    }
    enc->sample_fmt = sampleFmt;
    int rate = Faudio_sample_rate;
    if (codec && codec->supported_samplerates) {
      int best = 0;
      for (const int *p = codec->supported_samplerates; *p; ++p)
        if (!best || std::abs(*p - rate) < std::abs(best - rate))
          best = *p;
      if (best && best != rate) {
        FFLogger().LogFmt(this, llWarning, "Requested sampling rate unsupported using closest supported (%d)", best);
        rate = best;
      }
    }
    enc->sample_rate = rate;
  }

  if (Fnb_ocodecs < static_cast<int32_t>(Foutput_codecs.size()))
    Foutput_codecs[static_cast<size_t>(Fnb_ocodecs++)] = byName ? codec : nullptr;
  // The encoder's own rate, also when the closest supported one replaced the
  // requested rate: samples are counted at the encoder's rate.
  enc->time_base = AVRational{1, enc->sample_rate > 0 ? enc->sample_rate : Faudio_sample_rate};
  if (!Faudio_language.empty()) {
    AV.av_dict_set(&st->metadata, "language", Faudio_language.c_str(), 0);
    Faudio_language.clear();
  }
  Faudio_disable = false;
  Faudio_codec_name.clear();
  Faudio_stream_copy = 0;
}

void TCustomFFmpeg::NewSubtitleStream(AVFormatContext *AOutput) {
  AVCodecContext *opts = FOptions.avcodec_opts[miSubtitle].get();
  const bool copy = Fsubtitle_stream_copy != 0;
  const AVCodec *codec = nullptr;
  AVCodecID id = AV_CODEC_ID_NONE;
  if (!copy) {
    if (!FindCodec(Fsubtitle_codec_name, AVMEDIA_TYPE_SUBTITLE, true, Strictness(opts), id))
      throw FFmpegException(FLastErrMsg);
    if (!Fsubtitle_codec_name.empty()) {
      codec = AV.avcodec_find_encoder_by_name(CurrentCodecName(Fsubtitle_codec_name).c_str());
    } else {
      // Without a name the format's own subtitle codec, as for video and
      // audio; no codec at all could only fail when the run starts.
      id = AV.av_guess_codec(AOutput->oformat, nullptr, AOutput->url, nullptr, AVMEDIA_TYPE_SUBTITLE);
    }
  }
  TNewStream ns;
  try {
    ns = CreateStream(AOutput, codec, AVMEDIA_TYPE_SUBTITLE, FStreamSetups, copy);
  } catch (...) {
    Fsubtitle_codec_name.clear();
    throw;
  }
  AVStream *st = ns.Stream;
  AVCodecContext *enc = ns.Codec;
  st->id = st->index < MAX_STREAMS ? Fstreamid_map[static_cast<size_t>(st->index)] : 0;
  const int32_t slot = FileSlot(Foutput_files, Fnb_output_files, AOutput);
  if (slot < FMaxFiles && st->index < MAX_STREAMS)
    Fbitstream_filters[static_cast<size_t>(slot)][static_cast<size_t>(st->index)] =
        std::move(Fsubtitle_bitstream_filters);
  Fsubtitle_bitstream_filters.clear();
  enc->thread_count = Fthread_count;
  if (Fsubtitle_codec_tag)
    enc->codec_tag = Fsubtitle_codec_tag;
  if (AOutput->oformat->flags & AVFMT_GLOBALHEADER)
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (!copy) {
    enc->codec_id = id;
    // Subtitle times are microseconds; today's encoders want to be told.
    enc->time_base = AV_TIME_BASE_Q;
    // The generic subtitle options reach the encoder like those of video and audio.
    ApplyCollectedOptions(enc, opts, AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_SUBTITLE_PARAM);
  }
  if (Fnb_ocodecs < static_cast<int32_t>(Foutput_codecs.size()))
    Foutput_codecs[static_cast<size_t>(Fnb_ocodecs++)] = codec;
  if (!Fsubtitle_language.empty()) {
    AV.av_dict_set(&st->metadata, "language", Fsubtitle_language.c_str(), 0);
    Fsubtitle_language.clear();
  }
  Fsubtitle_disable = false;
  Fsubtitle_codec_name.clear();
  Fsubtitle_stream_copy = 0;
}

int32_t TCustomFFmpeg::OpenOutputFile(const std::string &AFileName, bool AJoin) {
  // A joined output takes every input; there is no room for another output,
  // before or after it.
  if (FJoinMode || (AJoin && Fnb_output_files > 0)) {
    FLastErrMsg = "Cannot join more than one output file.";
    return -1;
  }
  if (Fnb_output_files >= FMaxFiles) {
    FLastErrMsg = Format("max output files %d reached", FMaxFiles);
    return -1;
  }
  FEnableFilter = !Fvfilters.empty();
  const std::string url = WideFileNameToURL(AFileName);

  // The feed server protocol went away with the libraries' "ffm" muxer.
  if (Flast_asked_format == "ffm" && StartsWith(AFileName, "http:")) {
    Flast_asked_format.clear();
    throw FFmpegException("Feed server output is not supported");
  }

  // 3. The format.
  const AVOutputFormat *format;
  if (!Flast_asked_format.empty()) {
    const std::string asked = Flast_asked_format;
    Flast_asked_format.clear();
    format = AV.av_guess_format(asked.c_str(), nullptr, nullptr);
    if (!format) {
      FLastErrMsg = Format("Requested output format '%s' is not a suitable output format", asked.c_str());
      return -1;
    }
  } else {
    format = AV.av_guess_format(nullptr, url.c_str(), nullptr);
    if (!format) {
      FLastErrMsg = Format("Unable to find a suitable output format for '%s'", AFileName.c_str());
      return -1;
    }
  }
  AVFormatContext *oc = nullptr;
  if (AV.avformat_alloc_output_context2(&oc, format, nullptr, nullptr) < 0 || !oc)
    throw FFmpegException("avformat_alloc_context failed");
  oc->url = AV.av_strdup(url.substr(0, 1023).c_str());

  // Frees a file that did not make it, with the streams' setups and chains.
  int32_t slot = Fnb_output_files;
  const auto discard = [this, &oc, &slot]() {
    for (unsigned i = 0; i < oc->nb_streams; ++i) {
      FStreamSetups.erase(oc->streams[i]);
      if (i < static_cast<unsigned>(MAX_STREAMS))
        Fbitstream_filters[static_cast<size_t>(slot)][i].clear();
    }
    if (oc->pb)
      CloseWideIO(&oc->pb);
    AV.avformat_free_context(oc);
    oc = nullptr;
  };

  // 5. Which kinds of stream: those the format or the options ask for, and
  // only when some input (the first, when joining) has one.
  // Audio formats that now take a cover picture (MP3, FLAC, AIFF) name PNG as
  // their video codec; that is no video stream.
  const bool coverOnly = format->video_codec == AV_CODEC_ID_PNG && format->audio_codec != AV_CODEC_ID_NONE;
  bool useVideo = (format->video_codec != AV_CODEC_ID_NONE && !coverOnly) || Fvideo_stream_copy ||
                  !Fvideo_codec_name.empty();
  bool useAudio = format->audio_codec != AV_CODEC_ID_NONE || Faudio_stream_copy || !Faudio_codec_name.empty();
  bool useSubtitle =
      format->subtitle_codec != AV_CODEC_ID_NONE || Fsubtitle_stream_copy || !Fsubtitle_codec_name.empty();
  if (Fnb_input_files > 0) {
    bool hasVideo = false, hasAudio = false, hasSubtitle = false;
    const int32_t files = AJoin ? 1 : Fnb_input_files;
    for (int32_t f = 0; f < files; ++f) {
      const AVFormatContext *ic = Finput_files[static_cast<size_t>(f)];
      for (unsigned s = 0; s < ic->nb_streams; ++s)
        switch (ic->streams[s]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
          hasVideo = true;
          break;
        case AVMEDIA_TYPE_AUDIO:
          hasAudio = true;
          break;
        case AVMEDIA_TYPE_SUBTITLE:
          hasSubtitle = true;
          break;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_ATTACHMENT:
          break;
        default:
          FLastErrMsg = "check_audio_video_sub_inputs fail: invalid codec_type of input file";
          discard();
          return -1;
        }
    }
    useVideo = useVideo && hasVideo;
    useAudio = useAudio && hasAudio;
    useSubtitle = useSubtitle && hasSubtitle;
  }
  if (Fvideo_disable)
    useVideo = false;
  if (Faudio_disable)
    useAudio = false;
  if (Fsubtitle_disable)
    useSubtitle = false;

  // 6. The streams.
  const auto create = [&](bool AUse, void (TCustomFFmpeg::*ANew)(AVFormatContext *), const char *AWhat) {
    if (!AUse)
      return true;
    try {
      (this->*ANew)(oc);
      return true;
    } catch (const std::exception &e) {
      FLastErrMsg = Format("%s fail: %s", AWhat, e.what());
      return false;
    }
  };
  if (!create(useVideo, &TCustomFFmpeg::NewVideoStream, "new_video_stream") ||
      !create(useAudio, &TCustomFFmpeg::NewAudioStream, "new_audio_stream") ||
      !create(useSubtitle, &TCustomFFmpeg::NewSubtitleStream, "new_subtitle_stream")) {
    discard();
    return -1;
  }

  // 7. Time stamp and metadata. The file's time stamp is the creation time
  // the muxers write.
  if (Frecording_timestamp != 0) {
    const std::time_t t = static_cast<std::time_t>(Frecording_timestamp);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    AV.av_dict_set(&oc->metadata, "creation_time", text, 0);
  }
  for (auto it = Fmetadata.rbegin(); it != Fmetadata.rend(); ++it)
    AV.av_dict_set(&oc->metadata, it->first.c_str(), it->second.c_str(), 0);
  Fmetadata.clear();

  // 8. Counted from here on.
  Foutput_files[static_cast<size_t>(slot)] = oc;
  ++Fnb_output_files;
  const auto fail = [&](const std::string &AMsg) {
    FLastErrMsg = AMsg;
    --Fnb_output_files;
    Foutput_files[static_cast<size_t>(slot)] = nullptr;
    discard();
    return -1;
  };

  // 9. The file itself (an existing one is overwritten).
  if ((format->flags & AVFMT_NEEDNUMBER) && !AV.av_filename_number_test(url.c_str()))
    return fail(AFileName + ": " + OpenErrorText(-33));
  if (!(format->flags & AVFMT_NOFILE)) {
    const int ret = OpenWideIO(&oc->pb, url, AVIO_FLAG_WRITE);
    if (ret < 0)
      return fail(AFileName + ": " + OpenErrorText(ret));
  }

  // 10. Muxing parameters. The preload and the loop count are options of the
  // muxers that have them (MPEG program streams, GIF).
  oc->max_delay = static_cast<int>(Fmux_max_delay * 1000000);
  // Only a muxer with an option class has options in its private data.
  if (oc->priv_data && format->priv_class) {
    if (AV.av_opt_find(oc->priv_data, "preload", nullptr, 0, 0))
      AV.av_opt_set_int(oc->priv_data, "preload", static_cast<int64_t>(Fmux_preload * 1000000), 0);
    if (Floop_output != -1 && AV.av_opt_find(oc->priv_data, "loop", nullptr, 0, 0))
      AV.av_opt_set_int(oc->priv_data, "loop", Floop_output, 0);
  }
  oc->flags |= AVFMT_FLAG_NONBLOCK;
  ApplyCollectedOptions(oc, FOptions.avformat_opts.get(), AV_OPT_FLAG_ENCODING_PARAM);
  Fstreamid_map.fill(0);

  // 11. Join: one output entry per input, all the same file.
  if (AJoin && Fnb_input_files > 1) {
    FJoinMode = true;
    int64_t total = 0;
    for (int32_t i = 0; i < Fnb_input_files; ++i) {
      const int64_t d = Finput_files[static_cast<size_t>(i)]->duration;
      if (d != AV_NOPTS_VALUE && d > 0)
        total += d;
    }
    FTotalOutputDuration = total != 0 ? total : -1;
    for (int32_t i = 1; i < Fnb_input_files && Fnb_output_files < FMaxFiles; ++i)
      Foutput_files[static_cast<size_t>(Fnb_output_files++)] = oc;
  }
  return Fnb_output_files;
}
