#include "app/cli_report.h"

#include "catalogue/output_name.h"
#include "ui/row_texts.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

std::string Title(const TBatchFile &AFile) {
  return FileNamePart(AFile.Input) + " -> " + (AFile.Output.empty() ? std::string("-") : AFile.Output);
}

std::string EndText(const TBatchFile &AFile) {
  switch (AFile.Verdict) {
  case fvConverted:
    return "100%  converted";
  case fvNotConvertible:
    return "not convertible: " + AFile.Message;
  case fvFailed:
    break;
  }
  return "failed: " + AFile.Message;
}

class TPlainReport : public IBatchReport {
public:
  explicit TPlainReport(std::FILE *AOut) : FOut(AOut) {}

  void Refused(const TBatchFile &AFile) override { Line(FileNamePart(AFile.Input) + ": " + EndText(AFile)); }
  void Queued(int32_t, const TBatchFile &AFile) override { FFiles.push_back(AFile); }
  void Started(int32_t ATaskCount) override { Line("converting " + std::to_string(ATaskCount) + " file(s)"); }
  void Progress(int32_t ATask, const TProgressInfo &AInfo) override {
    Line(ProgressLine(FFiles.at(ATask), AInfo));
  }
  void Ended(int32_t, const TBatchFile &AFile) override { Line(Title(AFile) + "  " + EndText(AFile)); }

private:
  void Line(const std::string &AText) {
    std::fprintf(FOut, "%s\n", AText.c_str());
    std::fflush(FOut);
  }
  std::FILE *FOut;
  std::vector<TBatchFile> FFiles;
};

// Every queued file owns one line of a block at the bottom of the output;
// an update moves the cursor up to that line, rewrites it and comes back.
class TLiveReport : public IBatchReport {
public:
  explicit TLiveReport(std::FILE *AOut) : FOut(AOut) {}

  void Refused(const TBatchFile &AFile) override {
    std::fprintf(FOut, "%s: %s\n", FileNamePart(AFile.Input).c_str(), EndText(AFile).c_str());
    std::fflush(FOut);
  }
  void Queued(int32_t, const TBatchFile &AFile) override { FFiles.push_back(AFile); }
  void Started(int32_t) override {
    for (const TBatchFile &f : FFiles)
      std::fprintf(FOut, "%s  waiting\n", Title(f).c_str());
    std::fflush(FOut);
  }
  void Progress(int32_t ATask, const TProgressInfo &AInfo) override {
    Rewrite(ATask, ProgressLine(FFiles.at(ATask), AInfo));
  }
  void Ended(int32_t ATask, const TBatchFile &AFile) override { Rewrite(ATask, Title(AFile) + "  " + EndText(AFile)); }

private:
  void Rewrite(int32_t ATask, const std::string &AText) {
    const int up = static_cast<int>(FFiles.size()) - ATask;
    std::fprintf(FOut, "\x1b[%dA\r\x1b[2K%s\x1b[%dB\r", up, AText.c_str(), up);
    std::fflush(FOut);
  }
  std::FILE *FOut;
  std::vector<TBatchFile> FFiles;
};

} // namespace

std::string ProgressLine(const TBatchFile &AFile, const TProgressInfo &AInfo) {
  const TProgressTexts t = ProgressTextsOf(AInfo);
  std::string line = Title(AFile) + "  " + t.Percent;
  if (!t.Fps.empty())
    line += "  " + t.Fps + " fps";
  return line + "  " + t.Time + "  " + t.Size;
}

std::unique_ptr<IBatchReport> MakeBatchReport(std::FILE *AOut, bool ALive) {
  if (ALive)
    return std::make_unique<TLiveReport>(AOut);
  return std::make_unique<TPlainReport>(AOut);
}

bool IsLiveTerminal(std::FILE *AOut) {
  const char *term = std::getenv("TERM");
  return isatty(fileno(AOut)) && !(term && std::strcmp(term, "dumb") == 0);
}
