// Where the program's own files live.
#pragma once

#include <string>

// The folder of the running executable, without a trailing separator.
std::string ExecutableDir();
