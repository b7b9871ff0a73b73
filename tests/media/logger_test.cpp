#include "media/ff_logger.h"
#include "media/ffmpeg_loader.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <regex>
#include <thread>
#include <vector>

namespace {

struct TLine {
  uint32_t ThreadID;
  TLogLevel Level;
  std::string Msg;
  bool OnMainThread;
};

// Collects delivered lines; restores the logger's settings afterwards.
class LoggerTest : public ::testing::Test {
protected:
  void SetUp() override {
    FFLoader().SetLibraryPath(DefaultLibraryPath());
    ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
    FFLogger().SetLogLevel(llInfo);
    FFLogger().SetTriggerEventInMainThread(true);
    FFLogger().SetOnLog([this](TObject *, uint32_t tid, TLogLevel level, const std::string &msg) {
      std::lock_guard<std::mutex> g(lock);
      lines.push_back({tid, level, msg, IsMainThread()});
    });
  }
  void TearDown() override {
    FFLogger().SetOnLog(nullptr);
    FFLogger().SetLogLevel(llInfo);
    FFLogger().SetTriggerEventInMainThread(true);
  }
  std::vector<TLine> Lines() {
    std::lock_guard<std::mutex> g(lock);
    return lines;
  }
  std::mutex lock;
  std::vector<TLine> lines;
};

TEST_F(LoggerTest, OwnMessagesAreFilteredByLevel) {
  struct {
    TLogLevel Logger, Message;
    bool Delivered;
  } cases[] = {
      {llInfo, llInfo, true},       {llInfo, llError, true},   {llInfo, llVerbose, true},
      {llInfo, llDebug, false},     {llWarning, llInfo, false}, {llWarning, llVerbose, true},
      {llQuiet, llQuiet, true},     {llQuiet, llPanic, false}, {llQuiet, llVerbose, false},
      {llDebug, llDebug, true},
  };
  for (const auto &c : cases) {
    lines.clear();
    FFLogger().SetLogLevel(c.Logger);
    FFLogger().Log(nullptr, c.Message, "m");
    EXPECT_EQ(Lines().size(), c.Delivered ? 1u : 0u) << "logger " << c.Logger << " message " << c.Message;
  }
}

TEST_F(LoggerTest, FormattedMessageCarriesLevelAndThread) {
  FFLogger().LogFmt(nullptr, llWarning, "%s %d", "frames", 25);
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].Msg, "frames 25");
  EXPECT_EQ(Lines()[0].Level, llWarning);
  EXPECT_EQ(Lines()[0].ThreadID, CurrentThreadID());
}

TEST_F(LoggerTest, LibraryPartialLinesAreJoinedPerThread) {
  AV.av_log(nullptr, AV_LOG_INFO, "abc");
  AV.av_log(nullptr, AV_LOG_INFO, "def");
  EXPECT_TRUE(Lines().empty());
  AV.av_log(nullptr, AV_LOG_INFO, "\n");
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].Msg, "abcdef");
  EXPECT_EQ(Lines()[0].Level, llInfo);
}

TEST_F(LoggerTest, TwoLineBreaksGiveTwoLinesAndKeepTheRest) {
  AV.av_log(nullptr, AV_LOG_WARNING, "one\ntwo\nthr");
  ASSERT_EQ(Lines().size(), 2u);
  EXPECT_EQ(Lines()[0].Msg, "one");
  EXPECT_EQ(Lines()[1].Msg, "two");
  EXPECT_EQ(Lines()[1].Level, llWarning);
  EXPECT_EQ(PendingLibraryText(), "thr");
  AV.av_log(nullptr, AV_LOG_WARNING, "ee\n");
  ASSERT_EQ(Lines().size(), 3u);
  EXPECT_EQ(Lines()[2].Msg, "three");
}

TEST_F(LoggerTest, InterleavedThreadsAreDeliveredWholeOnTheMainThread) {
  // Each worker writes half a line, waits for the other, then ends its line.
  std::atomic<int> halves{0};
  std::atomic<int> done{0};
  std::vector<uint32_t> ids(2);
  auto worker = [&](int i, const char *first, const char *second) {
    ids[i] = CurrentThreadID();
    AV.av_log(nullptr, AV_LOG_ERROR, "%s", first);
    ++halves;
    while (halves < 2)
      std::this_thread::yield();
    AV.av_log(nullptr, AV_LOG_ERROR, "%s\n", second);
    ++done;
  };
  std::thread a(worker, 0, "a1", "a2");
  std::thread b(worker, 1, "b1", "b2");
  // Workers wait in the logging call until the main thread runs the handler.
  while (done < 2)
    PumpMainThread();
  a.join();
  b.join();
  const auto got = Lines();
  ASSERT_EQ(got.size(), 2u);
  for (const auto &line : got) {
    EXPECT_TRUE(line.OnMainThread);
    EXPECT_EQ(line.Level, llError);
    if (line.ThreadID == ids[0])
      EXPECT_EQ(line.Msg, "a1a2");
    else {
      EXPECT_EQ(line.ThreadID, ids[1]);
      EXPECT_EQ(line.Msg, "b1b2");
    }
  }
}

TEST_F(LoggerTest, DeliveryOnTheLoggingThreadWhenAsked) {
  FFLogger().SetTriggerEventInMainThread(false);
  std::thread t([] { FFLogger().Log(nullptr, llInfo, "from worker"); });
  t.join();
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_FALSE(Lines()[0].OnMainThread);
}

TEST_F(LoggerTest, LibraryObjectPrefixesTheLine) {
  AVCodecContext *ctx = AV.avcodec_alloc_context3(nullptr);
  AV.av_log(ctx, AV_LOG_INFO, "hello\n");
  AV.avcodec_free_context(&ctx);
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_TRUE(std::regex_match(Lines()[0].Msg, std::regex(R"(\[\S+ @ 0x[0-9a-f]+\]hello)"))) << Lines()[0].Msg;
}

TEST_F(LoggerTest, LibraryLevelFollowsLoggerLevel) {
  FFLogger().SetLogLevel(llWarning);
  EXPECT_EQ(AV.av_log_get_level(), 24);
  AV.av_log(nullptr, AV_LOG_INFO, "dropped\n");
  AV.av_log(nullptr, AV_LOG_WARNING, "kept\n");
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].Msg, "kept");
}

TEST_F(LoggerTest, LogLevelOption) {
  const std::pair<const char *, TLogLevel> cases[] = {
      {"verbose", llVerbose}, {"DEBUG", llDebug}, {"quiet", llQuiet}, {"Error", llError}, {"24", llWarning},
      {"-8", llQuiet},        {"-1", llPanic},    {"7", llPanic},     {"99", llDebug},    {"32", llInfo}};
  for (const auto &[text, level] : cases) {
    FFLogger().OptLogLevel(text);
    EXPECT_EQ(FFLogger().LogLevel(), level) << text;
  }
  EXPECT_THROW(FFLogger().OptLogLevel("loud"), EConvertError);
}

TEST_F(LoggerTest, LevelMapping) {
  for (int l = llQuiet; l <= llDebug; ++l)
    EXPECT_EQ(LogLevelOfLib(LibLevelOf(static_cast<TLogLevel>(l))), l);
  EXPECT_EQ(LibLevelOf(llInfo), 32);
  EXPECT_EQ(LogLevelOfLib(-100), llQuiet);
  EXPECT_EQ(LogLevelOfLib(-7), llPanic);
}

TEST_F(LoggerTest, SecondLoggerIsRefused) {
  (void)FFLogger();
  try {
    TFFLogger second;
    FAIL() << "a second logger was created";
  } catch (const EAssertionFailed &e) {
    EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
  }
}

} // namespace
