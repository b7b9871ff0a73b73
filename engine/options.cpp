// The option table: every name of the option language and what it does to
// the pending option state.
#include "engine/custom_ffmpeg.h"
#include "engine/legacy_names.h"

#include "platform/convert.h"
#include "platform/exceptions.h"
#include "platform/paths.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <unordered_map>

namespace {

using E = TCustomFFmpeg;
using THandler = std::function<void(E &, const std::string &AName, const std::string &AValue)>;

// Value kinds. A flag is off for "0" only, so an empty value turns it on.
THandler Flag(bool E::*AField) {
  return [AField](E &e, const std::string &, const std::string &v) { e.*AField = v != "0"; };
}
// Options that take no value and switch their flag on whatever follows them.
THandler On(bool E::*AField) {
  return [AField](E &e, const std::string &, const std::string &) { e.*AField = true; };
}
THandler Int(int32_t E::*AField) {
  return [AField](E &e, const std::string &, const std::string &v) { e.*AField = StrToInt(v); };
}
THandler Positive(int32_t E::*AField) {
  return [AField](E &e, const std::string &, const std::string &v) {
    const int32_t n = StrToInt(v);
    if (n > 0)
      e.*AField = n;
  };
}
THandler Int64(int64_t E::*AField) {
  return [AField](E &e, const std::string &, const std::string &v) { e.*AField = StrToInt64(v); };
}
THandler Float(float E::*AField) {
  return [AField](E &e, const std::string &, const std::string &v) { e.*AField = static_cast<float>(StrToFloat(v)); };
}
THandler Text(std::string E::*AField) {
  return [AField](E &e, const std::string &, const std::string &v) { e.*AField = v; };
}
THandler Method(void (E::*AHandler)(const std::string &, const std::string &)) {
  return [AHandler](E &e, const std::string &n, const std::string &v) { (e.*AHandler)(n, v); };
}
THandler DoNothing() {
  return [](E &e, const std::string &n, const std::string &) {
    FFLogger().Log(&e, llInfo, "Do nothing: option - " + n);
  };
}

// The leading decimal number of AText (blanks before it allowed), 0 when none.
// Independent of the locale's decimal separator.
double LeadingNumber(const std::string &AText) {
  size_t b = 0;
  while (b < AText.size() && (AText[b] == ' ' || AText[b] == '\t'))
    ++b;
  if (b < AText.size() && AText[b] == '+')
    ++b;
  double v = 0;
  const auto r = std::from_chars(AText.data() + b, AText.data() + AText.size(), v);
  return r.ec == std::errc() ? v : 0;
}

std::vector<std::string> SplitWords(const std::string &AText, const char *ASeparators, size_t AMaxWords) {
  std::vector<std::string> words;
  size_t pos = 0;
  while (words.size() < AMaxWords) {
    const size_t b = AText.find_first_not_of(ASeparators, pos);
    if (b == std::string::npos)
      break;
    const size_t e = AText.find_first_of(ASeparators, b);
    words.push_back(AText.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos)
      break;
    pos = e;
  }
  return words;
}

// Skips the one separator character that follows a number of "map",
// "map_meta_data" and "itsscale".
void SkipSeparator(const std::string &AText, size_t &APos) {
  if (APos < AText.size())
    ++APos;
}

} // namespace

void TCustomFFmpeg::SetOption(const std::string &AName, const std::string &AValue) {
  // The handlers are lambdas made here, so they reach the protected state.
  static const std::unordered_map<std::string, THandler> table = {
      {"L", DoNothing()},
      {"h", DoNothing()},
      {"version", DoNothing()},
      {"formats", DoNothing()},
      {"codecs", DoNothing()},
      {"bsfs", DoNothing()},
      {"protocols", DoNothing()},
      {"filters", DoNothing()},
      {"i", DoNothing()},
      {"y", DoNothing()},
      {"benchmark", DoNothing()},
      {"loglevel", [](E &, const std::string &, const std::string &v) { FFLogger().OptLogLevel(v); }},
      {"f", [](E &e, const std::string &, const std::string &v) { e.OptFormat(v); }},
      {"map", [](E &e, const std::string &, const std::string &v) { e.OptMap(v); }},
      {"map_meta_data", [](E &e, const std::string &, const std::string &v) { e.OptMapMetaData(v); }},
      {"t", Method(&E::OptRecordingTime)},
      {"fs", Int64(&E::Flimit_filesize)},
      {"ss", [](E &e, const std::string &n, const std::string &v) { e.Fstart_time = e.ParseTime(n, v, false); }},
      {"itsoffset",
       [](E &e, const std::string &n, const std::string &v) { e.Finput_ts_offset = e.ParseTime(n, v, false); }},
      {"itsscale", [](E &e, const std::string &, const std::string &v) { e.OptInputTSScale(v); }},
      {"timestamp", Method(&E::OptRecordingTimestamp)},
      {"metadata", [](E &e, const std::string &, const std::string &v) { e.OptMetadata(v); }},
      {"dframes", [](E &e, const std::string &, const std::string &v) { e.Fmax_frames[miData] = StrToInt(v); }},
      {"timelimit",
       [](E &e, const std::string &, const std::string &) {
         FFLogger().Log(&e, llWarning, "Warning: -timelimit not implemented on Windows");
       }},
      {"dump", Flag(&E::Fdo_pkt_dump)},
      {"hex", Flag(&E::Fdo_hex_dump)},
      {"re", Flag(&E::Frate_emu)},
      {"loop_input", Flag(&E::Floop_input)},
      {"loop_output", Int(&E::Floop_output)},
      {"v", Int(&E::Fverbose)},
      {"target", [](E &e, const std::string &, const std::string &v) { e.OptTarget(v); }},
      {"threads",
       [](E &, const std::string &n, const std::string &) { throw FFmpegException("TODO: option - " + n); }},
      {"vsync", Int(&E::Fvideo_sync_method)},
      {"async", Int(&E::Faudio_sync_method)},
      {"adrift_threshold", Float(&E::Faudio_drift_threshold)},
      {"vglobal", Int(&E::Fvideo_global_header)},
      {"copyts", On(&E::Fcopy_ts)},
      {"shortest", Flag(&E::Fopt_shortest)},
      {"dts_delta_threshold", Float(&E::Fdts_delta_threshold)},
      {"programid", Int(&E::Fopt_programid)},
      {"xerror", On(&E::Fexit_on_error)},
      {"copyinkf", Int(&E::Fcopy_initial_nonkeyframes)},
      {"b", Method(&E::OptBitrate)},
      {"vb", Method(&E::OptBitrate)},
      {"vframes", [](E &e, const std::string &, const std::string &v) { e.Fmax_frames[miVideo] = StrToInt(v); }},
      {"r", [](E &e, const std::string &, const std::string &v) { e.OptFrameRate(v); }},
      {"s", [](E &e, const std::string &, const std::string &v) { e.SetFrameSize(v); }},
      {"aspect", [](E &e, const std::string &, const std::string &v) { e.OptAspect(v); }},
      {"pix_fmt", [](E &e, const std::string &, const std::string &v) { e.OptPixFmt(v); }},
      {"croptop", Method(&E::OptCrop)},
      {"cropbottom", Method(&E::OptCrop)},
      {"cropleft", Method(&E::OptCrop)},
      {"cropright", Method(&E::OptCrop)},
      {"padtop", [](E &, const std::string &, const std::string &) { throw FFmpegException("Please use vfilters=pad"); }},
      {"padbottom",
       [](E &, const std::string &, const std::string &) { throw FFmpegException("Please use vfilters=pad"); }},
      {"padleft", [](E &, const std::string &, const std::string &) { throw FFmpegException("Please use vfilters=pad"); }},
      {"padright",
       [](E &, const std::string &, const std::string &) { throw FFmpegException("Please use vfilters=pad"); }},
      {"padcolor",
       [](E &, const std::string &, const std::string &) { throw FFmpegException("Please use vfilters=pad"); }},
      {"intra", Flag(&E::Fintra_only)},
      {"vn", Flag(&E::Fvideo_disable)},
      {"vdt", Int(&E::Fvideo_discard)},
      {"qscale", [](E &e, const std::string &, const std::string &v) { e.OptQScale(v); }},
      {"rc_override", Text(&E::Fvideo_rc_override_string)},
      {"vcodec", [](E &e, const std::string &, const std::string &v) { e.OptCodec(miVideo, v); }},
      {"me_threshold", Int(&E::Fme_threshold)},
      {"sameq", Flag(&E::Fsame_quality)},
      {"pass", [](E &e, const std::string &, const std::string &v) { e.OptPass(v); }},
      {"passlogfile", Text(&E::Fpass_logfilename_prefix)},
      {"deinterlace", Flag(&E::Fdo_deinterlace)},
      {"psnr", Flag(&E::Fdo_psnr)},
      {"vstats", [](E &e, const std::string &, const std::string &) { e.OptVStats(); }},
      {"vstats_file", Text(&E::Fvstats_filename)},
      {"vhook", [](E &e, const std::string &, const std::string &v) { e.OptVHook(v); }},
      {"vfilters", [](E &e, const std::string &, const std::string &v) { e.SetVideoFilters(v); }},
      {"vf", [](E &e, const std::string &, const std::string &v) { e.SetVideoFilters(v); }},
      {"intra_matrix", Method(&E::OptMatrix)},
      {"inter_matrix", Method(&E::OptMatrix)},
      {"top", Int(&E::Ftop_field_first)},
      {"dc", Int(&E::Fintra_dc_precision)},
      {"vtag", [](E &e, const std::string &, const std::string &v) { e.OptCodecTag(miVideo, v); }},
      {"newvideo", [](E &e, const std::string &, const std::string &) { e.OptNewStream(miVideo); }},
      {"vlang", Text(&E::Fvideo_language)},
      {"qphist", Flag(&E::Fqp_hist)},
      {"force_fps", Flag(&E::Fforce_fps)},
      {"streamid", Method(&E::OptStreamID)},
      {"ab", Method(&E::OptBitrate)},
      {"aframes", [](E &e, const std::string &, const std::string &v) { e.Fmax_frames[miAudio] = StrToInt(v); }},
      {"aq", Float(&E::Faudio_qscale)},
      {"ar", Positive(&E::Faudio_sample_rate)},
      {"ac", Positive(&E::Faudio_channels)},
      {"an", Flag(&E::Faudio_disable)},
      {"acodec", [](E &e, const std::string &, const std::string &v) { e.OptCodec(miAudio, v); }},
      {"atag", [](E &e, const std::string &, const std::string &v) { e.OptCodecTag(miAudio, v); }},
      {"vol", Int(&E::Faudio_volume)},
      {"newaudio", [](E &e, const std::string &, const std::string &) { e.OptNewStream(miAudio); }},
      {"alang", Text(&E::Faudio_language)},
      {"sample_fmt", [](E &e, const std::string &, const std::string &v) { e.OptSampleFmt(v); }},
      {"sn", Flag(&E::Fsubtitle_disable)},
      {"scodec", [](E &e, const std::string &, const std::string &v) { e.OptCodec(miSubtitle, v); }},
      {"newsubtitle", [](E &e, const std::string &, const std::string &) { e.OptNewStream(miSubtitle); }},
      {"slang", Text(&E::Fsubtitle_language)},
      {"stag", [](E &e, const std::string &, const std::string &v) { e.OptCodecTag(miSubtitle, v); }},
      {"vc", Int(&E::Fvideo_channel)},
      {"tvstd", Text(&E::Fvideo_standard)},
      {"isync", Flag(&E::Finput_sync)},
      {"muxdelay", Float(&E::Fmux_max_delay)},
      {"muxpreload", Float(&E::Fmux_preload)},
      {"absf", Method(&E::OptBitstreamFilter)},
      {"vbsf", Method(&E::OptBitstreamFilter)},
      {"sbsf", Method(&E::OptBitstreamFilter)},
      {"apre", Method(&E::LoadPreset)},
      {"vpre", Method(&E::LoadPreset)},
      {"spre", Method(&E::LoadPreset)},
      {"fpre", Method(&E::LoadPreset)},
  };
  const auto it = table.find(AName);
  if (it != table.end())
    it->second(*this, AName, AValue);
  else
    ApplyGenericOption(AName, AValue); // a refusal is not the caller's concern here
}

int64_t TCustomFFmpeg::ParseTime(const std::string &AName, const std::string &AValue, bool ADate) {
  int64_t us = 0;
  if (AV.av_parse_time(&us, AValue.c_str(), ADate ? 0 : 1) < 0)
    throw FFmpegException(
        Format("Invalid %s specification for %s: %s", ADate ? "date" : "duration", AName.c_str(), AValue.c_str()));
  return us;
}

void TCustomFFmpeg::OptCodec(TMediaIndex AKind, const std::string &AValue) {
  if (AValue.empty())
    return;
  std::string &name = AKind == miVideo ? Fvideo_codec_name : AKind == miAudio ? Faudio_codec_name : Fsubtitle_codec_name;
  int32_t &copy = AKind == miVideo ? Fvideo_stream_copy : AKind == miAudio ? Faudio_stream_copy : Fsubtitle_stream_copy;
  name.clear();
  // A later name leaves an earlier "copy" in force: stream creation and
  // InitDefaults reset it.
  if (AValue == "copy")
    copy = 1;
  else
    name = CurrentCodecName(AValue); // older names ("libfaac") become today's
}

void TCustomFFmpeg::OptFormat(const std::string &AValue) {
  if (AValue.empty())
    return;
  if (AValue == "pgmyuv") {
    Flast_asked_format = "image2";
    Fpgmyuv_compatibility_hack = 1;
    FFLogger().Log(this, llInfo, "pgmyuv format is deprecated, use image2");
    return;
  }
  Flast_asked_format = AValue;
}

void TCustomFFmpeg::OptMap(const std::string &AValue) {
  if (Fnb_stream_maps >= static_cast<int32_t>(Fstream_maps.size()))
    throw FFmpegException(Format("Too many stream maps (at most %d)", static_cast<int>(Fstream_maps.size())));
  TAVStreamMap m;
  size_t pos = 0;
  m.file_index = static_cast<int32_t>(ParseCInteger(AValue, pos));
  SkipSeparator(AValue, pos);
  m.stream_index = static_cast<int32_t>(ParseCInteger(AValue, pos));
  if (pos < AValue.size()) {
    SkipSeparator(AValue, pos);
    m.sync_file_index = static_cast<int32_t>(ParseCInteger(AValue, pos));
    SkipSeparator(AValue, pos);
    m.sync_stream_index = static_cast<int32_t>(ParseCInteger(AValue, pos));
  } else {
    m.sync_file_index = m.file_index;
    m.sync_stream_index = m.stream_index;
  }
  Fstream_maps[static_cast<size_t>(Fnb_stream_maps++)] = m;
}

void TCustomFFmpeg::OptMapMetaData(const std::string &AValue) {
  if (Fnb_meta_data_maps >= static_cast<int32_t>(Fmeta_data_maps.size()))
    throw FFmpegException(Format("Too many metadata maps (at most %d)", static_cast<int>(Fmeta_data_maps.size())));
  TAVMetaDataMap m;
  size_t pos = 0;
  m.out_file = static_cast<int32_t>(ParseCInteger(AValue, pos));
  SkipSeparator(AValue, pos);
  m.in_file = static_cast<int32_t>(ParseCInteger(AValue, pos));
  Fmeta_data_maps[static_cast<size_t>(Fnb_meta_data_maps++)] = m;
}

void TCustomFFmpeg::OptRecordingTime(const std::string &AName, const std::string &AValue) {
  Frecording_time = ParseTime(AName, AValue, false);
  FTotalOutputDuration = Frecording_time;
}

void TCustomFFmpeg::OptInputTSScale(const std::string &AValue) {
  size_t pos = 0;
  const long stream = ParseCInteger(AValue, pos);
  SkipSeparator(AValue, pos);
  const double scale = StrToFloat(AValue.substr(pos));
  if (stream < 0 || stream >= MAX_STREAMS)
    throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", MAX_STREAMS));
  // The scale belongs to the next input; there is none when the table is full.
  if (Fnb_input_files >= FMaxFiles)
    throw FFmpegException(Format("max input files %d reached", FMaxFiles));
  Finput_files_ts_scale[static_cast<size_t>(Fnb_input_files)][static_cast<size_t>(stream)] = scale;
}

void TCustomFFmpeg::OptRecordingTimestamp(const std::string &AName, const std::string &AValue) {
  Frecording_timestamp = std::llround(static_cast<double>(ParseTime(AName, AValue, true)) / 1000000.0);
}

void TCustomFFmpeg::OptMetadata(const std::string &AValue) {
  const size_t eq = AValue.find('=');
  if (eq == std::string::npos)
    throw FFmpegException("Missing =");
  AddMetadata(AValue.substr(0, eq), AValue.substr(eq + 1));
}

void TCustomFFmpeg::OptTarget(const std::string &AValue) {
  std::string target = Trim(AValue);
  std::string norm = "auto";
  for (const char *prefix : {"pal", "ntsc", "film"}) {
    const std::string p = std::string(prefix) + "-";
    if (target.compare(0, p.size(), p) == 0) {
      norm = prefix;
      target.erase(0, p.size());
      break;
    }
  }
  ApplyTarget(target, norm, "ntsc");
}

void TCustomFFmpeg::OptBitrate(const std::string &AName, const std::string &AValue) {
  if (AName.empty() || AValue.empty())
    return;
  if (!ApplyGenericOption(AName, AValue))
    return;
  AVCodecContext *ctx = FOptions.avcodec_opts[AName == "ab" ? miAudio : miVideo].get();
  int64_t rate = 0;
  if (ctx && AV.av_opt_get_int(ctx, "b", 0, &rate) >= 0 && rate < 1000)
    FFLogger().Log(this, llWarning,
                   "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
}

void TCustomFFmpeg::OptFrameRate(const std::string &AValue) {
  if (AValue.empty())
    return;
  AVRational rate{0, 0};
  if (AV.av_parse_video_rate(&rate, AValue.c_str()) < 0)
    throw FFmpegException("Incorrect frame rate");
  Fframe_rate = rate;
}

void TCustomFFmpeg::SetFrameSize(const std::string &AValue) {
  if (AValue.empty())
    return;
  int w = 0, h = 0;
  if (AV.av_parse_video_size(&w, &h, AValue.c_str()) < 0)
    throw FFmpegException("Incorrect frame size");
  Fframe_width = w;
  Fframe_height = h;
}

void TCustomFFmpeg::OptAspect(const std::string &AValue) {
  if (AValue.empty())
    return;
  double ratio = 0;
  const size_t colon = AValue.find(':');
  if (colon != std::string::npos) {
    const double n = LeadingNumber(AValue.substr(0, colon));
    const double d = LeadingNumber(AValue.substr(colon + 1));
    ratio = d > 0 ? n / d : 0;
  } else {
    try {
      ratio = StrToFloat(AValue);
    } catch (const EConvertError &) {
      ratio = 0; // a malformed number is no ratio; reported below
    }
  }
  if (ratio == 0)
    throw FFmpegException("Incorrect aspect ratio specification.");
  Fframe_aspect_ratio = static_cast<float>(ratio);
}

void TCustomFFmpeg::OptPixFmt(const std::string &AValue) {
  if (AValue == "list") {
    ListPixelFormats();
    return;
  }
  const AVPixelFormat fmt = AV.av_get_pix_fmt(AValue.c_str());
  if (fmt == AV_PIX_FMT_NONE)
    throw FFmpegException(Format("Unknown pixel format requested: %s", AValue.c_str()));
  Fframe_pix_fmt = fmt;
}

void TCustomFFmpeg::OptSampleFmt(const std::string &AValue) {
  if (AValue == "list") {
    ListSampleFormats();
    return;
  }
  Faudio_sample_fmt = AV.av_get_sample_fmt(AValue.c_str()); // an unknown name gives "none"
}

void TCustomFFmpeg::ListPixelFormats() {
  char line[128];
  AV.av_get_pix_fmt_string(line, sizeof line, AV_PIX_FMT_NONE);
  FFLogger().Log(this, llInfo, Trim(line));
  for (const AVPixFmtDescriptor *d = AV.av_pix_fmt_desc_next(nullptr); d; d = AV.av_pix_fmt_desc_next(d)) {
    AV.av_get_pix_fmt_string(line, sizeof line, AV.av_pix_fmt_desc_get_id(d));
    FFLogger().Log(this, llInfo, Trim(line));
  }
}

void TCustomFFmpeg::ListSampleFormats() {
  char line[128];
  AV.av_get_sample_fmt_string(line, sizeof line, AV_SAMPLE_FMT_NONE);
  FFLogger().Log(this, llInfo, Trim(line));
  // The loaded library decides how many formats there are, not our headers.
  for (int i = 0; AV.av_get_sample_fmt_name(static_cast<AVSampleFormat>(i)); ++i) {
    AV.av_get_sample_fmt_string(line, sizeof line, static_cast<AVSampleFormat>(i));
    FFLogger().Log(this, llInfo, Trim(line));
  }
}

void TCustomFFmpeg::OptCrop(const std::string &AName, const std::string &AValue) {
  const int32_t band = StrToInt(AValue);
  if (band <= 0)
    return;
  const bool vertical = AName == "croptop" || AName == "cropbottom";
  if (vertical && band >= Fframe_height)
    throw FFmpegException("Vertical crop dimensions are outside the range of the original image.\n"
                          "Remember to crop first and scale second.");
  if (!vertical && band >= Fframe_width)
    throw FFmpegException("Horizontal crop dimensions are outside the range of the original image.\n"
                          "Remember to crop first and scale second.");
  FFLogger().Log(this, llWarning, "CropXXX is deprecated in favor of the crop avfilter");
  if (AName == "croptop")
    Fframe_topBand = band;
  else if (AName == "cropbottom")
    Fframe_bottomBand = band;
  else if (AName == "cropleft")
    Fframe_leftBand = band;
  else
    Fframe_rightBand = band;
  (vertical ? Fframe_height : Fframe_width) -= band;
}

void TCustomFFmpeg::OptQScale(const std::string &AValue) {
  const double q = StrToFloat(AValue);
  if (q <= 0 || q > 255)
    throw FFmpegException("qscale must be > 0.0 and <= 255");
  Fvideo_qscale = static_cast<float>(q);
}

void TCustomFFmpeg::OptPass(const std::string &AValue) {
  const int32_t pass = StrToInt(AValue);
  if (pass != 1 && pass != 2)
    throw FFmpegException("pass number can be only 1 or 2");
  Fdo_pass = pass;
}

void TCustomFFmpeg::OptVStats() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char hhnnss[16];
  std::strftime(hhnnss, sizeof hhnnss, "%H%M%S", &local);
  Fvstats_filename = Format("%svstats_%s.log", (ExecutableDir() + "/").c_str(), hhnnss);
}

void TCustomFFmpeg::OptVHook(const std::string &AValue) {
  const bool piped = AValue.find('|') != std::string::npos;
  const std::vector<std::string> words = SplitWords(AValue, piped ? "|" : " \t", 254);
  if (AddVideoHook(words) != 0)
    throw FFmpegException("Failed to add video hook function: " + AValue);
  Fusing_vhook = true;
}

void TCustomFFmpeg::OptMatrix(const std::string &AName, const std::string &AValue) {
  auto &matrix = AName == "intra_matrix" ? Fintra_matrix : Finter_matrix;
  if (!matrix)
    matrix = std::make_unique<std::array<uint16_t, 64>>();
  matrix->fill(0);
  size_t pos = 0;
  for (int i = 0; i < 64; ++i) {
    // The leading integer of the field, as C's atoi reads it.
    (*matrix)[static_cast<size_t>(i)] =
        static_cast<uint16_t>(std::strtol(AValue.c_str() + pos, nullptr, 10));
    if (i == 63)
      break;
    const size_t comma = AValue.find(',', pos);
    if (comma == std::string::npos)
      throw FFmpegException(Format("Syntax error in matrix \"%s\" at coeff %d", AValue.c_str(), i));
    pos = comma + 1;
  }
}

void TCustomFFmpeg::OptCodecTag(TMediaIndex AKind, const std::string &AValue) {
  if (AValue.empty())
    return;
  const char *kind = AKind == miVideo ? "video" : AKind == miAudio ? "audio" : "subtitle";
  Assert(AValue.size() == 4, Format("%s tag parameter must be 4 chars", kind));
  const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(AValue[i])); };
  const uint32_t tag = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
  (AKind == miVideo ? Fvideo_codec_tag : AKind == miAudio ? Faudio_codec_tag : Fsubtitle_codec_tag) = tag;
}

void TCustomFFmpeg::OptNewStream(TMediaIndex AKind) {
  if (Fnb_output_files <= 0)
    throw FFmpegException("At least one output file must be specified");
  AVFormatContext *oc = Foutput_files[static_cast<size_t>(Fnb_output_files - 1)];
  if (AKind == miVideo)
    NewVideoStream(oc);
  else if (AKind == miAudio)
    NewAudioStream(oc);
  else
    NewSubtitleStream(oc);
}

void TCustomFFmpeg::OptStreamID(const std::string &AName, const std::string &AValue) {
  const size_t colon = AValue.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= AValue.size())
    throw FFmpegException(Format("Invalid value \"%s\" for option \"%s\", required syntax is \"index:value\"",
                                 AValue.c_str(), AName.c_str()));
  const int32_t index = StrToInt(AValue.substr(0, colon));
  const int32_t value = StrToInt(AValue.substr(colon + 1));
  if (index < 0 || index >= MAX_STREAMS)
    throw FFmpegException(Format("stream index over MAX_STREAMS(%d)", MAX_STREAMS));
  Fstreamid_map[static_cast<size_t>(index)] = value;
}

void TCustomFFmpeg::OptBitstreamFilter(const std::string &AName, const std::string &AValue) {
  if (AValue.empty() || AValue[0] == '=')
    return;
  const size_t eq = AValue.find('=');
  const std::string name = Trim(eq == std::string::npos ? AValue : AValue.substr(0, eq));
  const AVBitStreamFilter *filter = AV.av_bsf_get_by_name(name.c_str());
  AVBSFContext *ctx = nullptr;
  if (!filter || AV.av_bsf_alloc(filter, &ctx) < 0)
    throw FFmpegException(Format("Unknown bitstream filter %s", Trim(AValue).c_str()));
  TBitstreamFilter item;
  item.Context.reset(ctx);
  if (eq != std::string::npos)
    item.Args = AValue.substr(eq + 1);
  auto &chain = AName[0] == 'v' ? Fvideo_bitstream_filters
                : AName[0] == 'a' ? Faudio_bitstream_filters
                                  : Fsubtitle_bitstream_filters;
  chain.push_back(std::move(item));
}

void TCustomFFmpeg::SetVideoFilters(const std::string &AValue) {
  if (!AValue.empty())
    Fvfilters = AValue;
}

void TCustomFFmpeg::AddMetadata(const std::string &AKey, const std::string &AValue) {
  Fmetadata.emplace_back(AKey, AValue);
}

void TCustomFFmpeg::SetAudioVolume(int32_t AValue) {
  if (AValue >= 0)
    Faudio_volume = AValue;
}

void TCustomFFmpeg::SetStartTime(int64_t AValue) {
  if (AValue != AV_NOPTS_VALUE)
    Fstart_time = AValue;
}

void TCustomFFmpeg::SetRecordingTime(int64_t AValue) {
  if (AValue == AV_NOPTS_VALUE)
    return;
  Frecording_time = AValue;
  FTotalOutputDuration = AValue;
}

void TCustomFFmpeg::SetProgramID(int32_t AValue) {
  if (AValue >= 0)
    Fopt_programid = AValue;
}

void TCustomFFmpeg::SetAudioSyncMethod(int32_t AValue) {
  if (AValue >= 0)
    Faudio_sync_method = AValue;
}

void TCustomFFmpeg::SetVideoSyncMethod(int32_t AValue) {
  if (AValue >= -1)
    Fvideo_sync_method = AValue;
}

void TCustomFFmpeg::SetMuxDelay(double ASeconds) {
  if (ASeconds >= 0)
    Fmux_max_delay = static_cast<float>(ASeconds);
}

void TCustomFFmpeg::SetMuxPreload(double ASeconds) {
  if (ASeconds >= 0)
    Fmux_preload = static_cast<float>(ASeconds);
}
