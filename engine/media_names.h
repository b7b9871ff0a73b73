// Names the engine's messages give media types ("(%s)" in stream messages).
#pragma once

// 0 "Video", 1 "Audio", 2 "Data", 3 "Subtitle", 4 "Attachment", else "Unknown".
inline const char *MediaTypeName(int AType) {
  static const char *const names[] = {"Video", "Audio", "Data", "Subtitle", "Attachment"};
  return AType >= 0 && AType < 5 ? names[AType] : "Unknown";
}
