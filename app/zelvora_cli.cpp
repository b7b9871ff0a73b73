// zelvora-cli: the converter of the desktop program without its windows.
// The same catalogue, add sequence and job manager; no Qt.
//
// Exit codes: 0 every file converted, 1 something could not be converted
// (or an input is missing, or the libraries cannot be loaded), 2 a wrong
// command line.
#include "app/cli_convert.h"
#include "app/cli_report.h"
#include "app/cli_request.h"
#include "catalogue/categories.h"
#include "catalogue/formats.h"
#include "jobs/job_manager.h"
#include "media/ffmpeg_loader.h"
#include "platform/main_thread.h"
#include "platform/paths.h"
#include "ui/job_file_adder.h"
#include "ui/settings_paths.h"

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> Interrupted{false};

void OnInterrupt(int) { Interrupted = true; }

void Error(const std::string &AText) { std::fprintf(stderr, "zelvora-cli: %s\n", AText.c_str()); }

int ListFormats() {
  for (size_t c = 0; c < Categories().size(); ++c)
    for (const TFormat &f : FormatsOf(static_cast<int32_t>(c)))
      std::printf("%d\t%s\t%s\n", FormatKey(f.CategoryCode, f.FormatIndex), Categories()[c].Caption, f.Title);
  return 0;
}

// The libraries from "LibAV" beside the program, else the system's.
bool LoadLibraries(TJobFileAdder &AAdder) {
  std::string error;
  if (AAdder.LoadLibraries(error))
    return true;
  Error("cannot load the media libraries: " + error);
  return false;
}

int Probe(const std::vector<std::string> &AFiles) {
  TJobManager vantro;
  TJobFileAdder adder(vantro, DefaultLibraryPath());
  if (!LoadLibraries(adder))
    return 1;
  int result = 0;
  for (size_t i = 0; i < AFiles.size(); ++i) {
    TAVProbe &probe = *vantro.AVProbe();
    if (!probe.LoadFile(AFiles[i])) {
      Error(probe.LastErrMsg());
      result = 1;
      continue;
    }
    std::string text = probe.FileInfoText();
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
      text.erase(at, 1);
    std::printf("%s%s", i > 0 ? "\n" : "", text.c_str());
    probe.CloseFile();
  }
  return result;
}

int Convert(const TCliRequest &ARequest) {
  std::vector<std::string> missing;
  TBatchRequest batch;
  batch.Inputs = ExpandInputs(ARequest.Files, missing);
  for (const std::string &m : missing)
    Error("no such file or folder: " + m);
  if (!missing.empty())
    return 1;

  batch.FormatKey = ARequest.FormatKey;
  batch.Presets = ARequest.Presets;
  batch.Overwrite = ARequest.Overwrite;
  batch.Jobs = ARequest.Jobs;
  batch.ExtOptions = ARequest.ExtOptions;
  if (ARequest.OutputFolder.empty()) {
    const std::string settings = SettingsFilePathIn(ExecutableDir());
    batch.OutputFolder = OutputFolderFor(ReadSettingsText(settings, "OutPath", "OutPath")).Folder;
  } else {
    batch.OutputFolder = ARequest.OutputFolder;
    if (!MakeFolder(batch.OutputFolder)) {
      Error("cannot make the output folder " + batch.OutputFolder);
      return 1;
    }
  }

  TJobManager vantro;
  TJobFileAdder adder(vantro, DefaultLibraryPath());
  if (!LoadLibraries(adder))
    return 1;
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  const std::unique_ptr<IBatchReport> report = MakeBatchReport(stdout, IsLiveTerminal(stdout));
  const std::vector<TBatchFile> files = ConvertBatch(vantro, adder, batch, *report, &Interrupted);

  int converted = 0;
  for (const TBatchFile &f : files)
    converted += f.Verdict == fvConverted;
  const int failed = static_cast<int>(files.size()) - converted;
  std::printf("%d converted, %d not converted\n", converted, failed);
  for (const TBatchFile &f : files)
    if (f.Verdict != fvConverted)
      Error(f.Input + ": " + (f.Verdict == fvNotConvertible ? "not convertible: " : "failed: ") + f.Message);
  return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  setlocale(LC_ALL, "");
  SetMainThread();
  TCliRequest request;
  try {
    request = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const EUsageError &e) {
    Error(e.Message());
    std::fprintf(stderr, "Try \"zelvora-cli --help\".\n");
    return 2;
  }
  switch (request.Command) {
  case ccHelp:
    std::printf("%s", UsageText().c_str());
    return 0;
  case ccFormats:
    return ListFormats();
  case ccProbe:
    return Probe(request.Files);
  case ccConvert:
    return Convert(request);
  }
  return 2;
}
