// The libraries' own options: the generic contexts that collect options set
// by name, the private options of encoders and muxers that the generic
// contexts do not know, and the older option vocabulary.
#include "engine/custom_ffmpeg.h"
#include "engine/legacy_names.h"

#include "platform/convert.h"

#include <algorithm>
#include <cstring>

namespace {

const TLegacyName LegacyNames[] = {
    {lkCodecName, "libfaac", "aac", nullptr, nullptr},
    {lkOptionName, "directpred", "direct-pred", nullptr, nullptr},
    {lkOptionName, "cqp", "qp", nullptr, nullptr},
    {lkFlags2Member, "mixed_refs", "mixed-refs", "1", "0"},
    {lkFlags2Member, "wpred", "weightb", "1", "0"},
    {lkFlags2Member, "dct8x8", "8x8dct", "1", "0"},
    {lkFlags2Member, "fastpskip", "fast-pskip", "1", "0"},
    {lkFlags2Member, "bpyramid", "b-pyramid", "normal", "none"},
    {lkFlags2Member, "mbtree", "mbtree", "1", "0"},
    {lkFlagsMember, "scan_offset", "scan_offset", "1", "0"}, // now mpeg2video's own option
    {lkPartitionMember, "parti4x4", "i4x4", nullptr, nullptr},
    {lkPartitionMember, "parti8x8", "i8x8", nullptr, nullptr},
    {lkPartitionMember, "partp4x4", "p4x4", nullptr, nullptr},
    {lkPartitionMember, "partp8x8", "p8x8", nullptr, nullptr},
    {lkPartitionMember, "partb8x8", "b8x8", nullptr, nullptr},
    // "b" was the video bit rate ("ab" the audio one). Today's "b" also
    // carries the audio flag, so a "b" given after "ab" would overwrite the
    // audio rate.
    {lkVideoOnly, "b", "b", nullptr, nullptr},
};

// The option search wants a pointer to an object whose first member points
// to its class; for a bare class that is the address of the class pointer.
void *FakeObject(const AVClass *const &AClass) { return const_cast<const AVClass **>(&AClass); }

bool ClassKnows(const AVClass *const &AClass, const char *AName) {
  return AClass && AV.av_opt_find(FakeObject(AClass), AName, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

// Whether a real private object of the codec takes the value (allocating the
// context sets the private defaults; nothing is opened).
bool CodecTakes(const AVCodec *ACodec, const std::string &AName, const std::string &AValue) {
  TCodecContextPtr ctx(AV.avcodec_alloc_context3(ACodec));
  return ctx && ctx->priv_data && AV.av_opt_set(ctx->priv_data, AName.c_str(), AValue.c_str(), 0) >= 0;
}

bool MuxerTakes(const AVOutputFormat *AFormat, const std::string &AName, const std::string &AValue) {
  AVFormatContext *oc = nullptr;
  if (AV.avformat_alloc_output_context2(&oc, AFormat, nullptr, nullptr) < 0 || !oc)
    return false;
  TFormatContextPtr owner(oc);
  return oc->priv_data && AV.av_opt_set(oc->priv_data, AName.c_str(), AValue.c_str(), 0) >= 0;
}

void LogInvalidValue(const std::string &AName, const std::string &AValue) {
  AV.av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n", AValue.c_str(), AName.c_str());
}

} // namespace

const TLegacyName *FindLegacyName(TLegacyKind AKind, const std::string &AOldName) {
  for (const auto &row : LegacyNames)
    if (row.Kind == AKind && AOldName == row.OldName)
      return &row;
  return nullptr;
}

std::string CurrentCodecName(const std::string &AName) {
  const TLegacyName *row = FindLegacyName(lkCodecName, AName);
  return row ? row->NewName : AName;
}

namespace {

// The members of a flags value ("+a-b+c") with their signs; a first member
// without sign counts as "+".
std::vector<std::pair<char, std::string>> FlagMembers(const std::string &AValue) {
  std::vector<std::pair<char, std::string>> members;
  size_t pos = 0;
  while (pos < AValue.size()) {
    char sign = 0;
    if (AValue[pos] == '+' || AValue[pos] == '-')
      sign = AValue[pos++];
    const size_t end = AValue.find_first_of("+-", pos);
    members.emplace_back(sign, AValue.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    pos = end == std::string::npos ? AValue.size() : end;
  }
  return members;
}

} // namespace

bool TranslateLegacyOption(const std::string &AName, const std::string &AValue, TOptionPairs &APairs) {
  if (const TLegacyName *row = FindLegacyName(lkOptionName, AName)) {
    APairs = {{row->NewName, AValue}};
    return true;
  }
  if (AName == "partitions") {
    std::string list;
    for (const auto &[sign, member] : FlagMembers(AValue)) {
      const TLegacyName *row = FindLegacyName(lkPartitionMember, member);
      if (!row)
        return false; // already today's syntax, or not ours to read
      if (sign != '-')
        list += (list.empty() ? "" : ",") + std::string(row->NewName);
    }
    APairs = {{"partitions", list.empty() ? "none" : list}};
    return true;
  }
  if (AName != "flags2" && AName != "flags")
    return false;
  const TLegacyKind kind = AName == "flags2" ? lkFlags2Member : lkFlagsMember;
  TOptionPairs pairs;
  std::string rest;
  bool translated = false;
  for (const auto &[sign, member] : FlagMembers(AValue)) {
    if (const TLegacyName *row = FindLegacyName(kind, member)) {
      pairs.emplace_back(row->NewName, sign == '-' ? row->OffValue : row->OnValue);
      translated = true;
    } else if (!member.empty()) {
      if (sign)
        rest += sign;
      rest += member;
    }
  }
  if (!translated)
    return false;
  if (!rest.empty())
    pairs.insert(pairs.begin(), {AName, rest});
  APairs = std::move(pairs);
  return true;
}

bool TCustomFFmpeg::ApplyGenericOption(const std::string &AName, const std::string &AValue) {
  const std::string name = Trim(AName);
  const std::string value = Trim(AValue);
  if (name.empty() || value.empty())
    return false;
  TOptionPairs pairs;
  if (!TranslateLegacyOption(name, value, pairs))
    return ApplyCurrentOption(name, value);
  bool all = true;
  for (const auto &[n, v] : pairs)
    all = ApplyCurrentOption(n, v) && all;
  return all;
}

bool TCustomFFmpeg::ApplyCurrentOption(const std::string &AName, const std::string &AValue) {
  AVCodecContext *video = FOptions.avcodec_opts[miVideo].get();
  AVFormatContext *format = FOptions.avformat_opts.get();
  if (!video || !format) // before ResetSession there is nothing to set
    return false;
  const char *name = AName.c_str();
  const char *value = AValue.c_str();

  // The flag each media type's options must carry (data and attachment: any).
  static const int typeMasks[MEDIA_TYPE_COUNT] = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                                  AV_OPT_FLAG_SUBTITLE_PARAM, 0};
  const bool videoOnly = FindLegacyName(lkVideoOnly, AName) != nullptr;
  const AVOption *found = nullptr;
  int ret = 0;
  for (int t = 0; t < MEDIA_TYPE_COUNT && ret >= 0; ++t) {
    if (videoOnly && t != miVideo)
      continue;
    if (const AVOption *o = AV.av_opt_find(video, name, nullptr, typeMasks[t], 0)) {
      found = o;
      ret = AV.av_opt_set(FOptions.avcodec_opts[t].get(), name, value, 0);
    }
  }
  const auto tryContext = [&](void *ACtx, const char *AOptName) {
    if (found || !ACtx)
      return;
    if (const AVOption *o = AV.av_opt_find(ACtx, AOptName, nullptr, 0, 0)) {
      found = o;
      ret = AV.av_opt_set(ACtx, AOptName, value, 0);
    }
  };
  tryContext(format, name);
  tryContext(FOptions.sws_opts.get(), name);
  // "ab", "vb", "sb": the option without its first letter, for that type.
  if (!found && AName.size() > 1 && (AName[0] == 'a' || AName[0] == 'v' || AName[0] == 's')) {
    const TMediaIndex t = AName[0] == 'a' ? miAudio : AName[0] == 'v' ? miVideo : miSubtitle;
    tryContext(FOptions.avcodec_opts[t].get(), name + 1);
  }

  if (!found) {
    bool known = false;
    if (KeepPrivateOption(AName, AValue, known))
      return true;
    if (known)
      LogInvalidValue(AName, AValue);
    return false;
  }
  if (ret < 0) {
    LogInvalidValue(AName, AValue);
    return false;
  }
  FOptions.opt_names.emplace_back(found->name);
  if (video->debug || format->debug)
    FFLogger().SetLogLevel(llDebug);
  return true;
}

bool TCustomFFmpeg::KeepPrivateOption(const std::string &AName, const std::string &AValue, bool &AKnown) {
  const char *name = AName.c_str();
  // Objects whose private options know the name, with how surely the value
  // suits each. Setting a value an option cannot parse makes the library log
  // an error, so the likely takers are tried first: an option that takes any
  // text, then one that has a constant of that name, then the rest. A valid
  // value then leaves no stray error lines in the log.
  struct TCandidate {
    int Rank;
    const AVCodec *Codec;
    const AVOutputFormat *Muxer;
  };
  std::vector<TCandidate> candidates;
  const auto rank = [&](const AVClass *const &AClass) {
    const AVOption *o = AV.av_opt_find(FakeObject(AClass), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    if (o->type == AV_OPT_TYPE_STRING)
      return 0;
    if (o->unit && AV.av_opt_find(FakeObject(AClass), AValue.c_str(), o->unit, 0, AV_OPT_SEARCH_FAKE_OBJ))
      return 1;
    return 2;
  };
  uint32_t kinds = 0;
  bool taken = false;
  void *it = nullptr;
  while (const AVCodec *codec = AV.av_codec_iterate(&it))
    if (ClassKnows(codec->priv_class, name)) {
      kinds |= AV.av_codec_is_encoder(codec) ? pkEncoder : pkDecoder;
      candidates.push_back({rank(codec->priv_class), codec, nullptr});
    }
  it = nullptr;
  while (const AVOutputFormat *muxer = AV.av_muxer_iterate(&it))
    if (ClassKnows(muxer->priv_class, name)) {
      kinds |= pkMuxer;
      candidates.push_back({rank(muxer->priv_class), nullptr, muxer});
    }
  it = nullptr;
  while (const AVInputFormat *demuxer = AV.av_demuxer_iterate(&it))
    if (ClassKnows(demuxer->priv_class, name)) {
      kinds |= pkDemuxer;
      // A demuxer's private object exists only while a file is open, so the
      // value is checked when the input opens.
      taken = true;
    }
  AKnown = kinds != 0;
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const TCandidate &a, const TCandidate &b) { return a.Rank < b.Rank; });
  for (const auto &c : candidates) {
    if (taken)
      break;
    taken = c.Codec ? CodecTakes(c.Codec, AName, AValue) : MuxerTakes(c.Muxer, AName, AValue);
  }
  if (!taken)
    return false;
  for (auto &opt : FOptions.private_opts)
    if (opt.Name == AName) {
      opt.Value = AValue;
      opt.Kinds = kinds;
      return true;
    }
  FOptions.private_opts.push_back({AName, AValue, kinds});
  return true;
}

void TCustomFFmpeg::AddPrivateOptions(const AVClass *APrivClass, AVDictionary **ADict) const {
  if (!APrivClass)
    return;
  for (const auto &opt : FOptions.private_opts)
    if (ClassKnows(APrivClass, opt.Name.c_str()))
      AV.av_dict_set(ADict, opt.Name.c_str(), opt.Value.c_str(), 0);
}

void TCustomFFmpeg::AddPrivateOptions(const AVCodec *ACodec, AVDictionary **ADict) const {
  if (ACodec)
    AddPrivateOptions(ACodec->priv_class, ADict);
}

void TCustomFFmpeg::AddPrivateOptions(const AVOutputFormat *AFormat, AVDictionary **ADict) const {
  if (AFormat)
    AddPrivateOptions(AFormat->priv_class, ADict);
}

void TCustomFFmpeg::ApplyCollectedOptions(void *ATarget, void *ASource, int AFlags) {
  if (!ATarget || !ASource)
    return;
  for (const auto &name : FOptions.opt_names) {
    const AVOption *o = AV.av_opt_find(ASource, name.c_str(), nullptr, 0, 0);
    if (!o || (o->flags & AFlags) != AFlags)
      continue;
    if (o->type == AV_OPT_TYPE_FLAGS) {
      // Only the bits the options changed go over: the target keeps its own
      // defaults for the others (libx264's closed GOP, for one).
      int64_t source = 0, target = 0;
      if (AV.av_opt_get_int(ASource, name.c_str(), 0, &source) < 0 ||
          AV.av_opt_get_int(ATarget, name.c_str(), 0, &target) < 0)
        continue;
      const int64_t changed = source ^ o->default_val.i64;
      AV.av_opt_set_int(ATarget, name.c_str(), (target & ~changed) | (source & changed), 0);
      continue;
    }
    uint8_t *text = nullptr;
    if (AV.av_opt_get(ASource, name.c_str(), 0, &text) < 0 || !text)
      continue;
    // A value is read into a 256-byte buffer: 255 characters at most.
    std::string value(reinterpret_cast<const char *>(text), strnlen(reinterpret_cast<const char *>(text), 255));
    AV.av_free(text);
    AV.av_opt_set(ATarget, name.c_str(), value.c_str(), 0);
  }
}
