// Rows changed from the product's tables so that every format converts with
// today's libraries: the MPEG program streams that no longer take AAC, and
// the video CD formats whose bit rate list offered only values the VCD
// target's fixed rate refuses. What the user then gets when adding a file.
#include "catalogue/formats.h"
#include "catalogue/presets.h"
#include "tests/catalogue/temp_folder.h"

#include <gtest/gtest.h>

namespace {

TCurrentProfile AddedWithDefaults(int32_t AKey, const std::string &AFolder) {
  const auto pos = FindFormatByKey(AKey);
  EXPECT_TRUE(pos.has_value()) << AKey;
  TCurrentProfile p;
  ApplyFormatToFile(p, "/in/movie.avi", pos->CategoryIndex, pos->FormatIndex, PresetListsOf(AKey).ShownTexts(),
                    AFolder, false);
  return p;
}

TEST(CurrentLibraries, ProgramStreamsCarryMp2Audio) {
  TTempFolder out;
  const struct {
    int32_t Key;
    const char *Video;
    const char *Out;
  } rows[] = {{307, "", "/movie.vob"}, {308, "mpeg2video", "/movie.mpg"}, {1404, "mpeg2video", "/movie.mpg"}};
  for (const auto &r : rows) {
    const TCurrentProfile p = AddedWithDefaults(r.Key, out.Path());
    EXPECT_EQ(p.Video_AudioCodec, "mp2") << r.Key;
    EXPECT_EQ(p.Video_VideoCodec, r.Video) << r.Key;
    EXPECT_EQ(p.Video_OutPutFileName, out.Path() + r.Out) << r.Key;
  }
}

TEST(CurrentLibraries, VideoCdsOfferOnlyTheStandardsBitRate) {
  TTempFolder out;
  for (int32_t key : {113, 1410}) {
    const TPresetLists lists = PresetListsOf(key);
    ASSERT_EQ(lists[pkVideoBitrate].Entries.size(), 1u) << key;
    EXPECT_STREQ(lists[pkVideoBitrate].Entries[0], "1150 kbps") << key;
    EXPECT_TRUE(lists[pkVideoBitrate].Enabled) << key;
    const TCurrentProfile p = AddedWithDefaults(key, out.Path());
    EXPECT_EQ(p.Video_VideoBitrate, 1150000) << key;
    EXPECT_EQ(p.Video_TargetType, "vcd") << key;
  }
  // The other discs keep their lists: their targets only cap the rate.
  for (int32_t key : {111, 112, 1408, 1409})
    EXPECT_GT(PresetListsOf(key)[pkVideoBitrate].Entries.size(), 1u) << key;
}

} // namespace
