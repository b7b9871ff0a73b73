// What the probe says about a converted file, in one record for comparisons.
#pragma once

#include <cstdint>
#include <string>

struct TMediaFacts {
  bool Loaded = false;
  std::string Error;
  std::string Container;  // the demuxer's name
  std::string VideoCodec; // empty without a video stream
  std::string AudioCodec; // empty without an audio stream
  int32_t Width = -1, Height = -1;
  int32_t SampleRate = -1, Channels = -1, AudioBitRate = -1;
  double Seconds = -1; // the container's duration, else the decoded pictures' span
};

// Needs the probe's libraries loaded.
TMediaFacts FactsOf(const std::string &AFile);
