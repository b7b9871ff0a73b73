#include "media/error_text.h"

#include "media/ffmpeg_loader.h"
#include "platform/convert.h"

#include <cerrno>

std::string OpenErrorText(int ACode) {
  const struct {
    int Code;
    const char *Text;
  } texts[] = {
      {-2, "No such file or directory"},
      {-5, "I/O error"},
      {-12, "Not enough memory"},
      {-22, "Invalid data found when processing input"},
      {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
      {-32, "End of file"},
      {AVERROR_EOF, "End of file"},
      {-33, "Number syntax expected in filename"},
      {-42, "Unknown format"},
      {AVERROR(EILSEQ), "Unknown format"},
      {AVERROR_DEMUXER_NOT_FOUND, "Unknown format"},
      {-10043, "Unsupported network protocol"},
      {AVERROR(EPROTONOSUPPORT), "Unsupported network protocol"},
      {AVERROR_PROTOCOL_NOT_FOUND, "Unsupported network protocol"},
      {-1163346256, "Not yet implemented in FFmpeg"},
  };
  for (const auto &t : texts)
    if (t.Code == ACode)
      return t.Text;
  return Format("Error number %d occurred", ACode);
}
