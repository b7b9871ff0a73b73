// The job manager over real tasks: records into engine settings, batches on
// worker threads and on the caller's thread, stop and pause, events.
#include "jobs/job_manager.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"
#include "tests/jobs/batch_checks.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The engine's protected settings, for reading what a record did. Read
// through member pointers taken in a derived class (a cast of the task to
// that class would be undefined).
struct TPeekAccess : TFFmpeg {
  static constexpr auto Broken = &TPeekAccess::FBroken;
  static constexpr auto JoinMode = &TPeekAccess::FJoinMode;
  static constexpr auto Vfilters = &TPeekAccess::Fvfilters;
  static constexpr auto VideoSyncMethod = &TPeekAccess::Fvideo_sync_method;
};
struct TPeek {
  TFFmpeg *Task;
  bool Broken() const { return (Task->*TPeekAccess::Broken).load(); }
  bool JoinMode() const { return Task->*TPeekAccess::JoinMode; }
  const std::string &Vfilters() const { return Task->*TPeekAccess::Vfilters; }
  int32_t VideoSyncMethod() const { return Task->*TPeekAccess::VideoSyncMethod; }
};
TPeek Peek(TFFmpeg *ATask) { return TPeek{ATask}; }

struct TEnded {
  int32_t TaskIndex;
  bool Finished, Exception;
  std::string Msg;
  bool OnCaller;
};

struct TStreamFacts {
  AVCodecID Codec;
  int64_t BitRate;
  bool operator==(const TStreamFacts &) const = default;
};

// The streams of a written file, in order, and its duration in µs.
std::vector<TStreamFacts> StreamsOf(const std::string &APath, int64_t *ADuration = nullptr) {
  std::vector<TStreamFacts> streams;
  AVFormatContext *ic = nullptr;
  if (AV.avformat_open_input(&ic, APath.c_str(), nullptr, nullptr) < 0)
    return streams;
  AV.avformat_find_stream_info(ic, nullptr);
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    streams.push_back({ic->streams[i]->codecpar->codec_id, ic->streams[i]->codecpar->bit_rate});
  if (ADuration)
    *ADuration = ic->duration;
  AV.avformat_close_input(&ic);
  return streams;
}

std::vector<AVCodecID> CodecsOf(const std::string &APath) {
  std::vector<AVCodecID> ids;
  for (const TStreamFacts &s : StreamsOf(APath))
    ids.push_back(s.Codec);
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
  // Serves the main thread until the batch has ended and ACount
  // notifications have arrived (the final one may overtake the last task's
  // own), at most 120 s.
  void WaitForFinal(size_t ACount = 0) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (((jm.Working() && !jm.Terminated()) || Ended().size() < ACount) &&
           std::chrono::steady_clock::now() < until) {
      PumpMainThread();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // A task converting AInput with the given output record into the temp folder.
  int32_t AddTask(const std::string &AInput, const std::string &AName, TOutputOptions AOptions) {
    const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
    EXPECT_GE(t, 0) << jm.LastErrMsg();
    EXPECT_TRUE(jm.SetOutputFile(t, (dir / AName).string(), &AOptions)) << jm.LastErrMsg();
    return t;
  }
  int32_t AddMp3Task(const std::string &AInput, const std::string &AName) {
    TOutputOptions o;
    o.AudioCodec = "libmp3lame";
    o.AudioBitrate = 128000;
    return AddTask(AInput, AName, o);
  }
  std::set<int32_t> ConvertingTasks() {
    std::set<int32_t> running;
    for (int32_t i = 0; i < jm.TasksCount(); ++i)
      if (jm.Task(i)->Converting())
        running.insert(i);
    return running;
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

// Lines of ExtOptions come before the record's fields: an applied field wins,
// a skipped one leaves the line in force; codec lines are defaults that a
// codec field overrides.
TEST_F(JobManagerTest, ExtOptionsAgainstRecordFields) {
  const std::string in = ToneWav(1.0);
  struct {
    const char *Ext;
    int32_t AudioBitrate;
    const char *AudioCodec;
    const char *File;
    TStreamFacts Want; // BitRate 0: not looked at
    int WantSync;
  } cases[] = {
      {"vsync=1", -1, "libmp3lame", "vsync.mp3", {AV_CODEC_ID_MP3, 0}, -1}, // VideoSyncMethod is always assigned
      {"ab=64000", -1, "libmp3lame", "line.mp3", {AV_CODEC_ID_MP3, 64000}, -1},
      {"ab=64000", 128000, "libmp3lame", "field.mp3", {AV_CODEC_ID_MP3, 128000}, -1},
      {"acodec=mp2", -1, "aac", "field.mkv", {AV_CODEC_ID_AAC, 0}, -1},
      {"ACODEC=mp2", -1, "", "line.mkv", {AV_CODEC_ID_MP2, 0}, -1},
  };
  for (const auto &c : cases) {
    TOutputOptions o;
    o.ExtOptions = c.Ext;
    o.AudioBitrate = c.AudioBitrate;
    o.AudioCodec = c.AudioCodec;
    const int32_t t = AddTask(in, c.File, o);
    EXPECT_EQ(Peek(jm.Task(t)).VideoSyncMethod(), c.WantSync) << c.Ext;
  }
  jm.Start(0);
  for (const auto &c : cases) {
    const std::vector<TStreamFacts> got = StreamsOf((dir / c.File).string());
    ASSERT_EQ(got.size(), 1u) << c.File;
    EXPECT_EQ(got[0].Codec, c.Want.Codec) << c.Ext << " / " << c.AudioCodec;
    if (c.Want.BitRate > 0) {
      EXPECT_EQ(got[0].BitRate, c.Want.BitRate) << c.Ext << " / " << c.AudioBitrate;
    }
  }
}

// The filter chain the engine is given: a "vfilters" or "vf" line is the
// default chain, which VideoFilters overrides; an empty line gives none.
TEST_F(JobManagerTest, FilterLinesBecomeTheDefaultChain) {
  const std::string in = TestMovie(1.0);
  const struct {
    const char *Ext;
    const char *VideoFilters;
    const char *Want;
  } cases[] = {
      {"vfilters=hflip", "", "hflip"},
      {"VFILTERS=hflip", "vflip", "vflip"},
      {"vf=crop=160:120:0:0", "", "crop=160:120:0:0"},
      {"vfilters=", "", ""},
      {"", "vflip", "vflip"},
  };
  for (const auto &c : cases) {
    TOutputOptions o;
    o.ExtOptions = c.Ext;
    o.VideoFilters = c.VideoFilters;
    const int32_t t = AddTask(in, "f" + std::to_string(jm.TasksCount()) + ".avi", o);
    EXPECT_EQ(Peek(jm.Task(t)).Vfilters(), c.Want) << c.Ext << " / " << c.VideoFilters;
  }
  TOutputOptions named;
  const std::string out = (dir / "named.avi").string();
  const int32_t t = jm.AddTask(in, PInputOptions(nullptr));
  ASSERT_TRUE(jm.SetOutputFile(t, out, &named)) << jm.LastErrMsg();
  EXPECT_EQ(named.FileName, out) << "an empty FileName is filled in";
}

// Each added stream takes the next codec line of its kind; the main stream
// takes the first line unless AudioCodec is set.
TEST_F(JobManagerTest, AdditionalStreamsTakeTheirCodecsInOrder) {
  const struct {
    const char *AudioCodec;
    std::vector<AVCodecID> Want;
  } cases[] = {
      {"", {AV_CODEC_ID_MP2, AV_CODEC_ID_MP2, AV_CODEC_ID_AAC}},
      {"aac", {AV_CODEC_ID_AAC, AV_CODEC_ID_MP2, AV_CODEC_ID_AAC}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    TOutputOptions o;
    o.AudioCodec = cases[i].AudioCodec;
    o.ExtOptions = "acodec=mp2<CRLF>newaudio=<CRLF>acodec=aac<CRLF>newaudio=";
    AddTask(ToneWav(1.0), "three" + std::to_string(i) + ".mkv", o);
  }
  jm.Start(0);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string out = (dir / ("three" + std::to_string(i) + ".mkv")).string();
    EXPECT_EQ(CodecsOf(out), cases[i].Want) << "AudioCodec " << cases[i].AudioCodec;
    EXPECT_GT(DecodedFrames(out), 0);
  }
}

TEST_F(JobManagerTest, StringFormsSetHookJoinAndTimes) {
  const std::string in = ToneWav(1.0);
  const int32_t t = jm.AddTask(in, "TimeStart=250000");
  ASSERT_GE(t, 0) << jm.LastErrMsg();
  ASSERT_TRUE(jm.AddInputFile(t, in, "")) << jm.LastErrMsg();
  ASSERT_TRUE(jm.SetOutputFile(t, (dir / "joined.mp3").string(), "Join=0\nacodec=libmp3lame")) << jm.LastErrMsg();
  EXPECT_TRUE(Peek(jm.Task(t)).JoinMode()) << "a Join line joins whatever its value";
  ASSERT_NE(jm.Task(t)->InputOptions(0), nullptr);
  EXPECT_EQ(jm.Task(t)->InputOptions(0)->TimeStart, 250000);

  // "Hook=0" still routes every video frame to OnCustomHook, on the task's
  // thread; the handler's StopHook ends the calls.
  const int32_t h = jm.AddTask(TestMovie(1.0), "");
  ASSERT_GE(h, 0) << jm.LastErrMsg();
  ASSERT_TRUE(jm.SetOutputFile(h, (dir / "hooked.avi").string(), "Hook=0\nvcodec=mpeg4\nacodec=mp2"))
      << jm.LastErrMsg();
  std::vector<std::pair<int32_t, int32_t>> hooked; // task index, frame number
  jm.SetOnCustomHook([&](TObject *, PHookInfo AInfo) {
    EXPECT_TRUE(AInfo->Update);
    EXPECT_FALSE(AInfo->StopHook);
    EXPECT_NE(AInfo->Bitmap, nullptr);
    hooked.emplace_back(AInfo->TaskIndex, AInfo->FrameNumber);
    AInfo->StopHook = hooked.size() == 3;
  });
  jm.Start(0);
  jm.SetOnCustomHook(nullptr);
  ASSERT_EQ(hooked.size(), 3u) << "StopHook ends the calls for the rest of the run";
  for (const auto &[task, frame] : hooked)
    EXPECT_EQ(task, h);
  int64_t duration = 0;
  StreamsOf((dir / "joined.mp3").string(), &duration);
  EXPECT_GT(duration, 1500000) << "both inputs are in the output, longer than either";
  EXPECT_GT(DecodedFrames((dir / "hooked.avi").string()), 25);
}

TEST_F(JobManagerTest, FileLimitsPerTask) {
  EXPECT_EQ(jm.CustomMaxFiles(), 20);
  const std::string in = ToneWav(1.0);
  for (const int32_t max : {20, 3}) {
    jm.SetCustomMaxFiles(max);
    const int32_t t = jm.AddTask(in, PInputOptions(nullptr));
    ASSERT_GE(t, 0);
    for (int i = 1; i < max; ++i)
      ASSERT_TRUE(jm.AddInputFile(t, in, PInputOptions(nullptr))) << i << ": " << jm.LastErrMsg();
    EXPECT_FALSE(jm.AddInputFile(t, in, PInputOptions(nullptr)));
    EXPECT_EQ(jm.LastErrMsg(), "max input files " + std::to_string(max) + " reached");
    for (int i = 0; i < max; ++i)
      ASSERT_TRUE(
          jm.SetOutputFile(t, (dir / (std::to_string(t) + "_" + std::to_string(i) + ".wav")).string(),
                           POutputOptions(nullptr)))
          << i << ": " << jm.LastErrMsg();
    EXPECT_FALSE(jm.SetOutputFile(t, (dir / "over.wav").string(), POutputOptions(nullptr)));
    EXPECT_EQ(jm.LastErrMsg(), "max output files " + std::to_string(max) + " reached");
  }
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

// The input side passes over what only outputs take (added streams,
// presets, filters) and keeps a record's own FileName.
TEST_F(JobManagerTest, InputRecordsSkipOutputOnlyLines) {
  const std::string in = ToneWav(1.0);
  TInputOptions o;
  o.FileName = "kept.wav";
  o.ExtOptions = "newaudio=<CRLF>apre=no-such-preset<CRLF>vfilters=hflip<CRLF>VF=vflip";
  const int32_t t = jm.AddTask(in, &o);
  ASSERT_GE(t, 0) << jm.LastErrMsg();
  EXPECT_EQ(Peek(jm.Task(t)).Vfilters(), "");
  EXPECT_EQ(o.FileName, "kept.wav");
  EXPECT_EQ(jm.Task(t)->InputOptions(0)->FileName, "kept.wav");
  EXPECT_NE(jm.AVProbes(t, 0), nullptr) << "the file opened is the argument";
  TInputOptions unnamed;
  ASSERT_TRUE(jm.AddInputFile(t, in, &unnamed)) << jm.LastErrMsg();
  EXPECT_EQ(unnamed.FileName, in);
  EXPECT_NE(jm.AVProbes(t, 1), nullptr);
}

// Without worker threads each task runs to its end inside Start, its
// progress before its end, and the final notification last.
TEST_F(JobManagerTest, CallerThreadBatchEndsInsideStart) {
  const std::string in = ToneWav(1.5);
  AddMp3Task(in, "a.mp3");
  AddMp3Task(in, "b.mp3");
  std::vector<std::string> events; // "p0" for a run of progress events of task 0, "t0" for its end
  bool allOnCaller = true;
  jm.SetProgressInterval(100);
  jm.SetOnProgress([&](TObject *, PProgressInfo AInfo) {
    allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
    const std::string e = "p" + std::to_string(AInfo->TaskIndex);
    if (events.empty() || events.back() != e)
      events.push_back(e);
  });
  jm.SetOnTerminate([&](TObject *, const TTerminateInfo &AInfo) {
    allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
    EXPECT_TRUE(AInfo.Finished) << AInfo.TaskIndex;
    EXPECT_FALSE(AInfo.Exception) << AInfo.ExceptionMsg;
    events.push_back("t" + std::to_string(AInfo.TaskIndex));
  });
  jm.Start(0);
  EXPECT_EQ(events, (std::vector<std::string>{"p0", "t0", "p1", "t1", "t-1"}));
  EXPECT_TRUE(allOnCaller);
  EXPECT_TRUE(jm.Terminated());
  for (const char *out : {"a.mp3", "b.mp3"})
    EXPECT_GT(DecodedFrames((dir / out).string()), 0) << out;
}

TEST_F(JobManagerTest, GuardsWhileWorking) {
  AddMp3Task(ToneWav(1.0), "a.mp3");
  const std::pair<const char *, std::function<void()>> guarded[] = {
      {"Cannot AddTask while working.", [&] { jm.AddTask(ToneWav(0.5), PInputOptions(nullptr)); }},
      {"Cannot AddTask while working.", [&] { jm.AddTask(ToneWav(0.5), ""); }},
      {"Cannot AddInputFile while working.", [&] { jm.AddInputFile(0, ToneWav(0.5), PInputOptions(nullptr)); }},
      {"Cannot SetOutputFile while working.", [&] { jm.SetOutputFile(0, "x.mp3", POutputOptions(nullptr)); }},
      {"Cannot SetOutputFile while working.", [&] { jm.SetOutputFile(0, "x.mp3", "Join=1"); }},
      {"Cannot StartTask while working.", [&] { jm.Start(1); }},
      {"Cannot Exchange while working.", [&] { jm.Exchange(0, 0); }},
      {"Cannot RemoveTask while working.", [&] { jm.RemoveTask(0); }},
  };
  const auto expectRaises = [](const char *AMessage, const std::function<void()> &ACall, const char *AState) {
    try {
      ACall();
      ADD_FAILURE() << "no exception while " << AState << ": " << AMessage;
    } catch (const Exception &e) {
      EXPECT_EQ(e.Message(), AMessage) << AState;
    }
  };
  // Running: the task waits in its first progress event for the main thread,
  // which does not serve it yet.
  jm.SetOnProgress([](TObject *, PProgressInfo) {});
  jm.Start(1);
  ASSERT_TRUE(jm.Working());
  for (const auto &[msg, call] : guarded)
    expectRaises(msg, call, "running");
  expectRaises("Cannot ClearTasks while working.", [&] { jm.ClearTasks(); }, "running");
  WaitForFinal(2);
  // Ended: the guards hold until ClearTasks.
  ASSERT_TRUE(jm.Terminated());
  for (const auto &[msg, call] : guarded)
    expectRaises(msg, call, "ended");
  jm.ClearTasks();
  EXPECT_FALSE(jm.Working());
  EXPECT_FALSE(jm.Terminated());
  EXPECT_EQ(jm.TasksCount(), 0);
  EXPECT_GE(jm.AddTask(ToneWav(0.5), PInputOptions(nullptr)), 0);
}

TEST_F(JobManagerTest, ThreeAtOnceOutOfFive) {
  const std::string in = ToneWav(3.0);
  for (int i = 0; i < 5; ++i)
    AddMp3Task(in, "t" + std::to_string(i) + ".mp3");
  // Every task stops in its first progress event until the main thread
  // serves it, so none can end (and start another) before the checks. Tasks
  // start in list order, so while task k runs at least k - 2 have ended.
  std::set<int32_t> seen;
  jm.SetOnProgress([&](TObject *, PProgressInfo AInfo) {
    if (!seen.insert(AInfo->TaskIndex).second)
      return;
    int32_t ended = 0;
    for (int32_t i = 0; i < jm.TasksCount(); ++i)
      ended += jm.Task(i)->RunEnded();
    EXPECT_GE(ended, AInfo->TaskIndex - 2) << "more than three at once when task " << AInfo->TaskIndex << " ran";
  });
  jm.Start(3);
  EXPECT_EQ(ConvertingTasks(), (std::set<int32_t>{0, 1, 2}));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(ConvertingTasks(), (std::set<int32_t>{0, 1, 2})) << "the others wait for one to end";
  WaitForFinal(6);
  EXPECT_EQ(seen, (std::set<int32_t>{0, 1, 2, 3, 4}));
  const auto got = Ended();
  ASSERT_EQ(got.size(), 6u);
  std::multiset<int32_t> indexes;
  for (const auto &e : got) {
    indexes.insert(e.TaskIndex);
    EXPECT_TRUE(e.Finished) << e.TaskIndex;
    EXPECT_FALSE(e.Exception) << e.Msg;
    EXPECT_FALSE(e.OnCaller) << "a notification of its own thread";
  }
  EXPECT_EQ(indexes, (std::multiset<int32_t>{-1, 0, 1, 2, 3, 4}));
  for (int i = 0; i < 5; ++i)
    EXPECT_GT(DecodedFrames((dir / ("t" + std::to_string(i) + ".mp3")).string()), 100) << i;
}

TEST_F(JobManagerTest, StopEndsRunningAndUnstartedTasks) {
  // Long enough that neither running task can end between its first
  // progress event and the Stop below, however fast the machine.
  const std::string in = ToneWav(120.0);
  for (int i = 0; i < 5; ++i)
    AddMp3Task(in, "s" + std::to_string(i) + ".mp3");
  std::set<int32_t> progressed;
  jm.SetProgressInterval(100);
  jm.SetOnProgress([&](TObject *, PProgressInfo AInfo) { progressed.insert(AInfo->TaskIndex); });
  // As the window does it: each notification is carried over to the main
  // thread, which only runs it while Stop serves the queue.
  jm.SetOnTerminate([this](TObject *, const TTerminateInfo &i) {
    RunOnMainThread([this, i] {
      std::lock_guard<std::mutex> g(lock);
      ended.push_back({i.TaskIndex, i.Finished, i.Exception, i.ExceptionMsg, true});
    });
  });
  jm.Start(2);
  while (progressed.size() < 2)
    PumpMainThread();
  jm.Stop(true);
  const auto got = Ended();
  ASSERT_EQ(got.size(), 6u) << "every notification is delivered before Stop(true) returns";
  std::multiset<int32_t> indexes;
  for (const auto &e : got) {
    indexes.insert(e.TaskIndex);
    EXPECT_FALSE(e.Exception) << e.TaskIndex << " " << e.Msg;
    EXPECT_EQ(e.Finished, e.TaskIndex == -1) << e.TaskIndex;
  }
  EXPECT_EQ(indexes, (std::multiset<int32_t>{-1, 0, 1, 2, 3, 4}));
  EXPECT_TRUE(jm.Terminated());
  // The two stopped tasks left finished files that decode.
  for (int i = 0; i < 2; ++i)
    EXPECT_GT(DecodedFrames((dir / ("s" + std::to_string(i) + ".mp3")).string()), 0) << i;
}

// A terminate handler may stop the batch: it waits for the workers, not for
// itself. The final handler, on a thread of its own, finds the batch ended.
TEST_F(JobManagerTest, TerminateHandlerMayStopTheBatch) {
  AddMp3Task(ToneWav(1.0), "h0.mp3");
  AddMp3Task(ToneWav(20.0), "h1.mp3");
  AddMp3Task(ToneWav(1.0), "h2.mp3");
  // Task 1 waits in its first progress event, on the main thread, until
  // task 0's handler has told it to stop.
  jm.SetProgressInterval(100);
  jm.SetOnProgress([&](TObject *, PProgressInfo AInfo) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (AInfo->TaskIndex == 1 && !Peek(jm.Task(1)).Broken() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  std::atomic<bool> stopped{false}, endedSeen{false};
  jm.SetOnTerminate([&](TObject *, const TTerminateInfo &AInfo) {
    {
      std::lock_guard<std::mutex> g(lock);
      ended.push_back({AInfo.TaskIndex, AInfo.Finished, AInfo.Exception, AInfo.ExceptionMsg, false});
    }
    if (AInfo.TaskIndex == 0) {
      jm.Stop(true);
      stopped = true;
    }
    if (AInfo.TaskIndex == -1)
      endedSeen = jm.Terminated();
  });
  jm.Start(1);
  // The notifications come on threads of their own, in any order.
  WaitForFinal(4);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!stopped && std::chrono::steady_clock::now() < until)
    PumpMainThread();
  ASSERT_TRUE(stopped);
  EXPECT_TRUE(endedSeen);
  std::multiset<int32_t> indexes;
  for (const auto &e : Ended()) {
    indexes.insert(e.TaskIndex);
    EXPECT_EQ(e.Finished, e.TaskIndex <= 0) << e.TaskIndex << ": task 1 runs when task 0's handler stops";
  }
  EXPECT_EQ(indexes, (std::multiset<int32_t>{-1, 0, 1, 2}));
  jm.ClearTasks();
}

// A progress handler cleared while a call waits for the main thread is not
// called, and the task goes on.
TEST_F(JobManagerTest, HandlerClearedWhileACallWaits) {
  struct TWatched : TJobManager {
    std::atomic<int> Reports{0};
    void TaskProgress(TCustomFFmpeg *ATask, int32_t AFileIndex, int32_t AFrameNumber, int32_t AFPS, float AQuality,
                      float ABitRate, int64_t ACurrentSize, int64_t ACurrentDuration,
                      int64_t ATotalDuration) override {
      ++Reports;
      TJobManager::TaskProgress(ATask, AFileIndex, AFrameNumber, AFPS, AQuality, ABitRate, ACurrentSize,
                                ACurrentDuration, ATotalDuration);
    }
  } watched;
  ASSERT_TRUE(watched.LoadAVLib(DefaultLibraryPath()));
  const int32_t t = watched.AddTask(ToneWav(1.0), PInputOptions(nullptr));
  TOutputOptions o;
  o.AudioCodec = "libmp3lame";
  ASSERT_TRUE(watched.SetOutputFile(t, (dir / "w.mp3").string(), &o)) << watched.LastErrMsg();
  std::atomic<int> calls{0};
  std::optional<TTerminateInfo> end;
  watched.SetOnProgress([&](TObject *, PProgressInfo) { ++calls; });
  watched.SetOnTerminate([&](TObject *, const TTerminateInfo &AInfo) {
    if (AInfo.TaskIndex == 0)
      RunOnMainThread([&, AInfo] { end = AInfo; });
  });
  watched.Start(1);
  while (watched.Reports == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the report is queued by now
  watched.SetOnProgress(nullptr);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!end && std::chrono::steady_clock::now() < until)
    PumpMainThread();
  EXPECT_EQ(calls, 0);
  ASSERT_TRUE(end.has_value());
  EXPECT_TRUE(end->Finished);
  EXPECT_FALSE(end->Exception) << end->ExceptionMsg;
}

TEST_F(JobManagerTest, EightClipsTwoAtATime) {
  const std::string in = TestMovie(1.0);
  TOutputOptions o;
  o.VideoCodec = "mpeg4";
  o.AudioCodec = "aac";
  for (int i = 0; i < 8; ++i)
    AddTask(in, "clip" + std::to_string(i) + ".mp4", o);
  jm.Start(2);
  WaitForFinal(9);
  const auto got = Ended();
  ASSERT_EQ(got.size(), 9u);
  for (const auto &e : got) {
    EXPECT_TRUE(e.Finished) << e.TaskIndex;
    EXPECT_FALSE(e.Exception) << e.TaskIndex << ": " << e.Msg;
  }
  for (int i = 0; i < 8; ++i) {
    const std::string out = (dir / ("clip" + std::to_string(i) + ".mp4")).string();
    EXPECT_EQ(CodecsOf(out), (std::vector<AVCodecID>{AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC})) << out;
    EXPECT_GT(DecodedFrames(out), 25 + 40) << out << ": a second of pictures and of sound";
  }
}

// Preview pictures of a task added before the switch, on the main thread or
// on the worker as TriggerEventInMainThread says; a batch without handlers
// still ends.
TEST_F(JobManagerTest, PreviewBitmapsAndABatchWithoutHandlers) {
  const std::string in = TestMovie(2.0);
  for (const bool onMain : {true, false}) {
    TOutputOptions o;
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "mp2";
    const int32_t t = AddTask(in, std::string("p") + (onMain ? "main" : "worker") + ".avi", o);
    struct TSeen {
      int32_t TaskIndex, FrameNumber, Width, Height;
      int64_t PTS;
      bool OnCaller;
    };
    std::vector<TSeen> seen;
    jm.SetPreviewBitmap(true);
    jm.SetTriggerEventInMainThread(onMain);
    jm.SetOnPreviewBitmap([&](TObject *, const TPreviewInfo &AInfo) {
      seen.push_back({AInfo.TaskIndex, AInfo.FrameNumber, AInfo.Bitmap ? AInfo.Bitmap->Width() : 0,
                      AInfo.Bitmap ? AInfo.Bitmap->Height() : 0, AInfo.PTS, std::this_thread::get_id() == caller});
    });
    jm.Start(1);
    WaitForFinal(2);
    jm.SetOnPreviewBitmap(nullptr);
    jm.SetPreviewBitmap(false);
    ASSERT_FALSE(seen.empty()) << "on main: " << onMain;
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].TaskIndex, t);
      EXPECT_EQ(seen[i].OnCaller, onMain);
      EXPECT_EQ(seen[i].Width, 320);
      EXPECT_EQ(seen[i].Height, 240);
      if (i > 0) {
        EXPECT_GT(seen[i].FrameNumber, seen[i - 1].FrameNumber);
        EXPECT_GT(seen[i].PTS, seen[i - 1].PTS);
      }
    }
    jm.ClearTasks();
  }
  jm.SetTriggerEventInMainThread(true);
  jm.SetOnTerminate(nullptr);
  for (int i = 0; i < 3; ++i)
    AddMp3Task(ToneWav(0.5), "quiet" + std::to_string(i) + ".mp3");
  jm.Start(2);
  WaitForFinal();
  EXPECT_TRUE(jm.Terminated());
  for (int i = 0; i < 3; ++i)
    EXPECT_GT(DecodedFrames((dir / ("quiet" + std::to_string(i) + ".mp3")).string()), 0) << i;
}

// The H.264 encoder writes the thread count it was given into its stream:
// tasks on worker threads share the cores unless CodecThreads says otherwise.
TEST_F(JobManagerTest, CodecThreadsShareTheCores) {
  const int32_t cores = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  const struct {
    int32_t CodecThreads, Tasks, AtOnce, Want;
  } cases[] = {
      {0, 1, 1, cores * 3 / 2},                  // alone: every core, half as many again
      {0, 2, 2, std::max(1, cores * 3 / 2 / 2)}, // two at once: half that each
      {0, 2, 1, cores * 3 / 2},                  // one at a time: all of it each
      {1, 1, 1, 1},
      {3, 2, 2, 3},
  };
  const std::string in = TestMovie(0.5);
  for (const auto &c : cases) {
    jm.ClearTasks();
    jm.SetCodecThreads(c.CodecThreads);
    TOutputOptions o;
    o.VideoCodec = "libx264";
    o.DisableAudio = true;
    for (int i = 0; i < c.Tasks; ++i)
      AddTask(in, "x" + std::to_string(i) + ".mp4", o);
    jm.Start(c.AtOnce);
    WaitForFinal();
    for (int i = 0; i < c.Tasks; ++i) {
      std::ifstream f(dir / ("x" + std::to_string(i) + ".mp4"), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      const size_t at = bytes.find(" threads=");
      ASSERT_NE(at, std::string::npos) << "no encoder settings in output " << i;
      EXPECT_EQ(std::atoi(bytes.c_str() + at + 9), c.Want)
          << "CodecThreads " << c.CodecThreads << ", " << c.Tasks << " tasks, Start(" << c.AtOnce << ")";
    }
  }
}

TEST_F(JobManagerTest, FailingTaskReportsAndTheBatchGoesOn) {
  const std::string in = ToneWav(0.5);
  AddMp3Task(in, "ok1.mp3");
  TOutputOptions o;
  o.AudioCodec = "libmp3lame";
  o.AudioChannels = 6; // the MP3 encoder takes at most two: it refuses to open
  const int32_t bad = AddTask(in, "bad.mp3", o);
  AddMp3Task(in, "ok2.mp3");
  jm.Start(2);
  WaitForFinal(4);
  const auto got = Ended();
  ASSERT_EQ(got.size(), 4u);
  for (const auto &e : got)
    if (e.TaskIndex == bad) {
      EXPECT_FALSE(e.Finished);
      EXPECT_TRUE(e.Exception);
      EXPECT_EQ(e.Msg, "Error while opening encoder for output stream #0.0 (Audio) - maybe incorrect parameters "
                       "such as bit_rate, rate, width or height. Please check error log message to find out more "
                       "detail information.");
    } else {
      EXPECT_TRUE(e.Finished) << e.TaskIndex;
      EXPECT_FALSE(e.Exception) << e.TaskIndex << " " << e.Msg;
    }
  for (const char *out : {"ok1.mp3", "ok2.mp3"})
    EXPECT_GT(DecodedFrames((dir / out).string()), 0) << out;
}

// Batches of four paused, resumed and stopped at random moments. The long
// run is `make bench` (bench_jobs_stress); ZV_STRESS_ROUNDS lengthens this one.
TEST_F(JobManagerTest, PauseResumeStopStress) {
  const char *rounds = std::getenv("ZV_STRESS_ROUNDS");
  const uint32_t seed = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const int count = rounds ? std::atoi(rounds) : 4;
  const auto began = std::chrono::steady_clock::now();
  const TStressResult r = RunPauseStopStress(TestMovie(4.0), dir, count, seed);
  for (const std::string &p : r.Problems)
    ADD_FAILURE() << p;
  std::vector<double> waits = r.StopWaitMs;
  std::sort(waits.begin(), waits.end());
  std::printf("stress: %d rounds (seed %u), %zu problems, %d stopped outputs read back, Stop(true) waited "
              "median %.0f ms, longest %.0f ms, %.1f s in all\n",
              count, seed, r.Problems.size(), r.StoppedOutputs, waits.empty() ? 0.0 : waits[waits.size() / 2],
              waits.empty() ? 0.0 : waits.back(),
              std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
}

} // namespace
