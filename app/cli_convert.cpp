#include "app/cli_convert.h"

#include "catalogue/formats.h"
#include "jobs/job_manager.h"
#include "platform/main_thread.h"
#include "ui/add_sequence.h"
#include "ui/file_names.h"

#include <chrono>
#include <filesystem>
#include <thread>

std::vector<std::string> ExpandInputs(const std::vector<std::string> &AInputs, std::vector<std::string> &AMissing) {
  std::vector<std::string> files;
  for (const std::string &input : AInputs) {
    std::error_code ec;
    if (std::filesystem::is_directory(input, ec)) {
      const std::vector<std::string> listed = GetFilenames(input, "*.*");
      files.insert(files.end(), listed.rbegin(), listed.rend());
    } else if (std::filesystem::exists(input, ec)) {
      files.push_back(input);
    } else {
      AMissing.push_back(input);
    }
  }
  return files;
}

std::vector<TBatchFile> ConvertBatch(TCustomJobManager &AVantro, IFileAdder &AAdder, const TBatchRequest &ARequest,
                                     IBatchReport &AReport, const std::atomic<bool> *AStop) {
  const TFormatPosition format = *FindFormatByKey(ARequest.FormatKey);
  std::vector<TBatchFile> files(ARequest.Inputs.size());
  std::vector<size_t> fileOfTask;
  TCurrentProfile profile;
  ResetProfile(profile);
  AAdder.ClearTasks();
  for (size_t i = 0; i < ARequest.Inputs.size(); ++i) {
    TBatchFile &file = files[i];
    file.Input = ARequest.Inputs[i];
    const TAddedFile added = AddFileSequence(
        AAdder, profile, file.Input,
        [&] {
          ApplyFormatToFile(profile, file.Input, format.CategoryIndex, format.FormatIndex, ARequest.Presets,
                            ARequest.OutputFolder, ARequest.Overwrite);
        },
        [](const std::string &) {}, ARequest.ExtOptions);
    file.Message = added.ErrorMsg;
    if (added.Outcome != aoAdded) {
      // Unlike the window's add, one file that cannot be set up does not
      // end the batch: the others are still converted.
      file.Verdict = added.Outcome == aoRejected ? fvNotConvertible : fvFailed;
      AReport.Refused(file);
      continue;
    }
    file.Output = added.Output.FileName;
    fileOfTask.push_back(i);
    AReport.Queued(added.TaskIndex, file);
  }
  if (fileOfTask.empty())
    return files;

  // Progress comes on this thread (it pumps the queue below); terminate
  // notifications come on threads of their own and are queued over here.
  int32_t ended = 0;
  bool allEnded = false;
  AVantro.SetOnProgress([&](TObject *, PProgressInfo AInfo) { AReport.Progress(AInfo->TaskIndex, *AInfo); });
  AVantro.SetOnTerminate([&](TObject *, const TTerminateInfo &AInfo) {
    QueueOnMainThread([&, AInfo] {
      if (AInfo.TaskIndex < 0) {
        allEnded = true;
        return;
      }
      TBatchFile &file = files[fileOfTask[AInfo.TaskIndex]];
      file.Verdict = AInfo.Finished && !AInfo.Exception ? fvConverted : fvFailed;
      file.Message = AInfo.Exception ? AInfo.ExceptionMsg : AInfo.Finished ? std::string() : "stopped";
      ++ended;
      AReport.Ended(AInfo.TaskIndex, file);
    });
  });
  AReport.Started(static_cast<int32_t>(fileOfTask.size()));
  AVantro.Start(ARequest.Jobs);
  bool stopping = false;
  // The final notification may overtake the last task's own one.
  while (!allEnded || ended < static_cast<int32_t>(fileOfTask.size())) {
    if (AStop && *AStop && !stopping) {
      stopping = true;
      AVantro.Stop(true);
    }
    if (PumpMainThread() == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  AVantro.SetOnProgress(nullptr);
  AVantro.SetOnTerminate(nullptr);
  AAdder.ClearTasks();
  return files;
}
