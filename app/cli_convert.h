// A batch of the command-line converter: the inputs become tasks of a job
// manager through the window's own add sequence (probe, profile, presets,
// output name, output record), run N at once, and end with a verdict per
// file. The 165-format test runs this same path.
#pragma once

#include "catalogue/presets.h"
#include "jobs/option_records.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class IFileAdder;
class TCustomJobManager;

struct TBatchRequest {
  int32_t FormatKey = 200;
  std::array<std::string, PresetKindCount> Presets; // shown texts, indexed by TPresetKind
  std::string OutputFolder;
  bool Overwrite = false;
  int32_t Jobs = 1;
  std::string ExtOptions; // the outputs' further engine options
  std::vector<std::string> Inputs; // files, in the order to convert
};

enum TFileVerdict { fvConverted, fvNotConvertible, fvFailed };

struct TBatchFile {
  std::string Input;
  std::string Output; // empty when no output was set up
  TFileVerdict Verdict = fvFailed;
  std::string Message; // the probe's, the job manager's or the task's reason
};

// What the one who shows the batch is told, on the calling thread.
class IBatchReport {
public:
  virtual ~IBatchReport() = default;
  // A file that will not be converted: not media, or no task or output.
  virtual void Refused(const TBatchFile &AFile) = 0;
  // A file that has its task (ATask counts from 0 in the order of the inputs).
  virtual void Queued(int32_t ATask, const TBatchFile &AFile) = 0;
  virtual void Started(int32_t ATaskCount) = 0;
  virtual void Progress(int32_t ATask, const TProgressInfo &AInfo) = 0;
  virtual void Ended(int32_t ATask, const TBatchFile &AFile) = 0;
};

// The inputs as a batch takes them: a file as it is; a folder's plain files
// as the window's folder add takes them (last listed first, sub-folders not
// entered). An input that does not exist is left out and named in AMissing.
std::vector<std::string> ExpandInputs(const std::vector<std::string> &AInputs, std::vector<std::string> &AMissing);

// Converts every input of ARequest with AVantro, adding through AAdder
// (an adder over AVantro, whose libraries are loaded). Returns one entry
// per input, in input order. Blocks the calling thread, which must be the
// main thread, serving its call queue; AStop, when set by anyone (a signal
// handler), stops the batch and waits for the running files to close.
std::vector<TBatchFile> ConvertBatch(TCustomJobManager &AVantro, IFileAdder &AAdder, const TBatchRequest &ARequest,
                                     IBatchReport &AReport, const std::atomic<bool> *AStop = nullptr);
