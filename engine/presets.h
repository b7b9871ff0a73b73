// The built-in encoder presets that LoadPreset knows by name (the catalogue's
// formats name "libx264-default"). Plain constant data, valid for the whole
// program.
#pragma once

#include <string>
#include <vector>

struct TBuiltinPreset {
  const char *Name; // lower case, "libx264-…"
  const char *Text; // KEY=VALUE lines in the older option vocabulary
};

// The preset of that name, compared case-insensitively, or null.
const TBuiltinPreset *FindBuiltinPreset(const std::string &AName);
// Every built-in preset, in table order.
std::vector<const TBuiltinPreset *> BuiltinPresetList();
