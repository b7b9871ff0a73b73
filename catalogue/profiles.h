// Encoding profiles: what a conversion into each format uses, and the main
// window's current profile that the format and preset choices are applied to.
//
// The values are the engine's vocabulary and pass through unchanged: encoder
// names ("libmp3lame", "wmav2"), frame sizes as "640*480", bit rates in bit/s,
// rates and channel counts as decimal text.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

// Bit rate markers of the profile fields.
constexpr int32_t BitrateNotSet = -1;    // the profile leaves it to the engine's default
constexpr int32_t BitrateNotGiven = -1000; // a target preset decides, or a preset list has "无视频"

// One row of the profile table. An empty text or BitrateNotSet leaves the
// field at its reset value. Every row implies AudioVolume "256" and empty
// VideoFilters, FileFormat and CopyTimestamp, which are the reset values.
struct TFormatProfile {
  int32_t Key;         // the format key
  int32_t FormatIndex; // position in its category, as a check on Key
  const char *OutExt;  // extension given to the output file name
  const char *FileExt; // extension recorded with the row; may differ from OutExt
  const char *VideoCodec;
  const char *AudioCodec;
  const char *FrameSize;
  int32_t VideoBitrate;
  const char *FrameRate;
  int32_t AudioBitrate;
  const char *AudioSampleRate;
  const char *AudioChannels;
  const char *FrameAspectRatio;
  const char *VideoTag;
  const char *TargetType; // "vcd", "svcd", "dvd" or empty
  const char *NormType;   // "PAL" or empty
  bool DisableVideo;      // audio-only formats
};

// Every format's profile, in catalogue order.
std::span<const TFormatProfile> Profiles();

// The profile row of a format key, or nullptr.
const TFormatProfile *FindProfile(int32_t AKey);

// The main window's current profile. The window owns one; the functions
// below and those of presets.h are its only writers, so the window, the
// command-line converter and the tests apply formats the same way. Not
// shared between threads.
struct TCurrentProfile {
  std::string Video_OutPutFileName;   // full output name for the input being added
  std::string Video_AddFileName;      // full input name; set by the caller, never reset
  std::string Video_FileExt;
  std::string Video_AudioChannels;
  std::string Video_AudioSampleRate;
  std::string Video_FrameSize;        // empty keeps the input's size
  std::string Video_FrameRate;
  std::string Video_NormType;
  std::string Video_VideoFilters;
  std::string Video_AudioVolume = "256"; // "256" is the unchanged volume
  std::string Video_FrameAspectRatio;
  std::string Video_VideoCodec;       // empty: the engine's default for the container
  std::string Video_AudioCodec;
  std::string Video_CopyTimestamp;
  std::string Video_FileFormat;       // empty: the container follows from the extension
  std::string Video_TargetType;
  std::string Video_VideoTag;
  int32_t Video_VideoBitrate = BitrateNotSet;
  int32_t Video_AudioBitrate = BitrateNotSet;
  int32_t Video_TimeStart = -1;       // never set by the catalogue
  int32_t Video_TimeLength = -1;      // never set by the catalogue
  bool Video_DisableVideo = false;

  // The applied selection; kept across ResetProfile.
  int32_t All_Trant_Number = 0;       // format key; 0 before the first selection
  int32_t CategoryCode = -1;          // -1 before the first selection
  int32_t RowCategoryNumber = 0;      // 0 before the first selection
};

// One hidden column of a file-list row, written from the profile.
struct TRowColumn {
  int32_t Column; // 11..24
  std::string Caption;
  std::string Text;
  bool operator==(const TRowColumn &) const = default;
};

// "初始化数据" (Button6Click): every Video_ field except Video_AddFileName back
// to its reset value. The selection fields stay.
void ResetProfile(TCurrentProfile &AProfile);

// Records a selection in the profile: the format key, the category code and
// the row category number. Raises Exception for positions outside the lists.
void SetSelection(TCurrentProfile &AProfile, int32_t ACategoryIndex, int32_t AFormatIndex);

// "根据combox添加数据" (Button5Click), minus the row: resets the profile,
// records the selection, clears Video_DisableVideo, fills every field the
// format's row gives, and names the output: AOutputFolder + "/" + the name
// part of Video_AddFileName with the row's extension, made unique on disk
// unless AOverwrite (see UniqueOutputName). The window then writes
// ProfileRowColumns into the selected row, if any. Raises Exception for
// positions outside the lists; a folder that cannot be read counts as empty.
void ApplyFormatProfile(TCurrentProfile &AProfile, int32_t ACategoryIndex, int32_t AFormatIndex,
                        const std::string &AOutputFolder, bool AOverwrite);

// The columns 11 to 24 of a row, in the order they are written: codecs,
// channels, tag, extension, frame size, bit rates in decimal, rates, aspect,
// "True"/"False" for "视频能否", target and norm.
std::array<TRowColumn, 14> ProfileRowColumns(const TCurrentProfile &AProfile);
