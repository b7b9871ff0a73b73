// A whole conversion with the "dvd" target: what a DVD player needs of the file.
#include "tests/engine/conversion_support.h"
#include "tests/support/fixtures.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

using DvdOutput = ConversionTest;

uint32_t StartCodeAt(const std::string &ABytes, size_t AOffset) {
  return static_cast<uint32_t>(static_cast<uint8_t>(ABytes[AOffset])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(ABytes[AOffset + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(ABytes[AOffset + 2])) << 8 |
         static_cast<uint8_t>(ABytes[AOffset + 3]);
}

TEST_F(DvdOutput, IsAProgramStreamOfDvdSectors) {
  const std::string output = Out("disc.vob");
  Setup({{"<in>", TestMovie(2.0)}, {"target", "pal-dvd"}, {"<out>", output}});
  Run();

  const TMediaSummary out = Inspect(output);
  ASSERT_EQ(out.Error, "");
  const TStreamSummary *video = out.Find(AVMEDIA_TYPE_VIDEO);
  const TStreamSummary *audio = out.Find(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(video->Codec, "mpeg2video");
  EXPECT_EQ(video->Width, 720);
  EXPECT_EQ(video->Height, 576);
  EXPECT_EQ(video->DecodedFrames, 50);
  EXPECT_EQ(audio->Codec, "ac3");
  EXPECT_EQ(audio->SampleRate, 48000);
  EXPECT_NEAR(out.AudioSeconds(), 2.0, 0.1);

  // Whole 2048-byte sectors, each opening with a pack header; navigation
  // packets (private stream 2) for the player.
  std::ifstream in(output, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 0u);
  EXPECT_EQ(bytes.size() % 2048, 0u);
  size_t packs = 0;
  for (size_t sector = 0; sector + 2048 <= bytes.size(); sector += 2048)
    packs += StartCodeAt(bytes, sector) == 0x000001BA;
  EXPECT_EQ(packs, bytes.size() / 2048);
  EXPECT_NE(bytes.find(std::string("\x00\x00\x01\xBF", 4)), std::string::npos);
}

} // namespace
