#include "ui/settings_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

bool TSettingsFile::Exists() const { return QFileInfo(FPath).isFile(); }

QString TSettingsFile::Read(const QString &ASection, const QString &AKey) const {
  const QSettings ini(FPath, QSettings::IniFormat);
  const QVariant value = ini.value(ASection + '/' + AKey);
  if (!value.isValid())
    return SettingsAbsent;
  // An unquoted value with commas in a hand-edited file comes back as a list.
  if (value.typeId() == QMetaType::QStringList)
    return value.toStringList().join(',');
  return value.toString();
}

void TSettingsFile::Write(const QString &ASection, const QString &AKey, const QString &AValue) const {
  QDir().mkpath(QFileInfo(FPath).absolutePath());
  QSettings ini(FPath, QSettings::IniFormat);
  ini.setValue(ASection + '/' + AKey, AValue);
  ini.sync();
}

QString SettingsFilePathFor(const QString &AExeDir) {
  const QFileInfo dir(AExeDir);
  if (dir.isDir() && dir.isWritable())
    return QDir(AExeDir).filePath(QStringLiteral("option.ini"));
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty() || QDir::isRelativePath(config))
    config = QDir::homePath() + QStringLiteral("/.config");
  const QString folder = config + QStringLiteral("/zelvora");
  QDir().mkpath(folder);
  return folder + QStringLiteral("/option.ini");
}

QString DefaultOutputFolder() { return QDir::homePath() + QStringLiteral("/Zelvora视频软件/输出"); }

QString DefaultSnapshotFolder() { return QDir::homePath() + QStringLiteral("/Zelvora视频软件/快照"); }

bool ForceFolder(const QString &AFolder) {
  if (AFolder.isEmpty())
    return false;
  QDir().mkpath(AFolder);
  return QFileInfo(AFolder).isDir();
}
