// The job manager's use of the machine: a batch of eight one-minute
// conversions with two tasks at once against one, and a lone 720p H.264
// conversion with automatic codec threads against one codec thread.
#include "bench/bench_util.h"
#include "jobs/job_manager.h"
#include "platform/main_thread.h"
#include "tests/support/fixtures.h"

#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

std::string Dir() {
  const std::string dir = std::filesystem::temp_directory_path() / "zv-bench-jobs";
  std::filesystem::create_directories(dir);
  return dir;
}

// Runs a batch and waits for its end; true when every task finished.
bool RunBatch(TJobManager &AJm, int32_t AThreads) {
  bool ok = true;
  AJm.SetOnTerminate([&](TObject *, const TTerminateInfo &AInfo) {
    if (AInfo.TaskIndex >= 0 && (!AInfo.Finished || AInfo.Exception))
      ok = false;
  });
  AJm.Start(AThreads);
  while (!AJm.Terminated()) {
    PumpMainThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  AJm.ClearTasks();
  return ok;
}

bool EightToMp3(const std::string &AInput, int32_t AThreads) {
  TJobManager jm;
  if (!jm.LoadAVLib(DefaultLibraryPath()))
    return false;
  for (int i = 0; i < 8; ++i) {
    const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
    TOutputOptions o;
    o.AudioCodec = "libmp3lame";
    o.AudioBitrate = 128000;
    if (t < 0 || !jm.SetOutputFile(t, Dir() + "/batch" + std::to_string(i) + ".mp3", &o))
      return false;
  }
  return RunBatch(jm, AThreads);
}

bool Lone720p(const std::string &AInput, int32_t ACodecThreads) {
  TJobManager jm;
  if (!jm.LoadAVLib(DefaultLibraryPath()))
    return false;
  jm.SetCodecThreads(ACodecThreads);
  const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
  TOutputOptions o;
  o.VideoCodec = "libx264";
  o.VideoPreset = "libx264-default";
  o.AudioCodec = "aac";
  o.FrameSize = "1280x720";
  o.VideoBitrate = 2000000;
  if (t < 0 || !jm.SetOutputFile(t, Dir() + "/lone.mp4", &o))
    return false;
  return RunBatch(jm, 1);
}

} // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  if (!FFLoader().Load(LIBS_CONVERT)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  const std::string minute = Fixture({"bench_1min.mp4", "testsrc=size=320x240:rate=25:duration=60",
                                      "sine=frequency=440:sample_rate=44100:duration=60", "mpeg4", "aac"});
  const std::string hd = Fixture({"bench_720p_10s.mp4", "testsrc=size=1280x720:rate=25:duration=10",
                                  "sine=frequency=440:sample_rate=44100:duration=10", "mpeg4", "aac"});
  const TPairStats batch =
      MeasurePair([&] { return EightToMp3(minute, 2); }, [&] { return EightToMp3(minute, 1); }, runs);
  const TPairStats lone = MeasurePair([&] { return Lone720p(hd, 0); }, [&] { return Lone720p(hd, 1); }, runs);
  if (!batch.Ok || !lone.Ok) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  std::printf("# eight 1-min -> MP3: Start(2) %.2f s, Start(1) %.2f s; 720p x264: auto %.2f s, 1 thread %.2f s\n",
              batch.WallA, batch.WallB, lone.WallA, lone.WallB);
  PrintRow("eight 1-min conversions, Start(2) / Start(1), wall", batch.WallA / batch.WallB, "<=", 0.55);
  PrintRow("lone 720p H.264, automatic / one codec thread, wall", lone.WallA / lone.WallB, "<=", 0.60);
  return 0;
}
