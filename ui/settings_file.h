// The settings file "option.ini": sections of text keys read and written
// through QSettings in INI form.
//
// A key that is absent reads as "Error", and every reader treats that text
// like an absent key. Each call opens the file afresh and a write is on disk
// when it returns, so the main window and the options window, which both
// use the file, always see each other's writes.
#pragma once

#include <QString>

// The text an absent key reads as.
inline const QString SettingsAbsent = QStringLiteral("Error");

class TSettingsFile {
public:
  explicit TSettingsFile(QString APath) : FPath(std::move(APath)) {}

  const QString &Path() const { return FPath; }
  bool Exists() const;
  QString Read(const QString &ASection, const QString &AKey) const;
  // Creates the file (and its folder) when missing.
  void Write(const QString &ASection, const QString &AKey, const QString &AValue) const;

private:
  QString FPath;
};

// "option.ini" in AExeDir when that folder is writable; otherwise
// $XDG_CONFIG_HOME/zelvora/option.ini ($HOME/.config when the variable is
// unset or not absolute), whose folder is created.
QString SettingsFilePathFor(const QString &AExeDir);

// The default folders under the user's home: "Zelvora视频软件/输出" for
// converted files and "Zelvora视频软件/快照" for snapshots.
QString DefaultOutputFolder();
QString DefaultSnapshotFolder();

// Creates AFolder with any missing parents. True when it is a folder afterwards.
bool ForceFolder(const QString &AFolder);
