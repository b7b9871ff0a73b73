// File names of any language for the media libraries.
//
// The libraries take narrow (locale code page) names. A name that the locale
// cannot express is handed over as "unicode:utf8:" + its UTF-8 text and opened
// by our own byte stream (a custom I/O context), since the current libraries
// no longer let a program register protocols. Every component opens and closes
// inputs and output byte streams through these functions so both kinds of
// name work everywhere.
#pragma once

#include "media/ffmpeg_loader.h"

#include <string>

// The prefix of names our own byte stream opens.
inline constexpr const char *kUnicodeURLPrefix = "unicode:utf8:";

// A file name (UTF-8) as the libraries should see it: protocol addresses
// ("unicode", "stream", "gopher", "http", "pipe", "rtp", "tcp", "udp" before
// the first ":") and names the locale's code page can express unchanged
// (converted to that code page), others as "unicode:utf8:" + UTF-8.
std::string WideFileNameToURL(const std::string &AFileName);
// The reverse: strips "unicode:utf8:", else converts from the locale's code page.
std::string URLToWideFileName(const std::string &AURL);

// Opens a byte stream for AURL with AVIO_FLAG_READ / _WRITE / _READ_WRITE.
// "unicode:" names open through our stream (writing creates or truncates);
// others through the library. Returns 0 or a negative library error code
// (a "unicode:" name that cannot be opened gives AVERROR(ENOENT), -2).
int OpenWideIO(AVIOContext **APB, const std::string &AURL, int AFlags);
// Closes a stream opened by OpenWideIO and sets *APB to null.
void CloseWideIO(AVIOContext **APB);

// avformat_open_input for any name: a "unicode:" name gets our stream as
// custom I/O. On failure *AIC is null and the result is negative.
int OpenInputFormat(AVFormatContext **AIC, const std::string &AURL, const AVInputFormat *AFormat,
                    AVDictionary **AOptions);
// Closes an input opened by OpenInputFormat, with its custom stream if any.
void CloseInputFormat(AVFormatContext **AIC);
