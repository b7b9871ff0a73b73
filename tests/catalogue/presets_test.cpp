#include "catalogue/categories.h"
#include "catalogue/formats.h"
#include "catalogue/presets.h"
#include "platform/exceptions.h"
#include "tests/catalogue/temp_folder.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

std::vector<std::string> Texts(TPresetValues AValues) { return {AValues.begin(), AValues.end()}; }

TEST(PresetLists, FamiliesAndSizes) {
  const struct {
    TPresetKind Kind;
    std::vector<size_t> Sizes;
  } cases[] = {
      {pkResolution, {1, 28, 11, 11, 7, 12, 25, 13, 25, 27, 12, 14, 17, 19, 27, 28, 15, 18, 28, 10}},
      // The 25th list, the video CDs' one bit rate, is ours (current_libraries_test.cpp).
      {pkVideoBitrate, {1, 8, 9, 9, 15, 9, 8, 9, 11, 12, 12, 12, 12, 12, 12, 13, 9, 11, 10, 11, 11, 9, 10, 11, 1}},
      {pkFrameRate, {1, 12, 7, 4, 10, 6}},
      {pkAudioBitrate, {17, 8, 6, 5, 8}},
      {pkSampleRate, {6, 1, 4, 5, 3, 7}},
      {pkScaling, {1, 5, 2}},
  };
  for (const auto &c : cases) {
    const auto lists = PresetValueLists(c.Kind);
    ASSERT_EQ(lists.size(), c.Sizes.size()) << PresetKindInfo(c.Kind).Label;
    for (size_t i = 0; i < lists.size(); ++i)
      EXPECT_EQ(lists[i].size(), c.Sizes[i]) << PresetKindInfo(c.Kind).Label << " list " << i + 1;
  }
}

TEST(PresetLists, EntriesAsShown) {
  const auto res = PresetValueLists(pkResolution);
  EXPECT_EQ(Texts(res[0]), std::vector<std::string>{"该格式无视频"});
  EXPECT_STREQ(res[15][23], "1920*1080"); // R16 shows "1920*1200" twice
  EXPECT_STREQ(res[15][24], "1920*1200");
  EXPECT_STREQ(res[15][25], "1920*1200");
  EXPECT_STREQ(res[17][17], "3840*2160");
  EXPECT_STREQ(res[2][0], "112*96");
  EXPECT_EQ(Texts(PresetValueLists(pkVideoBitrate)[0]), std::vector<std::string>{"无视频"});
  EXPECT_STREQ(PresetValueLists(pkVideoBitrate)[4][0], "8 kbps");
  EXPECT_STREQ(PresetValueLists(pkVideoBitrate)[23][10], "3000 kbps");
  EXPECT_EQ(Texts(PresetValueLists(pkAudioBitrate)[1]),
            (std::vector<std::string>{"4.75 kbps", "5.15 kbps", "5.9 kbps", "6.7 kbps", "7.4 kbps", "7.95 kbps",
                                      "10.2 kbps", "12.2 kbps"}));
  EXPECT_EQ(Texts(PresetValueLists(pkFrameRate)[2]),
            (std::vector<std::string>{"1", "2", "3", "5", "10", "12", "15"}));
  EXPECT_EQ(Texts(PresetValueLists(pkFrameRate)[5]),
            (std::vector<std::string>{"保持原帧速率", "23.98", "24.00", "25.00", "29.97", "30.00"}));
  EXPECT_EQ(Texts(PresetValueLists(pkSampleRate)[5]),
            (std::vector<std::string>{"8000", "11025", "16000", "22050", "32000", "44100", "48000"}));
  EXPECT_EQ(Texts(PresetValueLists(pkScaling)[1]),
            (std::vector<std::string>{"保持原视频模式", "普通视频4:3模式", "宽屏视频16:9模式", "宽屏视频37:20模式",
                                      "宽屏视频47:20模式"}));
}

// Each format names one existing list per kind with a default inside it, and
// its lists say "no video" exactly when its profile has no video stream.
TEST(PresetLists, EveryFormatHasOneAssignmentConsistentWithItsProfile) {
  EXPECT_EQ(PresetAssignments().size(), AllFormats().size());
  std::set<int32_t> keys;
  for (const TPresetAssignment &a : PresetAssignments()) {
    SCOPED_TRACE(a.Key);
    EXPECT_TRUE(keys.insert(a.Key).second);
    EXPECT_TRUE(FindFormatByKey(a.Key).has_value());
    for (int32_t k = 0; k < PresetKindCount; ++k) {
      const auto kind = static_cast<TPresetKind>(k);
      const TPresetChoice choice = a.Of(kind);
      const auto lists = PresetValueLists(kind);
      ASSERT_GE(choice.List, 1) << PresetKindInfo(kind).Label;
      ASSERT_LE(choice.List, static_cast<int32_t>(lists.size())) << PresetKindInfo(kind).Label;
      EXPECT_GE(choice.Default, 0) << PresetKindInfo(kind).Label;
      EXPECT_LT(choice.Default, static_cast<int32_t>(lists[choice.List - 1].size())) << PresetKindInfo(kind).Label;
    }
    const bool anyNoVideoList = a.Resolution.List == 1 || a.VideoBitrate.List == 1 || a.FrameRate.List == 1 ||
                                a.Scaling.List == 1;
    EXPECT_EQ(anyNoVideoList, a.AudioOnly()) << "mixed video and no-video lists";
    ASSERT_NE(FindProfile(a.Key), nullptr);
    EXPECT_EQ(a.AudioOnly(), FindProfile(a.Key)->DisableVideo);
  }
  for (const TFormat &f : AllFormats())
    EXPECT_NE(FindPresetAssignment(FormatKey(f.CategoryCode, f.FormatIndex)), nullptr) << f.Title;
  EXPECT_THROW(PresetListsOf(215), Exception);
}

// The texts a format's lists show right after it is chosen, in the order
// resolution, video bit rate, audio bit rate, scaling, frame rate, sample rate.
TEST(PresetLists, DefaultsShownForAFormat) {
  const struct {
    int32_t Key;
    std::array<std::string, PresetKindCount> Shown;
    std::array<int32_t, PresetKindCount> Indexes;
  } cases[] = {
      {200, {"该格式无视频", "无视频", "128 kbps", "无视频", "无视频", "44100"}, {0, 0, 10, 0, 0, 4}},
      {212, {"该格式无视频", "无视频", "7.4 kbps", "无视频", "无视频", "8000"}, {0, 0, 4, 0, 0, 0}},
      {2900, {"该格式无视频", "无视频", "224 kbps", "无视频", "无视频", "48000"}, {0, 0, 14, 0, 0, 5}},
      {109, {"176*144", "128 kbps", "12 kbps", "保持原视频模式", "12", "8000"}, {4, 9, 5, 0, 5, 0}},
      {111, {"704*480", "1200 kbps", "128 kbps", "保持原视频模式", "29.97", "44100"}, {12, 4, 10, 0, 10, 4}},
      {411, {"640*272", "768 kbps", "128 kbps", "宽屏视频16:9模式", "25.00", "48000"}, {9, 3, 2, 2, 7, 3}},
      {504, {"1920*1080", "2000 kbps", "128 kbps", "保持原视频模式", "29.97", "48000"}, {24, 8, 2, 0, 8, 3}},
      {1305, {"保持原分辨率", "1200 kbps", "128 kbps", "保持原视频模式", "29.97", "44100"}, {0, 5, 2, 0, 4, 3}},
      {1601, {"1280*720", "1600 kbps", "128 kbps", "保持原视频模式", "29.97", "48000"}, {19, 2, 10, 0, 2, 5}},
      {3208, {"保持原分辨率", "816 kbps", "128 kbps", "保持原视频模式", "25.00", "22050"}, {0, 3, 10, 0, 9, 1}},
      {3209, {"176*144", "128 kbps", "48 kbps", "保持原视频模式", "12", "32000"}, {4, 9, 0, 0, 5, 4}},
      {3303, {"800*600", "1000 kbps", "128 kbps", "保持原视频模式", "30.00", "48000"}, {4, 4, 2, 0, 9, 3}},
      {3401, {"3840*2160", "1200 kbps", "128 kbps", "保持原视频模式", "30.00", "48000"}, {17, 5, 2, 0, 9, 3}},
      {3405, {"3840*2160", "2500 kbps", "128 kbps", "保持原视频模式", "保持原帧速率", "44100"}, {17, 6, 10, 0, 0, 4}},
      {3411, {"1920*1080", "2000 kbps", "128 kbps", "保持原视频模式", "29.97", "48000"}, {24, 8, 2, 0, 8, 3}},
  };
  for (const auto &c : cases) {
    const TPresetLists lists = PresetListsOf(c.Key);
    EXPECT_EQ(lists.ShownTexts(), c.Shown) << c.Key;
    EXPECT_EQ(lists.ItemIndexes(), c.Indexes) << c.Key;
  }
}

TEST(PresetLists, FillingDisablesTheVideoListsOfAudioFormats) {
  TCurrentProfile p;
  p.Video_DisableVideo = true;
  const TPresetLists mp3 = FillPresetLists(p, DefaultCategoryIndex, DefaultFormatIndex);
  EXPECT_EQ(p.All_Trant_Number, 200);
  EXPECT_EQ(p.RowCategoryNumber, 100);
  EXPECT_FALSE(p.Video_DisableVideo);
  for (TPresetKind k : {pkResolution, pkVideoBitrate, pkScaling, pkFrameRate}) {
    EXPECT_FALSE(mp3[k].Enabled) << PresetKindInfo(k).Label;
    EXPECT_EQ(mp3[k].Entries.size(), 1u) << PresetKindInfo(k).Label;
  }
  EXPECT_TRUE(mp3[pkAudioBitrate].Enabled);
  EXPECT_TRUE(mp3[pkSampleRate].Enabled);
  EXPECT_EQ(mp3[pkAudioBitrate].Entries.size(), 17u);

  const TPresetLists avi = FillPresetLists(p, 4, 0);
  EXPECT_EQ(p.All_Trant_Number, 100);
  EXPECT_EQ(p.RowCategoryNumber, 500);
  for (const TPresetList &l : avi.Lists)
    EXPECT_TRUE(l.Enabled);
  EXPECT_EQ(avi[pkResolution].Entries.size(), 28u);
}

TEST(PresetValues, ShownTextsParseIntoTheirFields) {
  const struct {
    TPresetKind Kind;
    const char *Shown;
    const char *Field; // as the row column shows it
  } cases[] = {
      {pkResolution, "保持原分辨率", ""},       {pkResolution, "该格式无视频", ""},
      {pkResolution, "640*480", "640*480"},     {pkFrameRate, "保持原帧速率", ""},
      {pkFrameRate, "无视频", ""},              {pkFrameRate, "29.97", "29.97"},
      {pkFrameRate, "10.00", "10.00"},          {pkFrameRate, "1", "1"},
      {pkVideoBitrate, "无视频", "-1000"},      {pkVideoBitrate, "816 kbps", "816000"},
      {pkVideoBitrate, "8 kbps", "8000"},       {pkVideoBitrate, "4000 kbps", "4000000"},
      {pkAudioBitrate, "128 kbps", "128000"},   {pkAudioBitrate, "4.75 kbps", "4750"},
      {pkAudioBitrate, "5.15 kbps", "5150"},    {pkAudioBitrate, "5.9 kbps", "5900"},
      {pkAudioBitrate, "7.95 kbps", "7950"},    {pkAudioBitrate, "10.2 kbps", "10200"},
      {pkAudioBitrate, "12.2 kbps", "12200"},   {pkSampleRate, "44100", "44100"},
      {pkScaling, "保持原视频模式", ""},        {pkScaling, "普通视频4:3模式", "4:3"},
      {pkScaling, "宽屏视频16:9模式", "16:9"},  {pkScaling, "宽屏视频37:20模式", "37:20"},
      {pkScaling, "宽屏视频47:20模式", "47:20"}, {pkScaling, "无视频", ""},
  };
  for (const auto &c : cases) {
    TCurrentProfile p;
    p.Video_FrameSize = p.Video_FrameRate = p.Video_FrameAspectRatio = p.Video_AudioSampleRate = "before";
    ApplyPresetValue(p, c.Kind, c.Shown);
    const TRowColumn column = PresetRowColumn(p, c.Kind);
    EXPECT_EQ(column.Text, c.Field) << c.Shown;
    EXPECT_EQ(column.Caption, PresetKindInfo(c.Kind).RowColumnCaption);
  }
}

// Nothing in the lists may fail to parse; bit rates come out positive.
TEST(PresetValues, EveryListedTextParses) {
  for (int32_t k = 0; k < PresetKindCount; ++k) {
    const auto kind = static_cast<TPresetKind>(k);
    for (TPresetValues list : PresetValueLists(kind))
      for (const char *text : list) {
        TCurrentProfile p;
        ASSERT_NO_THROW(ApplyPresetValue(p, kind, text)) << text;
        if (kind == pkVideoBitrate && std::string(text) != "无视频") {
          EXPECT_GT(p.Video_VideoBitrate, 0) << text;
        }
        if (kind == pkAudioBitrate) {
          EXPECT_GT(p.Video_AudioBitrate, 0) << text;
        }
      }
  }
}

TEST(PresetValues, MalformedBitRatesRaise) {
  for (const char *bad : {"abc kbps", "1.2x kbps", "1. kbps", "kbps"}) {
    TCurrentProfile p;
    EXPECT_THROW(ApplyPresetValue(p, pkAudioBitrate, bad), EConvertError) << bad;
    EXPECT_THROW(ApplyPresetValue(p, pkVideoBitrate, bad), EConvertError) << bad;
  }
}

// Adding a file right after start-up: the MP3 profile says 48000 Hz, the
// preset list shows 44100, and the shown value wins.
TEST(PresetValues, ConfirmingOverridesTheProfile) {
  TTempFolder out;
  TCurrentProfile p;
  const TPresetLists lists = FillPresetLists(p, DefaultCategoryIndex, DefaultFormatIndex);
  ApplyFormatToFile(p, "/in/song.avi", DefaultCategoryIndex, DefaultFormatIndex, lists.ShownTexts(), out.Path(),
                    false);
  EXPECT_EQ(p.Video_OutPutFileName, out.Path() + "/song.mp3");
  EXPECT_EQ(p.Video_FrameSize, "");
  EXPECT_EQ(p.Video_FrameRate, "");
  EXPECT_EQ(p.Video_VideoBitrate, -1000);
  EXPECT_EQ(p.Video_AudioBitrate, 128000);
  EXPECT_EQ(p.Video_AudioSampleRate, "44100");
  EXPECT_EQ(p.Video_FrameAspectRatio, "");
  EXPECT_EQ(p.Video_AudioCodec, "libmp3lame");
  EXPECT_TRUE(p.Video_DisableVideo);

  TCurrentProfile amr;
  ConfirmPresets(amr, PresetListsOf(212).ShownTexts());
  EXPECT_EQ(amr.Video_AudioBitrate, 7400);
  EXPECT_EQ(amr.Video_AudioSampleRate, "8000");
}

TEST(PresetKinds, ControlsLabelsAndRowColumns) {
  const struct {
    TPresetKind Kind;
    const char *Control, *Label, *Column;
    int32_t Index;
  } cases[] = {
      {pkResolution, "bsSkinComboBox1", "视频分辨率：", "视频分辨率", 16},
      {pkVideoBitrate, "bsSkinComboBox2", "视频比特率：", "视频比特率", 17},
      {pkFrameRate, "bsSkinComboBox9", "视频帧率：", "视频帧率", 18},
      {pkAudioBitrate, "bsSkinComboBox3", "音频比特率：", "音频比特率", 19},
      {pkSampleRate, "bsSkinComboBox10", "音频采样率：", "音频采样率", 20},
      {pkScaling, "bsSkinComboBox4", "视频缩放：", "视频缩放", 21},
  };
  for (const auto &c : cases) {
    const TPresetKindInfo &info = PresetKindInfo(c.Kind);
    EXPECT_STREQ(info.ControlName, c.Control);
    EXPECT_STREQ(info.Label, c.Label);
    EXPECT_STREQ(info.RowColumnCaption, c.Column);
    EXPECT_EQ(info.RowColumn, c.Index);
  }
}

TEST(ChoiceCode, TwoDigitsPerListInRowOrder) {
  EXPECT_EQ(ChoiceCode(PresetListsOf(200).ItemIndexes()), "000010000004");
  EXPECT_EQ(ChoiceCode(PresetListsOf(1601).ItemIndexes()), "190210000205");
  EXPECT_EQ(ChoiceCode({-1, 0, 0, 0, 0, 0}), "0-10000000000");
  EXPECT_EQ(ParseChoiceCode("190210000205"), (std::array<int32_t, PresetKindCount>{19, 2, 10, 0, 2, 5}));
  EXPECT_THROW(ParseChoiceCode("1902100002"), Exception);
  EXPECT_THROW(ParseChoiceCode("19021000020x"), EConvertError);
}

TEST(ChoiceCode, ReplacingOneFieldLeavesTheOthers) {
  const struct {
    TPresetKind Kind;
    int32_t Index;
    const char *Result;
  } cases[] = {
      {pkVideoBitrate, 12, "191210000205"}, {pkVideoBitrate, 3, "190310000205"},
      {pkResolution, 0, "000210000205"},    {pkSampleRate, 11, "190210000211"},
      {pkScaling, 4, "190210040205"},       {pkFrameRate, 9, "190210000905"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ReplaceChoiceCode("190210000205", c.Kind, c.Index), c.Result) << PresetKindInfo(c.Kind).Label;
  EXPECT_THROW(ReplaceChoiceCode("1902", pkAudioBitrate, 1), Exception);
}

} // namespace
