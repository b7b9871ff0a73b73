// The yardsticks: the shortest correct programs on the same libraries and
// codecs that do what a conversion does, so that the engine's overhead is
// measured against them.
#pragma once

#include <cstdint>
#include <string>

// A file's audio into an MP3 (libmp3lame, 128 kbit/s, 44100 Hz, stereo).
// False with a message on stderr when anything fails.
bool MinimalAudioToMp3(const std::string &AInput, const std::string &AOutput);

// A file's first video and audio streams re-encoded into one output, the
// container chosen by the output's name. The pictures keep their stamps (the
// input is expected at the output frame rate already) and are scaled when
// their size differs.
struct TMinimalTranscode {
  std::string VideoEncoder; // empty: the audio alone
  int Width = 0, Height = 0;
  int64_t VideoBitrate = 0;
  int FrameRateNum = 25, FrameRateDen = 1;
  int GopSize = 0; // 0: the encoder's own default
  int Threads = 1; // decoders' and encoders'
  std::string AudioEncoder;
  int64_t AudioBitrate = 0;
  int SampleRate = 44100;
  int Channels = 2;
};
bool MinimalTranscode(const std::string &AInput, const std::string &AOutput, const TMinimalTranscode &ASettings);
