#include "catalogue/categories.h"
#include "catalogue/formats.h"
#include "catalogue/profiles.h"
#include "platform/exceptions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(Categories, ListOrderCaptionsImagesAndCodes) {
  ASSERT_EQ(Categories().size(), 17u);
  const struct {
    int32_t Index;
    const char *Caption;
    int32_t Image, Code, Formats;
  } cases[] = {
      {0, "通用音频", 1, 1, 13},    {1, "MP3音频", 52, 29, 4},  {3, "WMA音频", 49, 28, 4},
      {4, "经典视频", 40, 0, 15},   {7, "HD视频", 2, 2, 10},    {10, "iPad视频", 15, 12, 11},
      {13, "MPG视频", 18, 13, 11},  {14, "智能手机", 41, 31, 16}, {16, "智能电视", 43, 33, 12},
  };
  for (const auto &c : cases) {
    const TCategory &cat = CategoryAt(c.Index);
    EXPECT_STREQ(cat.Caption, c.Caption) << c.Index;
    EXPECT_EQ(cat.ImageIndex, c.Image) << c.Index;
    EXPECT_EQ(cat.Code, c.Code) << c.Index;
    EXPECT_EQ(cat.FormatCount, c.Formats) << c.Index;
    EXPECT_EQ(CategoryIndexOfCode(c.Code), c.Index);
  }
  EXPECT_EQ(CategoryIndexOfCode(5), -1);
  EXPECT_THROW(CategoryAt(-1), Exception);
  EXPECT_THROW(CategoryAt(17), Exception);
}

// The format table and the category table are written separately; they must
// agree on every category's size, and every format must sit in its category
// at its own position, so a dropped or misplaced line shows here.
TEST(Formats, EveryCategoryHoldsItsFormatsInOrder) {
  std::set<int32_t> codes;
  size_t total = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(Categories().size()); ++i) {
    const TCategory &cat = CategoryAt(i);
    EXPECT_TRUE(codes.insert(cat.Code).second) << "code " << cat.Code << " twice";
    const auto formats = FormatsOf(i);
    EXPECT_EQ(static_cast<int32_t>(formats.size()), cat.FormatCount) << cat.Caption;
    for (int32_t f = 0; f < static_cast<int32_t>(formats.size()); ++f) {
      EXPECT_EQ(formats[f].CategoryCode, cat.Code) << cat.Caption << " " << f;
      EXPECT_EQ(formats[f].FormatIndex, f) << cat.Caption << " " << formats[f].Title;
    }
    total += formats.size();
  }
  EXPECT_EQ(AllFormats().size(), 165u);
  EXPECT_EQ(total, 165u) << "some format names a category code that does not exist";
}

TEST(Formats, KeysAreUniqueAndLeadBackToTheirPosition) {
  std::set<int32_t> keys;
  for (const TFormat &f : AllFormats()) {
    const int32_t key = FormatKey(f.CategoryCode, f.FormatIndex);
    EXPECT_TRUE(keys.insert(key).second) << key << " twice";
    const auto pos = FindFormatByKey(key);
    ASSERT_TRUE(pos.has_value()) << key;
    EXPECT_EQ(pos->CategoryIndex, CategoryIndexOfCode(f.CategoryCode));
    EXPECT_EQ(pos->FormatIndex, f.FormatIndex);
    EXPECT_EQ(FormatKeyAt(pos->CategoryIndex, pos->FormatIndex), key);
  }
  for (int32_t missing : {0, 99, 115, 213, 3412, 3500})
    EXPECT_FALSE(FindFormatByKey(missing).has_value()) << missing;
}

// First, middle and last format of every category: title, format key and row
// category number.
TEST(Formats, TitlesAndKeysAcrossTheCatalogue) {
  const struct {
    int32_t Category, Format, Key, RowNumber;
    const char *Title;
  } cases[] = {
      {0, 0, 200, 100, "MP3 - MPEG Layer-3音频格式(*.mp3)"},
      {0, 6, 206, 106, "RA - RealAudio音频格式(*.ra)"},
      {0, 12, 212, 112, "AMR-手机音频格式(*.amr)"},
      {1, 0, 3000, 200, "高清晰MP3音频格式(*.mp3)"},
      {1, 2, 3002, 202, "优化MP3音频格式(*.mp3)"},
      {1, 3, 3003, 203, "标准MP3音频格式(*.mp3)"},
      {2, 0, 3100, 300, "高清晰WAV音频格式(*.wav)"},
      {2, 2, 3102, 302, "优化WAV音频格式(*.wav)"},
      {2, 3, 3103, 303, "标准WAV音频格式(*.wav)"},
      {3, 0, 2900, 400, "高清晰WMA音频格式(*.wma)"},
      {3, 2, 2902, 402, "优化WMA音频格式(*.wma)"},
      {3, 3, 2903, 403, "标准WMA音频格式(*.wma)"},
      {4, 0, 100, 500, "AVI - 音频视频交错格式(*.avi)"},
      {4, 7, 107, 507, "MPEG-2视频格式(*.mpg)"},
      {4, 14, 114, 514, "RM - REAL视频格式(*.rm)"},
      {5, 0, 1600, 600, "AVI标准视频(*.avi)"},
      {5, 3, 1603, 603, "电脑上常用的AVI视频(*.avi)"},
      {5, 6, 1606, 606, "高清的HD AVI视频(*.avi)"},
      {6, 0, 1700, 700, "MKV标准视频(*.mkv)"},
      {6, 3, 1703, 703, "电脑上常用的MKV标准视频(*.mkv)"},
      {6, 6, 1706, 706, "高清的HD MKV视频(*.mkv)"},
      {7, 0, 300, 800, "高清AVI视频格式(*.avi)"},
      {7, 5, 305, 805, "高清ASF视频格式(*.asf)"},
      {7, 9, 309, 809, "高清MKV视频格式(*.mkv)"},
      {8, 0, 400, 900, "iPod (320X240) 高清晰视频(*.mp4)"},
      {8, 7, 407, 907, "iPod touch MPEG-4视频(*.mp4)"},
      {8, 13, 413, 913, "iPod touch MPEG-4 (480X320)视频(*.mp4)"},
      {9, 0, 500, 1000, "标准iPhone MPEG-4视频(*.mp4)"},
      {9, 7, 507, 1007, "iPhone MPEG-4视频(320X240)(*.mp4)"},
      {9, 14, 514, 1014, "iPhone 高清WMV视频(*.wmv)"},
      {10, 0, 1300, 1100, "iPad标准视频格式(*.mp4)"},
      {10, 2, 1302, 1102, "iPad MPEG-4视频格式 XviD编码 (*.mp4)"},
      {10, 5, 1305, 1105, "iPad 优化视频方案2(*.mp4)"},
      {10, 10, 1310, 1110, "iPad 高清AVI视频(*.avi)"},
      {11, 0, 1200, 1200, "FLV在线网络视频(*.flv)"},
      {11, 2, 1202, 1202, "FLV在线网络音频格式(*.flv)"},
      {11, 3, 1203, 1203, "SWF动画视频FLASH动画音频格式(*.swf)"},
      {12, 0, 1100, 1300, "MP4机播放的MP4视频格式(*.mp4)"},
      {12, 2, 1102, 1302, "MPEG-4视频高清晰视频(*.mp4)"},
      {12, 4, 1104, 1304, "MP4 H264编码视频(*.mp4)"},
      {13, 0, 1400, 1400, "MPG标准视频(*.mpg)"},
      {13, 5, 1405, 1405, "MPEG-4高清HD视频(*.mp4)"},
      {13, 10, 1410, 1410, "VCD格式清晰视频(*.mpg)"},
      {14, 0, 3200, 1500, "智能手机标准MP4视频(*.mp4)"},
      {14, 8, 3208, 1508, "FLV网络格式视频(*.flv)"},
      {14, 15, 3215, 1515, "手机MP3格式音频(*.mp3)"},
      {15, 0, 3300, 1600, "高清AVI格式视频(*.avi)"},
      {15, 6, 3306, 1606, "安卓平板电脑MPEG-2视频(*.mpg)"},
      {15, 12, 3312, 1612, "平板电脑MP3音频(*.mp3)"},
      {16, 0, 3400, 1700, "智能电视高清MP4视频(*.mp4)"},
      {16, 6, 3406, 1706, "智能电视适用的MKV视频(*.mkv)"},
      {16, 11, 3411, 1711, "MPEG-4超高清视频(*.mp4)"},
  };
  for (const auto &c : cases) {
    EXPECT_STREQ(FormatAt(c.Category, c.Format).Title, c.Title);
    EXPECT_EQ(FormatKeyAt(c.Category, c.Format), c.Key) << c.Title;
    EXPECT_EQ(RowCategoryNumber(c.Category, c.Format), c.RowNumber) << c.Title;
    EXPECT_EQ(SplitRowCategoryNumber(c.RowNumber), (TFormatPosition{c.Category, c.Format})) << c.Title;
  }
  for (int32_t f = 0; f < 12; ++f) {
    EXPECT_EQ(FormatKeyAt(16, f), 3400 + f);
    EXPECT_EQ(RowCategoryNumber(16, f), 1700 + f);
  }
  EXPECT_THROW(FormatAt(0, 13), Exception);
  EXPECT_THROW(FormatAt(4, -1), Exception);
}

TEST(Formats, StartUpShowsGeneralAudioWithMp3Selected) {
  const auto items = FormatListOf(DefaultCategoryIndex);
  EXPECT_STREQ(CategoryAt(DefaultCategoryIndex).Caption, "通用音频");
  ASSERT_EQ(items.size(), 13u);
  EXPECT_STREQ(items[DefaultFormatIndex].Title, "MP3 - MPEG Layer-3音频格式(*.mp3)");
  EXPECT_EQ(FormatKeyAt(DefaultCategoryIndex, DefaultFormatIndex), 200);
  EXPECT_EQ(RowCategoryNumber(DefaultCategoryIndex, DefaultFormatIndex), 100);
}

TEST(Formats, ListItemsAlternateTheTwoImages) {
  const auto items = FormatListOf(14);
  ASSERT_EQ(items.size(), 16u);
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].ImageIndex, static_cast<int32_t>(i % 2)) << i;
    EXPECT_FALSE(items[i].Header);
    EXPECT_TRUE(items[i].Enabled);
  }
  EXPECT_STREQ(items[15].Description, "适合手机播放的MP3音频格式，可以用作铃声和音乐");
}

TEST(Formats, GeneralAudioDescriptionsAsTheProductShowsThem) {
  const char *expected[] = {
      "最流行的音频格式,具有体积小,音质高的特点,几乎成为网上音乐的代名词",
      "微软公司推出的与MP3格式齐名的一种新的音频格式",
      "WAV为微软公司开发的波形声音文件格式",
      "高级声音数据设计的文件压缩格式,与Mp3类似,苹果公司的ipod,iPhone支持的音频格式",
      "M4A是MPEG4音频标准的文件,几乎所有支持MPEG4音频的软件都支持m4a音频",
      "OGG是一种常见的格式，在音乐软件、游戏音效、便携播放器、网络浏览器上都得到广泛支持",
      "RealNetworks制定的流媒体音频格式,便于网络传输的音频格式",
      "杜比数字AC-3是杜比公司开发的新一代家庭影院多声道数字音频系统。",
      "AIFF是音频交换文件格式是Apple公司开发的声音文件格式,广泛应用于各种专业的音频软件中",
      "MPEG Layer-2音频格式，具有CD级别的音质",
      "FLAC是一套著名的无损压缩编码,所以还原CD音乐光盘音质",
      "MP4音频格式,具有完美的CD音质",
      "AMR是流行的手机数字音乐文件格式之一",
  };
  const auto formats = FormatsOf(0);
  ASSERT_EQ(formats.size(), std::size(expected));
  for (size_t i = 0; i < formats.size(); ++i)
    EXPECT_STREQ(formats[i].Description, expected[i]) << i;
}

// HD formats 0 and 1 are the one pair with equal titles; only their second
// lines tell them apart. Elsewhere two equal lines would be a copying slip.
TEST(Formats, LinesAreDistinctWithinACategoryExceptTheHdAviPair) {
  EXPECT_STREQ(FormatAt(7, 0).Title, FormatAt(7, 1).Title);
  EXPECT_STREQ(FormatAt(7, 0).Description, "高清晰AVI视频格式(DivX视频编码)");
  EXPECT_STREQ(FormatAt(7, 1).Description, "高清晰AVI视频格式(XviD视频编码)");
  for (int32_t i = 0; i < 17; ++i) {
    std::set<std::string> titles, descriptions;
    for (const TFormat &f : FormatsOf(i)) {
      EXPECT_NE(std::string(f.Description), "") << f.Title;
      EXPECT_TRUE(descriptions.insert(f.Description).second) << f.Description;
      if (!(i == 7 && f.FormatIndex == 1)) {
        EXPECT_TRUE(titles.insert(f.Title).second) << f.Title;
      }
    }
  }
}

TEST(Formats, OutputExtensionComesFromTheFinalPattern) {
  const struct {
    const char *Title, *Ext;
  } cases[] = {
      {"MP3 - MPEG Layer-3音频格式(*.mp3)", ".mp3"},
      {"FLAC-音频格式(*.flac)", ".flac"},
      {"iPod (320X240) 高清晰视频(*.mp4)", ".mp4"},
      {"iPhone MPEG-4视频(320X240)(*.mp4)", ".mp4"},
      {"iPad MPEG-4视频格式 XviD编码 (*.mp4)", ".mp4"},
      {"no pattern", ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(OutputExtensionOfTitle(c.Title), c.Ext) << c.Title;
}

// Every title names the extension its output gets, except the two formats
// that write ".avi" under a ".mp4" title.
TEST(Formats, TitlePatternMatchesTheProfileExtension) {
  for (const TFormat &f : AllFormats()) {
    const int32_t key = FormatKey(f.CategoryCode, f.FormatIndex);
    const std::string title = f.Title;
    ASSERT_EQ(title.back(), ')') << title;
    const TFormatProfile *profile = FindProfile(key);
    ASSERT_NE(profile, nullptr) << key;
    const std::string expected = key == 3200 || key == 3400 ? ".mp4" : profile->OutExt;
    EXPECT_EQ(OutputExtensionOfTitle(title), expected) << key << " " << title;
  }
  EXPECT_STREQ(FindProfile(3200)->OutExt, ".avi");
  EXPECT_STREQ(FindProfile(3400)->OutExt, ".avi");
}

} // namespace
