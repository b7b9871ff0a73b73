// The settings reader without Qt (used by the command-line program) against
// what the window's QSettings writes and reads.
#include "tests/ui/ui_test_support.h"
#include "ui/settings_file.h"
#include "ui/settings_paths.h"

#include <QFile>

namespace {

TEST(SettingsReader, ReadsWhatTheWindowWrites) {
  TTempHome home;
  const TSettingsFile file(home.SettingsPath());
  const std::string path = home.SettingsPath().toStdString();
  EXPECT_EQ(ReadSettingsText(path, "OutPath", "OutPath"), "Error"); // no file yet

  const struct {
    const char *Section, *Key, *Value;
  } cases[] = {
      {"OutPath", "OutPath", "/home/u/Zelvora视频软件/输出"},
      {"OutPath", "Odd", " lead, comma;semi=eq \"q\" back\\slash\ttab é\nnext "},
      {"OutPath", "Empty", ""},
      {"OutPath", "At", "@at"},
      {"Sec Two", "中文", "值"},
      {"Options", "After_Done", "2"},
  };
  for (const auto &c : cases)
    file.Write(QString::fromUtf8(c.Section), QString::fromUtf8(c.Key), QString::fromUtf8(c.Value));
  for (const auto &c : cases) {
    EXPECT_EQ(ReadSettingsText(path, c.Section, c.Key), c.Value) << c.Section << "/" << c.Key;
    EXPECT_EQ(QString::fromStdString(ReadSettingsText(path, c.Section, c.Key)),
              file.Read(QString::fromUtf8(c.Section), QString::fromUtf8(c.Key)));
  }
  EXPECT_EQ(ReadSettingsText(path, "OutPath", "Missing"), "Error");
  EXPECT_EQ(ReadSettingsText(path, "Skin", "OutPath"), "Error"); // a key of another section

  // A hand-edited list without quotes reads as the window reads it.
  QFile raw(home.SettingsPath());
  ASSERT_TRUE(raw.open(QIODevice::Append));
  raw.write("[Hand]\nList = /a, /b ,c\n");
  raw.close();
  EXPECT_EQ(QString::fromStdString(ReadSettingsText(path, "Hand", "List")), file.Read("Hand", "List"));
  EXPECT_EQ(ReadSettingsText(path, "Hand", "List"), "/a,/b,c");
}

TEST(SettingsReader, OutputFolderAsTheWindowChoosesIt) {
  TTempHome home;
  const std::string fallback = DefaultOutputFolderPath();
  EXPECT_EQ(fallback, (home.Home() + QStringLiteral("/Zelvora视频软件/输出")).toStdString());
  const std::string made = (home.Root() + QStringLiteral("/new/out")).toStdString();
  const struct {
    std::string Stored, Folder;
    bool IsDefault;
  } cases[] = {{"Error", fallback, true},
               {"", fallback, true},
               {made, made, false},                  // made when missing
               {"/proc/no/such", fallback, true}}; // cannot be made
  for (const auto &c : cases) {
    const TOutputFolderChoice choice = OutputFolderFor(c.Stored);
    EXPECT_EQ(choice.Folder, c.Folder) << c.Stored;
    EXPECT_EQ(choice.IsDefault, c.IsDefault) << c.Stored;
    EXPECT_TRUE(QFileInfo(QString::fromStdString(choice.Folder)).isDir()) << c.Stored;
  }
}

} // namespace
