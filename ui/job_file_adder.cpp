#include "ui/job_file_adder.h"

#include "jobs/job_manager.h"
#include "platform/exceptions.h"

TJobFileAdder::TJobFileAdder(TCustomJobManager &AVantro, std::string ALibraryPath)
    : FVantro(AVantro), FLibraryPath(std::move(ALibraryPath)) {}

bool TJobFileAdder::LoadLibraries(std::string &AErrMsg) {
  if (FVantro.AVLibLoaded() || FVantro.LoadAVLib(FLibraryPath))
    return true;
  AErrMsg = FVantro.LastErrMsg();
  return false;
}

TProbedFile TJobFileAdder::ProbeFile(const std::string &AFileName) {
  TProbedFile probed;
  TAVProbe &probe = *FVantro.AVProbe();
  // LoadFile raises only when a library of the probe set is missing, which
  // the library check has ruled out; its text is still the reason to show.
  try {
    probed.Loaded = probe.LoadFile(AFileName);
  } catch (const Exception &e) {
    probed.ErrorMsg = e.Message();
    return probed;
  }
  if (!probed.Loaded) {
    probed.ErrorMsg = probe.LastErrMsg();
    return probed;
  }
  probed.Duration = probe.FileStreamInfo().Duration;
  probed.FileSize = probe.FileSize();
  return probed;
}

int32_t TJobFileAdder::AddTask(const std::string &AFileName, const TInputOptions &AInput, std::string &AErrMsg) {
  TInputOptions input = AInput;
  const int32_t task = FVantro.AddTask(AFileName, &input);
  if (task < 0)
    AErrMsg = FVantro.LastErrMsg();
  return task;
}

std::string TJobFileAdder::TaskInfoText(int32_t ATaskIndex) {
  TAVProbe *probe = FVantro.AVProbes(ATaskIndex, 0);
  return probe ? probe->FileInfoText() : std::string();
}

bool TJobFileAdder::SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, const TOutputOptions &AOutput,
                                  std::string &AErrMsg) {
  TOutputOptions output = AOutput;
  if (FVantro.SetOutputFile(ATaskIndex, AFileName, &output))
    return true;
  AErrMsg = FVantro.LastErrMsg();
  return false;
}

void TJobFileAdder::RemoveTask(int32_t ATaskIndex) {
  // A start whose rebuild failed leaves fewer tasks than rows; every start
  // rebuilds them all, so a row without its task has nothing to remove.
  if (ATaskIndex >= 0 && ATaskIndex < FVantro.TasksCount())
    FVantro.RemoveTask(ATaskIndex);
}

void TJobFileAdder::ClearTasks() { FVantro.ClearTasks(); }
