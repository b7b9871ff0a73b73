#include "jobs/option_records.h"

#include "platform/convert.h"

void InitInputOptions(TInputOptions &AOptions) { AOptions = TInputOptions{}; }
void InitOutputOptions(TOutputOptions &AOptions) { AOptions = TOutputOptions{}; }

std::vector<TExtOption> ParseExtOptions(const std::string &AText) {
  const std::string text = Trim(AText);
  // Line breaks and the literal "<CRLF>" all become LF; one pass does both
  // since the marker holds no line break of its own.
  static const std::string marker = "<CRLF>";
  std::string lines;
  lines.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      const char other = c == '\r' ? '\n' : '\r';
      if (i + 1 < text.size() && text[i + 1] == other)
        ++i;
      lines += '\n';
    } else if (text.compare(i, marker.size(), marker) == 0) {
      lines += '\n';
      i += marker.size() - 1;
    } else {
      lines += c;
    }
  }

  std::vector<TExtOption> result;
  if (lines.empty())
    return result;
  size_t start = 0;
  while (true) {
    const size_t end = lines.find('\n', start);
    const std::string line = lines.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
      result.emplace_back(line, "");
    else
      result.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return result;
}
