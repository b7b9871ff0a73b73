// Converting from the window with real conversions of short fixtures: start
// with its thread count, progress in the rows, pause and resume, stop and a
// new start, failures at start and in a task, closing during work, the
// after-conversion actions, and what the window adds around them.
#include "tests/ui/vantro_test_support.h"

#include "catalogue/formats.h"
#include "jobs/job_manager.h"
#include "playback/av_probe.h"
#include "tests/support/fixtures.h"
#include "ui/office_combo.h"
#include "ui/options_window.h"
#include "ui/power_off_countdown.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <set>

namespace {

class Conversion : public TVantroWindowTest {
protected:
  void SetUp() override {
    TVantroWindowTest::SetUp();
    // Reports often enough to watch short conversions.
    Form1().Vantro().SetProgressInterval(100);
    After("rbDoNothing");
  }

  // Rows of copies of a fixture, in the order named.
  QStringList AddCopies(const std::string &AFixture, const QStringList &ANames) {
    QStringList files;
    for (const QString &name : ANames)
      files.prepend(CopyOf(AFixture, QStringLiteral("media/") + name)); // taken last to first
    AddFiles(files);
    return Column(0);
  }
  // The format later rows are added with, by its key.
  void ChooseFormat(int32_t AKey) {
    const TFormatPosition at = *FindFormatByKey(AKey);
    Child<TOfficeComboBox>(&Form1(), "bsSkinOfficeComboBox2")->setCurrentIndex(at.CategoryIndex);
    Child<TOfficeComboBox>(&Form1(), "bsSkinOfficeComboBox1")->setCurrentIndex(at.FormatIndex);
  }
  void After(const char *ARadio) { Child<QRadioButton>(&Form5(), ARadio)->setChecked(true); }
  void Threads(int ACount) { Child<QComboBox>(&Form5(), "cboThreadCount")->setCurrentText(QString::number(ACount)); }
  void Start() { Child<QToolButton>(&Form1(), "btnStart")->click(); }
  bool Enabled(const char *AName) { return Child<QWidget>(&Form1(), AName)->isEnabled(); }
  bool ActionEnabled(const char *AName) { return Child<QAction>(&Form1(), AName)->isEnabled(); }
  bool Ended() { return Form1().Vantro().Terminated(); }
  // Waits for the batch's end as the window sees it (its status line says so).
  bool WaitForEnd(int AMs = 60000) {
    return QTest::qWaitFor([&] { return StatusText().startsWith(QStringLiteral("转换结束")); }, AMs);
  }
  QString StatusText() { return Child<QLabel>(&Form1(), "lblBatchStatus")->text(); }
  QStringList Progress() { return Column(4); }
  // Columns 4 to 7 of every row.
  QStringList ProgressColumns() {
    QStringList texts;
    for (int c = 4; c <= 7; ++c)
      texts += Column(c);
    return texts;
  }
  qint64 OutputSize(int ARow) { return QFileInfo(Out() + '/' + CellText(ARow, 3)).size(); }
  bool Decodes(int ARow) {
    TAVProbe probe;
    return probe.LoadFile((Out() + '/' + CellText(ARow, 3)).toStdString()) && probe.FileStreamInfo().Duration > 0;
  }
};

TEST_F(Conversion, ThreeAtOnceEachRowItsOwnProgressAllTo100) {
  ChooseFormat(302); // H.264 1280*720: slow enough to watch
  Threads(3);
  AddCopies(TestMovie(1.0), {"a.avi", "b.avi", "c.avi", "d.avi", "e.avi"});
  After("rbDoNothing");
  Child<QRadioButton>(&Form5(), "rbLower")->setChecked(true);
  Start();
  EXPECT_EQ(Form1().Vantro().ThreadPriority(), tpLower);
  // Working: stop and pause only; moving, options and skins stay.
  for (const char *name : {"btnStop", "btnPause", "btnMoveUp", "btnMoveDown", "btnOptions", "btnSkin"})
    EXPECT_TRUE(Enabled(name)) << name;
  for (const char *name : {"btnStart", "btnAdd", "btnRemove", "btnClear", "btnRename", "btnResume", "btnBrowse",
                           "bsSkinOfficeComboBox1", "bsSkinOfficeComboBox2", "bsSkinComboBox1", "bsSkinComboBox3",
                           "bsSkinComboBox10"})
    EXPECT_FALSE(Enabled(name)) << name;
  for (const char *name : {"mnuStart", "mnuAddFile", "mnuAddFolder", "pmAddFiles", "mnuRemove", "mnuClear",
                           "mnuRename", "mnuResume"})
    EXPECT_FALSE(ActionEnabled(name)) << name;
  EXPECT_TRUE(ActionEnabled("mnuStop"));
  EXPECT_TRUE(ActionEnabled("mnuPause"));
  EXPECT_TRUE(StatusText().startsWith(QStringLiteral("总进度 "))) << StatusText().toStdString();

  // Watch the rows: a row is running from its first progress text to "100%".
  int most = 0;
  std::set<int> seenRunning;
  bool laterWaited = true; // rows 4 and 5 start only once one of the first three ended
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QStringList p = Progress();
        int running = 0, done = 0;
        for (int r = 0; r < 5; ++r) {
          const bool isRunning = !p[r].isEmpty() && p[r] != "100%";
          running += isRunning;
          done += p[r] == "100%";
          if (isRunning)
            seenRunning.insert(r);
          if (r >= 3 && !p[r].isEmpty() && done == 0 && p[0] != "100%" && p[1] != "100%" && p[2] != "100%")
            laterWaited = false;
        }
        most = std::max(most, running);
        return StatusText().startsWith(QStringLiteral("转换结束"));
      },
      120000));
  EXPECT_EQ(most, 3);
  EXPECT_TRUE(laterWaited);
  EXPECT_EQ(seenRunning.size(), 5u) << "every row shows its own progress before its end";
  EXPECT_EQ(Progress(), QStringList(5, "100%"));
  for (int r = 0; r < 5; ++r) {
    EXPECT_TRUE(Decodes(r)) << r;
    EXPECT_FALSE(CellText(r, 6).isEmpty()) << r; // converted time
    EXPECT_TRUE(CellText(r, 7).endsWith("MB")) << r;
  }
  // Finished: only clearing goes on; the end is told once.
  EXPECT_TRUE(Enabled("btnClear"));
  EXPECT_FALSE(Enabled("btnAdd"));
  EXPECT_FALSE(Enabled("btnStart"));
  EXPECT_FALSE(Enabled("btnRemove"));
  EXPECT_FALSE(Enabled("btnStop"));
  EXPECT_TRUE(Enabled("bsSkinOfficeComboBox1"));
  EXPECT_EQ(StatusText(), QStringLiteral("转换结束：5 个文件转换成功，0 个失败。"));
  EXPECT_EQ(FActions.Notifications,
            QStringList{QStringLiteral("Zelvora视频转MP3格式转换器: 转换结束：5 个文件转换成功，0 个失败。")});
  EXPECT_EQ(FActions.KeepAwakeCalls, std::vector<bool>({true, false}));
  EXPECT_TRUE(FDialogs.Messages.empty());
}

TEST_F(Conversion, PauseFreezesTheRowsAndSwapsTheButtonsResumeGoesOn) {
  ChooseFormat(504); // H.264 1920*1080
  Threads(2);
  AddCopies(TestMovie(2.0), {"a.avi", "b.avi"});
  Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !CellText(0, 4).isEmpty() && !CellText(1, 4).isEmpty(); }, 30000));
  ASSERT_NE(CellText(0, 4), "100%") << "too fast to pause";
  Child<QAction>(&Form1(), "mnuPause")->trigger();
  EXPECT_FALSE(Child<QToolButton>(&Form1(), "btnPause")->isVisible());
  EXPECT_TRUE(Child<QToolButton>(&Form1(), "btnResume")->isVisible());
  EXPECT_TRUE(Enabled("btnResume"));
  EXPECT_TRUE(ActionEnabled("mnuResume"));
  EXPECT_FALSE(ActionEnabled("mnuPause"));
  EXPECT_TRUE(Enabled("btnStop"));
  EXPECT_FALSE(Enabled("btnAdd"));
  EXPECT_TRUE(StatusText().endsWith(QStringLiteral("已暂停"))) << StatusText().toStdString();

  QTest::qWait(300); // a report already under way may still land
  const QStringList frozen = ProgressColumns();
  const qint64 size0 = OutputSize(0), size1 = OutputSize(1);
  QTest::qWait(1200);
  EXPECT_EQ(ProgressColumns(), frozen);
  EXPECT_EQ(OutputSize(0), size0);
  EXPECT_EQ(OutputSize(1), size1);

  Child<QToolButton>(&Form1(), "btnResume")->click();
  EXPECT_TRUE(Child<QToolButton>(&Form1(), "btnPause")->isVisible());
  EXPECT_FALSE(Child<QToolButton>(&Form1(), "btnResume")->isVisible());
  EXPECT_TRUE(Enabled("btnPause"));
  EXPECT_FALSE(Enabled("btnResume"));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Progress(), QStringList(2, "100%"));
  EXPECT_TRUE(Decodes(0));
  EXPECT_TRUE(Decodes(1));
}

TEST_F(Conversion, StopThenStartAgainConvertsEveryRow) {
  ChooseFormat(504);
  Threads(1);
  AddCopies(TestMovie(2.0), {"a.avi", "b.avi", "c.avi"});
  After("rbOpenFolder");
  Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !CellText(0, 4).isEmpty(); }, 30000));
  ASSERT_NE(CellText(0, 4), "100%") << "too fast to stop";
  Child<QToolButton>(&Form1(), "btnStop")->click();

  // The stop waited for the final report: Stopped, then Finished.
  EXPECT_TRUE(Ended());
  EXPECT_TRUE(Enabled("btnStart"));
  EXPECT_FALSE(ActionEnabled("mnuStart"));
  EXPECT_TRUE(Enabled("btnClear"));
  EXPECT_TRUE(ActionEnabled("mnuClear"));
  EXPECT_FALSE(Enabled("btnAdd"));
  for (const char *name : {"mnuAddFile", "mnuAddFiles", "mnuAddFolder", "pmAddFile"})
    EXPECT_FALSE(ActionEnabled(name)) << name;
  EXPECT_FALSE(Enabled("btnStop"));
  EXPECT_FALSE(Enabled("btnPause"));
  EXPECT_FALSE(Enabled("btnRemove"));
  EXPECT_TRUE(Enabled("bsSkinOfficeComboBox2"));
  // The stopped task keeps its last progress, the ones after it never ran.
  const qsizetype done = Progress().count("100%");
  ASSERT_LT(done, 2) << "too fast to stop";
  EXPECT_FALSE(CellText(done, 4).isEmpty());
  EXPECT_NE(CellText(done, 4), "100%");
  EXPECT_EQ(CellText(2, 4), "");
  // The action runs on the report that followed the stop.
  ASSERT_EQ(FDialogs.Opened.size(), 1u);
  EXPECT_EQ(FDialogs.Opened[0], QUrl::fromLocalFile(Out()));
  EXPECT_EQ(StatusText(), QStringLiteral("转换结束：%1 个文件转换成功，0 个失败，%2 个未完成。").arg(done).arg(3 - done));

  Start();
  EXPECT_FALSE(Enabled("btnStart"));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Progress(), QStringList(3, "100%"));
  for (int r = 0; r < 3; ++r)
    EXPECT_TRUE(Decodes(r)) << r;
  EXPECT_EQ(FDialogs.Opened.size(), 2u);
}

TEST_F(Conversion, ARowWhoseInputVanishedStopsTheStart) {
  const QStringList rows = AddCopies(ToneWav(1.0), {"a.wav", "b.wav", "c.wav"});
  ASSERT_TRUE(QFile::remove(rows[1]));
  Start();
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("提示"));
  EXPECT_TRUE(FDialogs.Messages[0].Text.startsWith(QStringLiteral("无法开始转换：第 2 个文件“") + rows[1] + "”不能转换。"))
      << FDialogs.Messages[0].Text.toStdString();
  // Ready as before: nothing runs, everything that was on stays on.
  EXPECT_FALSE(Form1().Vantro().Working());
  for (const char *name : {"btnStart", "btnAdd", "btnRemove", "btnClear", "bsSkinOfficeComboBox1"})
    EXPECT_TRUE(Enabled(name)) << name;
  EXPECT_FALSE(Enabled("btnStop"));
  EXPECT_EQ(Progress(), QStringList(3, ""));
  EXPECT_TRUE(FActions.KeepAwakeCalls.empty());

  // Without the row the start goes through.
  List()->selectRow(1);
  Form1().btnRemoveClick();
  Start();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(Progress(), QStringList(2, "100%"));
}

TEST_F(Conversion, AFailingTaskShowsItsMessageAndTheOthersFinish) {
  ChooseFormat(3209); // H.263 in 3GP: only the standard picture sizes
  Threads(3);
  AddCopies(TestMovie(1.0), {"a.avi", "b.avi", "c.avi"});
  List()->selectRow(1);
  Child<QComboBox>(&Form1(), "bsSkinComboBox1")->setCurrentText("320*240");
  ASSERT_EQ(CellText(1, 16), "320*240");
  Start();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CellText(0, 4), "100%");
  EXPECT_NE(CellText(1, 4), "100%");
  EXPECT_EQ(CellText(2, 4), "100%");
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("Zelvora视频转MP3格式转换器"));
  EXPECT_TRUE(FDialogs.Messages[0].Text.contains(QStringLiteral("encoder"))) << FDialogs.Messages[0].Text.toStdString();
  EXPECT_EQ(StatusText(), QStringLiteral("转换结束：2 个文件转换成功，1 个失败。"));
}

TEST_F(Conversion, ClosingDuringWorkStopsWithoutTheAction) {
  ChooseFormat(504);
  Threads(2);
  AddCopies(TestMovie(2.0), {"a.avi", "b.avi"});
  After("rbShutdown");
  Form1().SetPowerOffCountdown(1);
  Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !CellText(0, 4).isEmpty(); }, 30000));
  Form1().close();
  EXPECT_TRUE(Ended()); // the workers have ended
  QTest::qWait(1500);   // longer than the countdown would have run
  EXPECT_EQ(FActions.PowerOffs, 0);
  EXPECT_EQ(Form1().findChild<TPowerOffCountdown *>(), nullptr);
  EXPECT_TRUE(FActions.Notifications.empty());
  EXPECT_EQ(FActions.KeepAwakeCalls, std::vector<bool>({true, false}));
}

TEST_F(Conversion, AfterConversionActions) {
  const std::string tone = ToneWav(1.0);
  const QString sound = FHome.Root() + QStringLiteral("/sounds/ring001.wav");
  const struct {
    const char *Radio;
    bool SoundFile;
    int Opened, Sounds;
  } cases[] = {{"rbOpenFolder", false, 1, 0}, {"rbPlaySound", true, 0, 1}, {"rbPlaySound", false, 0, 0},
               {"rbDoNothing", true, 0, 0}};
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.Radio) + (c.SoundFile ? " with" : " without") + " the sound file");
    Form1().btnClearClick();
    FDialogs.Opened.clear();
    FActions.Sounds.clear();
    if (c.SoundFile)
      CopyOf(tone, QStringLiteral("sounds/ring001.wav"));
    else
      QFile::remove(sound);
    AddCopies(tone, {"a.wav"});
    After(c.Radio);
    Start();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FDialogs.Opened.size(), static_cast<size_t>(c.Opened));
    if (c.Opened) {
      EXPECT_EQ(FDialogs.Opened[0], QUrl::fromLocalFile(Out()));
    }
    EXPECT_EQ(FActions.Sounds.size(), static_cast<qsizetype>(c.Sounds));
    if (c.Sounds) {
      EXPECT_EQ(FActions.Sounds[0], sound);
    }
    EXPECT_TRUE(FDialogs.Messages.empty()); // a missing sound is no message
    EXPECT_EQ(FActions.PowerOffs, 0);
  }
}

TEST_F(Conversion, PowerOffAfterACountdownThatCanBeCancelled) {
  const std::string tone = ToneWav(1.0);
  After("rbShutdown");
  Form1().SetPowerOffCountdown(2);

  // Cancelled: the computer stays on.
  AddCopies(tone, {"a.wav"});
  Start();
  ASSERT_TRUE(WaitForEnd());
  auto *countdown = Form1().findChild<TPowerOffCountdown *>();
  ASSERT_NE(countdown, nullptr);
  EXPECT_TRUE(countdown->isVisible());
  EXPECT_EQ(Child<QLabel>(countdown, "lblPowerOff")->text(), QStringLiteral("转换已全部结束，计算机将在 2 秒后关闭。"));
  Child<QPushButton>(countdown, "btnCancelPowerOff")->click();
  QTest::qWait(2500);
  EXPECT_EQ(FActions.PowerOffs, 0);

  // Run out: the system is asked once; refused, the user is told.
  Form1().btnClearClick();
  AddCopies(tone, {"b.wav"});
  FActions.PowerOffAllowed = false;
  Start();
  ASSERT_TRUE(WaitForEnd());
  ASSERT_TRUE(QTest::qWaitFor([&] { return FActions.PowerOffs > 0; }, 5000));
  EXPECT_EQ(FActions.PowerOffs, 1);
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("提示"));
  EXPECT_EQ(FDialogs.Messages[0].Text, QStringLiteral("计算机没有关闭：系统不允许本程序关机（CanPowerOff: no）。"));
}

TEST_F(Conversion, TooLittleFreeSpaceAsksFirst) {
  AddCopies(TestMovie(1.0), {"a.avi"}); // MP3 at 128 kbit/s: about 16 KB a second
  FActions.Free = 1000;
  FDialogs.ExecAnswers.push_back([](QDialog &ABox) {
    EXPECT_EQ(ABox.windowTitle(), QStringLiteral("提示"));
    EXPECT_TRUE(static_cast<QMessageBox &>(ABox).text().contains(QStringLiteral("只剩 0MB")));
    return static_cast<int>(QMessageBox::No);
  });
  Start();
  EXPECT_FALSE(Form1().Vantro().Working());
  EXPECT_TRUE(Enabled("btnStart"));
  EXPECT_TRUE(Enabled("btnAdd"));

  FDialogs.ExecAnswers.push_back([](QDialog &) { return static_cast<int>(QMessageBox::Yes); });
  Start();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CellText(0, 4), "100%");

  // Enough room: no question.
  Form1().btnClearClick();
  AddCopies(TestMovie(1.0), {"b.avi"});
  FActions.Free = 1'000'000'000;
  Start();
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(FDialogs.ExecTitles.size(), 2u);
}

TEST_F(Conversion, TheProgressColumnIsABar) {
  AddCopies(ToneWav(1.0), {"a.wav"});
  Start();
  ASSERT_TRUE(WaitForEnd());
  List()->clearSelection();
  // The share of coloured (saturated) pixels in a horizontal part of the cell.
  const auto coloured = [&](double AFrom, double ATo) {
    const QImage image = List()->viewport()->grab(List()->visualItemRect(List()->item(0, 4))).toImage();
    int count = 0, all = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = static_cast<int>(AFrom * image.width()); x < static_cast<int>(ATo * image.width()); ++x, ++all)
        count += image.pixelColor(x, y).hsvSaturation() > 60;
    return static_cast<double>(count) / all;
  };
  EXPECT_EQ(CellText(0, 4), "100%");
  EXPECT_GT(coloured(0.05, 0.3), 0.5);
  EXPECT_GT(coloured(0.7, 0.95), 0.5);
  List()->item(0, 4)->setText("50%");
  EXPECT_GT(coloured(0.05, 0.3), 0.5);
  EXPECT_LT(coloured(0.7, 0.95), 0.2); // the groove's frame only
  List()->item(0, 4)->setText("N/A"); // text only
  EXPECT_LT(coloured(0.0, 1.0), 0.15);
}

} // namespace
