// The file list's side of the job manager: IFileAdder over a TJobManager
// ("Vantro") and its own probe. Used by the window and by the command-line
// converter, so both load the libraries, probe and build tasks alike.
#pragma once

#include "ui/file_adder.h"

#include <string>

class TCustomJobManager;

class TJobFileAdder final : public IFileAdder {
public:
  // ALibraryPath is the folder tried first ("LibAV" beside the executable);
  // the loader falls back to the system's copies for a library that is not
  // there. The job manager is not owned and must outlive the adder.
  TJobFileAdder(TCustomJobManager &AVantro, std::string ALibraryPath);

  bool LoadLibraries(std::string &AErrMsg) override;
  TProbedFile ProbeFile(const std::string &AFileName) override;
  int32_t AddTask(const std::string &AFileName, const TInputOptions &AInput, std::string &AErrMsg) override;
  std::string TaskInfoText(int32_t ATaskIndex) override;
  bool SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, const TOutputOptions &AOutput,
                     std::string &AErrMsg) override;
  void RemoveTask(int32_t ATaskIndex) override;
  void ClearTasks() override;

private:
  TCustomJobManager &FVantro;
  std::string FLibraryPath;
};
