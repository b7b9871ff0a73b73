// A short conversion of any bytes: the bytes as the input file, two outputs
// (MP3 audio only, and 64x48 MPEG-4 with MP2 in AVI), at most one second and
// a few hundred KiB each, run on this thread as a task without a worker is.
//
// The run captures its own failures as the fatal result; a crash, a
// sanitizer report or an exception leaving StartConvert is a finding.
#include "fuzz/fuzz_support.h"
#include "engine/custom_ffmpeg.h"
#include "platform/exceptions.h"

#include <memory>

namespace {

void Apply(TCustomFFmpeg &AEngine, std::initializer_list<std::pair<const char *, const char *>> AOptions) {
  for (const auto &[name, value] : AOptions)
    AEngine.SetOption(name, value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  static std::unique_ptr<TCustomFFmpeg> engine = [] {
    LoadMediaLibraries();
    return std::make_unique<TCustomFFmpeg>(2);
  }();
  const std::string input = WriteScratchFile("in", AData, ASize);

  engine->ResetSession();
  try {
    if (!engine->OpenInputFile(input))
      return 0;
  } catch (const Exception &) {
    return 0; // documented: a stream of no known media type
  }
  Apply(*engine, {{"t", "1"}, {"fs", "300000"}});
  Apply(*engine, {{"vn", "1"}, {"acodec", "libmp3lame"}, {"ab", "64000"}, {"ar", "22050"}, {"ac", "1"}});
  if (engine->OpenOutputFile(ScratchDir() + "/out.mp3", false) < 0)
    return 0;
  Apply(*engine, {{"vn", "0"}, {"vcodec", "mpeg4"}, {"s", "64x48"}, {"r", "10"}, {"acodec", "mp2"}});
  if (engine->OpenOutputFile(ScratchDir() + "/out.avi", false) < 0)
    return 0;
  if (engine->StartConvert(false, tpNormal) != nullptr)
    Violation("a run on the caller's thread handed back a worker");
  QuietLogs();
  return 0;
}
