// Converting a long video to MP3 through the engine, next to the minimal
// pipeline on the same libraries and codecs: the engine's overhead as a ratio.
#include "bench/bench_util.h"
#include "bench/minimal_pipeline.h"
#include "engine/custom_ffmpeg.h"
#include "media/ffmpeg_loader.h"
#include "tests/support/fixtures.h"

#include <cstdio>
#include <filesystem>

namespace {

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
  engine.StartConvert(false, tpNormal);
  if (engine.FatalException())
    std::fprintf(stderr, "engine: %s\n", engine.FatalMessage().c_str());
  return engine.Finished() && !engine.FatalException();
}

} // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  if (!FFLoader().Load(LIBS_CONVERT)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  // Ten minutes of small video with AAC audio: the audio path dominates, as
  // in a real "video to MP3" job.
  const std::string input = Fixture({"bench_10min_aac.mp4", "testsrc=size=160x120:rate=10:duration=600",
                                     "sine=frequency=440:sample_rate=48000:duration=600", "mpeg4", "aac"});
  const std::string dir = std::filesystem::temp_directory_path() / "zv-bench";
  std::filesystem::create_directories(dir);
  const std::string outA = dir + "/engine.mp3", outB = dir + "/minimal.mp3";
  // "engine" or "minimal" as second argument runs that one alone, in this
  // process, for a profiler.
  if (argc > 2)
    return std::string(argv[2]) == "engine" ? !EngineAudioToMp3(input, outA) : !MinimalAudioToMp3(input, outB);
  const TPairStats s = MeasurePair([&] { return EngineAudioToMp3(input, outA); },
                                   [&] { return MinimalAudioToMp3(input, outB); }, runs);
  if (!s.Ok) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  std::printf("# 10-min video -> MP3: engine %.2f s, minimal %.2f s (median of %d)\n", s.WallA, s.WallB, runs);
  PrintRow("10-min video -> MP3, engine / minimal pipeline, wall", s.WallA / s.WallB, "<=", 1.03);
  PrintRow("10-min video -> MP3, engine / minimal pipeline, peak memory", s.RssA / s.RssB, "<=", 1.05);
  return 0;
}
