// How zelvora-cli shows a batch: on a terminal, one line per file that is
// rewritten in place as its progress comes; anywhere else (a pipe, a log
// file), plain lines that are only ever appended.
#pragma once

#include "app/cli_convert.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The line of one file: "name -> output  45%  25 fps  00:00:12  1.2MB".
std::string ProgressLine(const TBatchFile &AFile, const TProgressInfo &AInfo);

// The report for AOut: live lines when ALive, plain ones otherwise.
std::unique_ptr<IBatchReport> MakeBatchReport(std::FILE *AOut, bool ALive);

// Whether AOut is a terminal that understands cursor movement.
bool IsLiveTerminal(std::FILE *AOut);
