#include "jobs/ffmpeg_task.h"

#include "platform/convert.h"
#include "platform/exceptions.h"

TFFmpeg::TFFmpeg(int32_t AMaxFiles)
    : TCustomFFmpeg(AMaxFiles), FAVProbes(static_cast<size_t>(AMaxFiles)),
      FInputOptions(static_cast<size_t>(AMaxFiles)), FOutputOptions(static_cast<size_t>(AMaxFiles)) {}

TFFmpeg::~TFFmpeg() {
  // A running worker must end before the probes go: it may close the inputs.
  // A worker that has ended may still be leaving its body, past the
  // notification that made the batch end: join it before anything goes.
  Stop(true);
  if (FThreadOwner)
    FThreadOwner->WaitFor();
  if (FTermThreadOwner)
    FTermThreadOwner->WaitFor();
  FAVProbes.clear();
  FInputOptions.clear();
  FOutputOptions.clear();
}

void TFFmpeg::InputsClosing() {
  for (auto &probe : FAVProbes)
    if (probe)
      probe->SetFileHandle(nullptr);
}

TAVProbe *TFFmpeg::AVProbe(int32_t AFileIndex) const {
  if (AFileIndex < 0 || AFileIndex >= static_cast<int32_t>(FAVProbes.size()))
    return nullptr;
  return FAVProbes[static_cast<size_t>(AFileIndex)].get();
}

void TFFmpeg::AttachProbe(int32_t AFileIndex) {
  if (AFileIndex < 0 || AFileIndex >= Fnb_input_files)
    return;
  auto &probe = FAVProbes[static_cast<size_t>(AFileIndex)];
  if (!probe)
    probe = std::make_unique<TAVProbe>();
  probe->SetFileHandle(Finput_files[static_cast<size_t>(AFileIndex)]);
}

TInputOptions *TFFmpeg::InputOptions(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= static_cast<int32_t>(FInputOptions.size()))
    return nullptr;
  return FInputOptions[static_cast<size_t>(AIndex)].get();
}

TOutputOptions *TFFmpeg::OutputOptions(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= static_cast<int32_t>(FOutputOptions.size()))
    return nullptr;
  return FOutputOptions[static_cast<size_t>(AIndex)].get();
}

void TFFmpeg::StoreInputOptions(int32_t AIndex, const TInputOptions &AOptions) {
  auto &slot = FInputOptions.at(static_cast<size_t>(AIndex));
  if (slot)
    *slot = AOptions;
  else
    slot = std::make_unique<TInputOptions>(AOptions);
}

void TFFmpeg::StoreOutputOptions(int32_t AIndex, const TOutputOptions &AOptions) {
  auto &slot = FOutputOptions.at(static_cast<size_t>(AIndex));
  if (slot)
    *slot = AOptions;
  else
    slot = std::make_unique<TOutputOptions>(AOptions);
}

void TFFmpeg::ResetInputOptions(int32_t AIndex) {
  if (TInputOptions *o = InputOptions(AIndex))
    InitInputOptions(*o);
}

void TFFmpeg::ResetOutputOptions(int32_t AIndex) {
  if (TOutputOptions *o = OutputOptions(AIndex))
    InitOutputOptions(*o);
}

int32_t TFFmpegList::Add(std::unique_ptr<TFFmpeg> ATask) {
  FItems.push_back(std::move(ATask));
  return Count() - 1;
}

void TFFmpegList::Clear() {
  for (auto &task : FItems)
    task.reset();
  FItems.clear();
}

void TFFmpegList::Delete(int32_t AIndex) {
  Assert(AIndex >= 0 && AIndex < Count(), Format("List index out of bounds (%d)", AIndex));
  FItems.erase(FItems.begin() + AIndex);
}

void TFFmpegList::Exchange(int32_t AIndex1, int32_t AIndex2) {
  Assert(AIndex1 >= 0 && AIndex1 < Count() && AIndex2 >= 0 && AIndex2 < Count(),
         Format("List index out of bounds (%d)", AIndex1 < 0 || AIndex1 >= Count() ? AIndex1 : AIndex2));
  std::swap(FItems[static_cast<size_t>(AIndex1)], FItems[static_cast<size_t>(AIndex2)]);
}

TFFmpeg *TFFmpegList::Get(int32_t AIndex) const {
  Assert(AIndex >= 0 && AIndex < Count(), Format("List index out of bounds (%d)", AIndex));
  return FItems[static_cast<size_t>(AIndex)].get();
}

int32_t TFFmpegList::IndexOf(const TCustomFFmpeg *ATask) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == ATask)
      return static_cast<int32_t>(i);
  return -1;
}

void TFFmpegList::Pause() {
  for (auto &task : FItems)
    task->Pause();
}

void TFFmpegList::Resume() {
  for (auto &task : FItems)
    task->Resume();
}

void TFFmpegList::Stop(bool AWaitFor) {
  for (auto &task : FItems)
    task->StopOrTerminate(AWaitFor);
}

void TFFmpegList::SetPostHook(TPostHook AHook, bool AOn) {
  for (auto &task : FItems) {
    const TPostHooks hooks = task->PostHooks();
    task->SetPostHooks(AOn ? hooks | PostHookBit(AHook) : hooks & ~PostHookBit(AHook));
  }
}
