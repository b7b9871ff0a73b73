// Media fixtures made at test time from the libraries' own generators (the
// "testsrc" and "sine" sources), encoded and written through the loader's
// table, and cached in the build folder so each is made once.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct TFixtureSpec {
  std::string Name;        // file name in the cache folder, with extension ("tone.wav")
  std::string Video;       // source graph, e.g. "testsrc=size=320x240:rate=25:duration=2"; empty: no video
  std::string Audio;       // source graph, e.g. "sine=frequency=440:sample_rate=44100:duration=2"; empty: no audio
  std::string VideoCodec = {}; // encoder name; empty: the container's default
  std::string AudioCodec = {}; // encoder name; empty: the container's default
  int AudioChannels = 2;
  std::vector<std::pair<std::string, std::string>> Metadata = {}; // container tags, in this order
};

// The fixture's path, made on first use. The conversion libraries must be
// loaded. Raises std::runtime_error with the library's reason on failure.
std::string Fixture(const TFixtureSpec &ASpec);

// The folder fixtures are cached in (created on demand).
std::string FixtureDir();

// Common fixtures.
std::string ToneWav(double ASeconds = 2.0);          // 44.1 kHz stereo PCM
std::string TestMovie(double ASeconds = 2.0);        // 320x240 25 fps mpeg4 + mp2 in AVI
