// The option table: value kinds, refusals with their exact texts, listings.
#include "tests/engine/engine_fixture.h"

#include "platform/convert.h"
#include "platform/paths.h"

#include <ctime>
#include <regex>

namespace {

using OptionsTest = EngineTest;

TEST_F(OptionsTest, FlagsAreOffOnlyForZero) {
  const struct {
    const char *Name, *Value;
    bool Expected;
  } cases[] = {
      {"dump", "0", false}, {"dump", "1", true},    {"dump", "yes", true},  {"dump", "", true},
      {"hex", "0", false},  {"hex", "", true},      {"re", "2", true},      {"shortest", "0", false},
      {"copyts", "0", true}, {"copyts", "", true},  {"xerror", "0", true},  {"xerror", "anything", true},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    Engine->SetOption(c.Name, c.Value);
    const std::string opt = c.Name;
    const bool actual = opt == "dump"     ? Engine->Fdo_pkt_dump
                        : opt == "hex"    ? Engine->Fdo_hex_dump
                        : opt == "re"     ? Engine->Frate_emu
                        : opt == "copyts" ? Engine->Fcopy_ts
                        : opt == "xerror" ? Engine->Fexit_on_error
                                          : Engine->Fopt_shortest;
    EXPECT_EQ(actual, c.Expected) << c.Name << "=\"" << c.Value << "\"";
  }
}

TEST_F(OptionsTest, SampleRateAndChannelsIgnoreValuesBelowOne) {
  Engine->SetOption("ar", "0");
  Engine->SetOption("ac", "-1");
  EXPECT_EQ(Engine->Faudio_sample_rate, 44100);
  EXPECT_EQ(Engine->Faudio_channels, 2);
  Engine->SetOption("ar", "22050");
  Engine->SetOption("ac", "1");
  EXPECT_EQ(Engine->Faudio_sample_rate, 22050);
  EXPECT_EQ(Engine->Faudio_channels, 1);
}

// Every refusal the table raises, with the text the user sees.
TEST_F(OptionsTest, InvalidValuesRaiseTheirMessages) {
  const struct {
    const char *Name, *Value, *Message;
  } cases[] = {
      {"qscale", "0", "qscale must be > 0.0 and <= 255"},
      {"qscale", "256", "qscale must be > 0.0 and <= 255"},
      {"qscale", "-1", "qscale must be > 0.0 and <= 255"},
      {"pass", "3", "pass number can be only 1 or 2"},
      {"pass", "0", "pass number can be only 1 or 2"},
      {"aspect", "16:0", "Incorrect aspect ratio specification."},
      {"aspect", "wide", "Incorrect aspect ratio specification."},
      {"aspect", ":9", "Incorrect aspect ratio specification."},
      {"metadata", "title", "Missing ="},
      {"itsscale", "20:1", "stream index over MAX_STREAMS(20)"},
      {"itsscale", "-1:1", "stream index over MAX_STREAMS(20)"},
      {"threads", "4", "TODO: option - threads"},
      {"threads", "", "TODO: option - threads"},
      {"padtop", "10", "Please use vfilters=pad"},
      {"padcolor", "000000", "Please use vfilters=pad"},
      {"streamid", "3", "Invalid value \"3\" for option \"streamid\", required syntax is \"index:value\""},
      {"streamid", ":3", "Invalid value \":3\" for option \"streamid\", required syntax is \"index:value\""},
      {"streamid", "3:", "Invalid value \"3:\" for option \"streamid\", required syntax is \"index:value\""},
      {"streamid", "20:1", "stream index over MAX_STREAMS(20)"},
      {"t", "abc", "Invalid duration specification for t: abc"},
      {"ss", "1:xx", "Invalid duration specification for ss: 1:xx"},
      {"itsoffset", "later", "Invalid duration specification for itsoffset: later"},
      {"timestamp", "someday", "Invalid date specification for timestamp: someday"},
      {"pix_fmt", "yuv999", "Unknown pixel format requested: yuv999"},
      {"r", "fast", "Incorrect frame rate"},
      {"s", "big", "Incorrect frame size"},
      {"vbsf", "no_such_bsf", "Unknown bitstream filter no_such_bsf"},
      {"absf", " no_such_bsf=1 ", "Unknown bitstream filter no_such_bsf=1"},
      {"newvideo", "", "At least one output file must be specified"},
      {"newaudio", "", "At least one output file must be specified"},
      {"newsubtitle", "", "At least one output file must be specified"},
      {"intra_matrix", "1,2,3", "Syntax error in matrix \"1,2,3\" at coeff 2"},
      {"vhook", "/no/such/hook.so -x 1", "Failed to add video hook function: /no/such/hook.so -x 1"},
  };
  for (const auto &c : cases) {
    try {
      Engine->SetOption(c.Name, c.Value);
      ADD_FAILURE() << c.Name << "=" << c.Value << " was accepted";
    } catch (const FFmpegException &e) {
      EXPECT_EQ(e.Message(), c.Message) << c.Name << "=" << c.Value;
    }
  }
  EXPECT_FALSE(Engine->Fusing_vhook);
  EXPECT_EQ(Engine->Fdo_pass, 0);
  EXPECT_TRUE(Engine->Fmetadata.empty());
}

TEST_F(OptionsTest, MalformedNumbersRaiseTheConversionError) {
  const struct {
    const char *Name, *Value;
  } cases[] = {{"vdt", "x"},      {"fs", "12a"},       {"qscale", "abc"},  {"ar", "44.1k"},
               {"muxdelay", ""},  {"pass", "one"},     {"croptop", "1e"},  {"itsscale", "1:half"},
               {"vframes", "10f"}, {"loglevel", "loud"}, {"streamid", "a:1"}};
  for (const auto &c : cases)
    EXPECT_THROW(Engine->SetOption(c.Name, c.Value), EConvertError) << c.Name << "=" << c.Value;
}

TEST_F(OptionsTest, AcceptedValuesReachTheirFields) {
  Engine->SetOption("qscale", "255");
  EXPECT_FLOAT_EQ(Engine->Fvideo_qscale, 255.0f);
  Engine->SetOption("pass", "2");
  EXPECT_EQ(Engine->Fdo_pass, 2);
  Engine->SetOption("t", "00:00:10.5");
  EXPECT_EQ(Engine->Frecording_time, 10500000);
  EXPECT_EQ(Engine->FTotalOutputDuration, 10500000);
  Engine->SetOption("ss", "-1.25");
  EXPECT_EQ(Engine->Fstart_time, -1250000);
  Engine->SetOption("itsoffset", "2");
  EXPECT_EQ(Engine->Finput_ts_offset, 2000000);
  Engine->SetOption("timestamp", "2010-01-02T03:04:05.6Z");
  EXPECT_EQ(Engine->Frecording_timestamp, 1262401446); // rounded to whole seconds
  Engine->SetOption("fs", "5000000000");
  EXPECT_EQ(Engine->Flimit_filesize, 5000000000LL);
  Engine->SetOption("r", "ntsc");
  EXPECT_EQ(Engine->Fframe_rate.num, 30000);
  EXPECT_EQ(Engine->Fframe_rate.den, 1001);
  Engine->SetOption("s", "cif");
  EXPECT_EQ(Engine->Fframe_width, 352);
  EXPECT_EQ(Engine->Fframe_height, 288);
  Engine->SetOption("r", "");
  Engine->SetOption("s", "");
  EXPECT_EQ(Engine->Fframe_rate.num, 30000);
  EXPECT_EQ(Engine->Fframe_width, 352);
  Engine->SetOption("pix_fmt", "yuv422p");
  EXPECT_EQ(Engine->Fframe_pix_fmt, AV_PIX_FMT_YUV422P);
  Engine->SetOption("sample_fmt", "fltp");
  EXPECT_EQ(Engine->Faudio_sample_fmt, AV_SAMPLE_FMT_FLTP);
  Engine->SetOption("sample_fmt", "no_such_format");
  EXPECT_EQ(Engine->Faudio_sample_fmt, AV_SAMPLE_FMT_NONE);
  Engine->SetOption("vframes", "100");
  Engine->SetOption("aframes", "200");
  Engine->SetOption("dframes", "300");
  EXPECT_EQ(Engine->Fmax_frames[miVideo], 100);
  EXPECT_EQ(Engine->Fmax_frames[miAudio], 200);
  EXPECT_EQ(Engine->Fmax_frames[miData], 300);
  EXPECT_EQ(Engine->Fmax_frames[miSubtitle], INT32_MAX);
  Engine->SetOption("streamid", "19:301");
  EXPECT_EQ(Engine->Fstreamid_map[19], 301);
  Engine->SetOption("vf", "");
  Engine->SetOption("vfilters", "hflip");
  Engine->SetOption("vf", "");
  EXPECT_EQ(Engine->Fvfilters, "hflip");
}

TEST_F(OptionsTest, AspectRatioAsFractionOrDecimal) {
  const struct {
    const char *Value;
    float Ratio;
  } cases[] = {{"16:9", 16.0f / 9}, {"4:3", 4.0f / 3}, {"1.7777", 1.7777f}, {"2.35:1", 2.35f}};
  for (const auto &c : cases) {
    Engine->SetOption("aspect", c.Value);
    EXPECT_FLOAT_EQ(Engine->Fframe_aspect_ratio, c.Ratio) << c.Value;
  }
  Engine->SetOption("aspect", ""); // ignored
  EXPECT_FLOAT_EQ(Engine->Fframe_aspect_ratio, 2.35f);
}

TEST_F(OptionsTest, StreamMapsWithAndWithoutSyncStream) {
  const struct {
    const char *Value;
    TAVStreamMap Map;
  } cases[] = {{"0.1", {0, 1, 0, 1}},       {"0:1:1:0", {0, 1, 1, 0}}, {"2:3", {2, 3, 2, 3}},
               {"0x1.010", {1, 8, 1, 8}},   {"1.0:2.3", {1, 0, 2, 3}}};
  for (const auto &c : cases)
    Engine->SetOption("map", c.Value);
  ASSERT_EQ(Engine->Fnb_stream_maps, 5);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TAVStreamMap &m = Engine->Fstream_maps[i];
    EXPECT_EQ(m.file_index, cases[i].Map.file_index) << cases[i].Value;
    EXPECT_EQ(m.stream_index, cases[i].Map.stream_index) << cases[i].Value;
    EXPECT_EQ(m.sync_file_index, cases[i].Map.sync_file_index) << cases[i].Value;
    EXPECT_EQ(m.sync_stream_index, cases[i].Map.sync_stream_index) << cases[i].Value;
  }
  Engine->SetOption("map_meta_data", "1:0");
  ASSERT_EQ(Engine->Fnb_meta_data_maps, 1);
  EXPECT_EQ(Engine->Fmeta_data_maps[0].out_file, 1);
  EXPECT_EQ(Engine->Fmeta_data_maps[0].in_file, 0);
}

TEST_F(OptionsTest, StreamMapTableHasRoomForItsCapacityOnly) {
  TTestEngine small(1);
  for (int i = 0; i < MAX_STREAMS; ++i)
    small.SetOption("map", "0." + std::to_string(i));
  EXPECT_THROW(small.SetOption("map", "0.0"), FFmpegException);
  EXPECT_EQ(small.Fnb_stream_maps, MAX_STREAMS);
}

TEST_F(OptionsTest, MetadataSplitsAtTheFirstEquals) {
  Engine->SetOption("metadata", "title=a=b");
  Engine->SetOption("metadata", "comment=");
  Engine->AddMetadata("album", "x");
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(Engine->Fmetadata, (std::vector<P>{{"title", "a=b"}, {"comment", ""}, {"album", "x"}}));
}

TEST_F(OptionsTest, TimestampScaleGoesToTheNextInputsStream) {
  Engine->SetOption("itsscale", "1:0.5");
  EXPECT_DOUBLE_EQ(Engine->Finput_files_ts_scale[0][1], 0.5);
  EXPECT_DOUBLE_EQ(Engine->Finput_files_ts_scale[0][0], 0);
  Engine->Fnb_input_files = 2; // as after two opened inputs
  Engine->SetOption("itsscale", "0x13:2");
  EXPECT_DOUBLE_EQ(Engine->Finput_files_ts_scale[2][19], 2.0);
  Engine->Fnb_input_files = 0;
}

TEST_F(OptionsTest, CodecTagsAreFourCharactersFirstInTheLowestByte) {
  Engine->SetOption("vtag", "XVID");
  EXPECT_EQ(Engine->Fvideo_codec_tag, 0x44495658u);
  Engine->SetOption("atag", "mp4a");
  EXPECT_EQ(Engine->Faudio_codec_tag, 0x6134706Du);
  Engine->SetOption("vtag", "");
  EXPECT_EQ(Engine->Fvideo_codec_tag, 0x44495658u);
  const struct {
    const char *Name, *Value, *Message;
  } bad[] = {{"vtag", "DIV", "video tag parameter must be 4 chars"},
             {"atag", "mp4a5", "audio tag parameter must be 4 chars"},
             {"stag", "x", "subtitle tag parameter must be 4 chars"}};
  for (const auto &c : bad) {
    try {
      Engine->SetOption(c.Name, c.Value);
      ADD_FAILURE() << c.Name << "=" << c.Value << " was accepted";
    } catch (const EAssertionFailed &e) {
      EXPECT_EQ(e.Message(), c.Message);
    }
  }
  EXPECT_EQ(Engine->Fvideo_codec_tag, 0x44495658u);
}

TEST_F(OptionsTest, CropChecksTheCurrentFrameSizeBeforeWriting) {
  Engine->SetOption("croptop", "0");
  Engine->SetOption("cropleft", "-5");
  EXPECT_TRUE(Lines(llWarning).empty());
  EXPECT_EQ(Engine->Fframe_topBand, 0);

  Engine->SetOption("s", "640x480");
  try {
    Engine->SetOption("croptop", "480");
    ADD_FAILURE() << "croptop equal to the height was accepted";
  } catch (const FFmpegException &e) {
    EXPECT_EQ(e.Message(), "Vertical crop dimensions are outside the range of the original image.\n"
                           "Remember to crop first and scale second.");
  }
  try {
    Engine->SetOption("cropright", "640");
    ADD_FAILURE() << "cropright equal to the width was accepted";
  } catch (const FFmpegException &e) {
    EXPECT_EQ(e.Message(), "Horizontal crop dimensions are outside the range of the original image.\n"
                           "Remember to crop first and scale second.");
  }
  EXPECT_EQ(Engine->Fframe_height, 480);
  EXPECT_EQ(Engine->Fframe_width, 640);

  Engine->SetOption("croptop", "10");
  Engine->SetOption("cropbottom", "20");
  Engine->SetOption("cropleft", "30");
  Engine->SetOption("cropright", "40");
  EXPECT_EQ(Engine->Fframe_topBand, 10);
  EXPECT_EQ(Engine->Fframe_bottomBand, 20);
  EXPECT_EQ(Engine->Fframe_leftBand, 30);
  EXPECT_EQ(Engine->Fframe_rightBand, 40);
  EXPECT_EQ(Engine->Fframe_height, 450);
  EXPECT_EQ(Engine->Fframe_width, 570);
  EXPECT_EQ(Lines(llWarning), std::vector<std::string>(4, "CropXXX is deprecated in favor of the crop avfilter"));
}

TEST_F(OptionsTest, CodecChoiceKeepsCopyUntilTheStreamIsMade) {
  Engine->SetOption("vcodec", "copy");
  EXPECT_EQ(Engine->Fvideo_stream_copy, 1);
  EXPECT_TRUE(Engine->Fvideo_codec_name.empty());
  Engine->SetOption("vcodec", "mpeg4");
  EXPECT_EQ(Engine->Fvideo_codec_name, "mpeg4");
  EXPECT_EQ(Engine->Fvideo_stream_copy, 1);
  Engine->SetOption("vcodec", "");
  EXPECT_EQ(Engine->Fvideo_codec_name, "mpeg4");
  Engine->SetOption("acodec", "libfaac"); // the older name of the AAC encoder
  EXPECT_EQ(Engine->Faudio_codec_name, "aac");
  Engine->SetSubtitleCodec("mov_text");
  EXPECT_EQ(Engine->Fsubtitle_codec_name, "mov_text");
}

TEST_F(OptionsTest, QuantiserMatrixTakesSixtyFourLeadingIntegers) {
  std::string value;
  for (int i = 1; i <= 64; ++i)
    value += std::to_string(i * 2) + (i == 10 ? "x" : "") + ",";
  value += "999,1000"; // read no further than entry 63
  Engine->SetOption("inter_matrix", value);
  ASSERT_NE(Engine->Finter_matrix, nullptr);
  EXPECT_EQ((*Engine->Finter_matrix)[0], 2);
  EXPECT_EQ((*Engine->Finter_matrix)[9], 20);
  EXPECT_EQ((*Engine->Finter_matrix)[63], 128);
  EXPECT_EQ(Engine->Fintra_matrix, nullptr);

  // Reuse clears what an earlier value left.
  EXPECT_THROW(Engine->SetOption("inter_matrix", "5,6"), FFmpegException);
  EXPECT_EQ((*Engine->Finter_matrix)[0], 5);
  EXPECT_EQ((*Engine->Finter_matrix)[1], 6);
  EXPECT_EQ((*Engine->Finter_matrix)[63], 0);
}

TEST_F(OptionsTest, BitstreamFiltersJoinTheChainOfTheirKind) {
  Engine->SetOption("vbsf", "h264_mp4toannexb");
  Engine->SetOption("vbsf", "dump_extra=k");
  Engine->SetOption("absf", "aac_adtstoasc");
  Engine->SetOption("sbsf", "=null");
  Engine->SetOption("sbsf", "");
  ASSERT_EQ(Engine->Fvideo_bitstream_filters.size(), 2u);
  EXPECT_STREQ(Engine->Fvideo_bitstream_filters[0].Context->filter->name, "h264_mp4toannexb");
  EXPECT_STREQ(Engine->Fvideo_bitstream_filters[1].Context->filter->name, "dump_extra");
  EXPECT_EQ(Engine->Fvideo_bitstream_filters[1].Args, "k");
  ASSERT_EQ(Engine->Faudio_bitstream_filters.size(), 1u);
  EXPECT_STREQ(Engine->Faudio_bitstream_filters[0].Context->filter->name, "aac_adtstoasc");
  EXPECT_TRUE(Engine->Fsubtitle_bitstream_filters.empty());
}

TEST_F(OptionsTest, FormatOptionAndTheOldPgmYuvName) {
  Engine->SetOption("f", "avi");
  EXPECT_EQ(Engine->Flast_asked_format, "avi");
  Engine->SetOption("f", "");
  EXPECT_EQ(Engine->Flast_asked_format, "avi");
  Engine->SetOption("f", "pgmyuv");
  EXPECT_EQ(Engine->Flast_asked_format, "image2");
  EXPECT_EQ(Engine->Fpgmyuv_compatibility_hack, 1);
  EXPECT_EQ(Lines(llInfo), std::vector<std::string>{"pgmyuv format is deprecated, use image2"});
}

TEST_F(OptionsTest, InformationalOptionsOnlyLog) {
  for (const char *name : {"L", "h", "version", "formats", "codecs", "bsfs", "protocols", "filters", "i", "y",
                           "benchmark"})
    Engine->SetOption(name, "x");
  Engine->SetOption("timelimit", "10");
  const std::vector<std::string> info = Lines(llInfo);
  ASSERT_EQ(info.size(), 11u);
  EXPECT_EQ(info[0], "Do nothing: option - L");
  EXPECT_EQ(info[3], "Do nothing: option - formats");
  EXPECT_EQ(info[10], "Do nothing: option - benchmark");
  EXPECT_EQ(Lines(llWarning), std::vector<std::string>{"Warning: -timelimit not implemented on Windows"});
}

TEST_F(OptionsTest, UnknownNamesAreSilentlyIgnored) {
  EXPECT_NO_THROW(Engine->SetOption("no_such_option", "1"));
  EXPECT_NO_THROW(Engine->SetOption("Ar", "8000")); // names are case-sensitive
  EXPECT_EQ(Engine->Faudio_sample_rate, 44100);
  EXPECT_TRUE(Logged_.empty());
}

TEST_F(OptionsTest, LogLevelOptionSetsTheBridgeLevel) {
  const struct {
    const char *Value;
    TLogLevel Level;
  } cases[] = {{"quiet", llQuiet}, {"panic", llPanic},     {"fatal", llFatal}, {"error", llError},
               {"WARNING", llWarning}, {"info", llInfo}, {"Verbose", llVerbose}, {"debug", llDebug},
               {"-8", llQuiet},    {"-20", llQuiet},     {"0", llPanic},     {"20", llError},
               {"47", llVerbose},  {"99", llDebug}};
  for (const auto &c : cases) {
    Engine->SetOption("loglevel", c.Value);
    EXPECT_EQ(FFLogger().LogLevel(), c.Level) << c.Value;
  }
}

TEST_F(OptionsTest, SampleFormatListLogsTheHeaderAndEveryFormat) {
  Engine->SetOption("sample_fmt", "list");
  const std::vector<std::string> info = Lines(llInfo);
  // The current library has 12 sample formats (the older one had 5).
  ASSERT_EQ(info.size(), 13u);
  EXPECT_EQ(info[0], "name   depth");
  EXPECT_EQ(info[1], "u8        8");
  EXPECT_EQ(info[2], "s16      16");
  EXPECT_EQ(info[12], "s64p     64");
  EXPECT_EQ(Engine->Faudio_sample_fmt, AV_SAMPLE_FMT_NONE);
}

TEST_F(OptionsTest, PixelFormatListLogsTheHeaderAndEveryFormat) {
  Engine->SetOption("pix_fmt", "list");
  const std::vector<std::string> info = Lines(llInfo);
  // Every format the loaded library describes (the older one had 67).
  int described = 0;
  for (const AVPixFmtDescriptor *d = AV.av_pix_fmt_desc_next(nullptr); d; d = AV.av_pix_fmt_desc_next(d))
    ++described;
  EXPECT_GT(described, 67);
  ASSERT_EQ(info.size(), static_cast<size_t>(described) + 1);
  EXPECT_EQ(info[0], "name nb_components nb_bits");
  EXPECT_EQ(info[1], "yuv420p           3         12");
  for (const auto &line : info)
    EXPECT_EQ(line, Trim(line));
  EXPECT_EQ(Engine->Fframe_pix_fmt, AV_PIX_FMT_NONE);
}

TEST_F(OptionsTest, VStatsNamesAFileBesideTheExecutable) {
  const std::time_t before = std::time(nullptr);
  Engine->SetOption("vstats", "ignored");
  const std::time_t after = std::time(nullptr);
  const std::string prefix = ExecutableDir() + "/vstats_";
  ASSERT_EQ(Engine->Fvstats_filename.compare(0, prefix.size(), prefix), 0) << Engine->Fvstats_filename;
  const std::string stamp = Engine->Fvstats_filename.substr(prefix.size());
  ASSERT_TRUE(std::regex_match(stamp, std::regex(R"(\d{6}\.log)"))) << stamp;
  bool matches = false;
  for (std::time_t t = before; t <= after; ++t) {
    std::tm local{};
    localtime_r(&t, &local);
    char hhnnss[16];
    std::strftime(hhnnss, sizeof hhnnss, "%H%M%S", &local);
    matches = matches || stamp == std::string(hhnnss) + ".log";
  }
  EXPECT_TRUE(matches) << stamp;
  Engine->SetOption("vstats_file", "/tmp/stats.log");
  EXPECT_EQ(Engine->Fvstats_filename, "/tmp/stats.log");
}

TEST_F(OptionsTest, DirectSettersIgnoreOutOfRangeValues) {
  Engine->SetAudioVolume(-1);
  Engine->SetStartTime(AV_NOPTS_VALUE);
  Engine->SetProgramID(-1);
  Engine->SetVideoSyncMethod(-2);
  Engine->SetAudioSyncMethod(-1);
  Engine->SetMuxDelay(-0.1);
  Engine->SetMuxPreload(-0.1);
  Engine->SetRecordingTime(AV_NOPTS_VALUE);
  EXPECT_EQ(Engine->Faudio_volume, 256);
  EXPECT_EQ(Engine->Fstart_time, 0);
  EXPECT_EQ(Engine->Fopt_programid, 0);
  EXPECT_EQ(Engine->Fvideo_sync_method, -1);
  EXPECT_EQ(Engine->Faudio_sync_method, 0);
  EXPECT_FLOAT_EQ(Engine->Fmux_max_delay, 0.7f);
  EXPECT_FLOAT_EQ(Engine->Fmux_preload, 0.5f);
  EXPECT_EQ(Engine->Frecording_time, INT64_MAX);

  Engine->SetAudioVolume(512);
  Engine->SetStartTime(3000000);
  Engine->SetProgramID(7);
  Engine->SetVideoSyncMethod(2);
  Engine->SetAudioSyncMethod(1);
  Engine->SetMuxDelay(0.2);
  Engine->SetMuxPreload(0.44);
  Engine->SetRecordingTime(9000000);
  EXPECT_EQ(Engine->Faudio_volume, 512);
  EXPECT_EQ(Engine->Fstart_time, 3000000);
  EXPECT_EQ(Engine->Fopt_programid, 7);
  EXPECT_EQ(Engine->Fvideo_sync_method, 2);
  EXPECT_EQ(Engine->Faudio_sync_method, 1);
  EXPECT_FLOAT_EQ(Engine->Fmux_max_delay, 0.2f);
  EXPECT_FLOAT_EQ(Engine->Fmux_preload, 0.44f);
  EXPECT_EQ(Engine->Frecording_time, 9000000);
  EXPECT_EQ(Engine->FTotalOutputDuration, 9000000);
}

} // namespace
