// The output categories: the first of the main window's two drop-down lists.
//
// Constant data. A category's list index is its position in the list; its
// code is the internal number that the profile and preset tables are keyed by.
// The two differ (codes are neither consecutive nor in list order), so every
// lookup goes through this table and nothing computes one from the other.
#pragma once

#include <cstdint>
#include <span>

struct TCategory {
  const char *Caption;
  int32_t ImageIndex;  // into the 32 × 32 category icons
  int32_t Code;
  int32_t FormatCount; // formats in the category's list
};

// "通用音频", selected at start-up; its first format is MP3.
constexpr int32_t DefaultCategoryIndex = 0;

// All 17 categories in list order: element i has list index i.
std::span<const TCategory> Categories();

// The category at a list index. An index outside the list raises Exception;
// the window only passes its own list positions, the command line passes
// what the user typed.
const TCategory &CategoryAt(int32_t ACategoryIndex);

// The code of the category at a list index (raises as CategoryAt).
int32_t CategoryCodeOf(int32_t ACategoryIndex);

// The list index of the category with this code, or -1.
int32_t CategoryIndexOfCode(int32_t ACode);
