// Reads the names of the shared objects a library file needs (its DT_NEEDED
// entries), so that the loader can take them from the library's own folder.
#pragma once

#include <string>
#include <vector>

// Empty when the file is not a readable ELF object of this machine's class.
std::vector<std::string> ReadNeededLibraries(const std::string &APath);
