// The texts the system shows for a failed library open call: the file name,
// ": " and one of these. The current libraries' codes for the same causes map
// to the same texts.
#pragma once

#include <string>

std::string OpenErrorText(int ACode);
