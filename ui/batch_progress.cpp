#include "ui/batch_progress.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

void TBatchProgress::Start(const std::vector<int64_t> &ADurations, int64_t ANowMs) {
  FTasks.assign(ADurations.size(), TTask{});
  for (size_t i = 0; i < ADurations.size(); ++i)
    FTasks[i].Total = std::max<int64_t>(ADurations[i], 0);
  FStartMs = ANowMs;
  FPausedAtMs = -1;
  FPausedMs = 0;
}

void TBatchProgress::Pause(int64_t ANowMs) {
  if (Running() && !Paused())
    FPausedAtMs = ANowMs;
}

void TBatchProgress::Resume(int64_t ANowMs) {
  if (!Paused())
    return;
  FPausedMs += ANowMs - FPausedAtMs;
  FPausedAtMs = -1;
}

void TBatchProgress::Progress(int32_t ATask, int64_t ACurrent, int64_t ATotal) {
  if (ATask < 0 || ATask >= Count())
    return;
  TTask &t = FTasks[static_cast<size_t>(ATask)];
  if (ATotal > 0)
    t.Total = ATotal;
  t.Current = std::max<int64_t>(ACurrent, 0);
}

void TBatchProgress::Ended(int32_t ATask, bool AConverted, bool AFailed) {
  if (ATask < 0 || ATask >= Count())
    return;
  TTask &t = FTasks[static_cast<size_t>(ATask)];
  t.Ended = true;
  t.Converted = AConverted;
  t.Failed = AFailed;
}

int32_t TBatchProgress::EndedCount() const {
  return static_cast<int32_t>(std::count_if(FTasks.begin(), FTasks.end(), [](const TTask &t) { return t.Ended; }));
}

int32_t TBatchProgress::Converted() const {
  return static_cast<int32_t>(
      std::count_if(FTasks.begin(), FTasks.end(), [](const TTask &t) { return t.Converted; }));
}

int32_t TBatchProgress::Failed() const {
  return static_cast<int32_t>(std::count_if(FTasks.begin(), FTasks.end(), [](const TTask &t) { return t.Failed; }));
}

double TBatchProgress::Fraction() const {
  if (FTasks.empty())
    return 0;
  double known = 0;
  int knownCount = 0;
  for (const TTask &t : FTasks)
    if (t.Total > 0) {
      known += static_cast<double>(t.Total);
      ++knownCount;
    }
  const double unknownWeight = knownCount > 0 ? known / knownCount : 1.0;
  double whole = 0, done = 0;
  for (const TTask &t : FTasks) {
    const double weight = t.Total > 0 ? static_cast<double>(t.Total) : unknownWeight;
    whole += weight;
    if (t.Ended)
      done += weight;
    else if (t.Total > 0)
      done += weight * std::min(1.0, static_cast<double>(t.Current) / static_cast<double>(t.Total));
  }
  return whole > 0 ? done / whole : 0;
}

int64_t TBatchProgress::WorkingMs(int64_t ANowMs) const {
  if (!Running())
    return 0;
  const int64_t pausedNow = Paused() ? ANowMs - FPausedAtMs : 0;
  return std::max<int64_t>(0, ANowMs - FStartMs - FPausedMs - pausedNow);
}

int64_t TBatchProgress::SecondsLeft(int64_t ANowMs) const {
  const double f = Fraction();
  const int64_t worked = WorkingMs(ANowMs);
  // The first percent and the first second say little about the pace.
  if (f < 0.01 || worked < 1000)
    return -1;
  if (f >= 1.0)
    return 0;
  return static_cast<int64_t>(static_cast<double>(worked) * (1.0 - f) / f / 1000.0 + 0.5);
}

int64_t SecondsOfDateText(const std::string &AText) {
  int h = 0, m = 0, s = 0;
  char tail = 0;
  if (std::sscanf(AText.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail) != 3)
    return 0;
  return static_cast<int64_t>(h) * 3600 + m * 60 + s;
}

int64_t ExpectedOutputBytes(const std::string &ADurationText, const std::array<std::string, 14> &AColumns) {
  const auto rate = [](const std::string &AText) {
    const long long v = std::atoll(AText.c_str());
    return v > 0 ? v : 0;
  };
  const bool noVideo = AColumns[11] == "True";
  const long long bits = (noVideo ? 0 : rate(AColumns[6])) + rate(AColumns[8]);
  return SecondsOfDateText(ADurationText) * bits / 8;
}
