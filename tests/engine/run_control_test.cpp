// Runs on a worker or the caller's thread: exactly one terminate
// notification, captured failures, pause that halts writing, stop that
// serves the main thread while it waits.
#include "engine/custom_ffmpeg.h"
#include "platform/main_thread.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

class RunControl : public ::testing::Test {
protected:
  void SetUp() override {
    FFLoader().SetLibraryPath(DefaultLibraryPath());
    ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
    dir = fs::temp_directory_path() / ("zv-run-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    engine = std::make_unique<TCustomFFmpeg>(20);
    engine->ResetSession();
    engine->SetOnTerminate([this](TObject *) {
      ++terminated;
      terminateThread = std::this_thread::get_id();
    });
  }
  void TearDown() override {
    engine.reset();
    fs::remove_all(dir);
  }
  // A long tone to an MP3: long enough to pause and stop in the middle.
  void PrepareLongRun() {
    // Read at its own pace ("re"), so the run outlasts the test's steps on any machine.
    engine->SetOption("re", "1");
    ASSERT_TRUE(engine->OpenInputFile(ToneWav(30.0))) << engine->LastErrMsg();
    engine->SetOption("acodec", "libmp3lame");
    ASSERT_GE(engine->OpenOutputFile(out(), false), 1) << engine->LastErrMsg();
  }
  std::string out() const { return (dir / "out.mp3").string(); }
  // Waits, serving the main thread, until ACondition holds (at most 30 s).
  template <typename F> bool WaitUntil(F ACondition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ACondition()) {
      if (std::chrono::steady_clock::now() > until)
        return false;
      PumpMainThread();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  fs::path dir;
  std::unique_ptr<TCustomFFmpeg> engine;
  std::atomic<int> terminated{0};
  std::thread::id terminateThread;
};

TEST_F(RunControl, MissingFilesEndTheRunAtOnceWithItsMessage) {
  EXPECT_EQ(engine->StartConvert(true, tpNormal), nullptr);
  EXPECT_EQ(terminated, 1);
  EXPECT_TRUE(engine->FatalException());
  EXPECT_EQ(engine->FatalMessage(), "At least one output file must be specified");

  engine->ResetSession();
  ASSERT_GE(engine->OpenOutputFile(out(), false), 1) << engine->LastErrMsg();
  EXPECT_EQ(engine->StartConvert(false, tpNormal), nullptr);
  EXPECT_EQ(terminated, 2);
  EXPECT_EQ(engine->FatalMessage(), "At least one input file must be specified");
}

TEST_F(RunControl, AnEngineRunsOncePerReset) {
  ASSERT_TRUE(engine->OpenInputFile(ToneWav(1.0))) << engine->LastErrMsg();
  ASSERT_GE(engine->OpenOutputFile(out(), false), 1);
  EXPECT_EQ(engine->StartConvert(false, tpNormal), nullptr);
  EXPECT_EQ(terminated, 1);
  EXPECT_TRUE(engine->Finished());
  EXPECT_FALSE(engine->FatalException()) << engine->FatalMessage();
  EXPECT_EQ(engine->StartConvert(false, tpNormal), nullptr);
  EXPECT_EQ(engine->StartConvert(true, tpNormal), nullptr);
  EXPECT_EQ(terminated, 1) << "the second start does nothing";
}

// A stop that comes before the first packet leaves a header and an index of
// nothing, which no player takes for a result: the file goes.
TEST_F(RunControl, StopBeforeTheFirstPacketLeavesNoFile) {
  const struct {
    std::string Input, Output, AudioCodec;
  } cases[] = {{ToneWav(3.0), "early.mp3", "libmp3lame"}, {TestMovie(3.0), "early.mp4", "aac"}};
  for (const auto &c : cases) {
    engine->ResetSession();
    ASSERT_TRUE(engine->OpenInputFile(c.Input)) << engine->LastErrMsg();
    engine->SetOption("acodec", c.AudioCodec);
    const std::string output = (dir / c.Output).string();
    ASSERT_GE(engine->OpenOutputFile(output, false), 1) << engine->LastErrMsg();
    TConvertThread *thread = engine->StartConvert(true, tpNormal);
    ASSERT_NE(thread, nullptr);
    engine->Pause(); // the worker waits at its first turn, before reading
    thread->Start();
    engine->Stop(true);
    EXPECT_FALSE(engine->Finished()) << c.Output;
    EXPECT_FALSE(engine->FatalException()) << engine->FatalMessage();
    EXPECT_FALSE(fs::exists(output)) << c.Output;
  }
}

TEST_F(RunControl, PauseHaltsWritingAndStopWaitsForTheWorker) {
  PrepareLongRun();
  // The progress handler waits for the main thread, as the window's does.
  std::atomic<int> reports{0};
  engine->ReportInterval = 50000;
  engine->SetOnProgress([&](TObject *, int32_t, int32_t, int32_t, float, float, int64_t, int64_t, int64_t) {
    RunOnMainThread([&] { ++reports; });
  });
  TConvertThread *thread = engine->StartConvert(true, tpLower);
  ASSERT_NE(thread, nullptr);
  thread->Start();
  ASSERT_TRUE(WaitUntil([&] { return reports > 2; }));

  engine->Pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the worker reaches the gate
  PumpMainThread();
  const auto size = fs::file_size(out());
  const int before = reports;
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  PumpMainThread();
  EXPECT_EQ(fs::file_size(out()), size) << "nothing is written while paused";
  EXPECT_LE(reports - before, 1);

  engine->Resume();
  ASSERT_TRUE(WaitUntil([&] { return fs::file_size(out()) > size; })) << "writing goes on after resume";

  engine->Pause();
  engine->Stop(true); // resumes the paused worker, waits, serving the main thread
  EXPECT_EQ(terminated, 1);
  EXPECT_FALSE(engine->Finished());
  EXPECT_FALSE(engine->FatalException()) << engine->FatalMessage();
  EXPECT_NE(terminateThread, std::this_thread::get_id()) << "the worker sends the notification";

  // The stopped output is a finished file.
  AVFormatContext *ic = nullptr;
  ASSERT_EQ(AV.avformat_open_input(&ic, out().c_str(), nullptr, nullptr), 0);
  ASSERT_GE(AV.avformat_find_stream_info(ic, nullptr), 0);
  EXPECT_GT(ic->duration, 0);
  EXPECT_LT(ic->duration, 30 * AV_TIME_BASE);
  AV.avformat_close_input(&ic);
}

TEST_F(RunControl, NeverStartedTaskTerminatesOnAThreadOfItsOwn) {
  PrepareLongRun();
  engine->StopOrTerminate(true);
  EXPECT_EQ(terminated, 1);
  EXPECT_NE(terminateThread, std::this_thread::get_id());
  engine->StopOrTerminate(true);
  EXPECT_EQ(terminated, 1) << "a terminated task is left alone";
}

TEST_F(RunControl, EncoderThatCannotOpenIsAFatalResult) {
  ASSERT_TRUE(engine->OpenInputFile(ToneWav(1.0))) << engine->LastErrMsg();
  engine->SetOption("acodec", "libmp3lame");
  engine->SetOption("ac", "6"); // the MP3 encoder takes at most two channels
  ASSERT_GE(engine->OpenOutputFile(out(), false), 1) << engine->LastErrMsg();
  std::vector<std::string> lines;
  FFLogger().SetOnLog([&](TObject *, uint32_t, TLogLevel, const std::string &AMsg) { lines.push_back(AMsg); });
  engine->StartConvert(false, tpNormal);
  FFLogger().SetOnLog(nullptr);
  EXPECT_EQ(terminated, 1);
  EXPECT_TRUE(engine->FatalException());
  // The log shows what was being built before the error.
  const auto mapping = std::find(lines.begin(), lines.end(), "Stream mapping:");
  const auto stream = std::find(lines.begin(), lines.end(), "  Stream #0.0 -> #0.0 (Audio)");
  const auto error = std::find(lines.begin(), lines.end(), engine->FatalMessage());
  ASSERT_NE(error, lines.end());
  EXPECT_LT(mapping, stream);
  EXPECT_LT(stream, error);
  EXPECT_EQ(engine->FatalMessage().rfind("Error while opening encoder for output stream #0.0 (Audio)", 0), 0u)
      << engine->FatalMessage();
  EXPECT_FALSE(engine->Finished());
}

} // namespace
