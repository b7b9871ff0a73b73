// Conversions run through a real session, and what the files they write
// hold when read back through the libraries.
#pragma once

#include "tests/engine/engine_fixture.h"
#include "platform/bitmap.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

struct TStreamSummary {
  AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
  std::string Codec;
  int SampleRate = 0, Channels = 0, Width = 0, Height = 0;
  int64_t BitRate = 0;
  int64_t Packets = 0;
  int64_t Samples = 0;     // decoded audio samples per channel
  int64_t DecodedFrames = 0; // decoded video pictures
  bool FirstKey = false;   // the first packet is a key frame
  std::vector<double> Pts; // packet times in seconds, in file order
};

struct TChapter {
  double Start, End; // seconds
  std::string Title;
};

struct TMediaSummary {
  std::string Error; // empty when the file opened
  std::vector<TStreamSummary> Streams;
  std::map<std::string, std::string> Tags; // the file's own metadata, keys in lower case
  std::vector<TChapter> Chapters;
  const TStreamSummary *Find(AVMediaType AType) const;
  // Decoded audio length of the first audio stream, in seconds.
  double AudioSeconds() const;
};

// Reads a whole file: every packet, audio and video decoded.
TMediaSummary Inspect(const std::string &APath);

// The pictures of the file's first video stream, decoded and converted to
// 24-bit BGR, at most AMax of them.
std::vector<TBitmap> DecodePictures(const std::string &APath, int AMax = 1000);

// The blue, green and red bytes of one pixel.
struct TBGR {
  int B, G, R;
};
TBGR PixelAt(const TBitmap &ABitmap, int AX, int AY);

struct TProgressRecord {
  int32_t FileIndex, FrameNumber, FPS;
  float Quality, BitRate;
  int64_t Size, Duration, TotalDuration;
};

// One conversion: steps in command-line order, each an option ("vn", "1") or
// a file: {"<in>", path}, {"<out>", path} or {"<join>", path}.
using TSteps = std::vector<std::pair<std::string, std::string>>;

class ConversionTest : public EngineTest {
protected:
  void SetUp() override;
  void TearDown() override;

  // A file name in this test's own folder.
  std::string Out(const std::string &AName) const;
  // Applies the steps; an input or output that fails to open fails the test.
  void Setup(const TSteps &ASteps);
  // Runs the loop on this thread, then frees the session so that the
  // outputs are complete and closed.
  void Run();
  // Runs the loop expecting it to raise FFmpegException with AMessage.
  void RunFails(const std::string &AMessage);

  std::string Dir;
  std::vector<TProgressRecord> Progress;
};
