#include "playback/av_probe.h"

#include "media/ff_logger.h"
#include "media/error_text.h"
#include "media/wide_file.h"
#include "platform/convert.h"
#include "platform/exceptions.h"
#include "playback/probe_internal.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>

namespace fs = std::filesystem;
using namespace probe_detail;

namespace probe_detail {

std::string MetaValue(const AVDictionary *AMeta, const char *AKey) {
  const AVDictionaryEntry *e = AMeta ? AV.av_dict_get(AMeta, AKey, nullptr, 0) : nullptr;
  return e && e->value ? e->value : "";
}

bool HasMeta(const AVDictionary *AMeta, const char *AKey) {
  return AMeta && AV.av_dict_get(AMeta, AKey, nullptr, 0) != nullptr;
}

int64_t CreationStamp(const AVFormatContext *AIC) {
  // The current libraries keep the stamp as the metadata entry "creation_time"
  // (ISO 8601) where the old ones had a number on the context.
  const std::string text = MetaValue(AIC->metadata, "creation_time");
  int64_t us = 0;
  if (text.empty() || AV.av_parse_time(&us, text.c_str(), 0) < 0)
    return 0;
  return us / 1000000;
}

AVRational SafeTimeBase(AVRational ATimeBase) {
  if (ATimeBase.den == 0)
    ATimeBase.den = ATimeBase.num != 0 ? ATimeBase.num : 1;
  return ATimeBase;
}

} // namespace probe_detail

namespace {

// The texts the system gives library open failures. The current libraries
// return other codes for several of the old conditions (their own tags for
// end of file, invalid data, unknown format and protocol), so both spellings
// lead to the same text.
int32_t Clamp32(int64_t AValue) {
  if (AValue > std::numeric_limits<int32_t>::max())
    return std::numeric_limits<int32_t>::max();
  if (AValue < std::numeric_limits<int32_t>::min())
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(AValue);
}

// The leading number of a tag such as "3/12" or "2010-05-04"; 0 when none.
int32_t LeadingNumber(const std::string &AText) {
  return Clamp32(std::strtoll(AText.c_str(), nullptr, 10));
}

std::string CodecNameOf(const AVCodecParameters *APar) {
  if (const AVCodec *decoder = AV.avcodec_find_decoder(APar->codec_id)) {
    const std::string longName = Trim(decoder->long_name ? decoder->long_name : "");
    return longName.empty() ? std::string(decoder->name) : Format("%s(%s)", decoder->name, longName.c_str());
  }
  if (APar->codec_id == AV_CODEC_ID_MPEG2TS)
    return "mpeg2ts";
  // The old codec context carried a name of its own; the codec's descriptor
  // is what names an id without a decoder now.
  if (const AVCodecDescriptor *d = AV.avcodec_descriptor_get(APar->codec_id)) {
    const std::string name = Trim(d->name ? d->name : "");
    if (!name.empty())
      return name;
  }
  const uint32_t tag = APar->codec_tag;
  const unsigned char c[4] = {static_cast<unsigned char>(tag & 0xFF), static_cast<unsigned char>((tag >> 8) & 0xFF),
                              static_cast<unsigned char>((tag >> 16) & 0xFF),
                              static_cast<unsigned char>((tag >> 24) & 0xFF)};
  bool printable = true;
  for (unsigned char ch : c)
    printable = printable && ch >= 0x20 && ch < 0x7F;
  if (printable)
    return Format("%c%c%c%c / 0x%04X", c[0], c[1], c[2], c[3], tag);
  return Format("0x%04x", tag);
}

// Fills the fields every stream record shares.
template <typename TRecord> void FillTimes(TRecord &ARec, const AVStream *AStream) {
  const AVRational tb = SafeTimeBase(AStream->time_base);
  if (AStream->start_time != AV_NOPTS_VALUE) {
    ARec.StartTime = AStream->start_time;
    ARec.StartTimeScaled = AV.av_rescale_q(AStream->start_time, tb, kMicroseconds);
  }
  if (AStream->duration != AV_NOPTS_VALUE) {
    ARec.Duration = AStream->duration;
    ARec.DurationScaled = AV.av_rescale_q(AStream->duration, tb, kMicroseconds);
  }
}

const char *KindName(AVMediaType AType) {
  switch (AType) {
  case AVMEDIA_TYPE_AUDIO:
    return "audio";
  case AVMEDIA_TYPE_VIDEO:
    return "video";
  default:
    return "subtitle";
  }
}

} // namespace

// ---------------------------------------------------------------------------
// TCustomAVProbe

TCustomAVProbe::TCustomAVProbe() : TFFBaseComponent(LIBS_PROBE) {}

TCustomAVProbe::~TCustomAVProbe() {
  // A descendant has closed its own state already; this releases the file.
  if (FFileHandle)
    TCustomAVProbe::CloseFile();
}

void TCustomAVProbe::Report(TLogLevel ALevel, const std::string &AMsg) {
  FLastErrMsg = AMsg;
  FFLogger().Log(this, ALevel, AMsg);
}

void TCustomAVProbe::CheckLibraries() const {
  const struct {
    TLibrary Lib;
    const char *Msg;
  } needed[] = {{avCodec, "LibAVCodec not loaded."},
                {avFormat, "LibAVFormat not loaded."},
                {avUtil, "LibAVUtil not loaded."},
                {swScale, "LibSwScale not loaded."}};
  for (const auto &n : needed)
    if (!FFLoader().Loaded(n.Lib))
      throw Exception(n.Msg);
}

bool TCustomAVProbe::LoadFile(const std::string &AFileName, const std::string &AFormatName) {
  CheckLibraries();
  CloseFile();
  const AVInputFormat *format = nullptr;
  if (!AFormatName.empty()) {
    format = AV.av_find_input_format(AFormatName.c_str());
    if (!format) {
      FLastErrMsg = Format("Unknown input format: %s", AFormatName.c_str());
      return false;
    }
  }
  AVFormatContext *ic = AV.avformat_alloc_context();
  if (!ic) {
    Report(llError, AFileName + ": " + OpenErrorText(AVERROR(ENOMEM)));
    return false;
  }
  ic->flags |= AVFMT_FLAG_NONBLOCK;
  FOwnHandle = true;
  const int ret = OpenInputFormat(&ic, WideFileNameToURL(AFileName), format, nullptr);
  if (ret < 0) {
    // The library has freed the context.
    Report(llError, AFileName + ": " + OpenErrorText(ret));
    CloseFile();
    return false;
  }
  FFileHandle = ic;
  int found;
  {
    // Reading stream information may open decoders inside the library.
    std::lock_guard<TCriticalSection> lock(LibraryLock());
    found = AV.avformat_find_stream_info(ic, nullptr);
  }
  if (found < 0) {
    FLastErrMsg = Format("%s: could not find codec parameters", AFileName.c_str());
    CloseFile();
    return false;
  }
  UpdateFileInfo();
  FForceFormat = AFormatName;
  return true;
}

void TCustomAVProbe::CloseFile() {
  FForceFormat.clear();
  if (FFileHandle && FOwnHandle)
    CloseInputFormat(&FFileHandle);
  FFileHandle = nullptr;
  FOwnHandle = false;
  UpdateFileInfo();
}

void TCustomAVProbe::SetFileHandle(AVFormatContext *AValue) {
  CheckLibraries();
  CloseFile();
  FFileHandle = AValue;
  FOwnHandle = false;
  UpdateFileInfo();
}

void TCustomAVProbe::UpdateFileInfo() {
  FFileSize = -1;
  FStreamCount = FProgramCount = -1;
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = -1;
  FFirstAudioStreamIndex = FFirstVideoStreamIndex = FFirstSubtitleStreamIndex = -1;
  if (!FFileHandle)
    return;
  const AVFormatContext *ic = FFileHandle;
  int64_t size = ic->pb ? AV.avio_size(ic->pb) : 0;
  if (size <= 0) {
    std::error_code ec;
    const fs::path name = URLToWideFileName(ic->url ? ic->url : "");
    if (!name.empty() && fs::is_regular_file(name, ec)) {
      const auto onDisk = fs::file_size(name, ec);
      if (!ec)
        size = static_cast<int64_t>(onDisk);
    }
  }
  FFileSize = size;
  FStreamCount = static_cast<int32_t>(ic->nb_streams);
  FProgramCount = static_cast<int32_t>(ic->nb_programs);
  FAudioStreamCount = FVideoStreamCount = FSubtitleStreamCount = 0;
  for (int32_t i = 0; i < FStreamCount; ++i) {
    switch (ic->streams[i]->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      if (FVideoStreamCount++ == 0)
        FFirstVideoStreamIndex = i;
      break;
    case AVMEDIA_TYPE_AUDIO:
      if (FAudioStreamCount++ == 0)
        FFirstAudioStreamIndex = i;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      if (FSubtitleStreamCount++ == 0)
        FFirstSubtitleStreamIndex = i;
      break;
    default:
      break;
    }
  }
}

std::string TCustomAVProbe::FileName() {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return "";
  }
  return URLToWideFileName(FFileHandle->url ? FFileHandle->url : "");
}

std::string TCustomAVProbe::FormatName() {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return "";
  }
  return FFileHandle->iformat && FFileHandle->iformat->name ? FFileHandle->iformat->name : "";
}

std::string TCustomAVProbe::FormatLongName() {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return "";
  }
  return FFileHandle->iformat && FFileHandle->iformat->long_name ? FFileHandle->iformat->long_name : "";
}

TFileStreamInfo TCustomAVProbe::FileStreamInfo() {
  TFileStreamInfo r;
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return r;
  }
  const AVFormatContext *ic = FFileHandle;
  r.StartTime = ic->start_time == AV_NOPTS_VALUE ? -1 : ic->start_time;
  r.Duration = ic->duration == AV_NOPTS_VALUE ? -1 : ic->duration;
  r.BitRate = Clamp32(ic->bit_rate);
  // Stamp, year and track were numbers on the old context (0 when absent);
  // the current demuxers only leave them as metadata entries.
  r.TimeStamp = CreationStamp(ic);
  const std::string year = MetaValue(ic->metadata, "year");
  r.Year = LeadingNumber(year.empty() ? MetaValue(ic->metadata, "date") : year);
  r.Track = LeadingNumber(MetaValue(ic->metadata, "track"));
  // Metadata text is UTF-8 in the current libraries, as our strings are.
  r.Title = MetaValue(ic->metadata, "title");
  // The old libraries wrote "author" where the current ones write "artist".
  r.Author = MetaValue(ic->metadata, "author");
  if (r.Author.empty())
    r.Author = MetaValue(ic->metadata, "artist");
  r.Copyright = MetaValue(ic->metadata, "copyright");
  r.Comment = MetaValue(ic->metadata, "comment");
  r.Album = MetaValue(ic->metadata, "album");
  r.Genre = MetaValue(ic->metadata, "genre");
  return r;
}

AVStream *TCustomAVProbe::StreamOfKind(int32_t AStreamIndex, AVMediaType AType) {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return nullptr;
  }
  int32_t index = AStreamIndex;
  if (index < 0) {
    index = AType == AVMEDIA_TYPE_AUDIO   ? FFirstAudioStreamIndex
            : AType == AVMEDIA_TYPE_VIDEO ? FFirstVideoStreamIndex
                                          : FFirstSubtitleStreamIndex;
    if (index < 0) {
      Report(llError, Format("no %s stream.", KindName(AType)));
      return nullptr;
    }
  }
  if (index >= static_cast<int32_t>(FFileHandle->nb_streams)) {
    Report(llError, Format("stream index #%d is invalid.", index));
    return nullptr;
  }
  AVStream *st = FFileHandle->streams[index];
  if (st->codecpar->codec_type != AType) {
    Report(llError, Format("stream #%d is not %s stream.", index, KindName(AType)));
    return nullptr;
  }
  return st;
}

TAudioStreamInfo TCustomAVProbe::AudioStreamInfo(int32_t AStreamIndex) {
  TAudioStreamInfo r;
  const AVStream *st = StreamOfKind(AStreamIndex, AVMEDIA_TYPE_AUDIO);
  if (!st)
    return r;
  const AVCodecParameters *par = st->codecpar;
  r.Language = MetaValue(st->metadata, "language");
  r.CodecName = CodecNameOf(par);
  FillTimes(r, st);
  r.BitRate = Clamp32(par->bit_rate);
  r.Channels = par->ch_layout.nb_channels;
  r.SampleRate = par->sample_rate;
  r.SampleFormat = par->format;
  return r;
}

TVideoStreamInfo TCustomAVProbe::VideoStreamInfo(int32_t AStreamIndex) {
  TVideoStreamInfo r;
  const AVStream *st = StreamOfKind(AStreamIndex, AVMEDIA_TYPE_VIDEO);
  if (!st)
    return r;
  const AVCodecParameters *par = st->codecpar;
  r.Language = MetaValue(st->metadata, "language");
  r.CodecName = CodecNameOf(par);
  FillTimes(r, st);
  r.BitRate = Clamp32(par->bit_rate);
  r.Height = par->height;
  r.Width = par->width;
  // An unknown pixel shape (0/x) or height leaves the ratio unknown rather
  // than 0 or a division by zero.
  const AVRational sar = par->sample_aspect_ratio;
  if (sar.num > 0 && sar.den > 0 && par->height > 0)
    r.AspectRatio = static_cast<float>(par->width * (static_cast<double>(sar.num) / sar.den) / par->height);
  r.PixFmt = par->format;
  r.FrameRate = st->r_frame_rate;
  return r;
}

TSubtitleStreamInfo TCustomAVProbe::SubtitleStreamInfo(int32_t AStreamIndex) {
  TSubtitleStreamInfo r;
  const AVStream *st = StreamOfKind(AStreamIndex, AVMEDIA_TYPE_SUBTITLE);
  if (!st)
    return r;
  r.Language = MetaValue(st->metadata, "language");
  r.CodecName = CodecNameOf(st->codecpar);
  return r;
}

bool TCustomAVProbe::IsStreamOfType(int32_t AStreamIndex, AVMediaType AType) {
  if (!FFileHandle) {
    Report(llWarning, "file not loaded.");
    return false;
  }
  if (AStreamIndex < 0 || AStreamIndex >= static_cast<int32_t>(FFileHandle->nb_streams)) {
    Report(llError, Format("stream index #%d is invalid.", AStreamIndex));
    return false;
  }
  return FFileHandle->streams[AStreamIndex]->codecpar->codec_type == AType;
}
