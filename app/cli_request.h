// The command line of zelvora-cli: what the user asked for, or why the
// request is not one (EUsageError, exit code 2).
#pragma once

#include "catalogue/presets.h"
#include "platform/exceptions.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class EUsageError : public Exception {
public:
  using Exception::Exception;
};

enum TCliCommand { ccHelp, ccFormats, ccProbe, ccConvert };

struct TCliRequest {
  TCliCommand Command = ccHelp;
  std::vector<std::string> Files; // files to probe, or inputs (files and folders) to convert
  int32_t FormatKey = 200;        // MP3
  std::string OutputFolder;       // empty: the settings file's, as the window uses it
  int32_t Jobs = 1;               // files converted at once
  bool Overwrite = false;
  // The shown text chosen for each preset list, indexed by TPresetKind:
  // the format's default unless the user named another entry of the list.
  std::array<std::string, PresetKindCount> Presets;
  std::string ExtOptions; // the --ext lines, one NAME=VALUE per line
};

// AArgs without the program name. Raises EUsageError with the reason: an
// unknown command or flag, a missing or malformed value, an unknown format
// key, a preset value that is not in the format's list (the message lists
// the allowed ones), no input.
TCliRequest ParseCommandLine(const std::vector<std::string> &AArgs);

// The text of --help.
std::string UsageText();
