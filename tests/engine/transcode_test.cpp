// Whole conversions through the loop: what the output files hold, what the
// progress reports say, and how runs end.
#include "tests/engine/conversion_support.h"

#include "tests/support/fixtures.h"

#include <algorithm>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string AacMovie() {
  return Fixture({"movie_aac_2s.mp4", "testsrc=size=320x240:rate=25:duration=2",
                  "sine=frequency=440:sample_rate=44100:duration=2", "mpeg4", "aac"});
}

std::string MonoTone8k() {
  return Fixture({"tone_mono_8k_2s.wav", "", "sine=frequency=440:sample_rate=8000:duration=2", "", "pcm_s16le", 1});
}

struct TAudioCase {
  const char *Name;
  std::string (*Input)();
  TSteps Options; // after the input, before the output
  int SampleRate;
  int Channels;
};

class ToMP3 : public ConversionTest, public ::testing::WithParamInterface<TAudioCase> {};

// The converter's main use: any input's audio becomes an MP3 of the asked
// rate and layout, as long as the input.
TEST_P(ToMP3, GivesAudioOnlyMP3AsLongAsTheInput) {
  const TAudioCase &c = GetParam();
  const std::string input = c.Input();
  const TMediaSummary in = Inspect(input);
  ASSERT_TRUE(in.Error.empty()) << in.Error;
  const std::string output = Out("out.mp3");
  TSteps steps = {{"<in>", input}};
  steps.insert(steps.end(), c.Options.begin(), c.Options.end());
  steps.insert(steps.end(), {{"acodec", "libmp3lame"}, {"ab", "128000"}, {"<out>", output}});
  Setup(steps);
  Run();
  EXPECT_TRUE(Engine->Finished());

  const TMediaSummary out = Inspect(output);
  ASSERT_TRUE(out.Error.empty()) << out.Error;
  ASSERT_EQ(out.Streams.size(), 1u);
  const TStreamSummary &a = out.Streams[0];
  EXPECT_EQ(a.Type, AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(a.Codec, "mp3");
  EXPECT_EQ(a.SampleRate, c.SampleRate);
  EXPECT_EQ(a.Channels, c.Channels);
  EXPECT_EQ(a.BitRate, 128000);
  EXPECT_NEAR(out.AudioSeconds(), in.AudioSeconds(), 1152.0 / c.SampleRate);
}

INSTANTIATE_TEST_SUITE_P(Inputs, ToMP3,
                         ::testing::Values(TAudioCase{"MovieWithAAC", AacMovie, {{"ar", "44100"}, {"ac", "2"}}, 44100, 2},
                                           TAudioCase{"Wav", [] { return ToneWav(2.0); }, {}, 44100, 2},
                                           TAudioCase{"Mono8kToStereo48k", MonoTone8k,
                                                      {{"ar", "48000"}, {"ac", "2"}}, 48000, 2}),
                         [](const auto &AInfo) { return std::string(AInfo.param.Name); });

using Transcode = ConversionTest;

// Copied video keeps every picture as it was; the output starts at a key frame.
TEST_F(Transcode, StreamCopyKeepsThePictures) {
  const std::string input = TestMovie(2.0);
  const std::string output = Out("copy.mkv");
  Setup({{"<in>", input}, {"an", "1"}, {"vcodec", "copy"}, {"<out>", output}});
  Run();
  const TMediaSummary in = Inspect(input), out = Inspect(output);
  ASSERT_TRUE(out.Error.empty()) << out.Error;
  ASSERT_EQ(out.Streams.size(), 1u);
  const TStreamSummary &v = out.Streams[0];
  EXPECT_EQ(v.Codec, "mpeg4");
  EXPECT_EQ(v.Width, 320);
  EXPECT_TRUE(v.FirstKey);
  EXPECT_EQ(v.Packets, in.Find(AVMEDIA_TYPE_VIDEO)->Packets);
  EXPECT_EQ(v.DecodedFrames, 50);
  ASSERT_FALSE(v.Pts.empty());
  EXPECT_NEAR(v.Pts.back(), 1.96, 0.001);
}

// "vframes" stops the run once that many pictures are out; the final report
// says so.
TEST_F(Transcode, VFramesEndsTheRunAtThatPicture) {
  const std::string output = Out("first100.avi");
  Setup({{"<in>", TestMovie(6.0)}, {"an", "1"}, {"vframes", "100"}, {"<out>", output}});
  Run();
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back().FileIndex, -1);
  EXPECT_EQ(Progress.back().FrameNumber, 100);
  const TMediaSummary out = Inspect(output);
  ASSERT_EQ(out.Streams.size(), 1u);
  EXPECT_EQ(out.Streams[0].Packets, 100);
  EXPECT_EQ(out.Streams[0].DecodedFrames, 100);
}

// Two inputs of different length: with "shortest" the run ends with the
// shorter one, without it with the longer one.
TEST_F(Transcode, ShortestEndsWithTheShorterInput) {
  const std::string video = Fixture({"video_only_2s.avi", "testsrc=size=160x120:rate=25:duration=2", "", "mpeg4"});
  const std::string audio = ToneWav(4.0);
  for (const bool shortest : {true, false}) {
    SCOPED_TRACE(shortest ? "shortest" : "longest");
    Engine->ResetSession();
    Progress.clear();
    const std::string output = Out(shortest ? "shortest.avi" : "longest.avi");
    Setup({{"<in>", video}, {"<in>", audio}, {"shortest", shortest ? "1" : "0"}, {"<out>", output}});
    Run();
    const TMediaSummary out = Inspect(output);
    ASSERT_EQ(out.Streams.size(), 2u);
    if (shortest)
      EXPECT_NEAR(out.AudioSeconds(), 2.0, 0.15);
    else
      EXPECT_NEAR(out.AudioSeconds(), 4.0, 0.05);
    EXPECT_EQ(out.Find(AVMEDIA_TYPE_VIDEO)->DecodedFrames, 50);
  }
}

// "fs" ends the run at the first packet after the first output grew past it.
TEST_F(Transcode, FileSizeLimitEndsTheRun) {
  const std::string output = Out("limited.wav");
  Setup({{"<in>", ToneWav(4.0)}, {"fs", "100000"}, {"<out>", output}});
  Run();
  EXPECT_TRUE(Engine->Finished());
  const auto size = fs::file_size(output);
  EXPECT_GT(size, 100000u);
  EXPECT_LT(size, 100000u + 8192u);
  EXPECT_NEAR(Inspect(output).AudioSeconds(), 100000.0 / (44100 * 4), 0.05);
}

// Joining: one output from both inputs in turn, the second's timestamps
// following the first's; the expected length is the sum.
TEST_F(Transcode, JoinedInputsFollowEachOther) {
  const std::string first = TestMovie(1.0), second = TestMovie(2.0);
  const std::string output = Out("joined.mkv");
  Setup({{"<in>", first}, {"<in>", second}, {"vcodec", "mpeg4"}, {"acodec", "mp2"}, {"<join>", output}});
  const int64_t total = Engine->Finput_files[0]->duration + Engine->Finput_files[1]->duration;
  EXPECT_EQ(Engine->nb_output_files(), 2);
  EXPECT_EQ(Engine->Foutput_files[1], Engine->Foutput_files[0]);
  EXPECT_EQ(Engine->OpenOutputFile(Out("second.mkv"), false), -1);
  EXPECT_EQ(Engine->LastErrMsg(), "Cannot join more than one output file.");
  Run();
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back().TotalDuration, total);
  EXPECT_NEAR(static_cast<double>(Progress.back().Duration), 3e6, 0.1e6);

  const TMediaSummary out = Inspect(output);
  ASSERT_EQ(out.Streams.size(), 2u);
  const TStreamSummary &v = *out.Find(AVMEDIA_TYPE_VIDEO);
  EXPECT_NEAR(static_cast<double>(v.DecodedFrames), 75, 1);
  ASSERT_GE(v.Pts.size(), 74u);
  std::vector<double> pts = v.Pts;
  std::sort(pts.begin(), pts.end());
  for (size_t i = 1; i < pts.size(); ++i)
    EXPECT_LT(pts[i] - pts[i - 1], 0.05) << "gap before " << pts[i];
  EXPECT_NEAR(pts[25], 1.0, 0.05); // the second input starts where the first ended
  EXPECT_NEAR(pts.back(), 2.96, 0.05);
  EXPECT_NEAR(out.AudioSeconds(), 3.0, 0.1);
}

// Without video the progress has no picture fields, and the converted time
// grows with the audio up to its length.
TEST_F(Transcode, AudioOnlyProgressHasNoPictureFields) {
  Engine->ReportInterval = 0;
  const std::string input = ToneWav(2.0);
  Setup({{"<in>", input}, {"<out>", Out("progress.mp3")}});
  const int64_t total = Engine->Finput_files[0]->duration;
  Run();
  ASSERT_GT(Progress.size(), 10u);
  int64_t last = 0;
  for (const auto &p : Progress) {
    EXPECT_EQ(p.FrameNumber, -1);
    EXPECT_EQ(p.FPS, -1);
    EXPECT_FLOAT_EQ(p.Quality, -1.0f);
    EXPECT_EQ(p.TotalDuration, total);
    EXPECT_GE(p.Duration, last);
    last = p.Duration;
  }
  EXPECT_EQ(Progress.front().FileIndex, 0);
  EXPECT_EQ(Progress.back().FileIndex, -1);
  EXPECT_NEAR(static_cast<double>(Progress.back().Duration), 2e6, 0.05e6);
  EXPECT_GT(Progress.back().Size, 30000);
}

} // namespace
