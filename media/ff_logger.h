// The log bridge: the one place all diagnostic text goes.
//
// TFFLogger filters the system's own messages and the media libraries' log
// output by one level, assembles the libraries' partial lines per thread into
// whole lines and hands each line to one OnLog handler: on the main thread by
// default (the logging thread waits until the handler has run), otherwise on
// the logging thread. Any thread may log.
#pragma once

#include "platform/object.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

enum TLogLevel { llQuiet = 0, llPanic = 1, llFatal = 2, llError = 3, llWarning = 4, llInfo = 5, llVerbose = 6,
                 llDebug = 7 };

// The media library's numeric level for a TLogLevel (8 * l - 8) and back.
int LibLevelOf(TLogLevel ALevel);
TLogLevel LogLevelOfLib(int ALibLevel);

struct TLogInfo {
  TObject *Sender = nullptr;
  uint32_t ThreadID = 0;
  TLogLevel LogLevel = llInfo;
  std::string LogMsg;
};

using TLogEvent =
    std::function<void(TObject *Sender, uint32_t AThreadID, TLogLevel ALogLevel, const std::string &ALogMsg)>;

class TFFLogger : public TObject {
public:
  // Becomes the process's logger. A second one is an assertion failure
  // ("Allow creating only one instance of TFFLogger."). AOwner is not used
  // beyond documenting who frees the logger.
  explicit TFFLogger(TObject *AOwner = nullptr);
  ~TFFLogger() override;

  TLogLevel LogLevel() const { return FLogLevel; }
  // Also sets the media library's level when the utility library is loaded.
  void SetLogLevel(TLogLevel AValue);
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread; }
  void SetTriggerEventInMainThread(bool AValue) { FTriggerEventInMainThread = AValue; }
  TLogEvent OnLog() const;
  void SetOnLog(TLogEvent AHandler);

  // The "loglevel" option: a level name (case-insensitive) or an integer in the
  // library's scale. A malformed number raises EConvertError.
  void OptLogLevel(const std::string &AValue);

  // One message of the system's own code; delivered when it passes the level.
  void Log(TObject *Sender, TLogLevel ALogLevel, const std::string &ALogMsg);
  void LogFmt(TObject *Sender, TLogLevel ALogLevel, const char *AFormat, ...) __attribute__((format(printf, 4, 5)));

  // Delivers one whole line (called by the library callback too).
  void Deliver(TObject *Sender, uint32_t AThreadID, TLogLevel ALogLevel, const std::string &ALogMsg);

private:
  std::atomic<bool> FTriggerEventInMainThread{true};
  std::atomic<TLogLevel> FLogLevel{llInfo};
  mutable std::mutex FEventLock; // guards FOnLog
  TLogEvent FOnLog;
};

// The process's logger, created without owner on first use when none exists.
TFFLogger &FFLogger();

// Installs the library callback and applies the current level. Requires the
// utility library's av_log_set_callback and av_log_set_level slots.
void InstallAVLogCallback();
// Gives the library its default callback back (before the utility library unloads).
void UninstallAVLogCallback();
// Lines received from the library but not yet ended, for the calling thread.
std::string PendingLibraryText();
