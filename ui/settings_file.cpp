#include "ui/settings_file.h"

#include "ui/settings_paths.h"

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
  return QString::fromStdString(SettingsFilePathIn(AExeDir.toStdString()));
}

QString DefaultOutputFolder() { return QString::fromStdString(DefaultOutputFolderPath()); }

QString DefaultSnapshotFolder() { return QString::fromStdString(DefaultSnapshotFolderPath()); }

bool ForceFolder(const QString &AFolder) { return MakeFolder(AFolder.toStdString()); }
