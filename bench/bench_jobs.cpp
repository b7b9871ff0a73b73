// The job manager's use of the machine: a batch of eight one-minute
// conversions with two tasks at once against one, a lone 720p H.264
// conversion with automatic codec threads against one codec thread, and a
// long conversion with a progress handler against one without.
//
// Each figure is the batch itself, from Start to its final notification:
// loading the libraries and building the tasks cost the same whatever the
// thread count and are shown apart. Beside each wall time stands the CPU time
// of the same span and the cores it kept busy; on a machine that others are
// using, fewer than two busy cores for a parallel run means the figure
// measured the neighbours.
#include "bench/bench_setup.h"
#include "bench/bench_util.h"
#include "jobs/job_manager.h"
#include "platform/main_thread.h"
#include "tests/support/fixtures.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <filesystem>
#include <thread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A measured span of a run: wall and CPU seconds (all threads of the process).
struct TSpan {
  double Wall = -1; // < 0: the run failed
  double Cpu = 0;
  double Setup = 0; // wall seconds before the span: loading, building the tasks
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs ABody in a forked child, so every run starts from a fresh process, and
// reads back the span it measured.
TSpan SpanInChild(const std::function<TSpan()> &ABody) {
  int fds[2];
  if (pipe(fds) != 0)
    return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const TSpan span = ABody();
    const bool written = write(fds[1], &span, sizeof span) == static_cast<ssize_t>(sizeof span);
    _exit(written && span.Wall >= 0 ? 0 : 1);
  }
  close(fds[1]);
  TSpan span;
  if (read(fds[0], &span, sizeof span) != static_cast<ssize_t>(sizeof span))
    span = {};
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    span.Wall = -1;
  return span;
}

// A and B alternately ARuns times each, so machine noise hits both; the
// medians of each.
struct TSpanPair {
  TSpan A, B;
  bool Ok = true;
};
TSpanPair MeasureSpans(const std::function<TSpan()> &A, const std::function<TSpan()> &B, int ARuns) {
  std::vector<double> wa, ca, sa, wb, cb, sb;
  TSpanPair pair;
  for (int i = 0; i < ARuns; ++i) {
    const TSpan a = SpanInChild(A);
    const TSpan b = SpanInChild(B);
    pair.Ok = pair.Ok && a.Wall >= 0 && b.Wall >= 0;
    wa.push_back(a.Wall), ca.push_back(a.Cpu), sa.push_back(a.Setup);
    wb.push_back(b.Wall), cb.push_back(b.Cpu), sb.push_back(b.Setup);
  }
  pair.A = {Median(wa), Median(ca), Median(sa)};
  pair.B = {Median(wb), Median(cb), Median(sb)};
  return pair;
}

std::string Dir() {
  const std::string dir = std::filesystem::temp_directory_path() / "zv-bench-jobs";
  std::filesystem::create_directories(dir);
  return dir;
}

// The main thread's loop as the window's: it sleeps until a call is queued
// (the queue's wake-up hook), so a worker waiting for its progress handler
// waits no longer than an event loop would make it.
struct TMainLoop {
  std::mutex Lock;
  std::condition_variable Woken;
  bool Pending = false;
  TMainLoop() {
    SetMainThreadHooks(
        [this] {
          {
            std::lock_guard<std::mutex> g(Lock);
            Pending = true;
          }
          Woken.notify_one();
        },
        nullptr);
  }
  ~TMainLoop() { SetMainThreadHooks(nullptr, nullptr); }
  void Turn() {
    PumpMainThread();
    std::unique_lock<std::mutex> g(Lock);
    Woken.wait_for(g, std::chrono::milliseconds(20), [this] { return Pending; });
    Pending = false;
  }
};

// Runs the batch built in AJm; the span from Start to the final notification.
TSpan RunBatch(TJobManager &AJm, int32_t AThreads, std::chrono::steady_clock::time_point ABegun) {
  bool ok = true;
  AJm.SetOnTerminate([&](TObject *, const TTerminateInfo &AInfo) {
    if (AInfo.TaskIndex >= 0 && (!AInfo.Finished || AInfo.Exception))
      ok = false;
  });
  const double cpu = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  TMainLoop loop;
  AJm.Start(AThreads);
  while (!AJm.Terminated())
    loop.Turn();
  TSpan span;
  span.Wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  span.Cpu = CpuSeconds() - cpu;
  span.Setup = std::chrono::duration<double>(start - ABegun).count();
  AJm.Stop(true); // every notification delivered before the handler goes
  AJm.SetOnTerminate(nullptr);
  AJm.ClearTasks();
  if (!ok)
    span.Wall = -1;
  return span;
}

TSpan EightToMp3(const std::string &AInput, int32_t AThreads) {
  const auto begun = std::chrono::steady_clock::now();
  TJobManager jm;
  if (!jm.LoadAVLib(DefaultLibraryPath()))
    return {};
  for (int i = 0; i < 8; ++i) {
    const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
    TOutputOptions o;
    o.AudioCodec = "libmp3lame";
    o.AudioBitrate = 128000;
    if (t < 0 || !jm.SetOutputFile(t, Dir() + "/batch" + std::to_string(i) + ".mp3", &o))
      return {};
  }
  return RunBatch(jm, AThreads, begun);
}

TSpan Lone720p(const std::string &AInput, int32_t ACodecThreads) {
  const auto begun = std::chrono::steady_clock::now();
  TJobManager jm;
  if (!jm.LoadAVLib(DefaultLibraryPath()))
    return {};
  jm.SetCodecThreads(ACodecThreads);
  const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
  TOutputOptions o;
  o.VideoCodec = "libx264";
  o.VideoPreset = "libx264-default";
  o.AudioCodec = "aac";
  o.FrameSize = "1280x720";
  o.VideoBitrate = 2000000;
  if (t < 0 || !jm.SetOutputFile(t, Dir() + "/lone.mp4", &o))
    return {};
  return RunBatch(jm, 1, begun);
}

// One long conversion to MP3, with or without a progress handler (the
// window's: it takes every report on the main thread).
TSpan LoneMp3(const std::string &AInput, bool AProgress) {
  const auto begun = std::chrono::steady_clock::now();
  TJobManager jm;
  if (!jm.LoadAVLib(DefaultLibraryPath()))
    return {};
  const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
  TOutputOptions o;
  o.AudioCodec = "libmp3lame";
  o.AudioBitrate = 128000;
  if (t < 0 || !jm.SetOutputFile(t, Dir() + "/progress.mp3", &o))
    return {};
  int64_t reports = 0;
  if (AProgress)
    jm.SetOnProgress([&](TObject *, PProgressInfo AInfo) { reports += AInfo->CurrentDuration > 0; });
  const TSpan span = RunBatch(jm, 1, begun);
  return AProgress && reports == 0 ? TSpan{} : span;
}

void PrintSpan(const char *AName, const TSpan &ASpan) {
  std::printf("#   %-34s %6.2f s wall, %6.2f s CPU (%.2f cores busy), setup %.2f s\n", AName, ASpan.Wall, ASpan.Cpu,
              ASpan.Wall > 0 ? ASpan.Cpu / ASpan.Wall : 0.0, ASpan.Setup);
}

} // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  if (!LoadConversionLibraries())
    return 1;
  const std::string minute = Fixture({"bench_1min.mp4", "testsrc=size=320x240:rate=25:duration=60",
                                      "sine=frequency=440:sample_rate=44100:duration=60", "mpeg4", "aac"});
  // Half a minute, so that filling and draining the encoder's frame threads
  // (serial work at both ends) weighs as little as in a real film.
  const std::string hd = Fixture({"bench_720p_30s.mp4", "testsrc=size=1280x720:rate=25:duration=30",
                                  "sine=frequency=440:sample_rate=44100:duration=30", "mpeg4", "aac"});
  // "lone" as second argument measures the lone task alone.
  const bool loneOnly = argc > 2 && std::string(argv[2]) == "lone";
  const TSpanPair batch = loneOnly ? TSpanPair{}
                                   : MeasureSpans([&] { return EightToMp3(minute, 2); },
                                                  [&] { return EightToMp3(minute, 1); }, runs);
  const TSpanPair lone = MeasureSpans([&] { return Lone720p(hd, 0); }, [&] { return Lone720p(hd, 1); }, runs);
  if (loneOnly) {
    PrintSpan("720p -> H.264, automatic threads", lone.A);
    PrintSpan("720p -> H.264, one codec thread", lone.B);
    PrintRow("lone 720p H.264, automatic / one codec thread, wall", lone.A.Wall / lone.B.Wall, "<=", 0.60);
    return lone.Ok ? 0 : 1;
  }
  const std::string long_ = TenMinuteMovie();
  const TSpanPair progress =
      MeasureSpans([&] { return LoneMp3(long_, true); }, [&] { return LoneMp3(long_, false); }, runs);
  if (!batch.Ok || !lone.Ok || !progress.Ok) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  std::printf("# %u cores; medians of %d runs, from Start to the final notification\n",
              std::thread::hardware_concurrency(), runs);
  PrintSpan("eight 1-min -> MP3, Start(2)", batch.A);
  PrintSpan("eight 1-min -> MP3, Start(1)", batch.B);
  PrintSpan("720p -> H.264, automatic threads", lone.A);
  PrintSpan("720p -> H.264, one codec thread", lone.B);
  PrintSpan("10-min -> MP3, progress handler", progress.A);
  PrintSpan("10-min -> MP3, no handler", progress.B);
  PrintRow("eight 1-min conversions, Start(2) / Start(1), wall", batch.A.Wall / batch.B.Wall, "<=", 0.55);
  PrintRow("lone 720p H.264, automatic / one codec thread, wall", lone.A.Wall / lone.B.Wall, "<=", 0.60);
  PrintRow("10-min -> MP3, progress handler / none, wall", progress.A.Wall / progress.B.Wall, "<=", 1.01);
  return 0;
}
