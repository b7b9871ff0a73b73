// The engine's SetOption with any names and values, in a fresh session, with
// files opened in between so that the collected options are taken by an
// input and by outputs and their streams.
//
// Input: lines "NAME=VALUE" (a line without "=" is a name with an empty
// value). The line "<in>" opens the clip as an input; "<out>=EXT" opens an
// output ScratchDir()/out.EXT, EXT one of a few containers (else avi).
//
// The engine's own exceptions are its documented refusals; anything else
// leaving SetOption or the file operations, and every sanitizer report, is
// a finding.
#include "fuzz/fuzz_support.h"
#include "engine/custom_ffmpeg.h"

#include <memory>

namespace {

constexpr size_t kMaxLines = 64;

std::string OutputExtension(const std::string &AValue) {
  for (const char *ext : {"avi", "mp3", "mp4", "mkv", "wav", "mpg", "flv", "3gp", "ogg", "mov", "ts", "vob"})
    if (AValue == ext)
      return AValue;
  return "avi";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  static std::unique_ptr<TCustomFFmpeg> engine = [] {
    LoadMediaLibraries();
    SmallClip();
    return std::make_unique<TCustomFFmpeg>(4);
  }();
  const std::string text(reinterpret_cast<const char *>(AData), ASize);
  if (ContainsNoCase(text, "vhook")) // loads a program module named by its value
    return 0;

  engine->ResetSession();
  size_t start = 0;
  for (size_t n = 0; n < kMaxLines && start <= text.size(); ++n) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t eq = line.find('=');
    const std::string name = line.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    try {
      if (name == "<in>")
        engine->OpenInputFile(SmallClip());
      else if (name == "<out>")
        engine->OpenOutputFile(ScratchDir() + "/out." + OutputExtension(value), false);
      else
        engine->SetOption(name, value);
    } catch (const Exception &) {
      // A documented refusal (FFmpegException, EConvertError, EAssertionFailed);
      // the session stays usable, as the job manager goes on with it.
    }
  }
  // Frees what the options and files made; outputs left empty are removed.
  engine->ResetSession();
  QuietLogs();
  return 0;
}
