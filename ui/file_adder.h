// What the file list asks of the job manager and its probe when files are
// added, removed or cleared.
//
// The main window runs the add sequence itself (dialogs, log lines, profile,
// row); each call here is one call of the job manager (`Vantro`) or of its
// probe, so the adapter over TJobManager stays a thin forwarder. Until that
// adapter is installed the window has no adder and its add operations log
// that they cannot add. All calls come from the main thread while no
// conversion runs.
#pragma once

#include "jobs/option_records.h"

#include <cstdint>
#include <string>

// What the job manager's probe reports for one file.
struct TProbedFile {
  bool Loaded = false;   // LoadFile succeeded
  std::string ErrorMsg;  // the probe's LastErrMsg when it did not
  int64_t Duration = 0;  // FileStreamInfo.Duration, microseconds; <= 0 unknown
  int64_t FileSize = 0;  // FileSize, bytes
};

class IFileAdder {
public:
  virtual ~IFileAdder() = default;

  // The library check: true when the conversion libraries are loaded or
  // could be loaded now from "LibAV" beside the executable; else false with
  // the job manager's LastErrMsg.
  virtual bool LoadLibraries(std::string &AErrMsg) = 0;

  // The job manager's probe: LoadFile(AFileName) with no forced format, then
  // FileStreamInfo.Duration and FileSize.
  virtual TProbedFile ProbeFile(const std::string &AFileName) = 0;

  // AddTask(AFileName, AInput): the new task's index, or a negative number
  // with the job manager's LastErrMsg. The window has already put AFileName
  // into the record, as the job manager would.
  virtual int32_t AddTask(const std::string &AFileName, const TInputOptions &AInput, std::string &AErrMsg) = 0;

  // FileInfoText of the task's first input probe.
  virtual std::string TaskInfoText(int32_t ATaskIndex) = 0;

  // SetOutputFile(ATaskIndex, AFileName, AOutput). False with the job
  // manager's LastErrMsg; the task is then still there (the window removes it).
  virtual bool SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, const TOutputOptions &AOutput,
                             std::string &AErrMsg) = 0;

  virtual void RemoveTask(int32_t ATaskIndex) = 0;
  virtual void ClearTasks() = 0;
};
