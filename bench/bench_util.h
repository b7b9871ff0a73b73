// Measuring helpers for the benchmarks: each measured run happens in a process
// of its own so its peak memory is its own, and figures are medians of several runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

struct TRunStats {
  double WallSeconds = 0;
  long MaxRssKiB = 0;
  bool Ok = false;
};

// Runs the program AArgv[0] with its arguments as a process of its own, so
// that its peak memory is what a conversion of its own takes (a forked copy
// of this process would share the libraries' pages already touched here).
inline TRunStats RunProcess(const std::vector<std::string> &AArgv) {
  TRunStats stats;
  std::vector<char *> argv;
  for (const std::string &a : AArgv)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
    return stats;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  stats.WallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  stats.MaxRssKiB = usage.ru_maxrss;
  stats.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return stats;
}

inline double Median(std::vector<double> v) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Runs A and B alternately ARuns times each (so machine noise hits both) and
// returns the medians of wall time and peak memory of each.
struct TPairStats {
  double WallA, WallB, RssA, RssB;
  bool Ok;
};
inline TPairStats MeasurePair(const std::function<TRunStats()> &A, const std::function<TRunStats()> &B, int ARuns) {
  std::vector<double> wa, wb, ra, rb;
  bool ok = true;
  for (int i = 0; i < ARuns; ++i) {
    const TRunStats a = A();
    const TRunStats b = B();
    ok = ok && a.Ok && b.Ok;
    wa.push_back(a.WallSeconds), ra.push_back(static_cast<double>(a.MaxRssKiB));
    wb.push_back(b.WallSeconds), rb.push_back(static_cast<double>(b.MaxRssKiB));
  }
  return {Median(wa), Median(wb), Median(ra), Median(rb), ok};
}

// One line of the benchmark table: `make bench` gathers every line that
// starts with "| " from all the benchmarks into one table.
inline void PrintRow(const std::string &AFigure, double ARatio, const std::string &AGoal, double AGoalValue) {
  const bool met = AGoal == "<=" ? ARatio <= AGoalValue : ARatio >= AGoalValue;
  std::printf("| %-62s | %8.3fx | %s %5.2fx | %-7s |\n", AFigure.c_str(), ARatio, AGoal.c_str(), AGoalValue,
              met ? "met" : "NOT MET");
  std::fflush(stdout);
}

// A line for a figure whose goal is an absolute time in milliseconds.
inline void PrintValueRow(const std::string &AFigure, double AMs, double AGoalMs) {
  std::printf("| %-62s | %6.1f ms | <= %3.0f ms | %-7s |\n", AFigure.c_str(), AMs, AGoalMs,
              AMs <= AGoalMs ? "met" : "NOT MET");
  std::fflush(stdout);
}
