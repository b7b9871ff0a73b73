// Listing a folder for the folder add of the file list.
#pragma once

#include <string>
#include <vector>

// The full paths of the entries of AFolder that are not folders, hidden ones
// included, in the order the file system returns them; sub-folders are not
// entered. A folder that does not exist gives nothing. The mask is the
// product's "*.*", which matches every name; any other mask is matched as a
// shell pattern.
std::vector<std::string> GetFilenames(const std::string &AFolder, const std::string &AExtMask = "*.*");
