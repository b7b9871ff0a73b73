// The six preset lists of the panel "预置选项": for the selected format, the
// usual values of resolution, video bit rate, frame rate, audio bit rate,
// sample rate and scaling, one preselected. A chosen value overrides the
// matching field of the current profile and is recorded per file-list row.
//
// The lists are constant data; a format names one list of each kind and a
// default index. Values are parsed from the text the list shows.
#pragma once

#include "catalogue/profiles.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// The six lists, numbered in the order of the row's choice code (two digits
// each): resolution, video bit rate, audio bit rate, scaling, frame rate,
// sample rate.
enum TPresetKind {
  pkResolution = 0,
  pkVideoBitrate = 1,
  pkAudioBitrate = 2,
  pkScaling = 3,
  pkFrameRate = 4,
  pkSampleRate = 5,
};
constexpr int32_t PresetKindCount = 6;

// How the window shows a kind and where a file-list row keeps its value.
struct TPresetKindInfo {
  const char *ControlName; // the drop-down list's object name
  const char *Label;
  const char *RowColumnCaption;
  int32_t RowColumn;
};
const TPresetKindInfo &PresetKindInfo(TPresetKind AKind);

// One value list: the texts it shows, in order.
using TPresetValues = std::span<const char *const>;

// The value lists of a kind; element i is list number i + 1 (R1, R2, … for
// resolutions; V, F, A, S and Z for the others).
std::span<const TPresetValues> PresetValueLists(TPresetKind AKind);

// A format's list of one kind: a 1-based list number and a 0-based default.
struct TPresetChoice {
  int32_t List;
  int32_t Default;
};

// The lists of one format, in the order the product tabulates them.
struct TPresetAssignment {
  int32_t Key;
  TPresetChoice Resolution, VideoBitrate, FrameRate, AudioBitrate, SampleRate, Scaling;
  TPresetChoice Of(TPresetKind AKind) const;
  // The formats without video: their four video lists hold one entry and are disabled.
  bool AudioOnly() const;
};

// One row per format key, in catalogue order.
std::span<const TPresetAssignment> PresetAssignments();
const TPresetAssignment *FindPresetAssignment(int32_t AKey);

// A filled preset list as the window shows it.
struct TPresetList {
  TPresetValues Entries;
  int32_t ItemIndex = -1;
  bool Enabled = true;
  // The selected entry's text; empty when nothing is selected.
  std::string ShownText() const;
};

// The six filled lists, indexed by TPresetKind.
struct TPresetLists {
  std::array<TPresetList, PresetKindCount> Lists;
  TPresetList &operator[](TPresetKind AKind) { return Lists[AKind]; }
  const TPresetList &operator[](TPresetKind AKind) const { return Lists[AKind]; }
  std::array<std::string, PresetKindCount> ShownTexts() const;
  std::array<int32_t, PresetKindCount> ItemIndexes() const;
};

// The lists of a format key with their defaults selected and, for an
// audio-only format, the four video lists disabled. An unknown key raises
// Exception.
TPresetLists PresetListsOf(int32_t AKey);

// "根据combox添加预设选项" (Button18Click): records the selection in the profile,
// clears Video_DisableVideo and returns the lists to show. The window fills
// its six lists from the result; a list whose shown text changes thereby
// runs its change handling, one whose text stays the same does not.
TPresetLists FillPresetLists(TCurrentProfile &AProfile, int32_t ACategoryIndex, int32_t AFormatIndex);

// Shown text → profile field. Texts outside the lists' vocabulary that should
// be numbers raise EConvertError.
// "保持原分辨率" and "该格式无视频" → empty; otherwise as shown.
std::string ParseFrameSize(const std::string &AShown);
// "保持原帧速率" and "无视频" → empty; otherwise as shown.
std::string ParseFrameRate(const std::string &AShown);
// "无视频" → BitrateNotGiven; "816 kbps" → 816000.
int32_t ParseVideoBitrate(const std::string &AShown);
// "128 kbps" → 128000; "4.75 kbps" → 4750 ("." is the decimal point in
// every locale; digits below 1 bit/s are dropped).
int32_t ParseAudioBitrate(const std::string &AShown);
// As shown ("44100").
std::string ParseSampleRate(const std::string &AShown);
// "普通视频4:3模式" → "4:3" and the wide modes likewise; "保持原视频模式",
// "无视频" and any other text → empty.
std::string ParseAspectRatio(const std::string &AShown);

// A preset list's change handling, profile half: parses AShown into the
// kind's field. The window does this only with a row selected, then writes
// PresetRowColumn and ReplaceChoiceCode into that row.
void ApplyPresetValue(TCurrentProfile &AProfile, TPresetKind AKind, const std::string &AShown);

// "确认预置选项数据" (Button13Click): every shown text into its field,
// AShownTexts indexed by TPresetKind. Writes no row.
void ConfirmPresets(TCurrentProfile &AProfile, const std::array<std::string, PresetKindCount> &AShownTexts);

// The catalogue's share of adding one file, in the order the add operations
// run it: the selected format's profile and output name for AInputFile
// (ApplyFormatProfile), then the values the preset lists show
// (ConfirmPresets). Raises as those do.
void ApplyFormatToFile(TCurrentProfile &AProfile, const std::string &AInputFile, int32_t ACategoryIndex,
                       int32_t AFormatIndex, const std::array<std::string, PresetKindCount> &AShownTexts,
                       const std::string &AOutputFolder, bool AOverwrite);

// The row column of a kind with the profile's value (bit rates in decimal).
TRowColumn PresetRowColumn(const TCurrentProfile &AProfile, TPresetKind AKind);

// The row's choice code: each index as two digits, "0" before an index below
// 10 (so -1, no selection, gives "0-1").
std::string ChoiceCodeField(int32_t AItemIndex);
std::string ChoiceCode(const std::array<int32_t, PresetKindCount> &AItemIndexes);
// ACode with the kind's two characters replaced by ChoiceCodeField(AItemIndex).
// A code too short to hold the field raises Exception.
std::string ReplaceChoiceCode(const std::string &ACode, TPresetKind AKind, int32_t AItemIndex);
// The six indexes of a code; a code shorter than 12 characters or a field
// that is not a number raises (Exception, EConvertError).
std::array<int32_t, PresetKindCount> ParseChoiceCode(const std::string &ACode);
