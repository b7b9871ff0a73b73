// The engine's overhead, each conversion next to the minimal pipeline on the
// same libraries, codecs and encoder settings: a long video's audio into an
// MP3 (wall time and peak memory), and a 720p clip into the catalogue's
// "高清iPhone H264视频720P" format (wall time, both sides with the same codec
// threads; the encoders' own settings are compared through the option text
// x264 writes into its stream, and the figure is not trusted when they differ).
#include "bench/bench_setup.h"
#include "bench/bench_util.h"
#include "bench/minimal_pipeline.h"
#include "catalogue/profiles.h"
#include "engine/custom_ffmpeg.h"
#include "media/ffmpeg_loader.h"
#include "tests/support/fixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

bool RunEngine(TCustomFFmpeg &AEngine) {
  AEngine.StartConvert(false, tpNormal);
  if (AEngine.FatalException())
    std::fprintf(stderr, "engine: %s\n", AEngine.FatalMessage().c_str());
  return AEngine.Finished() && !AEngine.FatalException();
}

bool EngineAudioToMp3(const std::string &AInput, const std::string &AOutput) {
  TCustomFFmpeg engine(20);
  engine.ResetSession();
  if (!engine.OpenInputFile(AInput))
    return false;
  engine.SetOption("acodec", "libmp3lame");
  engine.SetOption("ab", "128000");
  engine.SetOption("ar", "44100");
  engine.SetOption("ac", "2");
  if (engine.OpenOutputFile(AOutput, false) < 0)
    return false;
  return RunEngine(engine);
}

// The iPhone 720p H.264 format as the window sets it up: its profile's
// codecs, size, rates and bit rates, with ACodecThreads for every codec.
constexpr int32_t IPhone720pH264 = 503;

// The codec thread count as the job manager gives it to its tasks.
class TThreadedEngine : public TCustomFFmpeg {
public:
  explicit TThreadedEngine(int32_t AThreads) : TCustomFFmpeg(20), FThreads(AThreads) {}
  // A new session starts from one thread.
  void NewSession() {
    ResetSession();
    Fthread_count = FThreads;
  }

private:
  int32_t FThreads;
};

bool EngineProfile(const std::string &AInput, const std::string &AOutput, int32_t AThreads) {
  const TFormatProfile &p = *FindProfile(IPhone720pH264);
  TThreadedEngine engine(AThreads);
  engine.NewSession();
  if (!engine.OpenInputFile(AInput))
    return false;
  engine.SetOption("vcodec", p.VideoCodec);
  engine.SetOption("acodec", p.AudioCodec);
  engine.SetOption("s", p.FrameSize);
  engine.SetOption("b", std::to_string(p.VideoBitrate));
  engine.SetOption("r", p.FrameRate);
  engine.SetOption("ab", std::to_string(p.AudioBitrate));
  engine.SetOption("ar", p.AudioSampleRate);
  engine.SetOption("ac", p.AudioChannels);
  if (engine.OpenOutputFile(AOutput, false) < 0)
    return false;
  return RunEngine(engine);
}

TMinimalTranscode MinimalProfile(int32_t AThreads) {
  const TFormatProfile &p = *FindProfile(IPhone720pH264);
  TMinimalTranscode m;
  m.VideoEncoder = p.VideoCodec;
  m.Width = 1280, m.Height = 720;
  m.VideoBitrate = p.VideoBitrate;
  m.FrameRateNum = 30000, m.FrameRateDen = 1001; // the profile's "29.97"
  m.Threads = AThreads;
  m.AudioEncoder = "aac"; // today's name of the profile's "libfaac"
  m.AudioBitrate = p.AudioBitrate;
  m.SampleRate = std::atoi(p.AudioSampleRate);
  m.Channels = std::atoi(p.AudioChannels);
  return m;
}

// The encoder settings x264 writes into the stream it makes.
std::string X264Options(const std::string &AFile) {
  std::ifstream in(AFile, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t at = data.find("options: ");
  return at == std::string::npos ? std::string() : data.substr(at, data.find('\0', at) - at);
}

} // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  if (!LoadConversionLibraries())
    return 1;
  const std::string input = TenMinuteMovie();
  // A 720p clip already at the format's frame rate, so neither side drops
  // or repeats pictures.
  const std::string hd = Fixture({"bench_720p_2997_20s.mp4", "testsrc=size=1280x720:rate=30000/1001:duration=20",
                                  "sine=frequency=440:sample_rate=48000:duration=20", "mpeg4", "aac"});
  const std::string dir = std::filesystem::temp_directory_path() / "zv-bench";
  std::filesystem::create_directories(dir);
  const std::string outA = dir + "/engine.mp3", outB = dir + "/minimal.mp3";
  const std::string hdA = dir + "/engine.mp4", hdB = dir + "/minimal.mp4";
  // A third argument sets the codec threads of a run alone (0: the libraries').
  // By default what the job manager gives a task that runs alone.
  const int threads = argc > 3 ? std::atoi(argv[3]) : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()) * 3 / 2);
  // "engine", "minimal", "engine-hd" or "minimal-hd" as second argument runs
  // that one alone, in this process (the measured runs, and for a profiler).
  if (argc > 2) {
    const std::string which = argv[2];
    if (which == "engine-hd")
      return !EngineProfile(hd, hdA, threads);
    if (which == "minimal-hd")
      return !MinimalTranscode(hd, hdB, MinimalProfile(threads));
    return which == "engine" ? !EngineAudioToMp3(input, outA) : !MinimalAudioToMp3(input, outB);
  }
  // Each run is this program again with the one conversion to make: its
  // time and memory include loading the libraries, the same on both sides.
  const auto alone = [&](const char *AWhich) {
    return [&, AWhich] { return RunProcess({"/proc/self/exe", "1", AWhich, std::to_string(threads)}); };
  };
  const TPairStats s = MeasurePair(alone("engine"), alone("minimal"), runs);
  const TPairStats v = MeasurePair(alone("engine-hd"), alone("minimal-hd"), runs);
  // Read before the runs below write the yardstick's file again.
  const std::string optA = X264Options(hdA), optB = X264Options(hdB);
  // How far the libraries themselves go with the lone task's codec threads:
  // the bound of the job manager's figure for one task.
  const TPairStats scaling = MeasurePair(
      alone("minimal-hd"), [&] { return RunProcess({"/proc/self/exe", "1", "minimal-hd", "1"}); }, runs);
  if (!s.Ok || !v.Ok || !scaling.Ok) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  std::printf("# 10-min video -> MP3: engine %.2f s, minimal %.2f s (median of %d); peak memory %.0f and %.0f KiB\n",
              s.WallA, s.WallB, runs, s.RssA, s.RssB);
  std::printf("# 720p 20 s -> iPhone H.264 720p, %d codec threads: engine %.2f s, minimal %.2f s\n", threads,
              v.WallA, v.WallB);
  std::printf("# the minimal pipeline alone with %d codec threads against one: %.2f s / %.2f s = %.3f\n", threads,
              scaling.WallA, scaling.WallB, scaling.WallA / scaling.WallB);
  if (optA != optB)
    std::printf("# the x264 settings differ, the 720p figure compares unlike work:\n#  engine  %s\n#  minimal %s\n",
                optA.c_str(), optB.c_str());
  PrintRow("10-min video -> MP3, engine / minimal pipeline, wall", s.WallA / s.WallB, "<=", 1.03);
  PrintRow("10-min video -> MP3, engine / minimal pipeline, peak memory", s.RssA / s.RssB, "<=", 1.05);
  PrintRow("720p iPhone H.264 format, engine / minimal pipeline, wall", v.WallA / v.WallB, "<=", 1.03);
  return 0;
}
