#include "ui/file_names.h"

#include <filesystem>
#include <fnmatch.h>
#include <system_error>

std::vector<std::string> GetFilenames(const std::string &AFolder, const std::string &AExtMask) {
  std::vector<std::string> names;
  std::error_code ec;
  if (!std::filesystem::is_directory(AFolder, ec))
    return names;
  std::string folder = AFolder;
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  // "*.*" is every name on the system the product came from, also one
  // without a dot.
  const bool all = AExtMask == "*.*" || AExtMask == "*";
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kindError;
    if (it->is_directory(kindError))
      continue;
    const std::string name = it->path().filename().string();
    if (!all && fnmatch(AExtMask.c_str(), name.c_str(), 0) != 0)
      continue;
    names.push_back(folder + name);
  }
  return names;
}
