// A fresh empty folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

class TTempFolder {
public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder &) = delete;
  TTempFolder &operator=(const TTempFolder &) = delete;

  const std::string &Path() const { return FPath; }
  // Creates a one-byte plain file, or an empty folder, named AName inside the folder.
  void AddFile(const std::string &AName) const;
  void AddFolder(const std::string &AName) const;

private:
  std::string FPath;
};
