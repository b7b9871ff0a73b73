// Preset texts: the bytes as a preset file, loaded through "fpre" into a
// fresh session, then an input and an output opened so that what the preset
// set is taken by the output's streams.
#include "fuzz/fuzz_support.h"
#include "engine/custom_ffmpeg.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  static std::unique_ptr<TCustomFFmpeg> engine = [] {
    LoadMediaLibraries();
    SmallClip();
    return std::make_unique<TCustomFFmpeg>(2);
  }();
  const std::string preset = WriteScratchFile("fuzz.ffpreset", AData, ASize);

  engine->ResetSession();
  try {
    engine->LoadPreset("fpre", preset);
    if (engine->OpenInputFile(SmallClip()))
      engine->OpenOutputFile(ScratchDir() + "/out.avi", false);
  } catch (const Exception &) {
    // A refused line ("Invalid syntax", "Invalid option or argument") or an
    // option the preset named refusing its value.
  }
  engine->ResetSession();
  QuietLogs();
  return 0;
}
