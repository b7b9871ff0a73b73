#include "media/ff_logger.h"

#include "media/ffmpeg_loader.h"
#include "platform/convert.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"
#include "platform/thread.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

std::mutex InstanceLock;       // guards Instance
TFFLogger *Instance = nullptr; // the process's logger, whoever created it
// The logger the accessor created when nobody else had one (lives to the end).
std::unique_ptr<TFFLogger> OwnedInstance;

// The library level the callback compares against; mirrors the logger's level.
std::atomic<int> CurrentLibLevel{32};

// Text each thread received from the library that no line break has ended yet.
class TLogList {
public:
  // Appends AText to the thread's pending text; returns the whole lines it
  // completes (line breaks dropped). AWasEmpty tells whether the thread's
  // text was empty before, i.e. whether AText starts a line.
  std::vector<std::string> Append(uint32_t AThreadID, const std::string &AText) {
    std::vector<std::string> lines;
    std::lock_guard<std::mutex> g(FLock);
    std::string &pending = FItems[AThreadID];
    pending += AText;
    size_t pos;
    while ((pos = pending.find('\n')) != std::string::npos) {
      lines.push_back(pending.substr(0, pos));
      pending.erase(0, pos + 1);
    }
    return lines;
  }
  bool StartsLine(uint32_t AThreadID) {
    std::lock_guard<std::mutex> g(FLock);
    auto it = FItems.find(AThreadID);
    return it == FItems.end() || it->second.empty();
  }
  std::string Pending(uint32_t AThreadID) {
    std::lock_guard<std::mutex> g(FLock);
    auto it = FItems.find(AThreadID);
    return it == FItems.end() ? std::string() : it->second;
  }

private:
  std::mutex FLock; // guards FItems
  std::unordered_map<uint32_t, std::string> FItems;
};

TLogList &LogList() {
  static TLogList list;
  return list;
}

void ApplyLibLevel(int ALibLevel) {
  CurrentLibLevel = ALibLevel;
  if (AV.av_log_set_level)
    AV.av_log_set_level(ALibLevel);
}

void AVLogCallback(void *AAvcl, int ALevel, const char *AFormat, va_list AArgs) {
  if (ALevel > CurrentLibLevel)
    return;
  const uint32_t tid = CurrentThreadID();
  char buf[2048];
  int used = 0;
  if (AAvcl && LogList().StartsLine(tid)) {
    const AVClass *cls = *static_cast<AVClass **>(AAvcl);
    const char *name = cls && cls->item_name ? cls->item_name(AAvcl) : "";
    used = std::snprintf(buf, sizeof buf, "[%s @ %p]", name ? name : "", AAvcl);
    if (used < 0 || used >= static_cast<int>(sizeof buf))
      used = 0;
  }
  std::vsnprintf(buf + used, sizeof buf - static_cast<size_t>(used), AFormat, AArgs);
  // The text stays UTF-8: names in messages must survive the trip to the window.
  for (const auto &line : LogList().Append(tid, buf))
    FFLogger().Deliver(&FFLogger(), tid, LogLevelOfLib(ALevel), line);
}

} // namespace

int LibLevelOf(TLogLevel ALevel) { return 8 * static_cast<int>(ALevel) - 8; }

TLogLevel LogLevelOfLib(int ALibLevel) {
  if (ALibLevel <= -8)
    return llQuiet;
  const int l = ALibLevel / 8 + 1;
  return static_cast<TLogLevel>(l > llDebug ? llDebug : l);
}

TFFLogger::TFFLogger(TObject * /*AOwner*/) {
  std::lock_guard<std::mutex> g(InstanceLock);
  Assert(Instance == nullptr, "Allow creating only one instance of TFFLogger.");
  FLogLevel = LogLevelOfLib(CurrentLibLevel);
  Instance = this;
}

TFFLogger::~TFFLogger() {
  std::lock_guard<std::mutex> g(InstanceLock);
  if (Instance == this)
    Instance = nullptr;
}

TFFLogger &FFLogger() {
  // Serialises first use so two threads cannot both create a logger.
  static std::mutex accessorLock;
  std::lock_guard<std::mutex> a(accessorLock);
  {
    std::lock_guard<std::mutex> g(InstanceLock);
    if (Instance)
      return *Instance;
  }
  OwnedInstance = std::make_unique<TFFLogger>();
  return *OwnedInstance;
}

void TFFLogger::SetLogLevel(TLogLevel AValue) {
  if (AValue == FLogLevel)
    return;
  FLogLevel = AValue;
  ApplyLibLevel(LibLevelOf(AValue));
}

TLogEvent TFFLogger::OnLog() const {
  std::lock_guard<std::mutex> g(FEventLock);
  return FOnLog;
}

void TFFLogger::SetOnLog(TLogEvent AHandler) {
  std::lock_guard<std::mutex> g(FEventLock);
  FOnLog = std::move(AHandler);
}

void TFFLogger::OptLogLevel(const std::string &AValue) {
  static const struct {
    const char *Name;
    int Level;
  } names[] = {{"quiet", -8}, {"panic", 0}, {"fatal", 8}, {"error", 16}, {"warning", 24}, {"info", 32},
               {"verbose", 40}, {"debug", 48}};
  const std::string v = LowerCase(Trim(AValue));
  for (const auto &n : names)
    if (v == n.Name) {
      SetLogLevel(LogLevelOfLib(n.Level));
      return;
    }
  SetLogLevel(LogLevelOfLib(StrToInt(AValue)));
}

void TFFLogger::Log(TObject *Sender, TLogLevel ALogLevel, const std::string &ALogMsg) {
  const TLogLevel level = FLogLevel;
  // Progress lines and summaries are written at llVerbose and must reach the
  // handler at the default level.
  if (!(ALogLevel <= level || (ALogLevel == llVerbose && level != llQuiet)))
    return;
  Deliver(Sender, CurrentThreadID(), ALogLevel, ALogMsg);
}

void TFFLogger::LogFmt(TObject *Sender, TLogLevel ALogLevel, const char *AFormat, ...) {
  if (!OnLog())
    return;
  va_list ap;
  va_start(ap, AFormat);
  char small[512];
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(small, sizeof small, AFormat, ap);
  va_end(ap);
  std::string msg;
  if (n >= static_cast<int>(sizeof small)) {
    msg.resize(static_cast<size_t>(n));
    std::vsnprintf(msg.data(), msg.size() + 1, AFormat, ap2);
  } else if (n > 0) {
    msg.assign(small, static_cast<size_t>(n));
  }
  va_end(ap2);
  Log(Sender, ALogLevel, msg);
}

void TFFLogger::Deliver(TObject *Sender, uint32_t AThreadID, TLogLevel ALogLevel, const std::string &ALogMsg) {
  TLogEvent handler = OnLog();
  if (!handler)
    return;
  // Each delivery carries its own copy of the values, so lines from several
  // threads never mix.
  auto call = [handler, Sender, AThreadID, ALogLevel, msg = ALogMsg] { handler(Sender, AThreadID, ALogLevel, msg); };
  if (FTriggerEventInMainThread && !IsMainThread())
    RunOnMainThread(call);
  else
    call();
}

void InstallAVLogCallback() {
  Assert(AV.av_log_set_callback != nullptr && AV.av_log_set_level != nullptr,
         "av_log_set_callback and av_log_set_level must be loaded");
  AV.av_log_set_callback(AVLogCallback);
  AV.av_log_set_level(CurrentLibLevel);
}

void UninstallAVLogCallback() {
  if (AV.av_log_set_callback && AV.av_log_default_callback)
    AV.av_log_set_callback(AV.av_log_default_callback);
}

std::string PendingLibraryText() { return LogList().Pending(CurrentThreadID()); }
