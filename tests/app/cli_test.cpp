// zelvora-cli run as a user runs it: the files it writes, what it prints,
// its exit codes.
#include "tests/app/cli_run.h"
#include "tests/app/media_facts.h"

#include "catalogue/categories.h"
#include "catalogue/formats.h"
#include "media/ffmpeg_loader.h"
#include "tests/support/fixtures.h"
#include "ui/settings_paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class Cli : public ::testing::Test {
protected:
  void SetUp() override {
    FFLoader().SetLibraryPath(DefaultLibraryPath());
    ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg(); // the fixtures encode
    FDir = fs::temp_directory_path() / ("zv-cli-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FDir);
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  // A copy of a fixture at ARelative under the test's folder.
  std::string Place(const std::string &AFixture, const std::string &ARelative) {
    const fs::path to = FDir / ARelative;
    fs::create_directories(to.parent_path());
    fs::copy_file(AFixture, to, fs::copy_options::overwrite_existing);
    return to.string();
  }
  TCliRun Run(const std::vector<std::string> &AArgs) { return RunCli(FDir.string(), AArgs); }
  std::string At(const std::string &ARelative) const { return (FDir / ARelative).string(); }

  fs::path FDir;
};

std::string Quoted(const TCliRun &ARun) { return "exit " + std::to_string(ARun.ExitCode) + "\n" + ARun.Out + ARun.Err; }

TEST_F(Cli, Mp3ThenANumberedNameThenOverwriting) {
  Place(TestMovie(1.0), "some.mp4");
  const TCliRun first = Run({"convert", "-f", "200", "-o", "OUT", "some.mp4"});
  ASSERT_EQ(first.ExitCode, 0) << Quoted(first);
  const TMediaFacts mp3 = FactsOf(At("OUT/some.mp3"));
  ASSERT_TRUE(mp3.Loaded) << mp3.Error;
  EXPECT_EQ(mp3.Container, "mp3");
  EXPECT_EQ(mp3.AudioCodec, "mp3");
  EXPECT_EQ(mp3.AudioBitRate, 128000);
  EXPECT_EQ(mp3.SampleRate, 44100);
  EXPECT_EQ(mp3.Channels, 2);
  EXPECT_EQ(mp3.VideoCodec, "");
  EXPECT_NEAR(mp3.Seconds, 1.0, 0.1);
  // Not a terminal: plain lines, the last one for the file its verdict.
  EXPECT_NE(first.Out.find("some.mp4 -> OUT/some.mp3  100%  converted\n"), std::string::npos) << first.Out;
  EXPECT_NE(first.Out.find("1 converted, 0 not converted\n"), std::string::npos) << first.Out;
  EXPECT_EQ(first.Out.find('\x1b'), std::string::npos);

  const TCliRun second = Run({"convert", "-f", "200", "-o", "OUT", "some.mp4"});
  ASSERT_EQ(second.ExitCode, 0) << Quoted(second);
  EXPECT_TRUE(FactsOf(At("OUT/some_1.mp3")).Loaded);
  EXPECT_NE(second.Out.find("OUT/some_1.mp3  100%  converted"), std::string::npos) << second.Out;

  fs::resize_file(At("OUT/some.mp3"), 0);
  const TCliRun third = Run({"convert", "--overwrite", "-f", "200", "-o", "OUT", "some.mp4"});
  ASSERT_EQ(third.ExitCode, 0) << Quoted(third);
  EXPECT_FALSE(fs::exists(At("OUT/some_2.mp3")));
  EXPECT_NEAR(FactsOf(At("OUT/some.mp3")).Seconds, 1.0, 0.1);
}

TEST_F(Cli, AFolderOfThreeMediaFilesAndAText) {
  Place(ToneWav(1.0), "in/a.wav");
  Place(TestMovie(1.0), "in/b.avi");
  Place(TestMovie(1.0), "in/c.mp4");
  std::ofstream(At("in/notes.txt")) << "shopping list\n";
  const TCliRun run = Run({"convert", "-o", "OUT", "in"});
  EXPECT_EQ(run.ExitCode, 1) << Quoted(run); // not every file converted
  for (const char *name : {"a", "b", "c"}) {
    const TMediaFacts f = FactsOf(At(std::string("OUT/") + name + ".mp3"));
    EXPECT_TRUE(f.Loaded) << name << ": " << f.Error;
    EXPECT_EQ(f.AudioCodec, "mp3") << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(At("OUT")), fs::directory_iterator()), 3);
  EXPECT_NE(run.Out.find("notes.txt: not convertible: "), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("3 converted, 1 not converted"), std::string::npos) << run.Out;
  EXPECT_NE(run.Err.find("notes.txt: not convertible: "), std::string::npos) << run.Err;
}

TEST_F(Cli, EveryConvertFlag) {
  // MP4 (key 101): mpeg4 video and MP3 audio; each preset flag names a value
  // of the format's own lists, two files at once, and a further option
  // cutting the outputs to half a second.
  Place(TestMovie(1.0), "one.avi");
  Place(TestMovie(1.0), "two.avi");
  const TCliRun run = Run({"convert", "-f", "101", "-o", "OUT", "-j", "2", "--resolution", "352*288",
                           "--video-bitrate", "528 kbps", "--frame-rate=15.00", "--audio-bitrate", "96 kbps",
                           "--sample-rate", "22050", "--scaling", "宽屏视频16:9模式", "--ext", "t=0.5", "one.avi",
                           "two.avi"});
  ASSERT_EQ(run.ExitCode, 0) << Quoted(run);
  for (const char *name : {"OUT/one.mp4", "OUT/two.mp4"}) {
    const TMediaFacts f = FactsOf(At(name));
    ASSERT_TRUE(f.Loaded) << name << ": " << f.Error;
    EXPECT_EQ(f.Container, "mov,mp4,m4a,3gp,3g2,mj2") << name;
    EXPECT_EQ(f.VideoCodec, "mpeg4") << name;
    EXPECT_EQ(f.Width, 352) << name;
    EXPECT_EQ(f.Height, 288) << name;
    EXPECT_EQ(f.AudioCodec, "mp3") << name;
    EXPECT_EQ(f.SampleRate, 22050) << name;
    EXPECT_NEAR(f.Seconds, 0.5, 0.15) << name;
  }
}

TEST_F(Cli, RefusalsAndTheirExitCodes) {
  Place(TestMovie(1.0), "some.mp4");
  const struct {
    std::vector<std::string> Args;
    int Exit;
    const char *Message;
  } cases[] = {
      {{"convert", "-o", "OUT", "missing.mp4"}, 1, "zelvora-cli: no such file or folder: missing.mp4\n"},
      {{"convert", "-f", "999", "some.mp4"}, 2, "zelvora-cli: unknown format key 999 (zelvora-cli formats lists the keys)\n"},
      {{"convert", "-f", "abc", "some.mp4"}, 2, "zelvora-cli: -f: \"abc\" is not a number\n"},
      {{"convert", "--sample-rate", "12345", "some.mp4"}, 2,
       "zelvora-cli: --sample-rate: \"12345\" is not a value of format 200; allowed: \"11025\", \"16000\", "
       "\"22050\", \"32000\", \"44100\", \"48000\"\n"},
      {{"convert", "--speed", "2", "some.mp4"}, 2, "zelvora-cli: unknown option \"--speed\"\n"},
      {{"convert", "-o"}, 2, "zelvora-cli: -o needs a value\n"},
      {{"convert", "-j", "0", "some.mp4"}, 2, "zelvora-cli: -j: files at once must be 1 to 19\n"},
      {{"convert", "--ext", "novalue", "some.mp4"}, 2, "zelvora-cli: --ext needs NAME=VALUE, got \"novalue\"\n"},
      {{"convert"}, 2, "zelvora-cli: convert needs at least one file or folder\n"},
      {{"transcode", "some.mp4"}, 2, "zelvora-cli: unknown command \"transcode\"\n"},
      {{}, 2, "zelvora-cli: no command given (formats, probe or convert)\n"},
  };
  for (const auto &c : cases) {
    const TCliRun run = Run(c.Args);
    EXPECT_EQ(run.ExitCode, c.Exit) << c.Message;
    EXPECT_EQ(run.Err.rfind(c.Message, 0), 0u) << run.Err;
  }
  EXPECT_FALSE(fs::exists(At("OUT"))); // nothing was converted
}

TEST_F(Cli, LiveLinesOnATerminal) {
  Place(TestMovie(1.0), "some.mp4");
  const TCliRun run = RunCliOnTerminal(FDir.string(), {"convert", "-o", "OUT", "some.mp4"});
  ASSERT_EQ(run.ExitCode, 0) << run.Out;
  // The file's line is drawn, then rewritten in place (cursor up, erase).
  EXPECT_NE(run.Out.find("some.mp4 -> OUT/some.mp3  waiting"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("\x1b[1A\r\x1b[2Ksome.mp4 -> OUT/some.mp3  100%  converted\x1b[1B\r"), std::string::npos)
      << run.Out;
  EXPECT_TRUE(FactsOf(At("OUT/some.mp3")).Loaded);
}

TEST_F(Cli, FormatsProbeAndHelp) {
  const TCliRun formats = Run({"formats"});
  ASSERT_EQ(formats.ExitCode, 0);
  std::istringstream lines(formats.Out);
  std::string line;
  size_t count = 0;
  for (size_t c = 0; c < Categories().size(); ++c)
    for (const TFormat &f : FormatsOf(static_cast<int32_t>(c))) {
      ASSERT_TRUE(std::getline(lines, line));
      EXPECT_EQ(line, std::to_string(FormatKey(f.CategoryCode, f.FormatIndex)) + "\t" + Categories()[c].Caption +
                          "\t" + f.Title);
      ++count;
    }
  EXPECT_EQ(count, 165u);
  EXPECT_FALSE(std::getline(lines, line));

  const std::string tone = Place(ToneWav(1.0), "tone.wav");
  std::ofstream(At("notes.txt")) << "text\n";
  const TCliRun probe = Run({"probe", "tone.wav", "notes.txt"});
  EXPECT_EQ(probe.ExitCode, 1);
  EXPECT_EQ(probe.Out.rfind("File Name: tone.wav\nFormat Name: wav\n", 0), 0u) << probe.Out;
  EXPECT_EQ(probe.Out.find('\r'), std::string::npos);
  EXPECT_NE(probe.Err.find("notes.txt"), std::string::npos) << probe.Err;

  const TCliRun help = Run({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  for (const char *flag : {"-f,", "-o,", "-j,", "--overwrite", "--resolution", "--video-bitrate", "--frame-rate",
                           "--audio-bitrate", "--sample-rate", "--scaling", "--ext", "Exit codes"})
    EXPECT_NE(help.Out.find(flag), std::string::npos) << flag;
  EXPECT_EQ(Run({"convert", "--help"}).Out, help.Out);
}

TEST_F(Cli, WithoutAnOutputFolderItUsesTheDesktopProgramsOne) {
  const std::string settings = SettingsFilePathIn(fs::path(ZV_CLI_PATH).parent_path().string());
  if (fs::exists(settings))
    GTEST_SKIP() << "a settings file beside the program decides: " << settings;
  Place(ToneWav(1.0), "tone.wav");
  const std::string home = At("home");
  fs::create_directories(home);
  const TCliRun run = RunCli(FDir.string(), {"convert", "tone.wav"}, {"HOME=" + home});
  ASSERT_EQ(run.ExitCode, 0) << Quoted(run);
  EXPECT_TRUE(FactsOf(home + "/Zelvora视频软件/输出/tone.mp3").Loaded);
}

} // namespace
