// The whole batch as the status line under the file list shows it: how much
// of all rows is converted, how many ended and how, and the time left from
// working time only, so a pause does not inflate the estimate. Plain C++;
// the caller passes the clock (milliseconds of a steady clock).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TBatchProgress {
public:
  // A new batch: one entry per task, its expected duration in µs (<= 0
  // when unknown).
  void Start(const std::vector<int64_t> &ADurations, int64_t ANowMs);
  void Pause(int64_t ANowMs);
  void Resume(int64_t ANowMs);
  // A progress report of a task (µs converted of ATotal; ATotal <= 0 keeps
  // the expected duration).
  void Progress(int32_t ATask, int64_t ACurrent, int64_t ATotal);
  // A task's end: converted, failed (an error) or neither (stopped).
  void Ended(int32_t ATask, bool AConverted, bool AFailed);

  bool Running() const { return FStartMs >= 0; }
  bool Paused() const { return FPausedAtMs >= 0; }
  int32_t Count() const { return static_cast<int32_t>(FTasks.size()); }
  int32_t EndedCount() const;
  int32_t Converted() const;
  int32_t Failed() const;
  // The converted share of the batch, 0 to 1: tasks weighted by duration
  // (an unknown one by the mean of the known), ended ones as whole.
  double Fraction() const;
  // Milliseconds worked since Start, paused spans left out.
  int64_t WorkingMs(int64_t ANowMs) const;
  // Seconds left at the pace so far; -1 until there is a pace to go by.
  int64_t SecondsLeft(int64_t ANowMs) const;

private:
  struct TTask {
    int64_t Total = 0;
    int64_t Current = 0;
    bool Ended = false, Converted = false, Failed = false;
  };
  std::vector<TTask> FTasks;
  int64_t FStartMs = -1;
  int64_t FPausedAtMs = -1;
  int64_t FPausedMs = 0; // paused spans that are over
};

// Seconds of a duration text as SecToDate writes it ("01:02:03"); 0 for
// "N/A" or any other text.
int64_t SecondsOfDateText(const std::string &AText);

// The bytes a row is expected to write: its duration text (column 1) times
// its bit rates (columns 17 and 19 of the row's option columns 11 to 24;
// no video bit rate when "视频能否" is "True"). Unknown rates count 0.
int64_t ExpectedOutputBytes(const std::string &ADurationText, const std::array<std::string, 14> &AColumns);
