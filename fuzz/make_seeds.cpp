// Makes the media seeds of the probe and conversion targets: a few tiny
// files from the test fixtures' generators, each a few KiB, written into
// corpus/probe and corpus/convert. The text seeds are written by hand.
#include "fuzz/fuzz_support.h"
#include "tests/support/fixtures.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

int main() {
  LoadMediaLibraries();
  const std::string tone = "sine=frequency=440:sample_rate=8000:duration=0.2";
  const std::string picture = "testsrc=size=32x24:rate=25:duration=0.12";
  const TFixtureSpec seeds[] = {
      {"seed_tone.wav", "", tone, "", "pcm_s16le", 1},
      {"seed_tone.mp3", "", "sine=frequency=440:sample_rate=22050:duration=0.2", "", "libmp3lame", 1},
      {"seed_clip.avi", picture, "sine=frequency=440:sample_rate=22050:duration=0.12", "mpeg4", "mp2", 1},
      {"seed_clip.mkv", picture, "", "mpeg4", "", 1, {{"title", "seed"}}},
      {"seed_clip.mpg", picture, "", "mpeg1video", "", 1},
      {"seed_clip.mp4", picture, "", "mpeg4", "", 1, {{"artist", "seed"}, {"date", "2010"}}},
  };
  for (const char *target : {"probe", "convert"})
    fs::create_directories(fs::path(ZV_CORPUS_DIR) / target);
  for (const TFixtureSpec &seed : seeds) {
    const std::string made = Fixture(seed);
    for (const char *target : {"probe", "convert"})
      fs::copy_file(made, fs::path(ZV_CORPUS_DIR) / target / seed.Name, fs::copy_options::overwrite_existing);
    std::printf("%s: %ju bytes\n", seed.Name.c_str(), static_cast<uintmax_t>(fs::file_size(made)));
  }
  return 0;
}
