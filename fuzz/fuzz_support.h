// What the fuzz targets share: the media libraries loaded once per process
// with their log silenced, a scratch folder of the process's own in memory,
// a small clip to open as an input, and a read-only byte stream for the
// libraries.
//
// Every function here is for the fuzzing thread only; the first one called
// loads what it needs and ends the process with a message when it cannot.
#pragma once

#include "media/ffmpeg_loader.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Loads the conversion set from "LibAV" beside the executable (or the
// system), silences both logs and caps single allocations of the libraries,
// so that a claimed size in a hostile file fails there instead of ending the
// run on the fuzzer's allocation limit.
void LoadMediaLibraries();

// Puts the log level back to quiet: options may raise it ("loglevel").
void QuietLogs();

// A folder under /dev/shm for this process, emptied when made.
const std::string &ScratchDir();
// Writes the bytes to ScratchDir()/AName and returns the path.
std::string WriteScratchFile(const std::string &AName, const uint8_t *AData, size_t ASize);

// A clip of a few frames (64x48 MPEG-4 video, mono MP2 audio, AVI), made by
// the test fixtures on first use: the input whose options the targets vary.
const std::string &SmallClip();

// True when AText contains ANeedle, compared case-insensitively.
bool ContainsNoCase(const std::string &AText, const std::string &ANeedle);

// Stops the process with AMessage: a broken promise of the code under test
// that is no crash by itself.
[[noreturn]] void Violation(const std::string &AMessage);

// An input format context reading AData through a custom byte stream (the
// caller keeps the bytes alive). Context() is null when the libraries did not
// recognise the bytes; the destructor closes what was opened.
class TMemoryInput {
public:
  TMemoryInput(const uint8_t *AData, size_t ASize);
  ~TMemoryInput();
  TMemoryInput(const TMemoryInput &) = delete;
  TMemoryInput &operator=(const TMemoryInput &) = delete;

  AVFormatContext *Context() const { return FContext; }

private:
  static int Read(void *AOpaque, uint8_t *ABuf, int ASize);
  static int64_t Seek(void *AOpaque, int64_t AOffset, int AWhence);

  const uint8_t *FData;
  size_t FSize;
  size_t FPos = 0;
  AVIOContext *FIO = nullptr;
  AVFormatContext *FContext = nullptr;
};
