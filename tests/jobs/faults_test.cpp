// Faults around a batch: the disk filling up under one task, an output folder
// that cannot exist, an input that goes away while the batch runs, and input
// names that are awkward for a shell or a code page. What the caller sees is
// checked: each task's end and message, the files left behind, the others.
#include "catalogue/output_name.h"
#include "jobs/job_manager.h"
#include "platform/main_thread.h"
#include "tests/jobs/batch_checks.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

namespace fs = std::filesystem;

namespace {

// A file-size limit on the whole process, with SIGXFSZ ignored so that a
// write past it fails with EFBIG instead of ending the process; both are
// restored when the object goes.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t ABytes) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FOld;
    limit.rlim_cur = ABytes;
    FSet = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    std::signal(SIGXFSZ, FOldHandler);
  }
  bool Set() const { return FSet; }

private:
  rlimit FOld{};
  void (*FOldHandler)(int) = nullptr;
  bool FSet = false;
};

struct TEnd {
  bool Finished = false, Exception = false;
  std::string Msg;
  int Times = 0;
};

class Faults : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(jm.LoadAVLib(DefaultLibraryPath())) << jm.LastErrMsg();
    dir = fs::temp_directory_path() / ("zv-faults-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    jm.SetOnTerminate([this](TObject *, const TTerminateInfo &i) {
      std::lock_guard<std::mutex> g(lock);
      TEnd &e = ends[i.TaskIndex];
      e = {i.Finished, i.Exception, i.ExceptionMsg, e.Times + 1};
    });
  }
  void TearDown() override {
    jm.Stop(true);
    jm.SetOnTerminate(nullptr);
    jm.SetOnProgress(nullptr);
    jm.ClearTasks();
    fs::remove_all(dir);
  }
  std::map<int32_t, TEnd> Ends() {
    std::lock_guard<std::mutex> g(lock);
    return ends;
  }
  // Serves the main thread until the final notification has come and every
  // task has reported, at most 120 s.
  void WaitForAll() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((!jm.Terminated() || Ends().size() < static_cast<size_t>(jm.TasksCount()) + 1) &&
           std::chrono::steady_clock::now() < until) {
      PumpMainThread();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  int32_t AddTask(const std::string &AInput, const fs::path &AOutput, const char *AAudioCodec) {
    const int32_t t = jm.AddTask(AInput, PInputOptions(nullptr));
    EXPECT_GE(t, 0) << AInput << ": " << jm.LastErrMsg();
    TOutputOptions o;
    o.AudioCodec = AAudioCodec;
    EXPECT_TRUE(jm.SetOutputFile(t, AOutput.string(), &o)) << jm.LastErrMsg();
    return t;
  }
  // Every task of the batch ended once; the tasks named in AFailed with
  // their message, the others finished with an output that decodes.
  void ExpectEnds(const std::vector<fs::path> &AOutputs, const std::map<int32_t, std::string> &AFailed) {
    const std::map<int32_t, TEnd> got = Ends();
    ASSERT_EQ(got.size(), AOutputs.size() + 1);
    for (const auto &[index, end] : got) {
      EXPECT_EQ(end.Times, 1) << "task " << index;
      if (index < 0)
        continue;
      const fs::path &out = AOutputs[static_cast<size_t>(index)];
      if (AFailed.count(index)) {
        EXPECT_FALSE(end.Finished) << out;
        EXPECT_TRUE(end.Exception) << out;
        EXPECT_EQ(end.Msg, AFailed.at(index)) << out;
        EXPECT_FALSE(fs::exists(out)) << out << ": the incomplete output is removed";
      } else {
        EXPECT_TRUE(end.Finished) << out;
        EXPECT_FALSE(end.Exception) << out << ": " << end.Msg;
        EXPECT_GT(DecodedFrames(out.string()), 0) << out;
      }
    }
  }

  TJobManager jm;
  fs::path dir;
  std::mutex lock;                 // guards ends
  std::map<int32_t, TEnd> ends;    // by task index, -1 the final notification
};

// The disk fills up under the tasks whose outputs grow past the limit (one
// written through the library's file protocol, one whose name the C locale
// cannot express, written by our own byte stream); the small outputs of the
// others fit and finish.
TEST_F(Faults, AFullDiskEndsTheTaskThatOutgrowsItAndTheOthersFinish) {
  const std::string small = ToneWav(1.0), big = ToneWav(10.0); // the fixtures are made before the limit
  std::vector<fs::path> outputs;
  const struct {
    const std::string &Input;
    const char *Output, *Codec;
  } tasks[] = {
      {small, "small0.mp3", "libmp3lame"}, {big, "big.wav", "pcm_s16le"},    {small, "small1.mp3", "libmp3lame"},
      {big, "大文件.wav", "pcm_s16le"},    {small, "small2.mp3", "libmp3lame"},
  };
  for (const auto &t : tasks) {
    outputs.push_back(dir / t.Output);
    AddTask(t.Input, outputs.back(), t.Codec);
  }
  {
    const TFileSizeLimit limit(1 << 20); // the big outputs need 1.7 MiB
    ASSERT_TRUE(limit.Set());
    jm.Start(2);
    WaitForAll();
  }
  ExpectEnds(outputs, {{1, "av_interleaved_write_frame(): File too large"},
                       {3, "av_interleaved_write_frame(): File too large"}});
}

// An output below a regular file cannot be made: SetOutputFile says why and
// leaves no file; the task, started without an output, ends with the
// engine's own message and the rest of the batch converts.
TEST_F(Faults, AnOutputFolderThatCannotBeMadeIsRefusedAndTheBatchGoesOn) {
  const std::string in = ToneWav(0.5);
  std::ofstream(dir / "taken") << "a file where the folder would be";
  std::vector<fs::path> outputs;
  for (const char *name : {"ok0.mp3", "taken/out/a.mp3", "taken/输出/甲.mp3", "ok1.mp3"}) {
    outputs.push_back(dir / name);
    const int32_t t = jm.AddTask(in, PInputOptions(nullptr));
    ASSERT_GE(t, 0) << jm.LastErrMsg();
    TOutputOptions o;
    o.AudioCodec = "libmp3lame";
    const bool set = jm.SetOutputFile(t, outputs.back().string(), &o);
    if (outputs.back().parent_path().parent_path() == dir / "taken") {
      EXPECT_FALSE(set) << name;
      // The library's reason without a text of its own (ENOTDIR), the same
      // through either byte stream.
      EXPECT_EQ(jm.LastErrMsg(), outputs.back().string() + ": Error number -20 occurred");
      EXPECT_EQ(jm.Task(t)->nb_output_files(), 0);
    } else {
      EXPECT_TRUE(set) << name << ": " << jm.LastErrMsg();
    }
  }
  jm.Start(2);
  WaitForAll();
  ExpectEnds(outputs, {{1, "At least one output file must be specified"},
                       {2, "At least one output file must be specified"}});
}

// Inputs are opened when their tasks are made, so what happens to their
// files while an earlier task runs meets a task that already holds them:
// a deleted input still converts in full (its file stays open), a truncated
// one converts what can still be read (with what was read ahead when it was
// opened: an emptied one gives a few pictures) and ends as at any end of
// file. Every run ends once, and what it leaves is a finished file.
TEST_F(Faults, InputsThatGoAwayWhileAnEarlierTaskRuns) {
  const std::string movie = TestMovie(2.0);
  enum TFate { fKept, fDeleted, fHalved, fEmptied };
  const struct {
    TFate Fate;
    int MinFrames, MaxFrames; // pictures and sound frames decoded from the output; the whole clip has 127
  } cases[] = {
      {fKept, 127, 127}, {fDeleted, 127, 127}, {fHalved, 1, 126}, {fEmptied, 0, 63}, {fKept, 127, 127},
  };
  std::vector<fs::path> inputs, outputs;
  for (size_t i = 0; i < std::size(cases); ++i) {
    inputs.push_back(dir / ("in" + std::to_string(i) + ".avi"));
    fs::copy_file(movie, inputs.back());
    outputs.push_back(dir / ("out" + std::to_string(i) + ".avi"));
    const int32_t t = jm.AddTask(inputs.back().string(), PInputOptions(nullptr));
    ASSERT_GE(t, 0) << jm.LastErrMsg();
    TOutputOptions o;
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "mp2";
    ASSERT_TRUE(jm.SetOutputFile(t, outputs.back().string(), &o)) << jm.LastErrMsg();
  }
  // Task 0's first report, at the latest its last one, comes before it ends
  // and so before any later task starts.
  bool done = false;
  jm.SetOnProgress([&](TObject *, PProgressInfo AInfo) {
    if (AInfo->TaskIndex != 0 || done)
      return;
    done = true;
    for (size_t i = 0; i < std::size(cases); ++i)
      if (cases[i].Fate == fDeleted)
        fs::remove(inputs[i]);
      else if (cases[i].Fate != fKept)
        fs::resize_file(inputs[i], cases[i].Fate == fHalved ? fs::file_size(inputs[i]) / 2 : 0);
  });
  jm.Start(1);
  WaitForAll();
  ASSERT_TRUE(done);
  const std::map<int32_t, TEnd> got = Ends();
  ASSERT_EQ(got.size(), std::size(cases) + 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TEnd &end = got.at(static_cast<int32_t>(i));
    SCOPED_TRACE("task " + std::to_string(i));
    EXPECT_EQ(end.Times, 1);
    EXPECT_TRUE(end.Finished);
    EXPECT_FALSE(end.Exception) << end.Msg;
    const int frames = fs::exists(outputs[i]) ? DecodedFrames(outputs[i].string()) : -2;
    EXPECT_GE(frames, cases[i].MinFrames);
    EXPECT_LE(frames, cases[i].MaxFrames);
  }
}

// Names a shell would quote, names the C locale of this process cannot
// express (they go through "unicode:utf8:"), and names of 250 bytes, each
// converted to the output name the program gives it.
TEST_F(Faults, AwkwardInputNamesConvertToTheirDerivedNames) {
  std::string chinese250;
  while (chinese250.size() < 246)
    chinese250 += "长"; // three bytes each
  const struct {
    std::string Input, Output;
  } cases[] = {
      {"with  two spaces .wav", "with  two spaces .mp3"},
      {"it's.wav", "it's.mp3"},
      {"say \"hi\".wav", "say \"hi\".mp3"},
      {"中文 歌曲.wav", "中文 歌曲.mp3"},
      {std::string(246, 'n') + ".wav", std::string(246, 'n') + ".mp3"},
      {chinese250 + ".wav", chinese250 + ".mp3"},
  };
  const std::string tone = ToneWav(0.5);
  const fs::path out = dir / "输出";
  fs::create_directories(out);
  std::vector<fs::path> outputs;
  for (const auto &c : cases) {
    ASSERT_EQ(c.Input.size() == 250, c.Output.size() == 250);
    const fs::path input = dir / c.Input;
    fs::copy_file(tone, input);
    const std::string named =
        UniqueOutputName(out.string(), ProposedOutputName(out.string(), input.string(), ".mp3"), false);
    EXPECT_EQ(named, (out / c.Output).string());
    outputs.push_back(named);
    AddTask(input.string(), named, "libmp3lame");
  }
  jm.Start(2);
  WaitForAll();
  ExpectEnds(outputs, {});
}

// An MP4 gets its index when it is finished: with room for all but its last
// byte, the packets fit and the disk fills up while the file is finished.
TEST_F(Faults, AFullDiskWhileTheFileIsFinished) {
  const std::string tone = ToneWav(2.0);
  std::vector<fs::path> outputs{dir / "whole.m4a"};
  AddTask(tone, outputs[0], "aac");
  jm.Start(1);
  WaitForAll();
  ExpectEnds(outputs, {});
  const uintmax_t whole = fs::file_size(outputs[0]);
  jm.ClearTasks();
  {
    std::lock_guard<std::mutex> g(lock);
    ends.clear();
  }

  outputs = {dir / "short.m4a", dir / "other.mp3"};
  AddTask(tone, outputs[0], "aac");
  AddTask(ToneWav(0.5), outputs[1], "libmp3lame");
  {
    const TFileSizeLimit limit(whole - 1);
    ASSERT_TRUE(limit.Set());
    jm.Start(2);
    WaitForAll();
  }
  ExpectEnds(outputs, {{0, "av_write_trailer(): File too large"}});
}

} // namespace
