// The long form of the job manager's stress test: many rounds of batches of
// four tasks paused, resumed and stopped at random moments. Prints how long
// Stop(true) took and fails on the first round that went wrong (a missing or
// repeated notification, an output that does not decode); a deadlock ends
// the run through the watchdog.
#include "bench/bench_util.h"
#include "tests/jobs/batch_checks.h"
#include "tests/support/fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

int main(int argc, char **argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 60;
  const uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10))
                                 : static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  if (!FFLoader().Load(LIBS_CONVERT)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zv-bench-jobs-stress";
  std::filesystem::create_directories(dir);
  const TStressResult r = RunPauseStopStress(TestMovie(4.0), dir, rounds, seed);
  std::filesystem::remove_all(dir);
  for (const std::string &p : r.Problems)
    std::fprintf(stderr, "%s\n", p.c_str());
  const double most = r.StopWaitMs.empty() ? 0 : *std::max_element(r.StopWaitMs.begin(), r.StopWaitMs.end());
  std::printf("# job manager stress: %d rounds (seed %u), %zu stops, %d stopped-round outputs decoded, %zu problems\n",
              rounds, seed, r.StopWaitMs.size(), r.StoppedOutputs, r.Problems.size());
  std::printf("# Stop(true) until every notification was delivered: median %.0f ms, longest %.0f ms\n",
              Median(r.StopWaitMs), most);
  return r.Problems.empty() ? 0 : 1;
}
