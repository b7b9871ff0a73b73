#include "tests/app/cli_run.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void ExecCli(const std::string &ADir, const std::vector<std::string> &AArgs,
                          const std::vector<std::string> &AEnv) {
  if (chdir(ADir.c_str()) != 0)
    _exit(127);
  for (const std::string &e : AEnv)
    putenv(const_cast<char *>(e.c_str()));
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(ZV_CLI_PATH));
  for (const std::string &a : AArgs)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  execv(ZV_CLI_PATH, argv.data());
  _exit(127);
}

// Reads AFd to its end (EIO is how a terminal's master side ends).
std::string ReadAll(int AFd) {
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(AFd, buf, sizeof buf);
    if (n > 0)
      text.append(buf, static_cast<size_t>(n));
    else if (n < 0 && errno == EINTR)
      continue;
    else
      break;
  }
  return text;
}

int ExitCodeOf(pid_t APid) {
  int status = 0;
  while (waitpid(APid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TCliRun RunCli(const std::string &ADir, const std::vector<std::string> &AArgs, const std::vector<std::string> &AEnv) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0)
    return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    ExecCli(ADir, AArgs, AEnv);
  }
  close(out[1]);
  close(err[1]);
  TCliRun run;
  // stderr is read after stdout: the program's error output is small enough
  // for the pipe's buffer.
  run.Out = ReadAll(out[0]);
  run.Err = ReadAll(err[0]);
  close(out[0]);
  close(err[0]);
  run.ExitCode = ExitCodeOf(pid);
  return run;
}

TCliRun RunCliOnTerminal(const std::string &ADir, const std::vector<std::string> &AArgs) {
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0)
    ExecCli(ADir, AArgs, {"TERM=xterm"});
  TCliRun run;
  run.Out = ReadAll(master);
  close(master);
  run.ExitCode = ExitCodeOf(pid);
  return run;
}
