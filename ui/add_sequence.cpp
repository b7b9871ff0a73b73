#include "ui/add_sequence.h"

#include "ui/output_record.h"

TAddedFile AddFileSequence(IFileAdder &AAdder, TCurrentProfile &AProfile, const std::string &AFileName,
                           const std::function<void()> &AApplyProfile,
                           const std::function<void(const std::string &)> &ALog,
                           const std::string &AOutputExtOptions) {
  TAddedFile added;
  added.Probe = AAdder.ProbeFile(AFileName);
  if (!added.Probe.Loaded) {
    added.Outcome = aoRejected;
    added.ErrorMsg = added.Probe.ErrorMsg;
    ALog("");
    ALog("***File load error: " + added.ErrorMsg);
    ALog("");
    return added;
  }
  AProfile.Video_AddFileName = AFileName;

  InitInputOptions(added.Input);
  added.Input.FileName = AFileName; // what AddTask fills an empty name with
  added.TaskIndex = AAdder.AddTask(AFileName, added.Input, added.ErrorMsg);
  if (added.TaskIndex < 0) {
    ALog("");
    ALog("***File open error: " + added.ErrorMsg);
    ALog("");
    return added;
  }
  ALog("");
  ALog(AAdder.TaskInfoText(added.TaskIndex));

  InitOutputOptions(added.Output);
  AApplyProfile();
  FillOutputOptions(added.Output, AProfile);
  added.Output.ExtOptions = AOutputExtOptions;
  added.Output.FileName = AProfile.Video_OutPutFileName; // what SetOutputFile fills an empty name with
  if (!AAdder.SetOutputFile(added.TaskIndex, AProfile.Video_OutPutFileName, added.Output, added.ErrorMsg)) {
    AAdder.RemoveTask(added.TaskIndex);
    ALog("");
    ALog("***Cannot do convert, error: " + added.ErrorMsg);
    ALog("");
    return added;
  }
  added.Outcome = aoAdded;
  return added;
}
