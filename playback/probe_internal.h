// Helpers shared by the probe's source files; not part of its interface.
#pragma once

#include "media/ffmpeg_loader.h"

#include <cstdint>
#include <string>

namespace probe_detail {

inline constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

// The value of metadata entry AKey (case-insensitive, as the library matches
// by default); empty when absent.
std::string MetaValue(const AVDictionary *AMeta, const char *AKey);
bool HasMeta(const AVDictionary *AMeta, const char *AKey);

// The container's creation stamp in seconds since 1970 UTC, 0 when it has none.
int64_t CreationStamp(const AVFormatContext *AIC);

// A stream time base with a usable denominator (the numerator, or 1, when it is 0).
AVRational SafeTimeBase(AVRational ATimeBase);

} // namespace probe_detail
