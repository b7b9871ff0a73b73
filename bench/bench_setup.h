// What every benchmark of the conversions starts with: the libraries loaded
// as the program loads them, and the fixtures they share.
#pragma once

#include "media/ffmpeg_loader.h"
#include "tests/support/fixtures.h"

#include <cstdio>
#include <string>

// False, with the loader's message on stderr, when a library is missing.
inline bool LoadConversionLibraries() {
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  if (FFLoader().Load(LIBS_CONVERT))
    return true;
  std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
  return false;
}

// Ten minutes of small video with AAC audio: converting it to MP3 is all
// audio work, as a real "video to MP3" job is.
inline std::string TenMinuteMovie() {
  return Fixture({"bench_10min_aac.mp4", "testsrc=size=160x120:rate=10:duration=600",
                  "sine=frequency=440:sample_rate=48000:duration=600", "mpeg4", "aac"});
}
