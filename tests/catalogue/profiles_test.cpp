#include "catalogue/formats.h"
#include "catalogue/profiles.h"
#include "tests/catalogue/temp_folder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>

void PrintTo(const TRowColumn &AColumn, std::ostream *AOut) {
  *AOut << AColumn.Column << " " << AColumn.Caption << " \"" << AColumn.Text << "\"";
}

namespace {

TCurrentProfile Applied(int32_t AKey, const std::string &AInput, const std::string &AFolder,
                        bool AOverwrite = false) {
  const auto pos = FindFormatByKey(AKey);
  EXPECT_TRUE(pos.has_value()) << AKey;
  TCurrentProfile p;
  p.Video_AddFileName = AInput;
  ApplyFormatProfile(p, pos->CategoryIndex, pos->FormatIndex, AFolder, AOverwrite);
  return p;
}

TEST(Profiles, EveryFormatHasExactlyOneRow) {
  EXPECT_EQ(Profiles().size(), AllFormats().size());
  std::set<int32_t> keys;
  for (const TFormatProfile &row : Profiles()) {
    EXPECT_TRUE(keys.insert(row.Key).second) << row.Key << " twice";
    const auto pos = FindFormatByKey(row.Key);
    ASSERT_TRUE(pos.has_value()) << "row " << row.Key << " names no format";
    EXPECT_EQ(row.FormatIndex, pos->FormatIndex) << row.Key;
    EXPECT_EQ(std::string(row.OutExt).front(), '.') << row.Key;
  }
  for (const TFormat &f : AllFormats())
    EXPECT_NE(FindProfile(FormatKey(f.CategoryCode, f.FormatIndex)), nullptr) << f.Title;
  EXPECT_EQ(FindProfile(215), nullptr);
}

// Applying a format gives exactly its row's cells, whatever was applied before.
TEST(Profiles, ApplyingAFormatSetsItsCells) {
  const struct {
    int32_t Key;
    const char *Out, *FileExt, *VideoCodec, *AudioCodec, *FrameSize;
    int32_t VideoBitrate;
    const char *FrameRate;
    int32_t AudioBitrate;
    const char *SampleRate, *Channels, *Aspect, *Tag, *Target, *Norm;
    bool NoVideo;
  } cases[] = {
      {200, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
      {206, ".ra", ".rm", "", "", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
      {212, ".amr", ".amr", "", "libopencore_amrnb", "", -1, "", 7400, "8000", "1", "", "", "", "", true},
      {2900, ".wma", ".wma", "", "wmav2", "", -1, "", 128000, "48000", "2", "", "", "", "", true},
      {100, ".avi", ".avi", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "XVID", "", "", false},
      {109, ".3gp", ".3gp", "mpeg4", "libfaac", "176*144", 128000, "12", 12000, "8000", "1", "4:3", "", "", "", false},
      {111, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "dvd", "PAL", false},
      {114, ".rm", "", "rv20", "", "320*240", -1, "", -1, "", "", "", "", "", "", false},
      {1601, ".avi", ".avi", "libx264", "libmp3lame", "1280*720", 1600000, "25", 256000, "48000", "2", "", "", "", "", false},
      {1700, ".mkv", ".mkv", "mpeg4", "libmp3lame", "", 816000, "25", 128000, "44100", "2", "", "", "", "", false},
      {306, ".wmv", ".asf", "wmv2", "wmav2", "1280*720", 1600000, "25", 128000, "48000", "2", "", "", "", "", false},
      {408, ".mp4", ".mp4", "libxvid", "libfaac", "640*480", 7680000, "25", 128000, "48000", "2", "", "", "", "", false},
      {409, ".mp4", ".mp4", "libx264", "libfaac", "640*480", 1200000, "25", 128000, "48000", "2", "", "", "", "", false},
      {502, ".mp4", ".mp4", "mpeg4", "libfaac", "1280*720", 1200000, "29.97", 128000, "48000", "2", "16:9", "", "", "", false},
      {512, ".avi", ".avi", "mpeg4", "libmp3lame", "1280*720", 1200000, "29.97", 128000, "44100", "2", "", "DX50", "", "", false},
      {1300, ".mp4", ".mp4", "mpeg4", "libfaac", "", 1200000, "30", 128000, "32000", "2", "", "", "", "", false},
      {1310, ".avi", ".avi", "mpeg4", "libfaac", "1280*720", 1200000, "29.97", 128000, "44100", "2", "", "DX50", "", "", false},
      {1202, ".flv", "", "", "libmp3lame", "", -1, "", 128000, "22050", "2", "", "", "", "", true},
      {1409, ".mpg", "", "", "", "", -1000, "", -1000, "", "", "", "", "svcd", "PAL", false},
      {3209, ".3gp", ".3gp", "h263", "libfaac", "176*144", 128000, "12", 48000, "32000", "2", "", "", "", "", false},
      {3302, ".mp4", ".mp4", "mpeg4", "libfaac", "", 1200000, "", 128000, "48000", "2", "16:9", "", "", "", false},
      {3312, ".mp3", ".mp3", "", "libmp3lame", "", -1, "", 128000, "44100", "2", "", "", "", "", true},
      {3400, ".avi", ".avi", "libx264", "libmp3lame", "", 1500000, "29.97", 128000, "48000", "2", "", "", "", "", false},
      {3405, ".avi", ".avi", "libxvid", "libmp3lame", "3840*2160", 2500000, "", 128000, "44100", "2", "", "", "", "", false},
      {3411, ".mp4", ".mp4", "libx264", "libfaac", "1920*1080", 2000000, "29.97", 128000, "48000", "2", "", "", "", "", false},
  };
  TTempFolder out;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Key);
    // Start from a profile full of another format's values, so a cell the
    // row leaves empty must come from the reset, not from before.
    TCurrentProfile p = Applied(109, "/in/movie.avi", out.Path());
    const auto pos = FindFormatByKey(c.Key);
    ASSERT_TRUE(pos.has_value());
    ApplyFormatProfile(p, pos->CategoryIndex, pos->FormatIndex, out.Path(), false);
    EXPECT_EQ(p.Video_OutPutFileName, out.Path() + "/movie" + c.Out);
    EXPECT_EQ(p.Video_FileExt, c.FileExt);
    EXPECT_EQ(p.Video_VideoCodec, c.VideoCodec);
    EXPECT_EQ(p.Video_AudioCodec, c.AudioCodec);
    EXPECT_EQ(p.Video_FrameSize, c.FrameSize);
    EXPECT_EQ(p.Video_VideoBitrate, c.VideoBitrate);
    EXPECT_EQ(p.Video_FrameRate, c.FrameRate);
    EXPECT_EQ(p.Video_AudioBitrate, c.AudioBitrate);
    EXPECT_EQ(p.Video_AudioSampleRate, c.SampleRate);
    EXPECT_EQ(p.Video_AudioChannels, c.Channels);
    EXPECT_EQ(p.Video_FrameAspectRatio, c.Aspect);
    EXPECT_EQ(p.Video_VideoTag, c.Tag);
    EXPECT_EQ(p.Video_TargetType, c.Target);
    EXPECT_EQ(p.Video_NormType, c.Norm);
    EXPECT_EQ(p.Video_DisableVideo, c.NoVideo);
    EXPECT_EQ(p.Video_AudioVolume, "256");
    EXPECT_EQ(p.Video_VideoFilters, "");
    EXPECT_EQ(p.Video_FileFormat, "");
    EXPECT_EQ(p.Video_CopyTimestamp, "");
    EXPECT_EQ(p.Video_TimeStart, -1);
    EXPECT_EQ(p.Video_TimeLength, -1);
    EXPECT_EQ(p.Video_AddFileName, "/in/movie.avi");
    EXPECT_EQ(p.All_Trant_Number, c.Key);
  }
}

TEST(Profiles, ApplyingRecordsTheSelection) {
  TTempFolder out;
  TCurrentProfile p = Applied(200, "/in/song.avi", out.Path());
  EXPECT_EQ(p.All_Trant_Number, 200);
  EXPECT_EQ(p.CategoryCode, 1);
  EXPECT_EQ(p.RowCategoryNumber, 100);
  p = Applied(3411, "/in/song.avi", out.Path());
  EXPECT_EQ(p.All_Trant_Number, 3411);
  EXPECT_EQ(p.CategoryCode, 33);
  EXPECT_EQ(p.RowCategoryNumber, 1711);
}

TEST(Profiles, OutputNameFollowsTheInputAndTheDisk) {
  TTempFolder out;
  EXPECT_EQ(Applied(200, "/in/song.avi", out.Path()).Video_OutPutFileName, out.Path() + "/song.mp3");
  EXPECT_EQ(Applied(100, "/in/clip", out.Path()).Video_OutPutFileName, out.Path() + "/clip.avi");
  EXPECT_EQ(Applied(111, "/in/clip.mkv", out.Path()).Video_OutPutFileName, out.Path() + "/clip.mpg");
  out.AddFile("song.mp3");
  out.AddFile("song_1.mp3");
  EXPECT_EQ(Applied(200, "/in/song.avi", out.Path()).Video_OutPutFileName, out.Path() + "/song_2.mp3");
  EXPECT_EQ(Applied(200, "/in/song.avi", out.Path(), true).Video_OutPutFileName, out.Path() + "/song.mp3");
}

TEST(Profiles, ResetKeepsTheInputAndTheSelection) {
  TCurrentProfile p;
  p.Video_OutPutFileName = p.Video_FileExt = p.Video_AudioChannels = p.Video_AudioSampleRate = "x";
  p.Video_FrameSize = p.Video_FrameRate = p.Video_NormType = p.Video_VideoFilters = "x";
  p.Video_AudioVolume = p.Video_FrameAspectRatio = p.Video_VideoCodec = p.Video_AudioCodec = "x";
  p.Video_CopyTimestamp = p.Video_FileFormat = p.Video_TargetType = p.Video_VideoTag = "x";
  p.Video_VideoBitrate = p.Video_AudioBitrate = p.Video_TimeStart = p.Video_TimeLength = 7;
  p.Video_DisableVideo = true;
  p.Video_AddFileName = "/in/a.avi";
  p.All_Trant_Number = 3003;
  p.CategoryCode = 29;
  p.RowCategoryNumber = 203;

  ResetProfile(p);

  TCurrentProfile expected;
  expected.Video_AddFileName = "/in/a.avi";
  expected.All_Trant_Number = 3003;
  expected.CategoryCode = 29;
  expected.RowCategoryNumber = 203;
  EXPECT_EQ(ProfileRowColumns(p), ProfileRowColumns(expected));
  EXPECT_EQ(p.Video_OutPutFileName, "");
  EXPECT_EQ(p.Video_AudioVolume, "256");
  EXPECT_EQ(p.Video_VideoFilters, "");
  EXPECT_EQ(p.Video_CopyTimestamp, "");
  EXPECT_EQ(p.Video_FileFormat, "");
  EXPECT_EQ(p.Video_VideoBitrate, -1);
  EXPECT_EQ(p.Video_AudioBitrate, -1);
  EXPECT_EQ(p.Video_TimeStart, -1);
  EXPECT_EQ(p.Video_TimeLength, -1);
  EXPECT_FALSE(p.Video_DisableVideo);
  EXPECT_EQ(p.Video_AddFileName, "/in/a.avi");
  EXPECT_EQ(p.All_Trant_Number, 3003);
  EXPECT_EQ(p.CategoryCode, 29);
  EXPECT_EQ(p.RowCategoryNumber, 203);
}

TEST(Profiles, RowColumnsInWritingOrder) {
  TTempFolder out;
  const std::array<TRowColumn, 14> mp3 = {{
      {11, "视频编码", ""},  {12, "音频编码", "libmp3lame"}, {13, "声音频道", "2"},    {14, "VideoTag", ""},
      {15, "FileExt", ".mp3"}, {16, "视频分辨率", ""},       {17, "视频比特率", "-1"}, {18, "视频帧率", ""},
      {19, "音频比特率", "128000"}, {20, "音频采样率", "48000"}, {21, "视频缩放", ""},  {22, "视频能否", "True"},
      {23, "TargetType", ""}, {24, "NormType", ""},
  }};
  EXPECT_EQ(ProfileRowColumns(Applied(200, "/in/song.avi", out.Path())), mp3);
  const std::array<TRowColumn, 14> dvd = {{
      {11, "视频编码", ""},  {12, "音频编码", ""},     {13, "声音频道", ""},       {14, "VideoTag", ""},
      {15, "FileExt", ""},   {16, "视频分辨率", ""},   {17, "视频比特率", "-1000"}, {18, "视频帧率", ""},
      {19, "音频比特率", "-1000"}, {20, "音频采样率", ""}, {21, "视频缩放", ""},   {22, "视频能否", "False"},
      {23, "TargetType", "dvd"}, {24, "NormType", "PAL"},
  }};
  EXPECT_EQ(ProfileRowColumns(Applied(111, "/in/film.avi", out.Path())), dvd);
}

} // namespace
