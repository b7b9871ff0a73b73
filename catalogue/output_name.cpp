#include "catalogue/output_name.h"

#include <filesystem>
#include <system_error>

namespace {

// Only plain files make a name taken; a folder of that name is left for the
// output's open to report.
bool PlainFileExists(const std::string &APath) {
  std::error_code ec;
  return std::filesystem::is_regular_file(APath, ec);
}

size_t NameStart(const std::string &APath) {
  const size_t slash = APath.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

// Position of the name part's last dot, or npos.
size_t ExtStart(const std::string &APath) {
  const size_t dot = APath.rfind('.');
  return dot == std::string::npos || dot < NameStart(APath) ? std::string::npos : dot;
}

} // namespace

std::string FileNamePart(const std::string &APath) { return APath.substr(NameStart(APath)); }

std::string FileExtPart(const std::string &APath) {
  const size_t dot = ExtStart(APath);
  return dot == std::string::npos ? std::string() : APath.substr(dot);
}

std::string ReplaceFileExt(const std::string &APath, const std::string &AExt) {
  return APath.substr(0, ExtStart(APath)) + AExt;
}

std::string ProposedOutputName(const std::string &AOutputFolder, const std::string &AInputFile,
                               const std::string &AOutExt) {
  return AOutputFolder + "/" + ReplaceFileExt(FileNamePart(AInputFile), AOutExt);
}

std::string UniqueOutputName(const std::string &AOutputFolder, const std::string &AProposal, bool AOverwrite) {
  const std::string ext = FileExtPart(AProposal);
  const std::string name = FileNamePart(AProposal);
  const std::string prefix = AOutputFolder + "/" + name.substr(0, name.size() - ext.size());
  std::string candidate = prefix + ext;
  if (AOverwrite || !PlainFileExists(candidate))
    return candidate;
  for (unsigned n = 1;; ++n) {
    candidate = prefix + "_" + std::to_string(n) + ext;
    if (!PlainFileExists(candidate))
      return candidate;
  }
}

std::string RenameExtensionOfTitle(const std::string &ATitle) {
  if (ATitle.size() < 5)
    return {};
  const std::string four = ATitle.substr(ATitle.size() - 5, 4);
  static const struct {
    const char *Tail;
    const char *Ext;
  } renames[] = {{"lac)", ".alac"}, {"flac", ".flac"}, {"aiff", ".aiff"},
                 {"mpeg", ".mpeg"}, {"*.rm", ".rm"},   {"*.ra", ".ra"}};
  for (const auto &r : renames)
    if (four == r.Tail)
      return r.Ext;
  return four;
}
