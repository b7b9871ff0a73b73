#include "catalogue/categories.h"

#include "platform/convert.h"
#include "platform/exceptions.h"

namespace {

constexpr TCategory CategoryTable[] = {
    {"通用音频", 1, 1, 13},    {"MP3音频", 52, 29, 4},   {"WAV音频", 50, 30, 4},   {"WMA音频", 49, 28, 4},
    {"经典视频", 40, 0, 15},   {"AVI视频", 13, 15, 7},   {"MKV视频", 14, 16, 7},   {"HD视频", 2, 2, 10},
    {"iPod视频", 3, 3, 14},    {"iPhone视频", 4, 4, 15}, {"iPad视频", 15, 12, 11}, {"Flash视频", 11, 11, 4},
    {"MP4视频", 10, 10, 5},    {"MPG视频", 18, 13, 11},  {"智能手机", 41, 31, 16}, {"平板电脑", 42, 32, 13},
    {"智能电视", 43, 33, 12},
};

} // namespace

std::span<const TCategory> Categories() { return CategoryTable; }

const TCategory &CategoryAt(int32_t ACategoryIndex) {
  if (ACategoryIndex < 0 || ACategoryIndex >= static_cast<int32_t>(std::size(CategoryTable)))
    throw Exception(Format("Category index %d out of range", ACategoryIndex));
  return CategoryTable[ACategoryIndex];
}

int32_t CategoryCodeOf(int32_t ACategoryIndex) { return CategoryAt(ACategoryIndex).Code; }

int32_t CategoryIndexOfCode(int32_t ACode) {
  for (size_t i = 0; i < std::size(CategoryTable); ++i)
    if (CategoryTable[i].Code == ACode)
      return static_cast<int32_t>(i);
  return -1;
}
