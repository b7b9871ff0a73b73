// One conversion task: an engine session with a probe per input file and
// the task's own copies of the option records it was built from.
#pragma once

#include "engine/custom_ffmpeg.h"
#include "jobs/option_records.h"
#include "playback/av_probe.h"

#include <atomic>
#include <memory>
#include <vector>

class TFFmpeg : public TCustomFFmpeg {
public:
  explicit TFFmpeg(int32_t AMaxFiles);
  // Frees the probes first (they refer to the engine's inputs), then the session.
  ~TFFmpeg() override;

  // The probe attached to input AFileIndex, null when it has none.
  TAVProbe *AVProbe(int32_t AFileIndex) const;
  // Creates the probe of input AFileIndex when missing and attaches it to
  // the engine's opened input.
  void AttachProbe(int32_t AFileIndex);

  // The stored copies (null when none was stored for that index).
  TInputOptions *InputOptions(int32_t AIndex) const;
  TOutputOptions *OutputOptions(int32_t AIndex) const;
  // Stores a copy for AIndex (reusing the slot).
  void StoreInputOptions(int32_t AIndex, const TInputOptions &AOptions);
  void StoreOutputOptions(int32_t AIndex, const TOutputOptions &AOptions);
  // Resets a stored copy to defaults, when one exists.
  void ResetInputOptions(int32_t AIndex);
  void ResetOutputOptions(int32_t AIndex);

  // Codec threads for the task's encoders and decoders (set before the run).
  void SetCodecThreads(int32_t ACount) { Fthread_count = ACount < 1 ? 1 : ACount; }
  int32_t CodecThreads() const { return Fthread_count; }
  // The output time stamp in seconds since 1970 (the option "timestamp").
  void SetRecordingTimestamp(int64_t ASeconds) { Frecording_timestamp = ASeconds; }

  // The run has begun to end: its terminate notification is under way or done.
  bool RunEnded() const { return FTerminated; }
  bool Converting() const { return FConverting; }
  // The job manager takes the task's terminate notification once: true for
  // the first call only. Any thread.
  bool TakeTerminate() { return !FTerminateTaken.exchange(true); }
  bool TerminateTaken() const { return FTerminateTaken; }

protected:
  void InputsClosing() override;

private:
  std::vector<std::unique_ptr<TAVProbe>> FAVProbes;
  std::vector<std::unique_ptr<TInputOptions>> FInputOptions;
  std::vector<std::unique_ptr<TOutputOptions>> FOutputOptions;
  std::atomic<bool> FTerminateTaken{false};
};

// The job manager's tasks; owns them. Broadcasts go in list order.
class TFFmpegList {
public:
  int32_t Add(std::unique_ptr<TFFmpeg> ATask);
  void Clear();
  void Delete(int32_t AIndex);
  void Exchange(int32_t AIndex1, int32_t AIndex2);
  TFFmpeg *Get(int32_t AIndex) const;
  int32_t IndexOf(const TCustomFFmpeg *ATask) const;
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

  void Pause();
  void Resume();
  void Stop(bool AWaitFor);
  void SetPostHook(TPostHook AHook, bool AOn);

private:
  std::vector<std::unique_ptr<TFFmpeg>> FItems;
};
