#include "tests/catalogue/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

TTempFolder::TTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zv_catalogue_XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary folder");
  FPath = pattern;
}

TTempFolder::~TTempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(FPath, ec);
}

void TTempFolder::AddFile(const std::string &AName) const { std::ofstream(FPath + "/" + AName).put('x'); }

void TTempFolder::AddFolder(const std::string &AName) const { std::filesystem::create_directory(FPath + "/" + AName); }
