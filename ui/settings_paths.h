// Where the settings file and the default folders are, and a reader for the
// settings file's text values: what the window and the command-line program
// agree on. No window toolkit; the window's TSettingsFile writes the file
// (QSettings, INI form) and this reader understands what it writes.
#pragma once

#include <string>

// What an absent key reads as; every reader treats it like an absent key.
inline constexpr const char *SettingsAbsentText = "Error";

// "option.ini" in AExeDir when that folder is writable; otherwise
// $XDG_CONFIG_HOME/zelvora/option.ini ($HOME/.config when the variable is
// unset or not absolute), whose folder is created.
std::string SettingsFilePathIn(const std::string &AExeDir);

// $HOME/Zelvora视频软件/输出 and $HOME/Zelvora视频软件/快照.
std::string DefaultOutputFolderPath();
std::string DefaultSnapshotFolderPath();

// Creates AFolder with any missing parents. True when it is a folder afterwards.
bool MakeFolder(const std::string &AFolder);

// The text value of AKey in ASection of the INI file AFile, or
// SettingsAbsentText when the file or the key is missing. Reads the form
// QSettings writes: percent-encoded section and key names, UTF-8 values,
// quotes and backslash escapes, a leading "@" doubled; an unquoted list
// ("a, b") comes back joined by commas, as the window reads it.
std::string ReadSettingsText(const std::string &AFile, const std::string &ASection, const std::string &AKey);

// The output folder for the stored "OutPath" text: the stored folder,
// created when missing, or the default output folder (created) when nothing
// usable is stored or the stored one cannot be made. IsDefault tells the
// window to write the default back into the settings.
struct TOutputFolderChoice {
  std::string Folder;
  bool IsDefault = false;
};
TOutputFolderChoice OutputFolderFor(const std::string &AStored);
