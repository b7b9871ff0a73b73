#include "jobs/option_records.h"

#include <gtest/gtest.h>

namespace {

using TLines = std::vector<TExtOption>;

TEST(ExtOptions, LinesNamesAndValues) {
  const struct {
    const char *Text;
    TLines Lines;
  } cases[] = {
      {"a=1<CRLF>b=2", {{"a", "1"}, {"b", "2"}}},
      {"\r\n\n  vsync=1\r\nab=64000\n\n", {{"vsync", "1"}, {"ab", "64000"}}},
      {"x=1\rY=2\n\rz", {{"x", "1"}, {"Y", "2"}, {"z", ""}}},
      {"metadata=title=a=b", {{"metadata", "title=a=b"}}},
      {"a=1\n\nb= 2 ", {{"a", "1"}, {"", ""}, {"b", " 2"}}},
      {"newaudio=", {{"newaudio", ""}}},
      {"", {}},
      {" \t\r\n", {}},
      {"a=1<crlf>b", {{"a", "1<crlf>b"}}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ParseExtOptions(c.Text), c.Lines) << c.Text;
}

TEST(OptionRecords, InitRestoresDefaults) {
  TOutputOptions o;
  o.AudioBitrate = 128000;
  o.FileName = "x.mp3";
  o.Info.Title = "t";
  o.NormDefault = ntNTSC;
  InitOutputOptions(o);
  EXPECT_EQ(o.AudioBitrate, -1);
  EXPECT_TRUE(o.FileName.empty());
  EXPECT_TRUE(o.Info.Title.empty());
  EXPECT_EQ(o.Info.TimeStamp, -1.0);
  EXPECT_EQ(o.NormDefault, ntPAL);
  EXPECT_EQ(o.VideoSyncMethod, -1);
  EXPECT_EQ(o.AudioSyncMethod, 0);
  EXPECT_EQ(o.TimeLength, kTimeNotSet);
  TInputOptions i;
  i.ProgramID = 3;
  InitInputOptions(i);
  EXPECT_EQ(i.ProgramID, -1);
  EXPECT_EQ(i.TimeStart, INT64_MIN);
}

} // namespace
