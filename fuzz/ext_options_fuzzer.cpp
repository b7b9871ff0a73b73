// The ExtOptions text: its parser on its own, and a task built from it the
// way the job manager's string forms do (AddTask, then SetOutputFile).
//
// Input: the input file's text, a NUL byte, the output file's text; without
// a NUL byte all of it is the output's text.
#include "fuzz/fuzz_support.h"
#include "jobs/job_manager.h"

#include <memory>

namespace {

// What ParseExtOptions promises whatever the text: no line break left in a
// name or value, no "=" in a name, the "<CRLF>" marker always taken as a
// break, and nothing at all for a text of blanks.
void CheckParsed(const std::string &AText) {
  const std::vector<TExtOption> lines = ParseExtOptions(AText);
  bool blank = true;
  for (char c : AText)
    blank = blank && static_cast<unsigned char>(c) <= ' ';
  if (blank != lines.empty())
    Violation("a blank text must give no lines and only a blank one may");
  for (const auto &[name, value] : lines) {
    if (name.find_first_of("\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
      Violation("a line break survived in \"" + name + "\"");
    if (name.find('=') != std::string::npos)
      Violation("a name holds \"=\": \"" + name + "\"");
    if (name.find("<CRLF>") != std::string::npos || value.find("<CRLF>") != std::string::npos)
      Violation("a <CRLF> marker survived in \"" + name + "=" + value + "\"");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  static std::unique_ptr<TJobManager> manager = [] {
    LoadMediaLibraries();
    SmallClip();
    return std::make_unique<TJobManager>();
  }();
  const std::string text(reinterpret_cast<const char *>(AData), ASize);
  CheckParsed(text);

  // "vhook" loads a program module named by its value; not for random names.
  if (ContainsNoCase(text, "vhook"))
    return 0;
  const size_t split = text.find('\0');
  const std::string inputText = split == std::string::npos ? std::string() : text.substr(0, split);
  const std::string outputText = split == std::string::npos ? text : text.substr(split + 1);

  const int32_t task = manager->AddTask(SmallClip(), inputText);
  if (task >= 0)
    manager->SetOutputFile(task, ScratchDir() + "/out.avi", outputText);
  manager->ClearTasks();
  QuietLogs();
  return 0;
}
