// Whole conversions through the loop: what the output files hold, what the
// progress reports say, and how runs end.
#include "tests/engine/conversion_support.h"

#include "tests/support/fixtures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <vector>

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

// Decoders with frame threads give pictures back packets late; each picture
// still goes out at its own time, none repeated, whatever the thread count.
TEST_F(Transcode, CodecThreadsKeepEveryPictureInPlace) {
  for (const int32_t threads : {1, 2, 4}) {
    const std::string output = Out("threads" + std::to_string(threads) + ".avi");
    Setup({{"<in>", TestMovie(2.0)}, {"vcodec", "mpeg4"}, {"acodec", "mp2"}, {"<out>", output}});
    Engine->Fthread_count = threads;
    Run();
    const TMediaSummary out = Inspect(output);
    ASSERT_TRUE(out.Error.empty()) << out.Error;
    const TStreamSummary &v = *out.Find(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(v.DecodedFrames, 50) << threads << " threads";
    ASSERT_FALSE(v.Pts.empty());
    EXPECT_NEAR(v.Pts.front(), 0.0, 0.001) << threads << " threads";
    EXPECT_NEAR(v.Pts.back(), 1.96, 0.001) << threads << " threads";
  }
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

// Found by fuzzing: an AVI (267 bytes) whose video time base says a picture
// lasts nearly 10 years and whose packets carry no presentation stamp, so the
// loop never sees the recording time and frame-rate sync asked for some
// 3 billion copies of the second picture. With "t" no picture may go out past
// the recording time; "vframes" only keeps a regression from running for
// hours.
TEST_F(Transcode, RecordingTimeBoundsDuplicatedPictures) {
  const std::vector<unsigned char> avi = {
      0x52, 0x49, 0x46, 0x46, 0xB6, 0x3F, 0x00, 0x00, 0x41, 0x56, 0x49, 0x20, 0x73, 0x74, 0x72, 0x68,
      0x38, 0x00, 0x00, 0x00, 0x76, 0x69, 0x64, 0x73, 0x46, 0x4D, 0x50, 0x34, 0x00, 0x00, 0x00, 0x00,
      0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xB5, 0x0A, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0xD1, 0x03, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x18, 0x00, 0x73, 0x74, 0x72, 0x66,
      0x28, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00,
      0x01, 0x00, 0x18, 0x00, 0x46, 0x4D, 0x50, 0x34, 0x00, 0xFF, 0x07, 0x00, 0xFF, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x73, 0x74, 0x72, 0x68,
      0x38, 0x00, 0x00, 0x00, 0x61, 0x75, 0x64, 0x73, 0x01, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0xC9, 0x04, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x44, 0x03, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x73, 0x74, 0x72, 0x66,
      0x28, 0x00, 0x00, 0x00, 0x50, 0x00, 0x01, 0x00, 0x22, 0x56, 0x00, 0x3F, 0xF5, 0xFF, 0xE6, 0x58,
      0x8C, 0xB1, 0x02, 0x0A, 0xEF, 0x3C, 0x42, 0xDE, 0x23, 0x23, 0x45, 0x58, 0x54, 0x2D, 0x58, 0x2D,
      0x4D, 0x45, 0x44, 0x49, 0x41, 0x2D, 0x53, 0x45, 0x51, 0x55, 0x45, 0x4E, 0x43, 0x45, 0x3A, 0x00,
      0xDE, 0x20, 0x2A, 0x00, 0x30, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0x30, 0x64, 0x63,
      0x4C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0xB6, 0x51, 0xE0, 0x34,
  };
  const std::string input = Out("damaged.avi");
  std::ofstream(input, std::ios::binary)
      .write(reinterpret_cast<const char *>(avi.data()), static_cast<std::streamsize>(avi.size()));
  const std::string output = Out("second.avi");
  Setup({{"<in>", input}, {"t", "1"}, {"vframes", "1000"}, {"vcodec", "mpeg4"}, {"r", "10"}, {"<out>", output}});
  Run();
  const TMediaSummary out = Inspect(output);
  const TStreamSummary *video = out.Find(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr) << out.Error;
  EXPECT_GT(video->Packets, 0);
  EXPECT_LE(video->Packets, 10); // one second at 10 pictures a second
}

// Two inputs of different length: with "shortest" the run ends with the
// shorter one, without it with the longer one.
TEST_F(Transcode, ShortestEndsWithTheShorterInput) {
  const std::string video =
      Fixture({"video_only_2s.avi", "testsrc=size=160x120:rate=25:duration=2", "", "mpeg4", ""});
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
    // The audio read before the video's end shows up (the encoder's delay,
    // and AVI keeps the MP3 priming), but nowhere near the longer input.
    if (shortest) {
      EXPECT_GT(out.AudioSeconds(), 1.95);
      EXPECT_LT(out.AudioSeconds(), 2.3);
    } else {
      EXPECT_NEAR(out.AudioSeconds(), 4.0, 0.05);
    }
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

namespace {

using TranscodeErrors = ConversionTest;

// Packets the decoder refuses (PCM read as MP3) are skipped with a message,
// or end the run with "xerror".
TEST_F(TranscodeErrors, DecodeErrorsAreSkippedUnlessAskedToStop) {
  FFLogger().SetLogLevel(llVerbose);
  for (const bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "xerror" : "skip");
    Engine->ResetSession();
    Logged_.clear();
    TSteps steps = {{"acodec", "mp3"}, {"<in>", ToneWav(2.0)}, {"acodec", "pcm_s16le"}};
    if (stop)
      steps.push_back({"xerror", ""});
    steps.push_back({"<out>", Out("undecodable.wav")});
    Setup(steps);
    if (stop) {
      RunFails("Error while decoding stream #0.0 (Audio)");
      // The header was written, the rest never came: no half file is left.
      EXPECT_FALSE(fs::exists(Out("undecodable.wav")));
      EXPECT_TRUE(Logged("Incomplete output removed: " + Out("undecodable.wav")));
    } else {
      Run();
      EXPECT_TRUE(Engine->Finished());
      EXPECT_GT(fs::file_size(Out("undecodable.wav")), 44u);
      const auto verbose = Lines(llVerbose);
      EXPECT_NE(std::find(verbose.begin(), verbose.end(), "Error while decoding stream #0.0 (Audio)"), verbose.end());
    }
  }
}

} // namespace

namespace {

struct TVideoCase {
  const char *Name;
  TSteps Options; // after the input, before the output
  const char *Output;
  int Width, Height;
  int Frames; // pictures in the output
  int Dup, Drop;
};

class VideoOut : public ConversionTest, public ::testing::WithParamInterface<TVideoCase> {};

// A 2 s, 25 fps, 320x240 movie through crop, scale and frame-rate change.
TEST_P(VideoOut, PicturesComeOutCroppedScaledAndTimed) {
  const TVideoCase &c = GetParam();
  const std::string output = Out(c.Output);
  TSteps steps = {{"<in>", TestMovie(2.0)}, {"an", "1"}};
  steps.insert(steps.end(), c.Options.begin(), c.Options.end());
  steps.push_back({"<out>", output});
  Setup(steps);
  Engine->Transcode();
  EXPECT_EQ(Engine->Fnb_frames_dup, c.Dup);
  EXPECT_EQ(Engine->Fnb_frames_drop, c.Drop);
  Engine->FreeSession();
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back().FrameNumber, c.Frames);

  if (std::string(c.Output).ends_with(".yuv")) {
    EXPECT_EQ(fs::file_size(output), static_cast<uintmax_t>(c.Frames) * c.Width * c.Height * 3 / 2);
    return;
  }
  const TMediaSummary out = Inspect(output);
  ASSERT_EQ(out.Streams.size(), 1u);
  EXPECT_EQ(out.Streams[0].Width, c.Width);
  EXPECT_EQ(out.Streams[0].Height, c.Height);
  EXPECT_EQ(out.Streams[0].DecodedFrames, c.Frames);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VideoOut,
    ::testing::Values(
        TVideoCase{"Scaled", {{"s", "160x120"}}, "scaled.avi", 160, 120, 50, 0, 0},
        TVideoCase{"Cropped",
                   {{"croptop", "20"}, {"cropbottom", "20"}, {"cropleft", "40"}, {"cropright", "40"}},
                   "cropped.avi", 240, 200, 50, 0, 0},
        TVideoCase{"CroppedAndScaled", {{"croptop", "40"}, {"cropleft", "40"}, {"s", "128x96"}}, "both.avi", 128, 96,
                   50, 0, 0},
        // 50 pictures over 1.96 s: up to 58.8 at 30 fps; at 15 fps one is
        // dropped only when the output is more than 1.1 pictures ahead.
        TVideoCase{"MorePicturesRepeat", {{"r", "30"}, {"vsync", "1"}}, "30fps.avi", 320, 240, 59, 9, 0},
        TVideoCase{"FewerPicturesDrop", {{"r", "15"}, {"vsync", "1"}}, "15fps.avi", 320, 240, 31, 0, 19},
        TVideoCase{"RawPictures", {}, "raw.yuv", 320, 240, 50, 0, 0}),
    [](const auto &AInfo) { return std::string(AInfo.param.Name); });

using Report = ConversionTest;

// Without a progress handler the report is a log line; the last one is
// followed by the summary of what went where.
TEST_F(Report, LastLineAndSummaryAreLogged) {
  FFLogger().SetLogLevel(llVerbose);
  Engine->SetOnProgress(nullptr);
  Setup({{"<in>", TestMovie(2.0)}, {"an", "1"}, {"r", "30"}, {"vsync", "1"}, {"<out>", Out("report.avi")}});
  Run();
  const auto lines = Lines(llVerbose);
  const auto starting = [&](const std::string &APrefix, const std::string &AContaining) {
    std::string found;
    for (const auto &l : lines)
      if (l.rfind(APrefix, 0) == 0 && l.find(AContaining) != std::string::npos)
        found = l;
    return found;
  };
  const std::string last = starting("frame=", "Lsize=");
  const std::string summary = starting("video:", "");
  EXPECT_TRUE(std::regex_match(last, std::regex(R"(frame=   59 fps=[ \d]{2}\d q=\d+\.\d Lsize=\s*\d+kB time=1\.97 )"
                                                R"(bitrate=\s*\d+\.\dkbits/s dup=9 drop=0)")))
      << last;
  EXPECT_TRUE(std::regex_match(
      summary, std::regex(R"(video:\d+kB audio:0kB global headers:0kB muxing overhead \d+\.\d{6}%\r\n)")))
      << summary;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Stream mapping:"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  Stream #0.0 -> #0.0 (Video)"), lines.end());
}

// A stop request ends the loop at its next turn; the output is still
// finished properly, and the run does not count as finished.
TEST_F(Report, StoppedRunStillWritesAWholeFile) {
  Engine->ReportInterval = 0;
  Engine->SetOnProgress([this](TObject *, int32_t AFileIndex, int32_t AFrameNumber, int32_t, float, float, int64_t,
                               int64_t, int64_t) {
    Progress.push_back({AFileIndex, AFrameNumber, 0, 0, 0, 0, 0, 0});
    if (AFrameNumber >= 20)
      Engine->FBroken = true;
  });
  const std::string output = Out("stopped.mp4");
  Setup({{"<in>", TestMovie(6.0)}, {"<out>", output}});
  Run();
  EXPECT_FALSE(Engine->Finished());
  const TMediaSummary out = Inspect(output);
  ASSERT_TRUE(out.Error.empty()) << out.Error;
  ASSERT_EQ(out.Streams.size(), 2u);
  const int64_t frames = out.Find(AVMEDIA_TYPE_VIDEO)->DecodedFrames;
  EXPECT_GE(frames, 20);
  EXPECT_LT(frames, 150);
  EXPECT_EQ(Progress.back().FrameNumber, frames);
}

} // namespace

namespace {

struct TTimeCase {
  const char *Name;
  TSteps Before; // before the input
  TSteps After;  // after the input
  double Seconds;
};

class TimeLimits : public ConversionTest, public ::testing::WithParamInterface<TTimeCase> {};

// A 4 s tone, cut by a start position on the input, a start position on the
// output, or a recording time.
TEST_P(TimeLimits, CutTheOutput) {
  const TTimeCase &c = GetParam();
  const std::string output = Out("cut.wav");
  TSteps steps = c.Before;
  steps.push_back({"<in>", ToneWav(4.0)});
  steps.insert(steps.end(), c.After.begin(), c.After.end());
  steps.push_back({"<out>", output});
  Setup(steps);
  Run();
  EXPECT_NEAR(Inspect(output).AudioSeconds(), c.Seconds, 0.03);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeLimits,
                         ::testing::Values(TTimeCase{"SeekInput", {{"ss", "1.5"}}, {}, 2.5},
                                           TTimeCase{"SkipOutput", {}, {{"ss", "1.5"}}, 2.5},
                                           TTimeCase{"RecordingTime", {}, {{"t", "1.5"}}, 1.5},
                                           TTimeCase{"Both", {}, {{"ss", "1"}, {"t", "2"}}, 2.0}),
                         [](const auto &AInfo) { return std::string(AInfo.param.Name); });

// "dump" hands every packet to the library's packet dump, at its debug level.
TEST_F(Report, PacketDumpGoesToTheLog) {
  FFLogger().SetLogLevel(llDebug);
  for (const bool dump : {false, true}) {
    Engine->ResetSession();
    Logged_.clear();
    Setup({{"dump", dump ? "1" : "0"}, {"<in>", ToneWav(2.0)}, {"<out>", Out("dumped.wav")}});
    Run();
    const auto debug = Lines(llDebug);
    const auto keyframes =
        std::count_if(debug.begin(), debug.end(), [](const std::string &l) { return l.find("keyframe=1") != l.npos; });
    if (dump)
      EXPECT_GT(keyframes, 20);
    else
      EXPECT_EQ(keyframes, 0);
  }
}

// Pass 1 leaves the encoder's statistics where pass 2 will look for them.
TEST_F(Report, FirstPassWritesTheStatistics) {
  const std::string prefix = Out("stats");
  Setup({{"<in>", TestMovie(2.0)}, {"an", "1"}, {"pass", "1"}, {"passlogfile", prefix}, {"<out>", Out("pass1.avi")}});
  Run();
  const std::string log = prefix + "-0.log";
  ASSERT_TRUE(fs::exists(log));
  EXPECT_GT(fs::file_size(log), 50u * 20u); // a line per picture
}

} // namespace

namespace {

// Subtitles are decoded and encoded again, each at its own time.
TEST_F(Transcode, SubtitlesKeepTheirTextAndTimes) {
  const std::string input = Out("cues.srt");
  std::ofstream(input) << "1\n00:00:01,000 --> 00:00:02,500\nFirst cue\n\n"
                          "2\n00:00:03,000 --> 00:00:04,000\nSecond cue\n\n";
  const std::string output = Out("again.srt");
  Setup({{"<in>", input}, {"<out>", output}});
  Run();
  std::ifstream f(output);
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "1\n00:00:01,000 --> 00:00:02,500\nFirst cue\n\n"
                  "2\n00:00:03,000 --> 00:00:04,000\nSecond cue\n\n");
}

} // namespace

namespace {

// A stream's bitstream filters see every packet, with their arguments.
TEST_F(Transcode, BitstreamFiltersRewriteThePackets) {
  const std::string output = Out("slower.mkv");
  Setup({{"<in>", TestMovie(2.0)}, {"an", "1"}, {"vcodec", "copy"}, {"vbsf", "setts=ts=TS*2"}, {"<out>", output}});
  Run();
  const TMediaSummary out = Inspect(output);
  ASSERT_EQ(out.Streams.size(), 1u);
  ASSERT_EQ(out.Streams[0].Pts.size(), 50u);
  EXPECT_NEAR(out.Streams[0].Pts[1], 0.08, 0.001);
  EXPECT_NEAR(out.Streams[0].Pts.back(), 3.92, 0.001);
}

} // namespace

namespace {

// "vstats_file" gets a line per picture written.
TEST_F(Report, VideoStatisticsHaveALinePerPicture) {
  const std::string stats = Out("vstats.log");
  Setup({{"<in>", TestMovie(2.0)}, {"an", "1"}, {"vstats_file", stats}, {"<out>", Out("stats.avi")}});
  Run();
  std::ifstream f(stats);
  std::vector<std::string> lines;
  for (std::string l; std::getline(f, l);)
    lines.push_back(l);
  ASSERT_EQ(lines.size(), 50u);
  const std::regex line(R"(frame= +\d+ q= +\d+\.\d f_size= +\d+ s_size= +\d+kB time= \d+\.\d{3} )"
                        R"(br= +\d+\.\dkbits/s avg_br= +\d+\.\dkbits/s type= [IPB])");
  for (const auto &l : lines)
    EXPECT_TRUE(std::regex_match(l, line)) << l;
  EXPECT_EQ(lines.front().substr(0, 12), "frame=     1");
  EXPECT_EQ(lines.front().back(), 'I');
  EXPECT_EQ(lines.back().substr(0, 12), "frame=    50");
}

} // namespace

namespace {

// A copy cut in the middle of a group of pictures starts at the next key
// frame, or right away with "copyinkf". The test movie has a key frame every
// 12 pictures (0.48 s).
TEST_F(Transcode, CopyStartsAtAKeyFrameUnlessToldOtherwise) {
  for (const bool initial : {false, true}) {
    SCOPED_TRACE(initial ? "copyinkf" : "from key frame");
    Engine->ResetSession();
    const std::string output = Out(initial ? "inkf.mkv" : "key.mkv");
    Setup({{"<in>", TestMovie(2.0)},
           {"an", "1"},
           {"vcodec", "copy"},
           {"ss", "1"},
           {"copyinkf", initial ? "1" : "0"},
           {"<out>", output}});
    Run();
    const TMediaSummary out = Inspect(output);
    ASSERT_EQ(out.Streams.size(), 1u);
    const TStreamSummary &v = out.Streams[0];
    EXPECT_EQ(v.Packets, initial ? 25 : 14); // pictures 25..49, or the key frame 36 on
    EXPECT_EQ(v.FirstKey, !initial);
    ASSERT_FALSE(v.Pts.empty());
    EXPECT_NEAR(v.Pts.front(), initial ? 0.0 : 0.44, 0.002);
  }
}

} // namespace

namespace {

// Pictures decoded out of order (H.264 with B-frames) still go out once
// each at a constant rate: nothing repeated, nothing dropped.
TEST_F(Transcode, ReorderedPicturesGoOutOnceEach) {
  const std::string input =
      Fixture({"h264_bframes_2s.mp4", "testsrc=size=320x240:rate=25:duration=2", "", "libx264", ""});
  const TMediaSummary in = Inspect(input);
  ASSERT_EQ(in.Streams.size(), 1u);
  const std::string output = Out("from_h264.avi");
  Setup({{"<in>", input}, {"vsync", "1"}, {"<out>", output}});
  Engine->Transcode();
  EXPECT_EQ(Engine->Fnb_frames_dup, 0);
  EXPECT_EQ(Engine->Fnb_frames_drop, 0);
  Engine->FreeSession();
  const TMediaSummary out = Inspect(output);
  ASSERT_EQ(out.Streams.size(), 1u);
  EXPECT_EQ(out.Streams[0].DecodedFrames, in.Streams[0].DecodedFrames);
  EXPECT_NEAR(out.Streams[0].Pts.back(), (in.Streams[0].DecodedFrames - 1) * 0.04, 0.001);
}

} // namespace

namespace {

// "itsoffset" moves an input on the timeline; "itsscale" stretches the
// timestamps of one of its streams.
TEST_F(Transcode, InputOffsetAndScaleMoveTimestamps) {
  const struct {
    const char *Name;
    TSteps Before; // before the input
    double First, Last; // video packet times in the output, seconds
  } cases[] = {
      {"plain", {}, 0.0, 1.96},
      {"offset", {{"itsoffset", "1.6"}}, 1.6, 3.56}, // whole ticks of the input's 1/25 s
      {"scaled", {{"itsscale", "0:2"}}, 0.0, 3.92},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Engine->ResetSession();
    TSteps steps = c.Before;
    steps.insert(steps.end(), {{"<in>", TestMovie(2.0)}, {"an", "1"}, {"vcodec", "copy"}, {"<out>", Out("moved.mkv")}});
    Setup(steps);
    Run();
    const TMediaSummary out = Inspect(Out("moved.mkv"));
    ASSERT_EQ(out.Streams.size(), 1u);
    ASSERT_EQ(out.Streams[0].Pts.size(), 50u);
    EXPECT_NEAR(out.Streams[0].Pts.front(), c.First, 0.002);
    EXPECT_NEAR(out.Streams[0].Pts.back(), c.Last, 0.002);
  }
}

} // namespace
