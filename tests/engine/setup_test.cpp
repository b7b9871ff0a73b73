// Opening inputs and creating outputs: the messages a user sees when a file
// cannot be used, and the streams an output gets.
#include "tests/engine/conversion_support.h"

#include "tests/support/fixtures.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include <langinfo.h>

namespace {

namespace fs = std::filesystem;

using InputSetup = ConversionTest;

// Files that are not media, or not whole, are refused with the file's name
// and the reason, and the session stays usable.
TEST_F(InputSetup, BrokenInputsAreRefusedWithTheirNameAndReason) {
  const std::string missing = Out("missing.mp4");
  const std::string empty = Out("empty.mp4");
  std::ofstream(empty, std::ios::binary).flush();
  const std::string random = Out("random.mp4");
  {
    std::mt19937 gen(7);
    std::ofstream f(random, std::ios::binary);
    for (int i = 0; i < 64 * 1024; ++i)
      f.put(static_cast<char>(gen()));
  }
  // The index of an MP4 is written last, so the first half has none.
  const std::string truncated = Out("truncated.mp4");
  {
    const std::string whole = Fixture({"movie_aac_2s.mp4", "testsrc=size=320x240:rate=25:duration=2",
                                       "sine=frequency=440:sample_rate=44100:duration=2", "mpeg4", "aac"});
    fs::copy_file(whole, truncated);
    fs::resize_file(truncated, fs::file_size(whole) / 2);
  }
  const struct {
    std::string Path;
    std::string Reason;
  } cases[] = {
      {missing, "No such file or directory"},
      {empty, "Invalid data found when processing input"},
      {random, "Invalid data found when processing input"},
      {truncated, "Invalid data found when processing input"},
  };
  for (const auto &c : cases) {
    EXPECT_FALSE(Engine->OpenInputFile(c.Path)) << c.Path;
    EXPECT_EQ(Engine->LastErrMsg(), c.Path + ": " + c.Reason);
    EXPECT_EQ(Engine->nb_input_files(), 0);
  }
  EXPECT_TRUE(Engine->OpenInputFile(ToneWav(2.0))) << Engine->LastErrMsg();
}

// Found by fuzzing: a damaged AVI header whose picture width times height
// does not fit an int. The aspect ratio comes from the two sides; a product
// that wrapped to 0 gave a square picture 4:3 (and any overflow is undefined
// behaviour, which the sanitizer builds report).
TEST_F(InputSetup, HugePictureSizesKeepTheirAspectRatio) {
  // 131 bytes: an AVI with one MPEG-4 video stream whose header's 32-bit
  // width and height fields are at bytes 88 and 92.
  const std::vector<unsigned char> avi = {
      0x52, 0x49, 0x46, 0x46, 0xB6, 0x3F, 0x00, 0x00, 0x41, 0x56, 0x49, 0x20, 0x73, 0x74, 0x72, 0x68,
      0x38, 0x00, 0x00, 0x00, 0x76, 0x69, 0x64, 0x73, 0x46, 0x4D, 0x50, 0x34, 0x00, 0x00, 0x00, 0x00,
      0x00, 0xFF, 0xFF, 0x7E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE5, 0xE3, 0x13, 0x03, 0x05, 0x55,
      0x4C, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x18, 0x00, 0x73, 0x74, 0x72, 0x66,
      0x28, 0x00, 0x00, 0x00, 0x28, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x18, 0x00, 0x49, 0x44,
      0x3E, 0x4F, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x05, 0x55, 0x4C,
      0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF,
      0xFF, 0xFF, 0xFF,
  };
  const auto put32 = [](std::vector<unsigned char> &ABytes, size_t AAt, uint32_t AValue) {
    for (size_t i = 0; i < 4; ++i)
      ABytes[AAt + i] = static_cast<unsigned char>(AValue >> (8 * i));
  };
  const struct {
    int32_t Width, Height;
  } cases[] = {{255, 1145634840}, {65536, 65536}};
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Width << "x" << c.Height);
    std::vector<unsigned char> bytes = avi;
    put32(bytes, 88, static_cast<uint32_t>(c.Width));
    put32(bytes, 92, static_cast<uint32_t>(c.Height));
    const std::string path = Out("huge.avi");
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(Engine->OpenInputFile(path)) << Engine->LastErrMsg();
    EXPECT_EQ(Engine->Fframe_width, c.Width);
    EXPECT_EQ(Engine->Fframe_height, c.Height);
    EXPECT_FLOAT_EQ(Engine->Fframe_aspect_ratio, static_cast<float>(static_cast<double>(c.Width) / c.Height));
  }
}

} // namespace

namespace {

using OutputSetup = ConversionTest;

TEST_F(OutputSetup, UnknownFormatsAreRefusedWithTheirMessage) {
  ASSERT_TRUE(Engine->OpenInputFile(ToneWav(2.0))) << Engine->LastErrMsg();
  const std::string unknownExt = Out("out.notanextension");
  EXPECT_EQ(Engine->OpenOutputFile(unknownExt, false), -1);
  EXPECT_EQ(Engine->LastErrMsg(), "Unable to find a suitable output format for '" + unknownExt + "'");

  Engine->SetOption("f", "notaformat");
  EXPECT_EQ(Engine->OpenOutputFile(Out("out.mp3"), false), -1);
  EXPECT_EQ(Engine->LastErrMsg(), "Requested output format 'notaformat' is not a suitable output format");
  // The asked format was used up: the next output is guessed from its name.
  EXPECT_EQ(Engine->OpenOutputFile(Out("out.mp3"), false), 1) << Engine->LastErrMsg();
  EXPECT_EQ(Engine->nb_output_files(), 1);

  // Feeding a feed server is gone with the libraries' "ffm" muxer.
  Engine->SetOption("f", "ffm");
  try {
    Engine->OpenOutputFile("http://localhost:8090/feed1.ffm", false);
    ADD_FAILURE() << "a feed server output was accepted";
  } catch (const FFmpegException &e) {
    EXPECT_EQ(e.Message(), "Feed server output is not supported");
  }
  EXPECT_EQ(Engine->nb_output_files(), 1);
}

// An AVI normally gets a video stream; without video in the input there is
// nothing to put into one.
// Found by fuzzing: an output size whose width times height does not fit an
// int. The pixel shape comes from the two sides; a product that wrapped to 0
// gave a 2:1 picture the pixels of a 4:3 one.
TEST_F(OutputSetup, HugeOutputSizesKeepTheirPixelShape) {
  ASSERT_TRUE(Engine->OpenInputFile(TestMovie(1.0))) << Engine->LastErrMsg();
  Engine->SetOption("s", "65536x65536");
  Engine->SetOption("aspect", "2");
  ASSERT_GE(Engine->OpenOutputFile(Out("huge.avi"), false), 1) << Engine->LastErrMsg();
  const AVRational sar = Engine->Foutput_files[0]->streams[0]->sample_aspect_ratio;
  EXPECT_EQ(sar.num, 2);
  EXPECT_EQ(sar.den, 1);
}

TEST_F(OutputSetup, AudioOnlyInputGivesNoVideoStream) {
  const std::string output = Out("tone.avi");
  Setup({{"<in>", ToneWav(2.0)}, {"<out>", output}});
  ASSERT_EQ(Engine->Foutput_files[0]->nb_streams, 1u);
  Run();
  const TMediaSummary out = Inspect(output);
  ASSERT_TRUE(out.Error.empty()) << out.Error;
  ASSERT_EQ(out.Streams.size(), 1u);
  EXPECT_EQ(out.Streams[0].Type, AVMEDIA_TYPE_AUDIO);
  EXPECT_NEAR(out.AudioSeconds(), 2.0, 0.05);
}

// An output that never received a byte (here: its run failed before the
// header) is not left behind.
TEST_F(OutputSetup, CopiedAudioCannotChangeVolumeAndTheEmptyOutputGoes) {
  const std::string output = Out("copy.mka");
  Setup({{"<in>", TestMovie(2.0)}, {"vn", "1"}, {"acodec", "copy"}, {"vol", "512"}, {"<out>", output}});
  EXPECT_TRUE(fs::exists(output));
  RunFails("-acodec copy and -vol are incompatible (frames are not decoded)");
  EXPECT_FALSE(fs::exists(output));
}

// Stream maps must cover every output stream and join streams of one kind.
TEST_F(OutputSetup, StreamMapsThatDoNotFitAreRefused) {
  const struct {
    TSteps Maps;
    const char *Message;
  } cases[] = {
      {{{"map", "0.0"}}, "Number of stream maps must match number of output streams"},
      {{{"map", "0.0"}, {"map", "0.0"}}, "Codec type mismatch for mapping #0.0 (Video) -> #0.1 (Audio)"},
      {{{"map", "0.0"}, {"map", "0.5"}}, "Could not find input stream #0.5"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Message);
    Engine->ResetSession();
    TSteps steps = {{"<in>", TestMovie(2.0)}};
    steps.insert(steps.end(), c.Maps.begin(), c.Maps.end());
    steps.push_back({"<out>", Out("mapped.avi")});
    Setup(steps);
    ASSERT_EQ(Engine->Foutput_files[0]->nb_streams, 2u);
    RunFails(c.Message);
  }
}

// Names the locale cannot express reach the libraries as "unicode:utf8:"
// names, both ways, and an empty output with such a name is still removed.
TEST_F(OutputSetup, NamesOutsideTheLocaleConvert) {
  ASSERT_STREQ(nl_langinfo(CODESET), "ANSI_X3.4-1968"); // the tests run in the "C" locale
  const std::string input = Out("音乐.wav");
  fs::copy_file(ToneWav(2.0), input);
  const std::string output = Out("输出.mp3");
  Setup({{"<in>", input}, {"<out>", output}});
  EXPECT_EQ(std::string(Engine->Foutput_files[0]->url), "unicode:utf8:" + output);
  Run();
  EXPECT_NEAR(Inspect(output).AudioSeconds(), 2.0, 0.05);

  const std::string unused = Out("空.mp3");
  Engine->ResetSession();
  Setup({{"<in>", input}, {"<out>", unused}});
  EXPECT_TRUE(fs::exists(unused));
  Engine->ResetSession();
  EXPECT_FALSE(fs::exists(unused));
}

} // namespace

namespace {

// The codec names a user gives are checked when the stream is made; older
// names still work.
TEST_F(OutputSetup, CodecNamesAreCheckedWhenTheStreamIsMade) {
  const struct {
    const char *Codec;
    std::string Message; // empty: accepted
  } cases[] = {
      {"nosuchcodec", "new_audio_stream fail: Unknown encoder 'nosuchcodec'"},
      {"mpeg4", "new_audio_stream fail: Invalid encoder type 'mpeg4'"},
      {"vorbis", "new_audio_stream fail: encoder 'vorbis' is experimental and might produce bad results.\r\n"
                 "Add '-strict experimental' if you want to use it.\r\n"
                 "Or use the non experimental encoder 'libvorbis'."},
      {"libfaac", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Codec);
    Engine->ResetSession();
    ASSERT_TRUE(Engine->OpenInputFile(ToneWav(2.0))) << Engine->LastErrMsg();
    Engine->SetOption("acodec", c.Codec);
    const int32_t result = Engine->OpenOutputFile(Out("codec.mkv"), false);
    if (c.Message.empty()) {
      EXPECT_EQ(result, 1) << Engine->LastErrMsg();
      EXPECT_EQ(Engine->Foutput_codecs[0], AV.avcodec_find_encoder_by_name("aac"));
    } else {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(Engine->LastErrMsg(), c.Message);
    }
  }
}

// An encoder that cannot take the asked rate gets the closest it can.
TEST_F(OutputSetup, UnsupportedSampleRateBecomesTheClosest) {
  // The AC-3 encoder takes 48000, 44100 and 32000.
  Setup({{"<in>", ToneWav(2.0)}, {"acodec", "ac3"}, {"ar", "22050"}, {"<out>", Out("closest.ac3")}});
  EXPECT_TRUE(Logged("Requested sampling rate unsupported using closest supported (32000)"));
  const TOutputStreamSetup *setup = Engine->FStreamSetups.begin()->second.Codec ? &Engine->FStreamSetups.begin()->second
                                                                               : nullptr;
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->Codec->sample_rate, 32000);
  Run();
  const TMediaSummary out = Inspect(Out("closest.ac3"));
  ASSERT_EQ(out.Streams.size(), 1u);
  EXPECT_EQ(out.Streams[0].SampleRate, 32000);
  EXPECT_NEAR(out.AudioSeconds(), 2.0, 0.05);
}

// Tags given as options and tags of an input reach the output; chapters are
// cut to the converted part.
TEST_F(OutputSetup, MetadataAndChaptersReachTheOutput) {
  const std::string tagged = Fixture({"tone_tagged_2s.wav", "", "sine=frequency=440:sample_rate=44100:duration=2", "",
                                      "pcm_s16le", 2, {{"title", "From the input"}, {"artist", "Input artist"}}});
  const std::string chapters = Out("chapters.txt");
  std::ofstream(chapters) << ";FFMETADATA1\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=One\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Two\n";
  const std::string output = Out("tagged.mka");
  Setup({{"<in>", tagged},
         {"f", "ffmetadata"},
         {"<in>", chapters},
         {"metadata", "title=Given"},
         {"map_meta_data", "0:0"},
         {"t", "1.5"},
         {"<out>", output}});
  Run();
  TMediaSummary out = Inspect(output);
  ASSERT_TRUE(out.Error.empty()) << out.Error;
  EXPECT_EQ(out.Tags["title"], "Given");            // given tags win over copied ones
  EXPECT_EQ(out.Tags["artist"], "Input artist");    // copied from input 0
  ASSERT_EQ(out.Chapters.size(), 2u);
  EXPECT_EQ(out.Chapters[0].Title, "One");
  EXPECT_DOUBLE_EQ(out.Chapters[0].Start, 0.0);
  EXPECT_DOUBLE_EQ(out.Chapters[0].End, 1.0);
  EXPECT_EQ(out.Chapters[1].Title, "Two");
  EXPECT_DOUBLE_EQ(out.Chapters[1].End, 1.5);
  EXPECT_NEAR(out.AudioSeconds(), 1.5, 0.05);
}

} // namespace

namespace {

// The preload and the largest delay of a multiplexer reach the MPEG program
// stream muxer, the only kind that has a preload.
TEST_F(OutputSetup, MuxPreloadAndDelayReachTheMuxer) {
  const struct {
    TSteps Options;
    int64_t Preload, MaxDelay; // µs
  } cases[] = {
      {{}, 500000, 700000},
      {{{"muxpreload", "0.2"}, {"muxdelay", "0.4"}}, 200000, 400000},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    TSteps steps = {{"<in>", TestMovie(2.0)}};
    steps.insert(steps.end(), c.Options.begin(), c.Options.end());
    steps.push_back({"<out>", Out("program.mpg")});
    Setup(steps);
    AVFormatContext *oc = Engine->Foutput_files[0];
    EXPECT_EQ(IntOpt(oc->priv_data, "preload"), c.Preload);
    EXPECT_EQ(oc->max_delay, c.MaxDelay);
  }
}

} // namespace
