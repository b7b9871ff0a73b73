// The libraries' own options: generic contexts, what reaches a new codec,
// private options that reach a real opened encoder or muxer, older names.
#include "tests/engine/engine_fixture.h"

#include "engine/legacy_names.h"

#include <algorithm>

namespace {

using GenericOptionsTest = EngineTest;

TEST_F(GenericOptionsTest, OptionsReachTheContextsOfTheirTypes) {
  const int64_t audioDefault = IntOpt(CodecOpts(miAudio), "b");
  const int64_t subtitleDefault = IntOpt(CodecOpts(miSubtitle), "b");
  Engine->SetOption("b", "800000");
  EXPECT_EQ(IntOpt(CodecOpts(miVideo), "b"), 800000);
  EXPECT_EQ(IntOpt(CodecOpts(miAudio), "b"), audioDefault); // "b" is the video rate
  Engine->SetOption("vb", "900000");
  EXPECT_EQ(IntOpt(CodecOpts(miVideo), "b"), 900000);
  Engine->SetOption("ab", "64000");
  EXPECT_EQ(IntOpt(CodecOpts(miAudio), "b"), 64000);
  EXPECT_EQ(IntOpt(CodecOpts(miVideo), "b"), 900000);
  Engine->SetOption("b", "700000"); // after "ab": the audio rate stays
  EXPECT_EQ(IntOpt(CodecOpts(miAudio), "b"), 64000);
  EXPECT_EQ(IntOpt(CodecOpts(miSubtitle), "b"), subtitleDefault);

  Engine->SetOption("g", "30");
  EXPECT_EQ(IntOpt(CodecOpts(miVideo), "g"), 30);
  EXPECT_NE(IntOpt(CodecOpts(miAudio), "g"), 30); // a video option
  Engine->SetOption("bufsize", "1835008");
  EXPECT_EQ(IntOpt(CodecOpts(miVideo), "bufsize"), 1835008);
  Engine->SetOption("ar", "22050"); // the table's, never the codec context's
  EXPECT_NE(IntOpt(CodecOpts(miAudio), "ar"), 22050);
  Engine->SetOption("packetsize", "2324");
  EXPECT_EQ(IntOpt(Engine->FOptions.avformat_opts.get(), "packetsize"), 2324);
  Engine->SetOption("sws_flags", "bilinear");
  EXPECT_EQ(IntOpt(Engine->FOptions.sws_opts.get(), "sws_flags"), SWS_BILINEAR);

  // Each name as the option itself is called, once per setting.
  const std::vector<std::string> names = {"b", "b", "ab", "b", "g", "bufsize", "packetsize", "sws_flags"};
  EXPECT_EQ(Engine->FOptions.opt_names, names);
}

TEST_F(GenericOptionsTest, LowBitRatesWarnAboutUnits) {
  const struct {
    const char *Name, *Value;
    bool Warns;
  } cases[] = {{"b", "500", true},   {"vb", "999", true},  {"ab", "64", true},     {"b", "1000", false},
               {"ab", "64k", false}, {"b", "", false},     {"ab", "bogus", false}};
  const std::string warning = "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
  for (const auto &c : cases) {
    Logged_.clear();
    Engine->SetOption(c.Name, c.Value);
    EXPECT_EQ(Lines(llWarning), c.Warns ? std::vector<std::string>{warning} : std::vector<std::string>{})
        << c.Name << "=" << c.Value;
  }
}

TEST_F(GenericOptionsTest, InvalidValuesAreLoggedNotRaised) {
  const struct {
    const char *Name, *Value;
  } cases[] = {{"g", "many"}, {"flags", "+no_such_flag"}, {"crf", "soft"}, {"vb", "fast"}};
  for (const auto &c : cases) {
    Logged_.clear();
    EXPECT_NO_THROW(Engine->SetOption(c.Name, c.Value));
    EXPECT_FALSE(Engine->ApplyGenericOption(c.Name, c.Value));
    const std::string line = std::string("Invalid value \"") + c.Value + "\" for option \"" + c.Name + "\"";
    const auto errors = Lines(llError);
    EXPECT_NE(std::find(errors.begin(), errors.end(), line), errors.end()) << line;
  }
  EXPECT_TRUE(Engine->FOptions.opt_names.empty());
  EXPECT_TRUE(Engine->FOptions.private_opts.empty());
}

TEST_F(GenericOptionsTest, UnknownOrEmptyOptionsAreRefusedQuietly) {
  EXPECT_FALSE(Engine->ApplyGenericOption("no_such_option", "1"));
  EXPECT_FALSE(Engine->ApplyGenericOption("g", "  "));
  EXPECT_FALSE(Engine->ApplyGenericOption(" ", "1"));
  EXPECT_TRUE(Logged_.empty());
  EXPECT_TRUE(Engine->ApplyGenericOption(" g ", " 30 ")); // both sides are trimmed
  EXPECT_EQ(IntOpt(CodecOpts(miVideo), "g"), 30);
}

TEST_F(GenericOptionsTest, DebugOptionRaisesTheLogLevel) {
  Engine->SetOption("debug", "pict");
  EXPECT_EQ(FFLogger().LogLevel(), llDebug);
}

// A new codec context takes only the collected options whose flags fit it.
TEST_F(GenericOptionsTest, CollectedOptionsReachNewCodecContextsByFlags) {
  Engine->SetOption("g", "30");
  Engine->SetOption("vb", "750000");
  Engine->SetOption("ab", "96000");
  Engine->SetOption("flags", "+qscale+gray");
  Engine->SetOption("me_range", "24");

  TCodecContextPtr video(AV.avcodec_alloc_context3(AV.avcodec_find_encoder_by_name("mpeg4")));
  Engine->ApplyCollectedOptions(video.get(), CodecOpts(miVideo), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
  EXPECT_EQ(video->gop_size, 30);
  EXPECT_EQ(video->bit_rate, 750000);
  EXPECT_EQ(video->me_range, 24);
  EXPECT_TRUE(video->flags & AV_CODEC_FLAG_QSCALE);
  EXPECT_TRUE(video->flags & AV_CODEC_FLAG_GRAY);

  TCodecContextPtr audio(AV.avcodec_alloc_context3(AV.avcodec_find_encoder_by_name("mp2")));
  const int gop = audio->gop_size;
  const int meRange = audio->me_range;
  Engine->ApplyCollectedOptions(audio.get(), CodecOpts(miAudio), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
  EXPECT_EQ(audio->bit_rate, 96000);
  EXPECT_TRUE(audio->flags & AV_CODEC_FLAG_QSCALE); // "flags" belongs to every type
  EXPECT_EQ(audio->gop_size, gop);
  EXPECT_EQ(audio->me_range, meRange);

  // Flag bits nobody set keep the encoder's own defaults.
  TCodecContextPtr x264(AV.avcodec_alloc_context3(AV.avcodec_find_encoder_by_name("libx264")));
  ASSERT_TRUE(x264->flags & AV_CODEC_FLAG_CLOSED_GOP) << "libx264 defaults to closed GOPs";
  Engine->ApplyCollectedOptions(x264.get(), CodecOpts(miVideo), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
  EXPECT_TRUE(x264->flags & AV_CODEC_FLAG_CLOSED_GOP);
  EXPECT_TRUE(x264->flags & AV_CODEC_FLAG_GRAY);

  Engine->SetOption("packetsize", "2048");
  TFormatContextPtr oc(AV.avformat_alloc_context());
  Engine->ApplyCollectedOptions(oc.get(), Engine->FOptions.avformat_opts.get(), AV_OPT_FLAG_ENCODING_PARAM);
  EXPECT_EQ(oc->packet_size, 2048u);
}

// An encoder opened the way the session opens one, with the private options
// it was handed; nullptr (and a test failure) when it cannot be opened.
TCodecContextPtr OpenVideoEncoder(const TTestEngine &AEngine, const char *AName) {
  const AVCodec *codec = AV.avcodec_find_encoder_by_name(AName);
  if (!codec) {
    ADD_FAILURE() << AName << " is not available";
    return nullptr;
  }
  TCodecContextPtr ctx(AV.avcodec_alloc_context3(codec));
  ctx->width = 64;
  ctx->height = 64;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = AVRational{1, 25};
  AVDictionary *dict = nullptr;
  AEngine.AddPrivateOptions(codec, &dict);
  TDictionaryPtr owner(dict);
  const int ret = AV.avcodec_open2(ctx.get(), codec, &dict);
  owner.release();
  owner.reset(dict);
  if (ret < 0) {
    ADD_FAILURE() << AName << ": " << AVErrorText(ret);
    return nullptr;
  }
  EXPECT_EQ(AV.av_dict_count(dict), 0) << "options the encoder did not take";
  return ctx;
}

std::string PrivateText(AVCodecContext *ACtx, const char *AName) {
  uint8_t *text = nullptr;
  if (AV.av_opt_get(ACtx->priv_data, AName, 0, &text) < 0)
    return "<missing>";
  std::string s(reinterpret_cast<char *>(text));
  AV.av_free(text);
  return s;
}

TEST_F(GenericOptionsTest, PrivateOptionsReachTheOpenedEncoderThatKnowsThem) {
  EXPECT_TRUE(Engine->ApplyGenericOption("preset", "veryfast"));
  Engine->SetOption("crf", "31.5");
  Engine->SetOption("crf", "30"); // the later value replaces the earlier
  Engine->SetOption("sc_threshold", "0");
  Engine->SetOption("mpeg_quant", "1");
  EXPECT_TRUE(Engine->FOptions.opt_names.empty()); // none of them is a generic option
  // Encoders whose "preset" is a number or a list were not left complaining.
  EXPECT_TRUE(Lines(llError).empty());

  TCodecContextPtr x264 = OpenVideoEncoder(*Engine, "libx264");
  ASSERT_NE(x264, nullptr);
  EXPECT_EQ(PrivateText(x264.get(), "preset"), "veryfast");
  EXPECT_EQ(PrivateText(x264.get(), "crf"), "30.000000");
  EXPECT_EQ(PrivateText(x264.get(), "sc_threshold"), "0");
  EXPECT_EQ(PrivateText(x264.get(), "mpeg_quant"), "<missing>");

  TCodecContextPtr mpeg4 = OpenVideoEncoder(*Engine, "mpeg4");
  ASSERT_NE(mpeg4, nullptr);
  EXPECT_EQ(PrivateText(mpeg4.get(), "mpeg_quant"), "1");
}

TEST_F(GenericOptionsTest, MuxerPrivateOptionsAreKeptForTheMuxer) {
  Engine->SetOption("muxrate", "10080000");
  ASSERT_EQ(Engine->FOptions.private_opts.size(), 1u);
  EXPECT_TRUE(Engine->FOptions.private_opts[0].Kinds & pkMuxer);

  const AVOutputFormat *vob = AV.av_guess_format("vob", nullptr, nullptr);
  ASSERT_NE(vob, nullptr);
  AVDictionary *dict = nullptr;
  Engine->AddPrivateOptions(vob, &dict);
  TDictionaryPtr owner(dict);
  AVFormatContext *oc = nullptr;
  ASSERT_GE(AV.avformat_alloc_output_context2(&oc, vob, nullptr, nullptr), 0);
  TFormatContextPtr ocOwner(oc);
  ASSERT_GE(AV.av_opt_set_dict(oc->priv_data, &dict), 0);
  owner.release();
  owner.reset(dict);
  EXPECT_EQ(IntOpt(oc->priv_data, "muxrate"), 10080000);

  AVDictionary *codecDict = nullptr;
  Engine->AddPrivateOptions(AV.avcodec_find_encoder_by_name("mpeg2video"), &codecDict);
  EXPECT_EQ(codecDict, nullptr); // no encoder knows "muxrate"
}

TEST(LegacyNames, LookupTranslatesOnlyOlderNames) {
  EXPECT_EQ(CurrentCodecName("libfaac"), "aac");
  EXPECT_EQ(CurrentCodecName("libmp3lame"), "libmp3lame");
  ASSERT_NE(FindLegacyName(lkOptionName, "cqp"), nullptr);
  EXPECT_STREQ(FindLegacyName(lkOptionName, "cqp")->NewName, "qp");
  EXPECT_EQ(FindLegacyName(lkOptionName, "qp"), nullptr);
  EXPECT_EQ(FindLegacyName(lkCodecName, "cqp"), nullptr);

  using P = TOptionPairs;
  const struct {
    const char *Name, *Value;
    bool Translated;
    P Pairs;
  } cases[] = {
      {"directpred", "1", true, {{"direct-pred", "1"}}},
      {"cqp", "0", true, {{"qp", "0"}}},
      {"flags2", "+mixed_refs+wpred+dct8x8+fastpskip", true,
       {{"mixed-refs", "1"}, {"weightb", "1"}, {"8x8dct", "1"}, {"fast-pskip", "1"}}},
      {"flags2", "-bpyramid-mixed_refs-wpred-dct8x8+fastpskip-mbtree", true,
       {{"b-pyramid", "none"}, {"mixed-refs", "0"}, {"weightb", "0"}, {"8x8dct", "0"}, {"fast-pskip", "1"},
        {"mbtree", "0"}}},
      {"flags2", "bpyramid", true, {{"b-pyramid", "normal"}}},
      {"flags2", "+local_header-dct8x8", true, {{"flags2", "+local_header"}, {"8x8dct", "0"}}},
      {"flags2", "+local_header", false, {}},
      {"flags", "+loop", false, {}},
      {"crf", "20", false, {}},
  };
  for (const auto &c : cases) {
    P pairs;
    EXPECT_EQ(TranslateLegacyOption(c.Name, c.Value, pairs), c.Translated) << c.Name << "=" << c.Value;
    EXPECT_EQ(pairs, c.Pairs) << c.Name << "=" << c.Value;
  }
}

// The older x264 names, given as options, reach a real x264 encoder.
TEST_F(GenericOptionsTest, OlderEncoderNamesReachTheEncoder) {
  EXPECT_TRUE(Engine->ApplyGenericOption("flags2", "-bpyramid+mixed_refs-wpred+dct8x8-fastpskip-mbtree"));
  EXPECT_TRUE(Engine->ApplyGenericOption("directpred", "3"));
  EXPECT_TRUE(Engine->ApplyGenericOption("cqp", "22"));
  EXPECT_TRUE(Engine->ApplyGenericOption("wpredp", "0"));
  TCodecContextPtr x264 = OpenVideoEncoder(*Engine, "libx264");
  ASSERT_NE(x264, nullptr);
  EXPECT_EQ(PrivateText(x264.get(), "b-pyramid"), "0"); // none
  EXPECT_EQ(PrivateText(x264.get(), "mixed-refs"), "true");
  EXPECT_EQ(PrivateText(x264.get(), "weightb"), "false");
  EXPECT_EQ(PrivateText(x264.get(), "8x8dct"), "true");
  EXPECT_EQ(PrivateText(x264.get(), "fast-pskip"), "false");
  EXPECT_EQ(PrivateText(x264.get(), "mbtree"), "false");
  EXPECT_EQ(PrivateText(x264.get(), "direct-pred"), "3"); // auto
  EXPECT_EQ(PrivateText(x264.get(), "qp"), "22");
  EXPECT_EQ(PrivateText(x264.get(), "wpredp"), "0");
}

} // namespace
