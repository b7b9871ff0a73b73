// The output formats: the second drop-down list, filled with the formats of
// the selected category.
//
// Constant data, one entry per line of the list, and the keys derived from a
// (category, format) selection. Two numbers name a selection and they are not
// interchangeable:
//   format key (`All_Trant_Number`) = format index + (category code + 1) × 100,
//     which picks the profile and the preset lists (MP3 gives 200);
//   row category number = (category list index + 1) × 100 + format index,
//     which the file list stores per row (MP3 gives 100).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TFormat {
  int32_t CategoryCode;
  int32_t FormatIndex;     // 0-based position within its category
  const char *Title;       // bold first line; ends with "(*.ext)"
  const char *Description; // second line
};

// One line of the format list as the window draws it.
struct TFormatListItem {
  const char *Title;
  const char *Description;
  int32_t ImageIndex; // into the format images: 0 for even, 1 for odd positions
  bool Header = false;
  bool Enabled = true;
};

// A selection by list positions.
struct TFormatPosition {
  int32_t CategoryIndex;
  int32_t FormatIndex;
  bool operator==(const TFormatPosition &) const = default;
};

// MP3, the first format of the default category.
constexpr int32_t DefaultFormatIndex = 0;

// All 165 formats, grouped by category in list order, each group in format order.
std::span<const TFormat> AllFormats();

// The formats of the category at a list index, in list order. A bad index
// raises Exception (see CategoryAt).
std::span<const TFormat> FormatsOf(int32_t ACategoryIndex);

// One format by list positions; an index outside either list raises Exception.
const TFormat &FormatAt(int32_t ACategoryIndex, int32_t AFormatIndex);

// The lines of the format list for a category: what filling the list after a
// category change shows. The window then selects DefaultFormatIndex, which
// runs its format change handling.
std::vector<TFormatListItem> FormatListOf(int32_t ACategoryIndex);

int32_t FormatImageIndex(int32_t AFormatIndex);

int32_t FormatKey(int32_t ACategoryCode, int32_t AFormatIndex);
// The format key of a selection by list positions (maps the index to its code).
int32_t FormatKeyAt(int32_t ACategoryIndex, int32_t AFormatIndex);
int32_t RowCategoryNumber(int32_t ACategoryIndex, int32_t AFormatIndex);

// The list positions stored in a row category number: category index
// trunc(n / 100) − 1 and format index n − trunc(n / 100) × 100. Not checked:
// the file list validates by selecting them.
TFormatPosition SplitRowCategoryNumber(int32_t ANumber);

// The list positions of the format with this key, or none.
std::optional<TFormatPosition> FindFormatByKey(int32_t AKey);

// The output extension a title names: the text between the "*" of its final
// "(*" and the next ")" ("(*.flac)" gives ".flac"). Empty when the title has
// no "(*".
std::string OutputExtensionOfTitle(const std::string &ATitle);
