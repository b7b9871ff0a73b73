// What a user waits for outside the conversions: the desktop program's
// start-up to its window's first paint, `zelvora-cli formats`, and adding a
// folder of 200 short files (each file's probe, task and row, and how long the
// window goes without repainting meanwhile, from the moment the folder is
// chosen).
//
// Start-up figures run the real executables beside this one; the folder is
// added through the real window, job manager and probe on the offscreen
// platform.
#include "bench/bench_util.h"
#include "jobs/job_manager.h"
#include "media/ffmpeg_loader.h"
#include "platform/main_thread.h"
#include "platform/paths.h"
#include "tests/support/fixtures.h"
#include "ui/app_windows.h"
#include "ui/dialogs.h"
#include "ui/job_file_adder.h"
#include "ui/main_thread_adapter.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDialog>
#include <QTableWidget>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

double MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Runs AArgs with stdout into a pipe (or /dev/null); the output, or
// nullopt when the program failed.
std::optional<std::string> RunProgram(const std::vector<std::string> &AArgs, bool AKeepOutput) {
  int fds[2];
  if (pipe(fds) != 0)
    return std::nullopt;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = AKeepOutput ? fds[1] : open("/dev/null", O_WRONLY);
    dup2(out, STDOUT_FILENO);
    const int err = open("/dev/null", O_WRONLY);
    dup2(err, STDERR_FILENO);
    std::vector<char *> argv;
    for (const std::string &a : AArgs)
      argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string text;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return text;
}

// Milliseconds from starting the program to its window's first paint.
double StartupMs(const std::string &AProgram) {
  const double start = MonotonicMs();
  const auto out = RunProgram({AProgram, "--startup-time"}, true);
  const auto at = out ? out->find("first paint ") : std::string::npos;
  if (at == std::string::npos)
    return -1;
  return std::stod(out->substr(at + 12)) / 1e6 - start;
}

double RunMs(const std::vector<std::string> &AArgs) {
  const double start = MonotonicMs();
  return RunProgram(AArgs, false) ? MonotonicMs() - start : -1;
}

// Answers the folder dialog; any message is printed, as it means the add
// did not go as measured.
class TFolderAnswer : public IDialogs {
public:
  explicit TFolderAnswer(QString AFolder) : FFolder(std::move(AFolder)) {}
  void ShowMessage(QWidget *, const QString &ATitle, const QString &AText) override {
    std::fprintf(stderr, "message: %s: %s\n", ATitle.toStdString().c_str(), AText.toStdString().c_str());
    ++Messages;
  }
  QStringList OpenFiles(QWidget *, const TOpenDialogSpec &) override { return {}; }
  QString ChooseFolder(QWidget *, const QString &, const QString &) override {
    Chosen = std::chrono::steady_clock::now();
    return FFolder;
  }
  int Exec(QDialog &) override { return QDialog::Rejected; }
  void OpenExternal(const QUrl &) override {}
  int Messages = 0;
  std::chrono::steady_clock::time_point Chosen;

private:
  QString FFolder;
};

// Records when rows arrive and when the file list paints.
class TListWatch : public QObject {
public:
  std::vector<TClock::time_point> Rows, Paints;
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
    if (AEvent->type() == QEvent::Paint)
      Paints.push_back(TClock::now());
    return QObject::eventFilter(AWatched, AEvent);
  }
};

struct TAddFigures {
  double MedianMs = -1, LongestWithoutPaintMs = -1;
  int Rows = 0;
};

TAddFigures AddFolder(const std::string &AFolder, int AFiles) {
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  TAddFigures figures;
  TApplicationWindows windows = CreateApplicationWindows(home.path() + QStringLiteral("/option.ini"),
                                                         QString::fromStdString(ExecutableDir()));
  TJobFileAdder adder(windows.Form1->Vantro(), DefaultLibraryPath());
  windows.Form1->SetFileAdder(&adder);
  windows.Form1->show();
  QCoreApplication::processEvents();
  auto *list = windows.Form1->findChild<QTableWidget *>(QStringLiteral("lvFiles"));
  TListWatch watch;
  list->viewport()->installEventFilter(&watch);
  QObject::connect(list->model(), &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex &, int, int) { watch.Rows.push_back(TClock::now()); });
  TFolderAnswer dialogs(QString::fromStdString(AFolder));
  SetDialogs(&dialogs);
  watch.Paints.clear();
  windows.Form1->Button12Click();
  const auto end = TClock::now();
  // The user waits from choosing the folder: the window loads the libraries
  // before it shows the folder dialog.
  const auto start = dialogs.Chosen;
  std::erase_if(watch.Paints, [&](const TClock::time_point &t) { return t < start; });
  SetDialogs(nullptr);
  figures.Rows = list->rowCount();
  if (figures.Rows != AFiles || dialogs.Messages)
    return figures;
  std::vector<double> perFile;
  auto last = start;
  for (const auto &t : watch.Rows) {
    perFile.push_back(std::chrono::duration<double, std::milli>(t - last).count());
    last = t;
  }
  figures.MedianMs = Median(perFile);
  double longest = 0;
  last = start;
  for (const auto &t : watch.Paints) {
    longest = std::max(longest, std::chrono::duration<double, std::milli>(t - last).count());
    last = t;
  }
  if (std::getenv("ZV_BENCH_TRACE")) {
    for (size_t i = 0; i < watch.Rows.size() && i < 5; ++i)
      std::fprintf(stderr, "row %zu at %.1f ms\n", i, std::chrono::duration<double, std::milli>(watch.Rows[i] - start).count());
    for (size_t i = 0; i < watch.Paints.size() && i < 5; ++i)
      std::fprintf(stderr, "paint %zu at %.1f ms\n", i, std::chrono::duration<double, std::milli>(watch.Paints[i] - start).count());
  }
  figures.LongestWithoutPaintMs = std::max(longest, std::chrono::duration<double, std::milli>(end - last).count());
  return figures;
}

std::vector<double> Repeat(int ARuns, const std::function<double()> &ARun) {
  std::vector<double> v;
  for (int i = 0; i < ARuns; ++i)
    v.push_back(ARun());
  return v;
}

bool AllOk(const std::vector<double> &AValues) {
  return std::all_of(AValues.begin(), AValues.end(), [](double d) { return d >= 0; });
}

} // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  SetMainThread();
  QApplication app(argc, argv);
  InstallQtMainThreadAdapter();
  const std::string bin = ExecutableDir();

  const std::vector<double> startup = Repeat(runs, [&] { return StartupMs(bin + "/zelvora"); });
  const std::vector<double> formats = Repeat(runs * 2, [&] { return RunMs({bin + "/zelvora-cli", "formats"}); });
  if (!AllOk(startup) || !AllOk(formats)) {
    std::fprintf(stderr, "a start-up run failed\n");
    return 1;
  }

  constexpr int files = 200;
  const std::string folder = std::filesystem::temp_directory_path() / "zv-bench-add";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string clip = TestMovie(1.0);
  for (int i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/clip%03d.avi", i);
    std::filesystem::copy_file(clip, folder + name);
  }
  const TAddFigures add = AddFolder(folder, files);
  std::filesystem::remove_all(folder);
  if (add.MedianMs < 0) {
    std::fprintf(stderr, "adding the folder gave %d rows of %d\n", add.Rows, files);
    return 1;
  }
  std::printf("# start-up to first paint: median %.0f ms of %d; zelvora-cli formats: median %.1f ms of %d\n",
              Median(startup), runs, Median(formats), runs * 2);
  std::printf("# adding %d one-second clips by folder: median %.1f ms per file, longest without a repaint %.0f ms\n",
              files, add.MedianMs, add.LongestWithoutPaintMs);
  PrintValueRow("window start-up to first paint, ms", Median(startup), 400);
  PrintValueRow("zelvora-cli formats, ms", Median(formats), 50);
  PrintValueRow("adding 200 files by folder, median per file, ms", add.MedianMs, 15);
  PrintValueRow("adding 200 files, longest time without a repaint, ms", add.LongestWithoutPaintMs, 100);
  return 0;
}
