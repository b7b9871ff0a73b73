// The yardstick: the shortest correct program on the same libraries and
// codecs that turns a file's audio into an MP3 (libmp3lame, 128 kbit/s,
// 44100 Hz, stereo). The engine's overhead is measured against it.
#pragma once

#include <string>

// False with a message on stderr when anything fails.
bool MinimalAudioToMp3(const std::string &AInput, const std::string &AOutput);
