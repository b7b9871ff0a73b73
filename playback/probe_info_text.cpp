// The probe's information text: file lines, metadata blocks, programs and one
// line per stream.
#include "playback/av_probe.h"

#include "media/wide_file.h"
#include "platform/convert.h"
#include "playback/probe_internal.h"

#include <cinttypes>
#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

using namespace probe_detail;

std::string ProbeSizeText(int64_t ASize) {
  if (ASize <= 1024)
    return Format("%" PRId64 " Byte", ASize);
  if (ASize <= 1048576)
    return Format("%.2f KB", ASize / 1024.0);
  if (ASize <= 1073741824)
    return Format("%.2f MB", ASize / 1048576.0);
  return Format("%.2f GB", ASize / 1073741824.0);
}

std::string ProbeDurationText(int64_t AMicroseconds) {
  const int64_t ms = AMicroseconds / 1000;
  return Format("%.2" PRId64 ":%.2d:%.2d.%.3d", ms / 3600000, static_cast<int>(ms / 60000 % 60),
                static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
}

std::string ProbeTimeStampText(int64_t ASeconds) {
  // The zone's standard offset only: `timezone` holds it (seconds west of
  // UTC) whatever the date's daylight saving.
  tzset();
  const time_t local = static_cast<time_t>(ASeconds - timezone);
  struct tm parts {};
  gmtime_r(&local, &parts);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &parts);
  return buf;
}

namespace {

// "%d.%.6d" of a µs value; the sign stands in front so that negative start
// times read as numbers.
std::string SecondsText(int64_t AMicroseconds) {
  const int64_t a = AMicroseconds < 0 ? -AMicroseconds : AMicroseconds;
  return Format("%s%" PRId64 ".%.6d", AMicroseconds < 0 ? "-" : "", a / 1000000, static_cast<int>(a % 1000000));
}

// ID3v2 frame names shown under their generic names (exact case).
const char *DisplayKey(const char *AKey) {
  static const struct {
    const char *Frame, *Name;
  } keys[] = {{"TALB", "album"},     {"TAL", "album"},      {"TCOM", "composer"},  {"TCON", "genre"},
              {"TCO", "genre"},      {"TCOP", "copyright"}, {"TDRL", "date"},      {"TENC", "encoder"},
              {"TEN", "encoder"},    {"TIT2", "title"},     {"TT2", "title"},      {"TLAN", "language"},
              {"TPE1", "artist"},    {"TP1", "artist"},     {"TPOS", "disc"},      {"TPUB", "publisher"},
              {"TRCK", "track"},     {"TRK", "track"},      {"TSOA", "albumsort"}, {"TSOP", "authorsort"},
              {"TSOT", "titlesort"}, {"TYER", "year"}};
  for (const auto &k : keys)
    if (std::strcmp(AKey, k.Frame) == 0)
      return k.Name;
  return AKey;
}

class TInfoText {
public:
  void Line(const std::string &ALine) {
    FText += ALine;
    FText += "\r\n";
  }

  void Metadata(const std::string &APrefix, const AVDictionary *AMeta) {
    const int count = AMeta ? AV.av_dict_count(AMeta) : 0;
    if (count == 0 || (count == 1 && AV.av_dict_get(AMeta, "language", nullptr, AV_DICT_MATCH_CASE)))
      return;
    Line(APrefix + "Metadata:");
    const AVDictionaryEntry *e = nullptr;
    while ((e = AV.av_dict_get(AMeta, "", e, AV_DICT_IGNORE_SUFFIX)))
      if (std::strcmp(e->key, "language") != 0)
        Line(Format("%s  %-16s: %s", APrefix.c_str(), DisplayKey(e->key), e->value));
  }

  void Stream(const AVFormatContext *AIC, int AIndex) {
    const AVStream *st = AIC->streams[AIndex];
    const AVCodecParameters *par = st->codecpar;
    std::string s = Format("Stream #%d", AIndex);
    if (AIC->iformat && (AIC->iformat->flags & AVFMT_SHOW_IDS))
      s += Format("[0x%x]", st->id);
    if (HasMeta(st->metadata, "language"))
      s += "(" + MetaValue(st->metadata, "language") + ")";
    const AVRational tb = SafeTimeBase(st->time_base);
    int g = static_cast<int>(AV.av_gcd(tb.num, tb.den));
    if (g == 0)
      g = 1;
    s += Format(", %d/%d", tb.num / g, tb.den / g);

    // The description comes from a codec context; the current libraries keep
    // none on the stream, so one is made from the stream's parameters.
    AVCodecContext *ctx = AV.avcodec_alloc_context3(nullptr);
    AVRational codecTimeBase{0, 1};
    if (ctx && AV.avcodec_parameters_to_context(ctx, par) >= 0) {
      char buf[256];
      AV.avcodec_string(buf, sizeof buf, ctx, 0);
      s += ": ";
      s += buf;
      codecTimeBase = ctx->time_base;
    }
    AV.avcodec_free_context(&ctx);

    if (st->sample_aspect_ratio.num && av_cmp_q(st->sample_aspect_ratio, par->sample_aspect_ratio)) {
      AVRational dar;
      AV.av_reduce(&dar.num, &dar.den, static_cast<int64_t>(par->width) * st->sample_aspect_ratio.num,
                   static_cast<int64_t>(par->height) * st->sample_aspect_ratio.den, 1024 * 1024);
      s = Format("%s, PAR %d:%d DAR %d:%d", s.c_str(), st->sample_aspect_ratio.num, st->sample_aspect_ratio.den,
                 dar.num, dar.den);
    }
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      Rate(s, st->avg_frame_rate, "fps");
      Rate(s, st->r_frame_rate, "tbr");
      Rate(s, AVRational{st->time_base.den, st->time_base.num}, "tbn");
      Rate(s, AVRational{codecTimeBase.den, codecTimeBase.num}, "tbc");
    }
    if (st->start_time != AV_NOPTS_VALUE)
      s += ", StartTime: " + SecondsText(AV.av_rescale_q(st->start_time, tb, kMicroseconds));
    if (st->duration == AV_NOPTS_VALUE)
      s += ", Duration: N/A";
    else
      s += ", Duration: " + ProbeDurationText(AV.av_rescale_q(st->duration, tb, kMicroseconds));
    Line(s);
    Metadata("  ", st->metadata);
  }

  const std::string &Text() const { return FText; }

private:
  static void Rate(std::string &AText, AVRational ARate, const char *AName) {
    if (ARate.num == 0 || ARate.den == 0)
      return;
    const double v = static_cast<double>(ARate.num) / ARate.den;
    const long long r = std::llround(v * 100);
    if (r % 100 != 0)
      AText += Format(", %3.2f %s", v, AName);
    else if (r % 100000 != 0)
      AText += Format(", %1.0f %s", v, AName);
    else
      AText += Format(", %1.0fk %s", v / 1000, AName);
  }

  std::string FText;
};

// A program's entry, else the name the current demuxers give it ("name" and
// "provider_name" became "service_name" and "service_provider").
std::string ProgramTag(const AVDictionary *AMeta, const char *AKey, const char *ACurrentKey) {
  if (HasMeta(AMeta, AKey))
    return MetaValue(AMeta, AKey);
  if (HasMeta(AMeta, ACurrentKey))
    return MetaValue(AMeta, ACurrentKey);
  return "N/A";
}

} // namespace

std::string TCustomAVProbe::FileInfoText() {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return "";
  }
  const AVFormatContext *ic = FFileHandle;
  TInfoText t;
  t.Line("File Name: " + URLToWideFileName(ic->url ? ic->url : ""));
  t.Line(Format("Format Name: %s", ic->iformat && ic->iformat->name ? ic->iformat->name : ""));
  t.Line(Format("Format Long Name: %s", ic->iformat && ic->iformat->long_name ? ic->iformat->long_name : ""));
  t.Line("File Size: " + ProbeSizeText(FFileSize));
  if (ic->duration == AV_NOPTS_VALUE || ic->duration < 0)
    t.Line("Duration: N/A");
  else
    t.Line("Duration: " + ProbeDurationText(ic->duration));
  if (ic->start_time != AV_NOPTS_VALUE && ic->start_time >= 0)
    t.Line("StartTime: " + SecondsText(ic->start_time));
  if (ic->bit_rate < 1)
    t.Line("Bit Rate: N/A");
  else
    t.Line(Format("Bit Rate: %" PRId64 " kb/s", ic->bit_rate / 1000));
  const int64_t stamp = CreationStamp(ic);
  if (stamp > 0)
    t.Line("Time Stamp: " + ProbeTimeStampText(stamp));
  t.Metadata("", ic->metadata);

  std::vector<bool> shown(ic->nb_streams, false);
  for (unsigned p = 0; p < ic->nb_programs; ++p) {
    const AVProgram *program = ic->programs[p];
    t.Line(Format("Program %d %s@%s", program->id,
                  ProgramTag(program->metadata, "provider_name", "service_provider").c_str(),
                  ProgramTag(program->metadata, "name", "service_name").c_str()));
    t.Metadata("  ", program->metadata);
    for (unsigned j = 0; j < program->nb_stream_indexes; ++j) {
      const unsigned index = program->stream_index[j];
      if (index < ic->nb_streams) {
        t.Stream(ic, static_cast<int>(index));
        shown[index] = true;
      }
    }
  }
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    if (!shown[i])
      t.Stream(ic, static_cast<int>(i));
  return t.Text();
}
