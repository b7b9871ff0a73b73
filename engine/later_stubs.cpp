// Operations the option table already names but whose pieces come later:
// video hook modules (video path), targets and presets. Each raises or
// refuses until its piece replaces it here, so an option that needs one
// fails loudly instead of doing nothing.
#include "engine/custom_ffmpeg.h"

int32_t TCustomFFmpeg::AddVideoHook(const std::vector<std::string> & /*AWords*/) {
  FFLogger().Log(this, llError, "video hook modules are not yet supported");
  return -1;
}

void TCustomFFmpeg::ReleaseVideoHooks() {
  // AddVideoHook loads nothing yet, so the list is always empty.
  FFirstHook = nullptr;
}
