// Faults as the window's user meets them: a settings file of random bytes,
// an output folder that cannot be made when work starts, the disk filling up
// under one row, and files with awkward names added and converted.
#include "tests/ui/vantro_test_support.h"

#include "jobs/job_manager.h"
#include "playback/av_probe.h"
#include "tests/support/fixtures.h"
#include "ui/options_window.h"
#include "ui/skins.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <sys/resource.h>

#include <csignal>
#include <random>

namespace {

class WindowFaults : public TWindowTest {};

// Seeded, so a failure can be reproduced: every byte value, NULs and
// sequences that are no UTF-8 among them, and lines that look like sections
// and keys.
QByteArray RandomSettingsBytes(uint32_t ASeed) {
  std::mt19937 random(ASeed);
  QByteArray bytes;
  while (bytes.size() < 4096) {
    switch (std::uniform_int_distribution<int>(0, 9)(random)) {
    case 0: bytes += QByteArrayLiteral("\n[OutPath]\nOutPath="); break;
    case 1: bytes += QByteArray("\xff\xfe\xc3\x28\xe4\xb8", 6); break;
    case 2: bytes += QByteArray(3, '\0'); break;
    default: bytes += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    }
  }
  return bytes;
}

TEST_F(WindowFaults, ASettingsFileOfRandomBytesGivesTheDefaultsAndIsRewritten) {
  const QString output = FHome.Home() + QStringLiteral("/Zelvora视频软件/输出");
  for (const uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    QFile file(FHome.SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(RandomSettingsBytes(seed));
    file.close();

    Start();
    EXPECT_EQ(Form1().FileOutPutPath(), output);
    EXPECT_EQ(Child<QLineEdit>(&Form1(), "Video_OutPut_Folder_Edit")->text(), output);
    EXPECT_EQ(Form1().SkinIndex(), 0);
    EXPECT_TRUE(Child<QRadioButton>(&Form5(), "rbOpenFolder")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&Form5(), "rbRename")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(&Form5(), "rbNormal")->isChecked());
    EXPECT_EQ(Child<QComboBox>(&Form5(), "cboThreadCount")->currentText(), "1");
    EXPECT_FALSE(Child<QCheckBox>(&Form5(), "chkShowPreview")->isChecked());
    // The file now holds what was written back, readable by the next start.
    EXPECT_EQ(ReadSetting("OutPath", "OutPath"), output);
    EXPECT_EQ(ReadSetting("Skin", "SetSkin"), "0");
    EXPECT_EQ(ReadSetting("Options", "After_Done"), "0");
    EXPECT_EQ(ReadSetting("Options", "Thread_Priority"), "3");
    EXPECT_EQ(ReadSetting("Options", "Overwrite_File"), "1");
    EXPECT_EQ(ReadSetting("Options", "Show_Preview"), "0");
    Restart();
    EXPECT_EQ(Form1().FileOutPutPath(), output);
    TearDown();
  }
}

// ---------------------------------------------------------------- with real conversions

class ConversionFaults : public TVantroWindowTest {
protected:
  void SetUp() override {
    TVantroWindowTest::SetUp();
    Form1().Vantro().SetProgressInterval(100);
    Child<QRadioButton>(&Form5(), "rbDoNothing")->setChecked(true);
    Child<QComboBox>(&Form5(), "cboThreadCount")->setCurrentText("2");
  }
  // Rows of copies of a fixture under "media/", in the order named.
  void AddCopies(const std::string &AFixture, const QStringList &ANames) {
    QStringList files;
    for (const QString &name : ANames)
      files.prepend(CopyOf(AFixture, QStringLiteral("media/") + name)); // taken last to first
    AddFiles(files);
  }
  void Start() { Child<QToolButton>(&Form1(), "btnStart")->click(); }
  QString StatusText() { return Child<QLabel>(&Form1(), "lblBatchStatus")->text(); }
  bool WaitForEnd() {
    return QTest::qWaitFor([&] { return StatusText().startsWith(QStringLiteral("转换结束")); }, 120000);
  }
  QString OutputOf(int ARow) { return Out() + '/' + CellText(ARow, 3); }
  bool Decodes(int ARow) {
    TAVProbe probe;
    return probe.LoadFile(OutputOf(ARow).toStdString()) && probe.FileStreamInfo().Duration > 0;
  }
};

// The output folder is made again when work starts; when it cannot be (a
// file took its parent's place) the start says so and nothing runs.
TEST_F(ConversionFaults, AnOutputFolderThatCannotBeMadeStopsTheStart) {
  AddCopies(ToneWav(0.5), {"a.wav", "b.wav"});
  const QString parent = QFileInfo(Out()).absolutePath();
  ASSERT_TRUE(QDir(parent).removeRecursively());
  QFile blocker(parent);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();

  Start();
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("提示"));
  EXPECT_EQ(FDialogs.Messages[0].Text, QStringLiteral("无法开始转换：输出目录“%1”不能创建。").arg(Out()));
  EXPECT_FALSE(Form1().Vantro().Working());
  for (const char *name : {"btnStart", "btnAdd", "btnRemove", "btnClear", "btnBrowse"})
    EXPECT_TRUE(Child<QWidget>(&Form1(), name)->isEnabled()) << name;
  EXPECT_FALSE(Child<QWidget>(&Form1(), "btnStop")->isEnabled());
  EXPECT_EQ(Column(4), QStringList(2, ""));
  EXPECT_TRUE(FActions.KeepAwakeCalls.empty());

  // Gone without a file in the way, it is made again and the rows convert.
  ASSERT_TRUE(QFile::remove(parent));
  Start();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Column(4), QStringList(2, "100%"));
  EXPECT_TRUE(Decodes(0));
  EXPECT_TRUE(Decodes(1));
  EXPECT_EQ(FDialogs.Messages.size(), 1u);
}

// One row's output outgrows the space left; its message is shown, its half
// file removed, and the rows around it finish.
TEST_F(ConversionFaults, AFullDiskFailsTheRowThatOutgrowsIt) {
  const std::string small = ToneWav(1.0), big = ToneWav(10.0);
  AddCopies(small, {"a.wav"});
  AddCopies(big, {"big.wav"}); // 160 KB of MP3, the others 16 KB
  AddCopies(small, {"c.wav"});
  {
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = 100 << 10;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    Start();
    const bool ended = WaitForEnd();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(ended);
  }
  EXPECT_EQ(Column(4)[0], "100%");
  EXPECT_NE(Column(4)[1], "100%");
  EXPECT_EQ(Column(4)[2], "100%");
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("Zelvora视频转MP3格式转换器"));
  // Whether the muxer still holds the packets that cross the limit until
  // the file is finished is the library's affair.
  EXPECT_TRUE(FDialogs.Messages[0].Text == QStringLiteral("av_interleaved_write_frame(): File too large") ||
              FDialogs.Messages[0].Text == QStringLiteral("av_write_trailer(): File too large"))
      << FDialogs.Messages[0].Text.toStdString();
  EXPECT_EQ(StatusText(), QStringLiteral("转换结束：2 个文件转换成功，1 个失败。"));
  EXPECT_FALSE(QFileInfo::exists(OutputOf(1)));
  EXPECT_TRUE(Decodes(0));
  EXPECT_TRUE(Decodes(2));
}

// Names with spaces, quotes, Chinese characters and 250 bytes, added through
// the window: each row names its output after its input and converts.
TEST_F(ConversionFaults, AwkwardNamesAreAddedAndConverted) {
  QString chinese250;
  while (chinese250.toUtf8().size() < 246)
    chinese250 += QStringLiteral("长");
  const QString names[] = {
      QStringLiteral("with  two spaces .wav"), QStringLiteral("it's.wav"),   QStringLiteral("say \"hi\".wav"),
      QStringLiteral("中文 歌曲.wav"),          QString(246, 'n') + ".wav", chinese250 + ".wav",
  };
  QStringList all, outputs;
  for (const QString &name : names) {
    all << name;
    outputs << name.chopped(4) + ".mp3";
  }
  AddCopies(ToneWav(0.5), all);
  ASSERT_EQ(RowCount(), static_cast<int>(std::size(names)));
  EXPECT_EQ(Column(3), outputs);
  Start();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Column(4), QStringList(static_cast<int>(std::size(names)), "100%"));
  for (int r = 0; r < RowCount(); ++r)
    EXPECT_TRUE(Decodes(r)) << OutputOf(r).toStdString();
  EXPECT_TRUE(FDialogs.Messages.empty());
}

} // namespace
