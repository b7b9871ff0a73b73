// Running zelvora-cli from a test as a user runs it: in a folder, with
// arguments, on a pipe or on a terminal.
#pragma once

#include <string>
#include <vector>

struct TCliRun {
  int ExitCode = -1;
  std::string Out; // stdout (on a terminal: everything the terminal received)
  std::string Err; // stderr (empty on a terminal)
};

// Runs the program in ADir with stdout and stderr on pipes. AEnv entries
// ("NAME=VALUE") are added to the environment.
TCliRun RunCli(const std::string &ADir, const std::vector<std::string> &AArgs,
               const std::vector<std::string> &AEnv = {});

// The same on a pseudo-terminal.
TCliRun RunCliOnTerminal(const std::string &ADir, const std::vector<std::string> &AArgs);
