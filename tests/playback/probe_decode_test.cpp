// Seeking and decoding single pictures: the movie fixture has 50 pictures at
// 25 fps with a key frame every 12 (0, 12, 24, 36, 48), so every position is
// a known time.
#include "platform/exceptions.h"
#include "tests/playback/probe_test_support.h"
#include "tests/support/fixtures.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kFrame = 40000; // µs per picture at 25 fps

// Positions the probe on picture AIndex by decoding from the start.
void GoTo(TAVProbe &AProbe, int AIndex) {
  ASSERT_TRUE(AProbe.Seek(0)) << AProbe.LastErrMsg();
  for (int i = 0; i <= AIndex; ++i)
    ASSERT_TRUE(AProbe.Decode()) << AProbe.LastErrMsg();
  ASSERT_EQ(AProbe.FrameInfo().PTS, AIndex * kFrame);
}

TEST_F(ProbeTest, FirstPicturesCarryTheirTypeAndTimes) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(TestMovie(2.0))) << probe.LastErrMsg();
  ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
  const TFrameInfo first = probe.FrameInfo();
  EXPECT_TRUE(first.Ready);
  EXPECT_EQ(first.PTS, 0);
  EXPECT_TRUE(first.IsKeyFrame);
  EXPECT_EQ(first.PictureType, ptI);
  EXPECT_EQ(first.Width, 320);
  EXPECT_EQ(first.Height, 240);
  EXPECT_EQ(first.PixFmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(first.StreamIndex, 0);
  EXPECT_EQ(first.OriginalDTS, 0);
  EXPECT_EQ(first.Size, 320 * 240 * 3 / 2);
  EXPECT_GT(first.Position, 0);
  EXPECT_EQ(first.Picture.Data[0], first.Buffer);

  ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
  const TFrameInfo second = probe.FrameInfo();
  EXPECT_EQ(second.PTS, kFrame);
  EXPECT_FALSE(second.IsKeyFrame);
  EXPECT_EQ(second.PictureType, ptP);
  EXPECT_EQ(second.OriginalDTS, 1);
  EXPECT_GE(second.Position, first.Position);
  EXPECT_EQ(second.Buffer, first.Buffer); // same size: the memory is reused
}

TEST_F(ProbeTest, FrameStepsFollowTheKeyFrames) {
  enum TOp { opNext, opNextKey, opPrevious, opPreviousKey };
  const struct {
    int From;
    TOp Op;
    int To;
  } cases[] = {
      {0, opNext, 1},          {1, opNextKey, 12},      {11, opNextKey, 12},     {12, opNextKey, 24},
      {14, opPrevious, 13},    {12, opPrevious, 11},    {1, opPrevious, 0},      {0, opPrevious, 0},
      {25, opPrevious, 24},    {13, opPreviousKey, 12}, {12, opPreviousKey, 0},  {30, opPreviousKey, 24},
      {49, opPreviousKey, 48}, {0, opPreviousKey, 0},
  };
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(TestMovie(2.0))) << probe.LastErrMsg();
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "from " << c.From << " op " << c.Op);
    GoTo(probe, c.From);
    bool ok = false;
    switch (c.Op) {
    case opNext:
      ok = probe.Decode();
      break;
    case opNextKey:
      ok = probe.DecodeNextKeyFrame();
      break;
    case opPrevious:
      ok = probe.DecodePreviousFrame();
      break;
    case opPreviousKey:
      ok = probe.DecodePreviousKeyFrame();
      break;
    }
    ASSERT_TRUE(ok) << probe.LastErrMsg();
    EXPECT_EQ(probe.FrameInfo().PTS, c.To * kFrame);
    EXPECT_EQ(probe.FrameInfo().IsKeyFrame, c.To % 12 == 0);
  }
}

TEST_F(ProbeTest, NoKeyFrameAfterTheLast) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(TestMovie(2.0))) << probe.LastErrMsg();
  GoTo(probe, 48);
  EXPECT_FALSE(probe.DecodeNextKeyFrame());
  EXPECT_EQ(probe.LastErrMsg(), "could not seek to position 1.960 seconds");
  EXPECT_FALSE(probe.FrameInfo().Ready);
}

TEST_F(ProbeTest, SeekLandsOnKeyFrames) {
  const struct {
    int64_t To;
    TSeekFlags Flags;
    int64_t FirstPTS;
  } cases[] = {
      {1000000, 0, 36 * kFrame},                           // forward: the next key frame
      {1000000, SeekFlag(sfBackward), 24 * kFrame},        // backward: the one before
      {480000, 0, 12 * kFrame},                            // on a key frame
      {0, 0, 0},                                           // 0 goes back to the start
      {-5, 0, 0},
  };
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(TestMovie(2.0))) << probe.LastErrMsg();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.To);
    GoTo(probe, 40); // seeking back to the start must really move
    ASSERT_TRUE(probe.Seek(c.To, c.Flags)) << probe.LastErrMsg();
    EXPECT_TRUE(std::regex_match(probe.LastErrMsg(), std::regex("seek to position [0-9]+ bytes")))
        << probe.LastErrMsg();
    EXPECT_FALSE(probe.FrameInfo().Ready);
    ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
    EXPECT_EQ(probe.FrameInfo().PTS, c.FirstPTS);
    EXPECT_TRUE(probe.FrameInfo().IsKeyFrame);
  }
}

TEST_F(ProbeTest, EndOfStreamStopsDecodingUntilASeek) {
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(TestMovie(2.0))) << probe.LastErrMsg();
  int pictures = 0;
  while (probe.Decode())
    ++pictures;
  EXPECT_EQ(pictures, 50);
  EXPECT_TRUE(probe.Eof());
  EXPECT_EQ(probe.LastErrMsg(), "stream eof reached.");
  Lines.clear();
  EXPECT_FALSE(probe.Decode());
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_EQ(Lines[0].Msg, "stream eof reached.");
  EXPECT_EQ(Lines[0].Level, llInfo);
  ASSERT_TRUE(probe.Seek(0));
  EXPECT_FALSE(probe.Eof());
  ASSERT_TRUE(probe.Decode());
  EXPECT_EQ(probe.FrameInfo().PTS, 0);
}

// An image decodes once; later decodes give the same picture, and it cannot
// be sought.
TEST_F(ProbeTest, ImageDecodesOnceAndRefusesSeeking) {
  const std::string still = Fixture({.Name = "probe_still.jpg",
                                     .Video = "testsrc=size=64x48:rate=25:duration=0.04",
                                     .Audio = "",
                                     .VideoCodec = "",
                                     .AudioCodec = ""});
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(still, "image2")) << probe.LastErrMsg();
  EXPECT_EQ(probe.FormatName(), "image2");
  EXPECT_EQ(probe.ForceFormat(), "image2");
  ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
  const TFrameInfo first = probe.FrameInfo();
  ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
  EXPECT_EQ(probe.FrameInfo().Buffer, first.Buffer);
  EXPECT_EQ(probe.FrameInfo().PTS, first.PTS);
  EXPECT_EQ(probe.FrameInfo().Width, 64);
  Lines.clear();
  EXPECT_FALSE(probe.Seek(0));
  EXPECT_EQ(probe.LastErrMsg(), "\"image2\" format cannot to be seeked.");
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_EQ(Lines[0].Level, llInfo);
  probe.CloseFile();
  EXPECT_EQ(probe.ForceFormat(), "");
}

// A stream cut in the middle of a group of pictures: its first decodable
// picture lies after the stream's start, so no earlier key frame exists and
// the search has to end rather than seek back forever.
TEST_F(ProbeTest, PreviousKeyFrameSearchEndsBeforeTheStart) {
  const std::string whole = Fixture({.Name = "probe_h264.ts",
                                     .Video = "testsrc=size=64x48:rate=25:duration=2",
                                     .Audio = "",
                                     .VideoCodec = "libx264",
                                     .AudioCodec = ""});
  std::ifstream in(whole, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const fs::path cut = Dir / "cut.ts";
  std::ofstream(cut, std::ios::binary) << bytes.substr(188 * 20); // whole transport packets
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(cut.string())) << probe.LastErrMsg();
  ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
  const int64_t first = probe.FrameInfo().PTS;
  ASSERT_GT(first, 0);
  EXPECT_TRUE(probe.FrameInfo().IsKeyFrame);
  EXPECT_FALSE(probe.DecodePreviousKeyFrame());
  EXPECT_EQ(probe.LastErrMsg().rfind("Could not seek to the previous key-frame. ", 0), 0u) << probe.LastErrMsg();
  // From the next key frame the search still finds this one.
  ASSERT_TRUE(probe.DecodeNextKeyFrame()) << probe.LastErrMsg();
  EXPECT_EQ(probe.FrameInfo().PTS, first + 12 * kFrame);
  ASSERT_TRUE(probe.DecodePreviousKeyFrame()) << probe.LastErrMsg();
  EXPECT_EQ(probe.FrameInfo().PTS, first);
}

TEST_F(ProbeTest, BitmapHasThePictureSizeAndColours) {
  // 0x2040C0: red 0x20, green 0x40, blue 0xC0.
  const std::string plain = Fixture({.Name = "probe_colour_64x48.avi",
                                     .Video = "color=c=0x2040C0:size=64x48:rate=25:duration=0.2",
                                     .Audio = "",
                                     .VideoCodec = "mpeg4",
                                     .AudioCodec = ""});
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(plain)) << probe.LastErrMsg();
  ASSERT_TRUE(probe.Decode()) << probe.LastErrMsg();
  TBitmap bitmap;
  ASSERT_TRUE(probe.CopyToBitmap(bitmap)) << probe.LastErrMsg();
  ASSERT_EQ(bitmap.Width(), 64);
  ASSERT_EQ(bitmap.Height(), 48);
  for (const auto &[x, y] : {std::pair{0, 0}, std::pair{33, 25}, std::pair{63, 47}}) {
    const uint8_t *px = bitmap.ScanLine(y) + 3 * x;
    EXPECT_NEAR(px[0], 0xC0, 8) << x << "," << y; // blue
    EXPECT_NEAR(px[1], 0x40, 8) << x << "," << y; // green
    EXPECT_NEAR(px[2], 0x20, 8) << x << "," << y; // red
  }
  // After a seek the picture is gone until the next decode.
  ASSERT_TRUE(probe.Seek(0));
  EXPECT_FALSE(probe.CopyToBitmap(bitmap));
  EXPECT_EQ(probe.LastErrMsg(), "picture not ready, please decode first");
}

} // namespace

namespace {

// Files that are not what their names say: nothing loads or, when the start
// of a movie is there, what can be read is read and the rest fails cleanly.
TEST_F(ProbeTest, DamagedFilesAreRefusedOrReadAsFarAsTheyGo) {
  const std::string movie = TestMovie(2.0);
  const std::string empty = (Dir / "empty.avi").string();
  std::ofstream(empty, std::ios::binary).close();
  const std::string random = (Dir / "random.avi").string();
  {
    std::ofstream out(random, std::ios::binary);
    uint32_t x = 2463534242u; // xorshift: the same noise every run
    for (int i = 0; i < 64 * 1024; ++i) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      out.put(static_cast<char>(x & 0xFF));
    }
  }
  EXPECT_FALSE(TAVProbe().LoadFile(empty));
  for (const std::string &file : {empty, random}) {
    SCOPED_TRACE(file);
    TAVProbe probe;
    EXPECT_FALSE(probe.LoadFile(file));
    EXPECT_EQ(probe.LastErrMsg(), file + ": Invalid data found when processing input");
    EXPECT_EQ(probe.StreamCount(), -1);
    EXPECT_FALSE(probe.Decode());
    EXPECT_EQ(probe.LastErrMsg(), "file not loaded.");
  }

  // The first third of the movie: its header and some pictures.
  const std::string truncated = (Dir / "truncated.avi").string();
  {
    std::ifstream in(movie, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(truncated, std::ios::binary) << bytes.substr(0, bytes.size() / 3);
  }
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(truncated)) << probe.LastErrMsg();
  int pictures = 0;
  while (probe.Decode() && pictures < 100)
    ++pictures;
  EXPECT_GT(pictures, 0);
  EXPECT_LT(pictures, 50);
  TBitmap bitmap;
  EXPECT_TRUE(probe.CopyToBitmap(bitmap));
  EXPECT_EQ(bitmap.Width(), 320);
  // Stepping back from the end of what is there walks picture by picture to
  // the start.
  int64_t last = INT64_MAX;
  int back = 0;
  while (back < 100) {
    ASSERT_TRUE(probe.DecodePreviousFrame()) << probe.LastErrMsg();
    ++back;
    ASSERT_LT(probe.FrameInfo().PTS, last);
    last = probe.FrameInfo().PTS;
    if (last == 0)
      break;
  }
  EXPECT_EQ(last, 0);
  EXPECT_EQ(back, pictures - 1); // from the last picture read to the first
}

} // namespace

namespace {

// Raw MPEG-4 streams of a few bytes, found by fuzzing, on which the search
// for an earlier key frame did not end: one stream's frame rate of
// 1200000/1 gave a frame duration of 0 µs, so the search stood still; in the
// other the first picture is stamped 36 minutes in and no seek gets before
// it, so stepping back one frame (40 ms) per seek took some 55000 seeks.
// Both searches must give up after a few dozen seeks, with their message.
TEST_F(ProbeTest, PreviousKeyFrameSearchEndsOnDamagedStreams) {
  const struct {
    const char *Name;
    std::vector<unsigned char> Bytes;
    bool Decodes; // whether a first picture comes out
  } cases[] = {
      {"zero_duration.m4v", {0x00, 0x00, 0x01, 0xB6, 0x00, 0x00, 0x01, 0x20, 0x00, 0x00, 0x01, 0x00, 0x70}, false},
      {"far_stamp.m4v",
       {0x00, 0x00, 0x01, 0xB6, 0x6D, 0x69, 0x6E, 0x13, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x00, 0x01, 0x20, 0x00, 0xC4, 0x8D, 0x88, 0x00, 0xCD, 0x01, 0x04, 0x03},
       true},
  };
  // Every Seek logs where it went at the debug level: one line per seek.
  FFLogger().SetLogLevel(llDebug);
  const auto seeks = [this] {
    return std::count_if(Lines.begin(), Lines.end(), [](const TLoggedLine &l) {
      return l.Level == llDebug && l.Msg.find("seek to position") != std::string::npos;
    });
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    const fs::path file = Dir / c.Name;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char *>(c.Bytes.data()), static_cast<std::streamsize>(c.Bytes.size()));
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(file.string())) << probe.LastErrMsg();
    EXPECT_EQ(probe.Decode(), c.Decodes) << probe.LastErrMsg();
    Lines.clear();
    EXPECT_FALSE(probe.DecodePreviousKeyFrame());
    EXPECT_EQ(probe.LastErrMsg().rfind("Could not seek to the previous key-frame. ", 0), 0u) << probe.LastErrMsg();
    EXPECT_LT(seeks(), 100);
    Lines.clear();
    EXPECT_FALSE(probe.DecodePreviousFrame());
    EXPECT_EQ(probe.LastErrMsg().rfind("Could not seek to the previous key-frame. ", 0), 0u) << probe.LastErrMsg();
    EXPECT_LT(seeks(), 100);
  }
}

} // namespace
