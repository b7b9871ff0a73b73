// The job manager over real tasks: records into engine settings, batches on
// worker threads and on the caller's thread, stop and pause, events.
#include "jobs/job_manager.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The engine's protected settings, for reading what a record did.
struct TPeek : TFFmpeg {
  using TCustomFFmpeg::FJoinMode;
  using TCustomFFmpeg::FOptions;
  using TCustomFFmpeg::Fvideo_sync_method;
};
TPeek *Peek(TFFmpeg *ATask) { return static_cast<TPeek *>(ATask); }

struct TEnded {
  int32_t TaskIndex;
  bool Finished, Exception;
  std::string Msg;
  bool OnCaller;
};

// The codec ids of a written file's streams, in order.
std::vector<AVCodecID> CodecsOf(const std::string &APath) {
  std::vector<AVCodecID> ids;
  AVFormatContext *ic = nullptr;
  if (AV.avformat_open_input(&ic, APath.c_str(), nullptr, nullptr) < 0)
    return ids;
  AV.avformat_find_stream_info(ic, nullptr);
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    ids.push_back(ic->streams[i]->codecpar->codec_id);
  AV.avformat_close_input(&ic);
  return ids;
}

class JobManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(jm.LoadAVLib(DefaultLibraryPath())) << jm.LastErrMsg();
    dir = fs::temp_directory_path() / ("zv-jobs-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    caller = std::this_thread::get_id();
    jm.SetOnTerminate([this](TObject *, const TTerminateInfo &i) {
      std::lock_guard<std::mutex> g(lock);
      ended.push_back({i.TaskIndex, i.Finished, i.Exception, i.ExceptionMsg, std::this_thread::get_id() == caller});
    });
  }
  void TearDown() override {
    jm.Stop(true);
    WaitForFinal();
    jm.SetOnTerminate(nullptr);
    jm.SetOnProgress(nullptr);
    fs::remove_all(dir);
  }
  std::vector<TEnded> Ended() {
    std::lock_guard<std::mutex> g(lock);
    return ended;
  }
  bool FinalArrived() {
    for (const auto &e : Ended())
      if (e.TaskIndex == -1)
        return true;
    return false;
  }
  // Serves the main thread until the batch's final notification, at most 120 s.
  void WaitForFinal() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (jm.Working() && !jm.Terminated() && std::chrono::steady_clock::now() < until) {
      PumpMainThread();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // A task converting AInput to an MP3 in the temp folder.
  int32_t AddMp3Task(const std::string &AInput, const std::string &AName) {
    const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
    EXPECT_GE(t, 0) << jm.LastErrMsg();
    TOutputOptions o;
    o.AudioCodec = "libmp3lame";
    o.AudioBitrate = 128000;
    EXPECT_TRUE(jm.SetOutputFile(t, (dir / AName).string(), &o)) << jm.LastErrMsg();
    return t;
  }

  TJobManager jm;
  fs::path dir;
  std::thread::id caller;
  std::mutex lock;
  std::vector<TEnded> ended;
};

TEST_F(JobManagerTest, ProgressIntervalHasAFloor) {
  const std::pair<int, int> cases[] = {{50, 100}, {100, 100}, {101, 101}, {500, 500}};
  for (const auto &[set, got] : cases) {
    jm.SetProgressInterval(set);
    EXPECT_EQ(jm.ProgressInterval(), got) << set;
  }
}

TEST_F(JobManagerTest, RecordFieldsOverrideExtOptionsWhenApplied) {
  const std::string in = ToneWav(1.0);
  struct {
    const char *Ext;
    int32_t AudioBitrate;
    const char *AudioCodec;
    int64_t WantBitrate; // 0: not looked at
    int WantSync;
  } cases[] = {
      {"vsync=1", -1, "", 0, -1},                // VideoSyncMethod is always assigned
      {"ab=64000", -1, "", 64000, -1},           // a skipped field leaves the line in force
      {"ab=64000", 128000, "", 128000, -1},      // an applied field wins
  };
  for (const auto &c : cases) {
    const int32_t t = jm.AddTask(in, PInputOptions(nullptr));
    ASSERT_GE(t, 0) << jm.LastErrMsg();
    TOutputOptions o;
    o.ExtOptions = c.Ext;
    o.AudioBitrate = c.AudioBitrate;
    o.AudioCodec = "libmp3lame";
    ASSERT_TRUE(jm.SetOutputFile(t, (dir / ("o" + std::to_string(t) + ".mp3")).string(), &o)) << jm.LastErrMsg();
    TPeek *p = Peek(jm.Task(t));
    EXPECT_EQ(p->Fvideo_sync_method, c.WantSync) << c.Ext;
    int64_t b = 0;
    AV.av_opt_get_int(p->FOptions.avcodec_opts[miAudio].get(), "b", 0, &b);
    if (c.WantBitrate > 0) {
      EXPECT_EQ(b, c.WantBitrate) << c.Ext << " / " << c.AudioBitrate;
    }
  }
}

TEST_F(JobManagerTest, CodecAndFilterLinesBecomeDefaults) {
  const std::string in = TestMovie(1.0);
  struct {
    const char *Ext;
    const char *AudioCodec;
    AVCodecID Want;
  } cases[] = {{"acodec=mp2", "aac", AV_CODEC_ID_AAC}, {"acodec=mp2", "", AV_CODEC_ID_MP2}};
  for (const auto &c : cases) {
    const int32_t t = jm.AddTask(in, PInputOptions(nullptr));
    ASSERT_GE(t, 0) << jm.LastErrMsg();
    TOutputOptions o;
    o.ExtOptions = c.Ext;
    o.AudioCodec = c.AudioCodec;
    o.DisableVideo = true;
    ASSERT_TRUE(jm.SetOutputFile(t, (dir / ("a" + std::to_string(t) + ".mkv")).string(), &o)) << jm.LastErrMsg();
  }
  jm.Start(0);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(CodecsOf((dir / ("a" + std::to_string(i) + ".mkv")).string()), std::vector<AVCodecID>{cases[i].Want})
        << cases[i].Ext << " / " << cases[i].AudioCodec;
  jm.ClearTasks();
  // A "vfilters" line is the default filter chain, applied as "vfilters", never in the line pass.
  const int32_t t = jm.AddTask(in, PInputOptions(nullptr));
  TOutputOptions o;
  o.ExtOptions = "vfilters=hflip";
  ASSERT_TRUE(jm.SetOutputFile(t, (dir / "f.avi").string(), &o)) << jm.LastErrMsg();
  EXPECT_EQ(o.FileName, (dir / "f.avi").string()) << "an empty FileName is filled in";
}

TEST_F(JobManagerTest, AdditionalStreamsTakeTheirCodecsInOrder) {
  const int32_t t = jm.AddTask(ToneWav(1.0), PInputOptions(nullptr));
  ASSERT_GE(t, 0) << jm.LastErrMsg();
  TOutputOptions o;
  o.ExtOptions = "acodec=mp2<CRLF>newaudio=<CRLF>acodec=aac<CRLF>newaudio=";
  ASSERT_TRUE(jm.SetOutputFile(t, (dir / "three.mkv").string(), &o)) << jm.LastErrMsg();
  jm.Start(0);
  EXPECT_EQ(CodecsOf((dir / "three.mkv").string()),
            (std::vector<AVCodecID>{AV_CODEC_ID_MP2, AV_CODEC_ID_MP2, AV_CODEC_ID_AAC}));
}

TEST_F(JobManagerTest, StringFormsSetHookJoinAndTimes) {
  const std::string in = ToneWav(1.0);
  const int32_t t = jm.AddTask(in, "TimeStart=250000");
  ASSERT_GE(t, 0) << jm.LastErrMsg();
  ASSERT_TRUE(jm.AddInputFile(t, in, "")) << jm.LastErrMsg();
  ASSERT_TRUE(jm.SetOutputFile(t, (dir / "joined.mp3").string(), "Join=0\nacodec=libmp3lame")) << jm.LastErrMsg();
  EXPECT_TRUE(Peek(jm.Task(t))->FJoinMode) << "a Join line joins whatever its value";
  ASSERT_NE(jm.Task(t)->InputOptions(0), nullptr);
  EXPECT_EQ(jm.Task(t)->InputOptions(0)->TimeStart, 250000);
}

TEST_F(JobManagerTest, FileLimitsPerTask) {
  jm.SetCustomMaxFiles(3);
  const std::string in = ToneWav(1.0);
  const int32_t t = jm.AddTask(in, PInputOptions(nullptr));
  ASSERT_GE(t, 0);
  EXPECT_TRUE(jm.AddInputFile(t, in, PInputOptions(nullptr)));
  EXPECT_TRUE(jm.AddInputFile(t, in, PInputOptions(nullptr)));
  EXPECT_FALSE(jm.AddInputFile(t, in, PInputOptions(nullptr)));
  EXPECT_EQ(jm.LastErrMsg(), "max input files 3 reached");
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(jm.SetOutputFile(t, (dir / ("o" + std::to_string(i) + ".wav")).string(), POutputOptions(nullptr)))
        << jm.LastErrMsg();
  EXPECT_FALSE(jm.SetOutputFile(t, (dir / "o3.wav").string(), POutputOptions(nullptr)));
  EXPECT_EQ(jm.LastErrMsg(), "max output files 3 reached");
}

TEST_F(JobManagerTest, FailedAddLeavesNoTask) {
  const std::string missing = (dir / "missing.avi").string();
  EXPECT_EQ(jm.AddTask(missing, PInputOptions(nullptr)), -1);
  EXPECT_EQ(jm.LastErrMsg(), missing + ": No such file or directory");
  EXPECT_EQ(jm.TasksCount(), 0);
  TInputOptions bad;
  bad.ExtOptions = "r=abc";
  EXPECT_EQ(jm.AddTask(ToneWav(1.0), &bad), -1);
  EXPECT_EQ(jm.LastErrMsg(), "Incorrect frame rate");
  EXPECT_EQ(jm.TasksCount(), 0);
}

TEST_F(JobManagerTest, CallerThreadBatchEndsInsideStart) {
  const std::string in = ToneWav(0.5);
  AddMp3Task(in, "a.mp3");
  AddMp3Task(in, "b.mp3");
  jm.Start(0);
  const auto got = Ended();
  ASSERT_EQ(got.size(), 3u) << "all notifications arrive before Start returns";
  EXPECT_EQ(got[0].TaskIndex, 0);
  EXPECT_EQ(got[1].TaskIndex, 1);
  EXPECT_EQ(got[2].TaskIndex, -1);
  for (const auto &e : got) {
    EXPECT_TRUE(e.OnCaller);
    EXPECT_TRUE(e.Finished);
    EXPECT_FALSE(e.Exception) << e.Msg;
  }
  EXPECT_TRUE(jm.Terminated());
  EXPECT_GT(fs::file_size(dir / "a.mp3"), 1000u);
}

TEST_F(JobManagerTest, GuardsWhileWorking) {
  AddMp3Task(ToneWav(0.5), "a.mp3");
  jm.Start(0);
  const std::pair<const char *, std::function<void()>> guarded[] = {
      {"Cannot AddTask while working.", [&] { jm.AddTask(ToneWav(0.5), PInputOptions(nullptr)); }},
      {"Cannot AddInputFile while working.", [&] { jm.AddInputFile(0, ToneWav(0.5), PInputOptions(nullptr)); }},
      {"Cannot SetOutputFile while working.", [&] { jm.SetOutputFile(0, "x.mp3", POutputOptions(nullptr)); }},
      {"Cannot StartTask while working.", [&] { jm.Start(1); }},
      {"Cannot Exchange while working.", [&] { jm.Exchange(0, 0); }},
      {"Cannot RemoveTask while working.", [&] { jm.RemoveTask(0); }},
  };
  for (const auto &[msg, call] : guarded) {
    try {
      call();
      ADD_FAILURE() << "no exception: " << msg;
    } catch (const Exception &e) {
      EXPECT_EQ(e.Message(), msg);
    }
  }
  jm.ClearTasks(); // allowed once the batch has ended
  EXPECT_FALSE(jm.Working());
  EXPECT_GE(jm.AddTask(ToneWav(0.5), PInputOptions(nullptr)), 0);
}

TEST_F(JobManagerTest, ThreeAtOnceOutOfFive) {
  const std::string in = ToneWav(3.0);
  for (int i = 0; i < 5; ++i)
    AddMp3Task(in, "t" + std::to_string(i) + ".mp3");
  std::atomic<int> running{0}, most{0};
  std::set<int32_t> seen;
  jm.SetProgressInterval(100);
  jm.SetOnProgress([&](TObject *, PProgressInfo p) {
    if (seen.insert(p->TaskIndex).second)
      most = std::max(most.load(), ++running);
  });
  jm.SetOnTerminate([&](TObject *, const TTerminateInfo &i) {
    if (i.TaskIndex >= 0)
      --running;
    std::lock_guard<std::mutex> g(lock);
    ended.push_back({i.TaskIndex, i.Finished, i.Exception, i.ExceptionMsg, false});
  });
  jm.Start(3);
  WaitForFinal();
  ASSERT_TRUE(jm.Terminated());
  // The final notification may overtake the last task's own.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Ended().size() < 6 && std::chrono::steady_clock::now() < until)
    PumpMainThread();
  const auto got = Ended();
  EXPECT_EQ(got.size(), 6u);
  std::set<int32_t> indexes;
  for (const auto &e : got) {
    indexes.insert(e.TaskIndex);
    EXPECT_FALSE(e.Exception) << e.Msg;
  }
  EXPECT_EQ(indexes, (std::set<int32_t>{-1, 0, 1, 2, 3, 4}));
  EXPECT_LE(most.load(), 3);
  for (int i = 0; i < 5; ++i)
    EXPECT_GT(fs::file_size(dir / ("t" + std::to_string(i) + ".mp3")), 10000u);
}

TEST_F(JobManagerTest, StopEndsRunningAndUnstartedTasks) {
  const std::string in = ToneWav(20.0);
  for (int i = 0; i < 5; ++i)
    AddMp3Task(in, "s" + std::to_string(i) + ".mp3");
  std::atomic<int> progressed{0};
  jm.SetProgressInterval(100);
  jm.SetOnProgress([&](TObject *, PProgressInfo) { ++progressed; });
  jm.Start(2);
  while (progressed < 2)
    PumpMainThread();
  jm.Stop(true);
  WaitForFinal();
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Ended().size() < 6 && std::chrono::steady_clock::now() < until)
    PumpMainThread();
  const auto got = Ended();
  ASSERT_EQ(got.size(), 6u);
  for (const auto &e : got) {
    if (e.TaskIndex >= 0)
      EXPECT_FALSE(e.Finished) << e.TaskIndex;
    else
      EXPECT_TRUE(e.Finished);
  }
  // The stopped tasks left finished, playable files.
  for (int i = 0; i < 2; ++i) {
    AVFormatContext *ic = nullptr;
    ASSERT_EQ(AV.avformat_open_input(&ic, (dir / ("s" + std::to_string(i) + ".mp3")).c_str(), nullptr, nullptr), 0);
    EXPECT_GE(AV.avformat_find_stream_info(ic, nullptr), 0);
    AV.avformat_close_input(&ic);
  }
}

TEST_F(JobManagerTest, FailingTaskReportsAndTheBatchGoesOn) {
  const std::string in = ToneWav(0.5);
  AddMp3Task(in, "ok1.mp3");
  const int32_t bad = jm.AddTask(in, PInputOptions(nullptr));
  TOutputOptions o;
  o.AudioCodec = "libmp3lame";
  o.AudioChannels = 6; // the MP3 encoder takes at most two: it refuses to open
  ASSERT_TRUE(jm.SetOutputFile(bad, (dir / "bad.mp3").string(), &o)) << jm.LastErrMsg();
  AddMp3Task(in, "ok2.mp3");
  jm.Start(2);
  WaitForFinal();
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Ended().size() < 4 && std::chrono::steady_clock::now() < until)
    PumpMainThread();
  bool sawFailure = false;
  for (const auto &e : Ended())
    if (e.TaskIndex == bad) {
      sawFailure = e.Exception && !e.Msg.empty();
    } else if (e.TaskIndex >= 0) {
      EXPECT_TRUE(e.Finished) << e.TaskIndex << " " << e.Msg;
    }
  EXPECT_TRUE(sawFailure) << "the task whose encoder cannot open reports the error";
  EXPECT_TRUE(fs::exists(dir / "ok2.mp3"));
}

TEST_F(JobManagerTest, PauseResumeStopStress) {
  const std::string in = ToneWav(6.0);
  for (int round = 0; round < 3; ++round) {
    jm.ClearTasks();
    {
      std::lock_guard<std::mutex> g(lock);
      ended.clear();
    }
    for (int i = 0; i < 4; ++i)
      AddMp3Task(in, "r" + std::to_string(round) + "_" + std::to_string(i) + ".mp3");
    jm.Start(2);
    for (int k = 0; k < 5; ++k) {
      jm.Pause();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      PumpMainThread();
      jm.Resume();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      PumpMainThread();
    }
    jm.Stop(true);
    WaitForFinal();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Ended().size() < 5 && std::chrono::steady_clock::now() < until)
      PumpMainThread();
    std::multiset<int32_t> indexes;
    for (const auto &e : Ended())
      indexes.insert(e.TaskIndex);
    EXPECT_EQ(indexes, (std::multiset<int32_t>{-1, 0, 1, 2, 3})) << "round " << round;
  }
}

} // namespace
