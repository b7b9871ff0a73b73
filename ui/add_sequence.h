// One file through the add sequence: probe, task, profile, output record,
// output file. The window's three add operations and the command-line
// converter both run exactly this; the window then adds its row.
#pragma once

#include "catalogue/profiles.h"
#include "jobs/option_records.h"
#include "ui/file_adder.h"

#include <cstdint>
#include <functional>
#include <string>

enum TAddOutcome {
  aoAdded,    // task and output set
  aoRejected, // the probe refused the file: take the next one
  aoFailed,   // no task, or no output (the task is removed again): the operation ends
};

struct TAddedFile {
  TAddOutcome Outcome = aoFailed;
  int32_t TaskIndex = -1; // >= 0 once the task existed, also when its output then failed
  TProbedFile Probe;
  TInputOptions Input;
  TOutputOptions Output;
  std::string ErrorMsg; // the probe's or the job manager's reason
};

// Runs the sequence for AFileName. AProfile.Video_AddFileName is set to it
// before AApplyProfile, which must apply the selected format's profile and
// output name and then the preset values to AProfile (the window's
// Button5Click and Button13Click, or ApplyFormatToFile). ALog receives the
// log lines as they happen ("" for an empty line; a text of several lines
// in one call). AOutputExtOptions becomes the output record's ExtOptions
// (the command line's --ext lines; the window has none).
TAddedFile AddFileSequence(IFileAdder &AAdder, TCurrentProfile &AProfile, const std::string &AFileName,
                           const std::function<void()> &AApplyProfile,
                           const std::function<void(const std::string &)> &ALog,
                           const std::string &AOutputExtOptions = "");
