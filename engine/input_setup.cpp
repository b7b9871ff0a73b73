// Opening input files with the pending input options, and looking codec
// names up for inputs and outputs.
#include "engine/custom_ffmpeg.h"
#include "engine/legacy_names.h"

#include "media/error_text.h"
#include "media/wide_file.h"
#include "platform/convert.h"

#include <mutex>

namespace {

// Frees an input that failed after its context was allocated.
struct TPendingInput {
  AVFormatContext *Context = nullptr;
  bool Opened = false; // closed through CloseInputFormat, else only freed
  ~TPendingInput() {
    if (Opened)
      CloseInputFormat(&Context);
    else if (Context)
      AV.avformat_free_context(Context);
  }
  AVFormatContext *Release() {
    AVFormatContext *c = Context;
    Context = nullptr;
    return c;
  }
};

int Strictness(const TCodecContextPtr &AContext) { return AContext ? AContext->strict_std_compliance : 0; }

} // namespace

bool TCustomFFmpeg::FindCodec(const std::string &AName, AVMediaType AType, bool AEncoder, int AStrict,
                              AVCodecID &ACodecID) {
  ACodecID = AV_CODEC_ID_NONE;
  if (AName.empty())
    return true;
  const char *kind = AEncoder ? "encoder" : "decoder";
  // The catalogue still names some codecs by their older names ("libfaac").
  const std::string name = CurrentCodecName(AName);
  const AVCodec *codec =
      AEncoder ? AV.avcodec_find_encoder_by_name(name.c_str()) : AV.avcodec_find_decoder_by_name(name.c_str());
  if (!codec) {
    FLastErrMsg = Format("Unknown %s '%s'", kind, AName.c_str());
    return false;
  }
  if (codec->type != AType) {
    FLastErrMsg = Format("Invalid %s type '%s'", kind, AName.c_str());
    return false;
  }
  if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && AStrict > FF_COMPLIANCE_EXPERIMENTAL) {
    FLastErrMsg = Format("%s '%s' is experimental and might produce bad results.\r\n"
                         "Add '-strict experimental' if you want to use it.",
                         kind, codec->name);
    const AVCodec *other = AEncoder ? AV.avcodec_find_encoder(codec->id) : AV.avcodec_find_decoder(codec->id);
    if (other && !(other->capabilities & AV_CODEC_CAP_EXPERIMENTAL))
      FLastErrMsg += Format("\r\nOr use the non experimental %s '%s'.", kind, other->name);
    return false;
  }
  ACodecID = codec->id;
  return true;
}

bool TCustomFFmpeg::OpenInputFile(const std::string &AFileName) {
  const char *fileName = AFileName.c_str();
  if (Fnb_input_files >= FMaxFiles) {
    FLastErrMsg = Format("max input files %d reached", FMaxFiles);
    return false;
  }

  // 1. The asked format.
  const AVInputFormat *format = nullptr;
  if (!Flast_asked_format.empty()) {
    format = AV.av_find_input_format(Flast_asked_format.c_str());
    if (!format)
      throw FFmpegException(Format("Unknown input format: \"%s\"", Flast_asked_format.c_str()));
    Flast_asked_format.clear();
  }

  // Whatever happens from here on, the per-input choices do not carry over to
  // the next input.
  struct TClearPending {
    TCustomFFmpeg &E;
    ~TClearPending() {
      E.Fvideo_codec_name.clear();
      E.Faudio_codec_name.clear();
      E.Fsubtitle_codec_name.clear();
      E.Fvideo_channel = 0;
    }
  } clearPending{*this};

  // 2. The context and the format parameters. The current libraries take the
  // parameters as demuxer options: each demuxer uses those it knows.
  TPendingInput input;
  input.Context = AV.avformat_alloc_context();
  if (!input.Context)
    throw FFmpegException("avformat_alloc_context failed");
  AVFormatContext *ic = input.Context;
  TDictionaryPtr params;
  {
    AVDictionary *d = nullptr;
    AV.av_dict_set_int(&d, "sample_rate", Faudio_sample_rate, 0);
    AVChannelLayout layout{};
    AV.av_channel_layout_default(&layout, Faudio_channels);
    char text[64] = "";
    if (AV.av_channel_layout_describe(&layout, text, sizeof text) > 0)
      AV.av_dict_set(&d, "ch_layout", text, 0);
    AV.av_channel_layout_uninit(&layout);
    if (Fframe_rate.num > 0 && Fframe_rate.den > 0)
      AV.av_dict_set(&d, "framerate", Format("%d/%d", Fframe_rate.num, Fframe_rate.den).c_str(), 0);
    if (Fframe_width > 0 && Fframe_height > 0)
      AV.av_dict_set(&d, "video_size", Format("%dx%d", Fframe_width, Fframe_height).c_str(), 0);
    if (Fframe_pix_fmt != AV_PIX_FMT_NONE)
      if (const char *name = AV.av_get_pix_fmt_name(Fframe_pix_fmt))
        AV.av_dict_set(&d, "pixel_format", name, 0);
    if (Fvideo_channel)
      AV.av_dict_set_int(&d, "channel", Fvideo_channel, 0);
    if (!Fvideo_standard.empty())
      AV.av_dict_set(&d, "standard", Fvideo_standard.c_str(), 0);
    // Looping an input is an option of the demuxers that can (image sequences).
    if (Floop_input)
      AV.av_dict_set(&d, "loop", "1", 0);
    for (const auto &opt : FOptions.private_opts)
      if (opt.Kinds & pkDemuxer)
        AV.av_dict_set(&d, opt.Name.c_str(), opt.Value.c_str(), 0);
    params.reset(d);
  }
  ApplyCollectedOptions(ic, FOptions.avformat_opts.get(), AV_OPT_FLAG_DECODING_PARAM);

  // 3. Forced decoders.
  AVCodecID videoID, audioID, subtitleID;
  if (!FindCodec(Fvideo_codec_name, AVMEDIA_TYPE_VIDEO, false, Strictness(FOptions.avcodec_opts[miVideo]), videoID) ||
      !FindCodec(Faudio_codec_name, AVMEDIA_TYPE_AUDIO, false, Strictness(FOptions.avcodec_opts[miAudio]), audioID) ||
      !FindCodec(Fsubtitle_codec_name, AVMEDIA_TYPE_SUBTITLE, false, Strictness(FOptions.avcodec_opts[miSubtitle]),
                 subtitleID))
    return false;
  ic->video_codec_id = videoID;
  ic->audio_codec_id = audioID;
  ic->subtitle_codec_id = subtitleID;
  ic->flags |= AVFMT_FLAG_NONBLOCK;
  if (Fpgmyuv_compatibility_hack)
    ic->video_codec_id = AV_CODEC_ID_PGMYUV;

  // 4. Open. On failure the library has freed the context.
  const std::string url = WideFileNameToURL(AFileName);
  AVDictionary *paramsRaw = params.release();
  const int ret = OpenInputFormat(&input.Context, url, format, &paramsRaw);
  params.reset(paramsRaw);
  if (ret < 0) {
    input.Context = nullptr;
    FLastErrMsg = AFileName + ": " + OpenErrorText(ret);
    return false;
  }
  input.Opened = true;
  ic = input.Context;

  // 5. Program selection.
  if (Fopt_programid) {
    bool found = false;
    for (unsigned i = 0; i < ic->nb_streams; ++i)
      ic->streams[i]->discard = AVDISCARD_ALL;
    for (unsigned p = 0; p < ic->nb_programs; ++p) {
      AVProgram *program = ic->programs[p];
      if (program->id != Fopt_programid) {
        program->discard = AVDISCARD_ALL;
        continue;
      }
      found = true;
      for (unsigned s = 0; s < program->nb_stream_indexes; ++s)
        ic->streams[program->stream_index[s]]->discard = AVDISCARD_DEFAULT;
    }
    if (!found) {
      FLastErrMsg = "Specified program id not found";
      return false;
    }
    Fopt_programid = 0;
  }

  // 6. Stream parameters. Probing opens decoders, which the libraries do not
  // allow from several threads at once.
  int probed;
  {
    std::lock_guard<TCriticalSection> g(LibraryLock());
    probed = AV.avformat_find_stream_info(ic, nullptr);
  }
  if (probed < 0 && Fverbose >= 0) {
    FLastErrMsg = Format("%s: could not find codec parameters", fileName);
    FFLogger().Log(this, llVerbose, FLastErrMsg);
    return false;
  }

  // 7. Start position.
  int64_t timestamp = Fstart_time;
  if (ic->start_time != AV_NOPTS_VALUE)
    timestamp += ic->start_time;
  if (Fstart_time != 0) {
    if (AV.av_seek_frame(ic, -1, timestamp, AVSEEK_FLAG_BACKWARD) < 0 && Fverbose > 0)
      FFLogger().LogFmt(this, llVerbose, "%s: could not seek to position %0.3f", fileName,
                        static_cast<double>(timestamp) / AV_TIME_BASE);
  }
  Fstart_time = 0;

  // 8. Per stream: the pending options follow what the input has, so that
  // outputs created after it match it unless told otherwise.
  std::vector<const AVCodec *> forced;
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    AVStream *st = ic->streams[i];
    AVCodecParameters *par = st->codecpar;
    switch (par->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
      Fframe_width = par->width;
      Fframe_height = par->height;
      const AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : par->sample_aspect_ratio;
      const double ratio = sar.num && sar.den ? static_cast<double>(sar.num) / sar.den : 0;
      // Both sides tested apart: a damaged header's product overflows.
      if (par->width != 0 && par->height != 0)
        Fframe_aspect_ratio = static_cast<float>(ratio != 0 ? par->width * ratio / par->height
                                                            : static_cast<double>(par->width) / par->height);
      else if (ratio == 0)
        Fframe_aspect_ratio = 4.0f / 3.0f;
      if (par->format < 0)
        par->format = AV_PIX_FMT_YUV420P;
      Fframe_pix_fmt = static_cast<AVPixelFormat>(par->format);
      // A reduced-resolution decode gives smaller pictures.
      if (const AVCodecContext *opts = FOptions.avcodec_opts[miVideo].get(); opts && opts->lowres > 0) {
        Fframe_width >>= opts->lowres;
        Fframe_height >>= opts->lowres;
      }
      // Streams carry no codec time base any more; the codec's own rate
      // guess is the stream's average frame rate.
      const AVRational codecRate = st->avg_frame_rate;
      const AVRational rate = st->r_frame_rate;
      if (codecRate.num && codecRate.den && rate.num && rate.den &&
          (codecRate.num != rate.num || codecRate.den != rate.den) && Fverbose >= 0)
        FFLogger().LogFmt(this, llInfo,
                          "Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> "
                          "%2.2f (%d/%d)",
                          static_cast<int>(i), static_cast<double>(codecRate.num) / codecRate.den, codecRate.num,
                          codecRate.den, static_cast<double>(rate.num) / rate.den, rate.num, rate.den);
      Fframe_rate = rate;
      forced.push_back(videoID != AV_CODEC_ID_NONE ? AV.avcodec_find_decoder(videoID) : nullptr);
      if (Fvideo_disable)
        st->discard = AVDISCARD_ALL;
      else if (Fvideo_discard)
        st->discard = static_cast<AVDiscard>(Fvideo_discard);
      break;
    }
    case AVMEDIA_TYPE_AUDIO:
      Fchannel_layout = par->ch_layout.order == AV_CHANNEL_ORDER_NATIVE
                            ? static_cast<int64_t>(par->ch_layout.u.mask)
                            : 0;
      if (par->ch_layout.nb_channels > 0)
        Faudio_channels = par->ch_layout.nb_channels;
      if (par->sample_rate > 0)
        Faudio_sample_rate = par->sample_rate;
      Faudio_sample_fmt = static_cast<AVSampleFormat>(par->format);
      forced.push_back(audioID != AV_CODEC_ID_NONE ? AV.avcodec_find_decoder(audioID) : nullptr);
      if (Faudio_disable)
        st->discard = AVDISCARD_ALL;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      forced.push_back(subtitleID != AV_CODEC_ID_NONE ? AV.avcodec_find_decoder(subtitleID) : nullptr);
      if (Fsubtitle_disable)
        st->discard = AVDISCARD_ALL;
      break;
    case AVMEDIA_TYPE_DATA:
    case AVMEDIA_TYPE_ATTACHMENT:
      // An empty entry for data streams too, so that entry n is input stream n.
      forced.push_back(nullptr);
      break;
    default:
      throw FFmpegException("invalid codec_type");
    }
  }
  if (Fnb_icodecs + static_cast<int32_t>(forced.size()) > static_cast<int32_t>(Finput_codecs.size())) {
    FLastErrMsg = Format("%s: too many input streams (at most %d in all)", fileName,
                         static_cast<int>(Finput_codecs.size()));
    return false;
  }
  for (const AVCodec *c : forced)
    Finput_codecs[static_cast<size_t>(Fnb_icodecs++)] = c;

  // 9. The longest input sets the expected length of the conversion.
  if (ic->duration != AV_NOPTS_VALUE && ic->duration > FTotalOutputDuration)
    FTotalOutputDuration = ic->duration;

  // 10. Keep it.
  const size_t n = static_cast<size_t>(Fnb_input_files);
  Finput_files[n] = input.Release();
  Finput_files_ts_offset[n] = Fcopy_ts ? Finput_ts_offset : Finput_ts_offset - timestamp;
  if (Fverbose >= 0)
    AV.av_dump_format(Finput_files[n], Fnb_input_files, url.c_str(), 0);
  ++Fnb_input_files;
  return true;
}
