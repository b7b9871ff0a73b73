// The window layer's plain pieces, without Qt: a row's output record as a
// start rebuilds it, the progress texts, the batch's progress and time left,
// and the expected size of a batch.
#include "ui/batch_progress.h"
#include "ui/output_record.h"
#include "ui/row_texts.h"

#include "platform/exceptions.h"

#include <gtest/gtest.h>

namespace {

using TColumns = std::array<std::string, 14>;

// An MP3 row as the add operation writes it.
const TColumns Mp3Row = {"", "libmp3lame", "2", "", ".mp3", "", "-1", "", "128000", "44100", "", "True", "", ""};

TEST(RefreshOutputOptions, ColumnsOverrideWhatTheyGiveAndLeaveTheRest) {
  TOutputOptions stored;
  InitOutputOptions(stored);
  stored.FileFormat = "mp3";
  stored.AudioVolume = 256;
  stored.VideoTag = "XVID";
  stored.FrameSize = "640*480";

  TOutputOptions r = stored;
  RefreshOutputOptions(r, Mp3Row);
  EXPECT_EQ(r.AudioCodec, "libmp3lame");
  EXPECT_EQ(r.AudioChannels, 2);
  EXPECT_EQ(r.FileExt, ".mp3");
  EXPECT_EQ(r.AudioBitrate, 128000);
  EXPECT_EQ(r.AudioSampleRate, 44100);
  EXPECT_EQ(r.VideoBitrate, -1);
  EXPECT_TRUE(r.DisableVideo);
  EXPECT_EQ(r.TargetType, ttIgnore);
  EXPECT_EQ(r.NormType, ntAuto);
  // Empty columns leave the stored values; an empty tag clears the stored one.
  EXPECT_EQ(r.FrameSize, "640*480");
  EXPECT_EQ(r.VideoTag, "");
  EXPECT_EQ(r.FileFormat, "mp3");
  EXPECT_EQ(r.AudioVolume, 256);

  const struct {
    int Column;
    const char *Text;
    void (*Check)(const TOutputOptions &);
  } cases[] = {
      {0, "libx264", [](const TOutputOptions &o) { EXPECT_EQ(o.VideoPreset, "libx264-default"); }},
      {0, "mpeg4", [](const TOutputOptions &o) { EXPECT_EQ(o.VideoPreset, ""); }},
      {1, "AUTO", [](const TOutputOptions &o) { EXPECT_EQ(o.AudioCodec, "aac"); }},
      {8, "-1000", [](const TOutputOptions &o) { EXPECT_EQ(o.AudioBitrate, 96000); }},
      {8, "-2000", [](const TOutputOptions &o) { EXPECT_EQ(o.AudioBitrate, 96000); }},
      {9, "AUTO", [](const TOutputOptions &o) { EXPECT_EQ(o.AudioSampleRate, 22050); }},
      {12, "dvd", [](const TOutputOptions &o) { EXPECT_EQ(o.TargetType, ttDVD); }},
      {12, "film", [](const TOutputOptions &o) { EXPECT_EQ(o.TargetType, ttIgnore); }},
      {13, "NTSC", [](const TOutputOptions &o) { EXPECT_EQ(o.NormType, ntNTSC); }},
      {11, "False", [](const TOutputOptions &o) { EXPECT_FALSE(o.DisableVideo); }},
  };
  for (const auto &c : cases) {
    TOutputOptions o = stored;
    o.AudioCodec = "aac";
    o.AudioBitrate = 96000;
    o.AudioSampleRate = 22050;
    o.VideoPreset = "kept";
    TColumns columns = Mp3Row;
    columns[static_cast<size_t>(c.Column)] = c.Text;
    RefreshOutputOptions(o, columns);
    SCOPED_TRACE(std::to_string(c.Column) + " " + c.Text);
    c.Check(o);
  }

  // x264 takes no FourCC: a tag column is dropped for it.
  TColumns x264 = Mp3Row;
  x264[0] = "libx264";
  x264[3] = "XVID";
  TOutputOptions o = stored;
  RefreshOutputOptions(o, x264);
  EXPECT_EQ(o.VideoTag, "");
  x264[0] = "mpeg4";
  RefreshOutputOptions(o, x264);
  EXPECT_EQ(o.VideoTag, "XVID");

  TColumns broken = Mp3Row;
  broken[6] = "fast";
  EXPECT_THROW(RefreshOutputOptions(o, broken), EConvertError);
}

TEST(ProgressTexts, PercentFpsTimeAndSize) {
  TProgressInfo info;
  info.CurrentDuration = 61'500'000;
  info.TotalDuration = 123'000'000;
  info.CurrentSize = 5 * 1024 * 1024;
  info.FPS = 0;
  TProgressTexts t = ProgressTextsOf(info);
  EXPECT_EQ(t.Percent, "50%");
  EXPECT_EQ(t.Fps, ""); // the column keeps its text
  EXPECT_EQ(t.Time, "00:01:01");
  EXPECT_EQ(t.Size, "5MB");
  info.FPS = 37;
  info.TotalDuration = -1;
  t = ProgressTextsOf(info);
  EXPECT_EQ(t.Percent, "N/A");
  EXPECT_EQ(t.Fps, "37");
  info.TotalDuration = 60'000'000; // longer than expected: not cut at 100
  EXPECT_EQ(ProgressTextsOf(info).Percent, "102%");
}

TEST(BatchProgress, SharesByDurationAndTimeLeftWithoutPauses) {
  TBatchProgress b;
  b.Start({10'000'000, 30'000'000}, 1000);
  EXPECT_EQ(b.Fraction(), 0);
  EXPECT_EQ(b.SecondsLeft(1500), -1);
  b.Progress(0, 5'000'000, 10'000'000);
  EXPECT_DOUBLE_EQ(b.Fraction(), 5.0 / 40);
  // Ten working seconds for an eighth: seventy more.
  EXPECT_EQ(b.SecondsLeft(11000), 70);
  // Twenty paused seconds change nothing, while paused and after.
  b.Pause(11000);
  EXPECT_TRUE(b.Paused());
  EXPECT_EQ(b.SecondsLeft(31000), 70);
  b.Resume(31000);
  EXPECT_EQ(b.WorkingMs(31000), 10000);
  EXPECT_EQ(b.SecondsLeft(31000), 70);
  b.Ended(0, true, false);
  b.Progress(1, 15'000'000, -1); // an unknown total keeps the expected one
  EXPECT_DOUBLE_EQ(b.Fraction(), 25.0 / 40);
  b.Ended(1, false, true);
  EXPECT_EQ(b.EndedCount(), 2);
  EXPECT_EQ(b.Converted(), 1);
  EXPECT_EQ(b.Failed(), 1);
  EXPECT_EQ(b.SecondsLeft(40000), 0);

  // Unknown durations weigh as much as the known ones on average.
  TBatchProgress u;
  u.Start({0, 20'000'000}, 0);
  u.Ended(0, true, false);
  EXPECT_DOUBLE_EQ(u.Fraction(), 0.5);
}

TEST(BatchProgress, ExpectedSizeFromRatesAndDuration) {
  EXPECT_EQ(SecondsOfDateText("01:02:03"), 3723);
  EXPECT_EQ(SecondsOfDateText("N/A"), 0);
  // Ten seconds of MP3 at 128 kbit/s; the video rate of an audio row does not count.
  TColumns row = Mp3Row;
  row[6] = "816000";
  EXPECT_EQ(ExpectedOutputBytes("00:00:10", row), 160000);
  row[11] = "False";
  EXPECT_EQ(ExpectedOutputBytes("00:00:10", row), 1180000);
  row[6] = "-1000"; // a target decides: unknown, nothing counted
  EXPECT_EQ(ExpectedOutputBytes("00:00:10", row), 160000);
  EXPECT_EQ(ExpectedOutputBytes("N/A", row), 0);
}

} // namespace
