// The records that describe a task's input and output files, the records the
// job manager's events carry, and the free-text ExtOptions format.
#pragma once

#include "platform/bitmap.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The media libraries' value for a missing time stamp: "not set".
inline constexpr int64_t kTimeNotSet = INT64_MIN;

enum TOptionTargetType { ttIgnore = 0, ttVCD = 1, ttSVCD = 2, ttDVD = 3 };
enum TOptionNormType { ntAuto = 0, ntPAL = 1, ntNTSC = 2 };
// The sub-range ntPAL..ntNTSC.
using TOptionNormDefault = TOptionNormType;

struct TInputOptions {
  std::string FileName;        // filled with the opened name when empty
  std::string FileFormat;      // "f" when not empty
  int64_t TimeStart = kTimeNotSet; // µs; "ss" when set
  int32_t ProgramID = -1;      // "programid" when >= 0
  std::string ExtOptions;
  int32_t Tag = 0;
  void *Data = nullptr;
};
using PInputOptions = TInputOptions *;

struct TStreamInfo {
  double TimeStamp = -1.0; // days since 1899-12-30, local time; 0 = now, < 0 = not set
  int32_t Year = -1;
  int32_t Track = -1;
  std::string Title, Author, Copyright, Comment, Album, Genre;
};

struct TOutputOptions {
  std::string FileName;
  std::string FileExt;
  std::string FileFormat;
  int32_t PacketSize = -1;
  int32_t MuxRate = -1;
  float MuxDelay = -1.0f;
  float MuxPreload = -1.0f;
  std::string AudioCodec;
  std::string AudioPreset;
  bool DisableAudio = false;
  int32_t AudioVolume = -1;
  int32_t AudioChannels = -1;
  int32_t AudioSampleRate = -1;
  int32_t AudioBitrate = -1;
  int32_t AudioBitRateTolerance = -1;
  std::string AudioLanguage;
  int32_t AudioSyncMethod = 0;
  std::string AudioTag;
  std::string VideoCodec;
  std::string VideoPreset;
  bool DisableVideo = false;
  std::string FrameRate;
  std::string FrameSize;
  std::string FrameAspectRatio;
  int32_t CropTop = -1;
  int32_t CropBottom = -1;
  int32_t CropLeft = -1;
  int32_t CropRight = -1;
  int32_t GroupPictureSize = -1;
  int32_t VideoBitrate = -1;
  int32_t VideoMaxRate = -1;
  int32_t VideoMinRate = -1;
  int32_t VideoBitRateTolerance = -1;
  int32_t VideoBufSize = -1;
  int32_t VideoSyncMethod = -1;
  std::string VideoTag;
  std::string VideoFilters;
  std::string VideoLanguage;
  std::string SubtitleCodec;
  std::string SubtitlePreset;
  bool DisableSubtitle = false;
  std::string SubtitleLanguage;
  bool InputSync = false;
  bool CopyTimestamp = false;
  int64_t TimeStart = kTimeNotSet;
  int64_t TimeLength = kTimeNotSet;
  TStreamInfo Info;
  TOptionTargetType TargetType = ttIgnore;
  TOptionNormType NormType = ntAuto;
  TOptionNormDefault NormDefault = ntPAL;
  bool CustomHook = false;
  bool Join = false;
  std::string ExtOptions;
  int32_t Tag = 0;
  void *Data = nullptr;
};
using POutputOptions = TOutputOptions *;

// Set every field to its default (strings emptied).
void InitInputOptions(TInputOptions &AOptions);
void InitOutputOptions(TOutputOptions &AOptions);

struct TProgressInfo {
  int32_t TaskIndex = 0;
  int32_t FileIndex = 0;      // -1 in the engine's final report
  int32_t FrameNumber = -1;   // -1 without video
  int32_t FPS = -1;           // -1 without video, 0 during the first second
  float Quality = -1.0f;      // -1 without video or when copied
  float BitRate = 0.0f;       // kbit/s so far
  int64_t CurrentSize = 0;    // bytes written
  int64_t CurrentDuration = 0; // µs written
  int64_t TotalDuration = -1;  // µs expected, -1 unknown
};
using PProgressInfo = TProgressInfo *;

struct TTerminateInfo {
  int32_t TaskIndex = -1; // -1: every task has ended
  bool Finished = false;
  bool Exception = false;
  std::string ExceptionMsg;
};

struct THookInfo {
  int32_t TaskIndex = 0;
  TBitmap *Bitmap = nullptr; // owned by the engine
  int32_t FrameNumber = 0;
  int64_t PTS = 0;           // µs
  bool Update = true;        // cleared by the handler to leave the picture unchanged
  bool StopHook = false;     // set by the handler to stop further calls in this run
};
using PHookInfo = THookInfo *;

struct TPreviewInfo {
  int32_t TaskIndex = 0;
  TBitmap *Bitmap = nullptr;
  int32_t FrameNumber = 0;
  int64_t PTS = 0;
};

// One ExtOptions line: the part before the first "=" and the rest (neither
// trimmed). A line without "=" is all name.
using TExtOption = std::pair<std::string, std::string>;

// Splits an ExtOptions text into its lines: the text trimmed of characters up
// to code 32 at both ends, CR LF / LF CR / CR / LF each one line break, and
// every "<CRLF>" a line break too.
std::vector<TExtOption> ParseExtOptions(const std::string &AText);
