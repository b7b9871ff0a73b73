#include "catalogue/output_name.h"
#include "tests/catalogue/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(OutputName, ProposalTakesTheNamePartAndTheFormatsExtension) {
  const struct {
    const char *Input, *Ext, *Name;
  } cases[] = {
      {"/in/song.avi", ".mp3", "song.mp3"},
      {"/in/clip", ".avi", "clip.avi"},           // no extension: appended
      {"/in.d/clip", ".avi", "clip.avi"},         // a dot in a folder is not an extension
      {"/in/a.b.c", ".mp3", "a.b.mp3"},           // only the last dot counts
      {"/in/视频 1.rmvb", ".mp4", "视频 1.mp4"},
      {"song.wav", ".ogg", "song.ogg"},           // no folder at all
  };
  for (const auto &c : cases)
    EXPECT_EQ(ProposedOutputName("/out", c.Input, c.Ext), std::string("/out/") + c.Name) << c.Input;
  EXPECT_EQ(FileExtPart("/a.b/c"), "");
  EXPECT_EQ(FileNamePart("/a/b.c"), "b.c");
}

TEST(OutputName, ExistingFilesGetTheFirstFreeNumber) {
  const struct {
    std::vector<std::string> Existing;
    bool Overwrite;
    const char *Chosen;
  } cases[] = {
      {{}, false, "song.mp3"},
      {{"song.mp3"}, false, "song_1.mp3"},
      {{"song.mp3", "song_1.mp3"}, false, "song_2.mp3"},
      {{"song.mp3", "song_2.mp3"}, false, "song_1.mp3"}, // the first gap, not after the highest
      {{"song.mp3", "song_1.mp3"}, true, "song.mp3"},
      {{"song.wav", "song"}, false, "song.mp3"}, // other extensions do not block
  };
  for (const auto &c : cases) {
    TTempFolder out;
    for (const auto &name : c.Existing)
      out.AddFile(name);
    EXPECT_EQ(UniqueOutputName(out.Path(), out.Path() + "/song.mp3", c.Overwrite), out.Path() + "/" + c.Chosen)
        << testing::PrintToString(c.Existing) << " overwrite " << c.Overwrite;
  }
}

TEST(OutputName, OnlyPlainFilesTakeAName) {
  TTempFolder out;
  out.AddFolder("song.mp3");
  EXPECT_EQ(UniqueOutputName(out.Path(), out.Path() + "/song.mp3", false), out.Path() + "/song.mp3");
  out.AddFile("song_1.mp3");
  out.AddFile("clip");
  EXPECT_EQ(UniqueOutputName(out.Path(), out.Path() + "/clip", false), out.Path() + "/clip_1");
}

// The name is rebuilt in the given folder; a proposal with no name leaves the
// folder and its separator.
TEST(OutputName, ResultLivesInTheGivenFolder) {
  TTempFolder out;
  EXPECT_EQ(UniqueOutputName(out.Path(), "/elsewhere/song.mp3", false), out.Path() + "/song.mp3");
  EXPECT_EQ(UniqueOutputName(out.Path(), "", false), out.Path() + "/");
}

TEST(OutputName, RenameExtensionFromTheTitlesLastCharacters) {
  const struct {
    const char *Title, *Ext;
  } cases[] = {
      {"MP3 - MPEG Layer-3音频格式(*.mp3)", ".mp3"}, {"FLAC-音频格式(*.flac)", ".flac"},
      {"AIFF - 音频交换文件格式(*.aiff)", ".aiff"},  {"RA - RealAudio音频格式(*.ra)", ".ra"},
      {"RM - REAL视频格式(*.rm)", ".rm"},            {"手机3GP视频(*.3gp)", ".3gp"},
      {"x(*.mpeg)", ".mpeg"},                         {"x(*.alac))", ".alac"},
      {"(*.a", ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(RenameExtensionOfTitle(c.Title), c.Ext) << c.Title;
}

} // namespace
