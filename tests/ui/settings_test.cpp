// The settings file and the options window: every loader's fallback, what
// "确定" and "取消" keep, the output and snapshot folders, the skin choice.
#include "tests/ui/ui_test_support.h"

#include "ui/options_window.h"
#include "ui/settings_file.h"
#include "ui/skins.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

class Settings : public TWindowTest {
protected:
  QString DefaultOutput() const { return FHome.Home() + QStringLiteral("/Zelvora视频软件/输出"); }
  QString DefaultSnapshots() const { return FHome.Home() + QStringLiteral("/Zelvora视频软件/快照"); }
  // Opens the options window from the toolbar and lets AUse work in it.
  void InOptionsWindow(std::function<void(QDialog &)> AUse) {
    FDialogs.ExecAnswers.push_back([AUse](QDialog &ADialog) {
      AUse(ADialog);
      return QDialog::Rejected;
    });
    Child<QToolButton>(&Form1(), "btnOptions")->click();
  }
};

TEST_F(Settings, OutputFolderFromTheFileOrTheDefault) {
  const QString gone = FHome.Root() + QStringLiteral("/was/here/输出");
  const struct {
    QString Stored;
    QString Used;
  } cases[] = {
      {gone, gone},                         // a folder that no longer exists is made again
      {QString(), DefaultOutput()},         // empty
      {QStringLiteral("Error"), DefaultOutput()},
      {QStringLiteral("/proc/1/no/such"), DefaultOutput()}, // cannot be made
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Stored.toStdString());
    WriteSetting("OutPath", "OutPath", c.Stored);
    Start();
    EXPECT_EQ(Form1().FileOutPutPath(), c.Used);
    EXPECT_EQ(Child<QLineEdit>(&Form1(), "Video_OutPut_Folder_Edit")->text(), c.Used);
    EXPECT_TRUE(QFileInfo(c.Used).isDir());
    EXPECT_EQ(ReadSetting("OutPath", "OutPath"), c.Used);
    TearDown();
  }
}

TEST_F(Settings, OptionValuesChooseTheirControlsAndBadOnesAreWrittenBack) {
  const struct {
    const char *Key, *Stored, *Checked, *Written;
  } cases[] = {
      {"After_Done", "2", "rbPlaySound", "2"},       {"After_Done", "7", "rbOpenFolder", "0"},
      {"After_Done", "", "rbOpenFolder", "0"},       {"Thread_Priority", "0", "rbIdle", "0"},
      {"Thread_Priority", "1", "rbLowest", "1"},     {"Thread_Priority", "abc", "rbNormal", "3"},
      {"Overwrite_File", "0", "rbOverwrite", "0"},   {"Overwrite_File", "2", "rbRename", "1"},
      {"Show_Preview", "1", "chkShowPreview", "1"},  {"Show_Preview", "yes", nullptr, "0"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.Key) + "=" + c.Stored);
    WriteSetting("Options", c.Key, QString::fromUtf8(c.Stored));
    Start();
    if (c.Checked)
      EXPECT_TRUE(Child<QAbstractButton>(&Form5(), c.Checked)->isChecked());
    else
      EXPECT_FALSE(Child<QCheckBox>(&Form5(), "chkShowPreview")->isChecked());
    EXPECT_EQ(ReadSetting("Options", c.Key), c.Written);
    TearDown();
    QFile::remove(FHome.SettingsPath());
  }
}

TEST_F(Settings, ThreadCountShowsAStoredEntryElseOne) {
  const struct {
    const char *Stored; // nullptr: absent
    const char *Shown, *Written;
  } cases[] = {{"7", "7", "7"}, {"19", "19", "19"}, {"25", "1", "25"}, {"0", "1", "0"}, {nullptr, "1", "0"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Stored ? c.Stored : "absent");
    WriteSetting("Options", "After_Done", "0"); // the file exists either way
    if (c.Stored)
      WriteSetting("Options", "Thread_Count", c.Stored);
    Start();
    EXPECT_EQ(Child<QComboBox>(&Form5(), "cboThreadCount")->currentText(), c.Shown);
    EXPECT_EQ(ReadSetting("Options", "Thread_Count"), c.Written);
    TearDown();
    QFile::remove(FHome.SettingsPath());
  }
}

TEST_F(Settings, OkWritesTheOptionsAndCancelKeepsThemForThisRunOnly) {
  Start();
  InOptionsWindow([](QDialog &AWindow) {
    Child<QRadioButton>(&AWindow, "rbShutdown")->click();
    Child<QRadioButton>(&AWindow, "rbOverwrite")->click();
    Child<QRadioButton>(&AWindow, "rbLower")->click();
    Child<QCheckBox>(&AWindow, "chkShowPreview")->click();
    Child<QComboBox>(&AWindow, "cboThreadCount")->setCurrentText("4");
    Child<QPushButton>(&AWindow, "btnOK")->click();
  });
  EXPECT_EQ(ReadSetting("Options", "After_Done"), "1");
  EXPECT_EQ(ReadSetting("Options", "Overwrite_File"), "0");
  EXPECT_EQ(ReadSetting("Options", "Thread_Priority"), "2");
  EXPECT_EQ(ReadSetting("Options", "Show_Preview"), "1");
  EXPECT_EQ(ReadSetting("Options", "Thread_Count"), "4");

  InOptionsWindow([](QDialog &AWindow) {
    Child<QRadioButton>(&AWindow, "rbPlaySound")->click();
    Child<QPushButton>(&AWindow, "btnCancel")->click();
  });
  EXPECT_EQ(Form5().AfterDone(), adPlaySound); // what this run's conversions use
  EXPECT_EQ(Form5().ThreadCount(), 4);
  EXPECT_EQ(ReadSetting("Options", "After_Done"), "1");

  Restart();
  EXPECT_TRUE(Child<QRadioButton>(&Form5(), "rbShutdown")->isChecked());
  EXPECT_TRUE(Form5().OverwriteFiles());
  EXPECT_EQ(Form5().CpuUsage(), cuLower);
  EXPECT_TRUE(Form5().ShowPreview());
  EXPECT_EQ(Form5().ThreadCount(), 4);
}

TEST_F(Settings, PreviewCheckBoxReportsAtOnceAndTheHiddenModeSwitchGatesTheCount) {
  Start();
  QSignalSpy preview(&Form5(), &TForm5::ShowPreviewChanged);
  InOptionsWindow([](QDialog &AWindow) {
    Child<QCheckBox>(&AWindow, "chkShowPreview")->click();
    EXPECT_FALSE(Child<QCheckBox>(&AWindow, "chkMultiThread")->isVisible());
    EXPECT_TRUE(Child<QCheckBox>(&AWindow, "chkMultiThread")->isChecked());
    Child<QCheckBox>(&AWindow, "chkMultiThread")->setChecked(false);
    EXPECT_FALSE(Child<QComboBox>(&AWindow, "cboThreadCount")->isEnabled());
    Child<QCheckBox>(&AWindow, "chkMultiThread")->setChecked(true);
    EXPECT_TRUE(Child<QComboBox>(&AWindow, "cboThreadCount")->isEnabled());
    Child<QPushButton>(&AWindow, "btnCancel")->click();
  });
  ASSERT_EQ(preview.count(), 1);
  EXPECT_TRUE(preview[0][0].toBool());
}

TEST_F(Settings, BrowsingForTheOutputFolder) {
  Start();
  const QString chosen = FHome.Root() + QStringLiteral("/我的输出");
  QDir().mkpath(chosen);
  FDialogs.FolderAnswers = {chosen, QString(), FHome.Root() + QStringLiteral("/missing")};
  auto *browse = Child<QPushButton>(&Form1(), "btnBrowse");
  browse->click();
  EXPECT_EQ(Form1().FileOutPutPath(), chosen);
  EXPECT_EQ(Child<QLineEdit>(&Form1(), "Video_OutPut_Folder_Edit")->text(), chosen);
  EXPECT_EQ(ReadSetting("OutPath", "OutPath"), chosen);
  browse->click(); // cancelled
  browse->click(); // a folder that does not exist
  EXPECT_EQ(Form1().FileOutPutPath(), chosen);
  EXPECT_EQ(ReadSetting("OutPath", "OutPath"), chosen);
  EXPECT_EQ(FDialogs.FolderTitles, std::vector<QString>(3, QStringLiteral("选择输出目录")));
}

TEST_F(Settings, SkinChoiceIsAppliedAndStored) {
  Start();
  FDialogs.ExecAnswers.push_back([](QDialog &ADialog) {
    EXPECT_EQ(ADialog.windowTitle(), QStringLiteral("Select skin"));
    auto *skins = Child<QListWidget>(&ADialog, "lstSkins");
    EXPECT_EQ(skins->count(), 11);
    EXPECT_EQ(skins->item(0)->text(), QStringLiteral("OFFICE2007蓝色"));
    EXPECT_EQ(skins->item(10)->text(), QStringLiteral("Vista皮肤"));
    EXPECT_EQ(skins->currentRow(), 0);
    skins->setCurrentRow(8);
    Child<QPushButton>(&ADialog, "btnOK")->click();
    return QDialog::Rejected;
  });
  Child<QToolButton>(&Form1(), "btnSkin")->click();
  EXPECT_EQ(Form1().SkinIndex(), 8);
  EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(8));
  EXPECT_EQ(ReadSetting("Skin", "SetSkin"), "8");

  // Cancelled: the skin stays, and is written again.
  WriteSetting("Skin", "SetSkin", "3");
  FDialogs.ExecAnswers.push_back([](QDialog &ADialog) {
    EXPECT_EQ(Child<QListWidget>(&ADialog, "lstSkins")->currentRow(), 8);
    Child<QListWidget>(&ADialog, "lstSkins")->setCurrentRow(2);
    return QDialog::Rejected;
  });
  Child<QAction>(&Form1(), "mnuSkin")->trigger();
  EXPECT_EQ(Form1().SkinIndex(), 8);
  EXPECT_EQ(ReadSetting("Skin", "SetSkin"), "8");

  Restart();
  EXPECT_EQ(Form1().SkinIndex(), 8);
  EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(8));
}

TEST_F(Settings, ASkinSettingThatIsNoIndexShowsTheFirstSkin) {
  for (const char *stored : {"abc", "11", "-1"}) {
    SCOPED_TRACE(stored);
    WriteSetting("Skin", "SetSkin", stored);
    Start();
    EXPECT_EQ(Form1().SkinIndex(), 0);
    EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(0));
    TearDown();
  }
}

TEST_F(Settings, SnapshotFolderAndPictureType) {
  Start();
  EXPECT_EQ(Form1().LoadSnapshotFolder(), DefaultSnapshots());
  EXPECT_TRUE(QFileInfo(DefaultSnapshots()).isDir());
  EXPECT_EQ(ReadSetting("SnapShot", "Dir"), DefaultSnapshots());

  const QString stored = FHome.Root() + QStringLiteral("/快照/gone");
  WriteSetting("SnapShot", "Dir", stored);
  EXPECT_EQ(Form1().LoadSnapshotFolder(), stored);
  EXPECT_TRUE(QFileInfo(stored).isDir());

  // Chosen, then cancelled, then a folder that does not exist: only the first counts.
  const QString chosen = FHome.Root() + QStringLiteral("/shots");
  QDir().mkpath(chosen);
  FDialogs.FolderAnswers = {chosen, QString(), FHome.Root() + QStringLiteral("/nowhere")};
  QAction *choose = Child<QAction>(&Form1(), "mnuSetSnapshotFolder");
  for (int i = 0; i < 3; ++i)
    choose->trigger();
  EXPECT_EQ(ReadSetting("SnapShot", "Dir"), chosen);

  // The picture type: a stored value marks its item; anything else is BMP.
  auto marked = [this] {
    QStringList checked;
    for (const char *type : {"BMP", "JPG", "GIF", "PNG"})
      if (Child<QAction>(&Form1(), (std::string("mnuPicture") + type).c_str())->isChecked())
        checked << type;
    return checked;
  };
  EXPECT_EQ(Form1().LoadPictureType(), "BMP");
  EXPECT_EQ(ReadSetting("SnapShot", "Picture"), "BMP");
  Child<QAction>(&Form1(), "mnuPictureGIF")->trigger();
  EXPECT_EQ(ReadSetting("SnapShot", "Picture"), "GIF");
  EXPECT_EQ(marked(), QStringList{"GIF"});
  WriteSetting("SnapShot", "Picture", "PNG");
  EXPECT_EQ(Form1().LoadPictureType(), "PNG");
  EXPECT_EQ(marked(), QStringList{"PNG"});
  WriteSetting("SnapShot", "Picture", "TIFF");
  EXPECT_EQ(Form1().LoadPictureType(), "BMP");
  EXPECT_EQ(marked(), QStringList{"BMP"});
  EXPECT_EQ(ReadSetting("SnapShot", "Picture"), "BMP");

  Child<QAction>(&Form1(), "mnuOpenSnapshotFolder")->trigger();
  ASSERT_EQ(FDialogs.Opened.size(), 1u);
  EXPECT_EQ(FDialogs.Opened[0], QUrl::fromLocalFile(chosen));
}

TEST(SettingsFile, BesideTheProgramOrUnderTheUsersConfiguration) {
  TTempHome home;
  const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFilePathFor(home.Root()), home.Root() + QStringLiteral("/option.ini"));

  const QString notWritable = home.Root() + QStringLiteral("/no/such/folder");
  qputenv("XDG_CONFIG_HOME", (home.Root() + QStringLiteral("/config")).toUtf8());
  EXPECT_EQ(SettingsFilePathFor(notWritable), home.Root() + QStringLiteral("/config/zelvora/option.ini"));
  EXPECT_TRUE(QFileInfo(home.Root() + QStringLiteral("/config/zelvora")).isDir());
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFilePathFor(notWritable), home.Home() + QStringLiteral("/.config/zelvora/option.ini"));
  qputenv("XDG_CONFIG_HOME", "relative/path"); // not absolute: ignored
  EXPECT_EQ(SettingsFilePathFor(notWritable), home.Home() + QStringLiteral("/.config/zelvora/option.ini"));
  if (oldConfig.isNull())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", oldConfig);

  // Absent keys read as "Error"; Chinese values survive the file.
  const TSettingsFile file(home.Root() + QStringLiteral("/option.ini"));
  EXPECT_FALSE(file.Exists());
  EXPECT_EQ(file.Read("OutPath", "OutPath"), "Error");
  file.Write("OutPath", "OutPath", QStringLiteral("/家/输出"));
  EXPECT_TRUE(file.Exists());
  EXPECT_EQ(file.Read("OutPath", "OutPath"), QStringLiteral("/家/输出"));
  EXPECT_EQ(file.Read("Skin", "SetSkin"), "Error");
}

} // namespace
