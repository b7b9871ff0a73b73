// The file list: adding through the job manager's side (a stand-in here),
// the row texts, removing, clearing, moving, renaming, and a selection
// bringing back its row's format and presets.
#include "tests/ui/ui_test_support.h"

#include "ui/file_names.h"
#include "ui/office_combo.h"
#include "ui/open_filters.h"
#include "ui/options_window.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

namespace {

class FileList : public TWindowTest {
protected:
  void SetUp() override { Start(); }
  QString Out() { return Form1().FileOutPutPath(); }
  QString Media(const QString &AName) const { return FHome.MakeFile(QStringLiteral("media/") + AName); }
  QStringList Log() { return Form1().LogLines(); }
  QTableWidget *List() { return Child<QTableWidget>(&Form1(), "lvFiles"); }
  TOfficeComboBox *Categories() { return Child<TOfficeComboBox>(&Form1(), "bsSkinOfficeComboBox2"); }
  TOfficeComboBox *Formats() { return Child<TOfficeComboBox>(&Form1(), "bsSkinOfficeComboBox1"); }
  QComboBox *Preset(const char *AName) { return Child<QComboBox>(&Form1(), AName); }
  void Select(int ARow) { List()->selectRow(ARow); }
  // Rows A, B, C, D with task numbers 1 to 4 (added as one batch, last first).
  QStringList AddFour() {
    const QStringList files = {Media("d.avi"), Media("c.avi"), Media("b.avi"), Media("a.avi")};
    AddFiles(files);
    return Column(0);
  }
};

TEST_F(FileList, AddedRowsHoldTheirFileAndOptions) {
  const QString song = Media("song.avi"), other = Media("other.wav");
  FAdder.Durations[song.toStdString()] = 205'500'000;
  FAdder.Sizes[song.toStdString()] = 5 * 1024 * 1024;
  AddFiles({other, song});

  ASSERT_EQ(RowCount(), 2);
  const QStringList expected = {song, "00:03:25", "5MB", "song.mp3", "", "", "", "", "1", "100", "000010000004",
                                "", "libmp3lame", "2", "", "", "", "-1", "", "128000", "44100", "", "True", "", ""};
  for (int c = 0; c < 25; ++c)
    EXPECT_EQ(CellText(0, c), expected[c]) << "column " << c;
  // The batch ends by selecting its last row, and a selected row takes its
  // format's profile back: the extension, and the profile's 48000 Hz over
  // the preset's 44100.
  EXPECT_EQ(SelectedRowIndex(), 1);
  EXPECT_EQ(CellText(1, 15), ".mp3");
  EXPECT_EQ(CellText(1, 20), "48000");
  EXPECT_EQ(CellText(1, 8), "2");
  EXPECT_FALSE(Child<QLabel>(&Form1(), "imgEmpty")->isVisible());

  ASSERT_EQ(Form1().IO1().size(), 2u);
  EXPECT_EQ(Form1().IO1()[0].FileName, song.toStdString());
  EXPECT_EQ(Form1().OO1()[0].FileName, (Out() + "/song.mp3").toStdString());
  EXPECT_EQ(Form1().OO1()[1].FileName, (Out() + "/other.mp3").toStdString());
  EXPECT_EQ(FAdder.Outputs, std::vector<std::string>({(Out() + "/song.mp3").toStdString(),
                                                     (Out() + "/other.mp3").toStdString()}));
  for (const char *name : {"btnRemove", "btnClear", "btnStart", "btnRename"})
    EXPECT_TRUE(Child<QWidget>(&Form1(), name)->isEnabled()) << name;
  for (const char *name : {"mnuRemove", "mnuClear", "mnuStart", "mnuRename"})
    EXPECT_TRUE(Child<QAction>(&Form1(), name)->isEnabled()) << name;

  // One file through its own dialog: added, logged, selected.
  const QString clip = Media("clip.avi");
  FDialogs.FileAnswers.push_back({clip});
  Child<QAction>(&Form1(), "mnuAddFile")->trigger();
  ASSERT_EQ(FDialogs.OpenSpecs.size(), 2u);
  const TOpenDialogSpec &several = FDialogs.OpenSpecs[0], &one = FDialogs.OpenSpecs[1];
  EXPECT_EQ(one.Title, QStringLiteral("打开文件"));
  EXPECT_EQ(several.Title, QStringLiteral("打开文件"));
  EXPECT_EQ(one.Filter, OpenDialogFilter());
  EXPECT_EQ(several.Filter, OpenDialogFilter());
  EXPECT_EQ(one.FilterIndex, 1);
  EXPECT_FALSE(one.MultiSelect);
  EXPECT_TRUE(several.MultiSelect);
  EXPECT_EQ(CellText(2, 0), clip);
  EXPECT_EQ(SelectedRowIndex(), 2);
  // The preview's lines follow (here: the player cannot read the file).
  const qsizetype verdict = Log().lastIndexOf("***Can do convert.");
  ASSERT_GE(verdict, 4);
  EXPECT_EQ(Log().mid(verdict - 4, 6),
            QStringList({"", "Input #0, " + clip, "  Duration: 00:01:00.00", "", "***Can do convert.", ""}));
  EXPECT_EQ(Form1().T_Movie_PLayer_FileName(), clip);
}

TEST_F(FileList, DurationTexts) {
  const struct {
    const char *Name;
    int64_t Duration;
    const char *Text;
  } cases[] = {{"half.wav", 500'000, "00:00:00"}, {"none.wav", 0, "N/A"}, {"unknown.wav", -1, "N/A"},
               {"long.wav", 25LL * 3600 * 1'000'000, "01:00:00"}};
  QStringList files;
  for (const auto &c : cases) {
    files.prepend(Media(c.Name)); // taken last to first: rows in table order
    FAdder.Durations[files.first().toStdString()] = c.Duration;
  }
  AddFiles(files);
  ASSERT_EQ(RowCount(), 4);
  for (int r = 0; r < 4; ++r)
    EXPECT_EQ(CellText(r, 1), cases[r].Text) << cases[r].Name;
}

TEST_F(FileList, OutputNamesAvoidExistingFilesUnlessOverwriting) {
  QFile(Out() + "/song.mp3").open(QIODevice::WriteOnly);
  QFile(Out() + "/song_1.mp3").open(QIODevice::WriteOnly);
  const QString song = Media("song.avi");
  AddFiles({song});
  EXPECT_EQ(CellText(0, 3), "song_2.mp3");

  Child<QRadioButton>(&Form5(), "rbOverwrite")->setChecked(true);
  AddFiles({song});
  EXPECT_EQ(CellText(1, 3), "song.mp3");

  // Only the disk counts, not the names other rows will write.
  Child<QRadioButton>(&Form5(), "rbRename")->setChecked(true);
  AddFiles({FHome.MakeFile("one/a.avi"), FHome.MakeFile("two/a.avi")});
  EXPECT_EQ(Column(3), QStringList({"song_2.mp3", "song.mp3", "a.mp3", "a.mp3"}));
}

TEST_F(FileList, FailuresWhileAdding) {
  const QString good1 = Media("good1.avi"), bad = Media("bad.txt"), good2 = Media("good2.avi");
  FAdder.Rejected[bad.toStdString()] = "Invalid data found when processing input";
  AddFiles({good1, bad, good2});
  EXPECT_EQ(Column(0), QStringList({good2, good1})); // the rejected file is skipped
  EXPECT_TRUE(Log().contains("***File load error: Invalid data found when processing input"));

  // A task that cannot be made ends the operation: files before it stay.
  const QString x = Media("x.avi"), y = Media("y.avi"), z = Media("z.avi");
  FAdder.FailAddTask = y.toStdString();
  AddFiles({x, y, z});
  EXPECT_EQ(Column(0), QStringList({good2, good1, z}));
  EXPECT_EQ(Log().mid(Log().size() - 3), QStringList({"", "***File open error: Cannot open input file " + y, ""}));

  // An output that cannot be set removes its task and ends the operation.
  FAdder.FailAddTask.clear();
  FAdder.FailSetOutput = x.toStdString();
  AddFiles({x});
  EXPECT_EQ(RowCount(), 3);
  EXPECT_EQ(FAdder.Removed, std::vector<int32_t>{3});
  EXPECT_EQ(FAdder.Tasks.size(), 3u);
  EXPECT_EQ(Log().mid(Log().size() - 3),
            QStringList({"", "***Cannot do convert, error: Unable to find a suitable output format", ""}));

  // Libraries that cannot be loaded: logged, and no dialog is shown.
  FAdder.LibrariesLoad = false;
  Form1().btnAddClick();
  EXPECT_EQ(Log().last(), "Cannot load library LibAV/libavcodec.so.59");
  EXPECT_EQ(FDialogs.OpenSpecs.size(), 3u);
  EXPECT_EQ(Form1().IO1().size(), 3u);
}

TEST_F(FileList, FolderAddTakesTheFilesLastToFirst) {
  const QString folder = FHome.Root() + QStringLiteral("/album");
  for (const char *name : {"A.mp3", "B.mp3", "C.mp3"})
    FHome.MakeFile(QStringLiteral("album/") + name);
  FHome.MakeFile(QStringLiteral("album/sub/inner.mp3"));
  FDialogs.FolderAnswers.push_back(folder);
  Child<QAction>(&Form1(), "pmAddFolder")->trigger();
  EXPECT_EQ(FDialogs.FolderTitles, std::vector<QString>{QStringLiteral("选择目录")});
  QStringList listed;
  for (const std::string &name : GetFilenames(folder.toStdString()))
    listed.prepend(QString::fromStdString(name));
  EXPECT_EQ(Column(0), listed);
  EXPECT_EQ(Column(8), QStringList({"1", "2", "3"}));
  EXPECT_EQ(SelectedRowIndex(), 2);
  EXPECT_TRUE(FDialogs.Messages.empty());

  // Cancelling any dialog afterwards adds nothing.
  FDialogs.FolderAnswers.push_back(QString());
  FDialogs.FileAnswers = {QStringList(), QStringList()};
  Form1().Button12Click();
  Form1().Button8Click();
  Form1().btnAddClick();
  EXPECT_EQ(RowCount(), 3);
  EXPECT_TRUE(FDialogs.Messages.empty());
}

TEST_F(FileList, FolderWithoutUsableFilesSaysSo) {
  FHome.MakeFile("texts/readme.txt");
  FHome.MakeFile("texts/notes.txt");
  for (const char *name : {"/texts/readme.txt", "/texts/notes.txt"})
    FAdder.Rejected[(FHome.Root() + name).toStdString()] = "Invalid data found when processing input";
  QDir().mkpath(FHome.Root() + "/folders/only/inner");
  FDialogs.FolderAnswers = {FHome.Root() + "/texts", FHome.Root() + "/folders/only"};
  Form1().Button12Click();
  Form1().Button12Click();
  EXPECT_EQ(RowCount(), 0);
  ASSERT_EQ(FDialogs.Messages.size(), 2u);
  for (const auto &m : FDialogs.Messages) {
    EXPECT_EQ(m.Title, QStringLiteral("提示"));
    EXPECT_EQ(m.Text, QStringLiteral("在该目录没有发现可以用的视频或音频文件！"));
  }
}

TEST_F(FileList, AChosenFileThatVanishedEndsTheOperationQuietly) {
  const QString kept = Media("kept.avi"), gone = Media("gone.avi"), first = Media("first.avi");
  QFile::remove(gone);
  AddFiles({first, gone, kept});
  EXPECT_EQ(Column(0), QStringList{kept});
  EXPECT_EQ(SelectedRowIndex(), -1); // the operation ended before selecting
  EXPECT_TRUE(FDialogs.Messages.empty());
}

TEST_F(FileList, NoMoreRowsThanTheTablesHold) {
  QStringList files;
  for (int i = 0; i < MaxListedFiles + 1; ++i)
    files << Media(QStringLiteral("f%1.wav").arg(i));
  AddFiles(files);
  EXPECT_EQ(RowCount(), MaxListedFiles);
  EXPECT_EQ(Form1().OO1().size(), static_cast<size_t>(MaxListedFiles));
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("提示"));
}

TEST_F(FileList, RemovingRowTwoOfFourRenumbersTheTasks) {
  const QStringList rows = AddFour();
  ASSERT_EQ(Column(8), QStringList({"1", "2", "3", "4"}));
  Select(1);
  Child<QToolButton>(&Form1(), "btnRemove")->click();
  EXPECT_EQ(FAdder.Removed, std::vector<int32_t>{1});
  EXPECT_EQ(Column(0), QStringList({rows[0], rows[2], rows[3]}));
  EXPECT_EQ(Column(8), QStringList({"1", "2", "3"}));
  ASSERT_EQ(Form1().IO1().size(), 3u);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(QString::fromStdString(Form1().IO1()[r].FileName), CellText(r, 0));
    EXPECT_EQ(QString::fromStdString(Form1().OO1()[r].FileName), Out() + '/' + CellText(r, 3));
  }
  EXPECT_EQ(SelectedRowIndex(), 0);

  // Without a selection: a message and nothing else.
  List()->clearSelection();
  Child<QAction>(&Form1(), "mnuRemove")->trigger();
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("提示"));
  EXPECT_EQ(FDialogs.Messages[0].Text, QStringLiteral("请先选择您需要删除的项目！"));
  EXPECT_EQ(RowCount(), 3);

  // The last row gone: the empty picture is back, the slider at 0, nothing to remove.
  Child<QSlider>(&Form1(), "bsSkinSlider1")->setValue(40);
  for (int i = 0; i < 3; ++i) {
    Select(0);
    Form1().btnRemoveClick();
  }
  EXPECT_EQ(RowCount(), 0);
  EXPECT_TRUE(Form1().IO1().empty());
  EXPECT_TRUE(Child<QLabel>(&Form1(), "imgEmpty")->isVisible());
  EXPECT_EQ(Child<QSlider>(&Form1(), "bsSkinSlider1")->value(), 0);
  EXPECT_FALSE(Child<QToolButton>(&Form1(), "btnRemove")->isEnabled());
  EXPECT_FALSE(Child<QAction>(&Form1(), "mnuStart")->isEnabled());
}

TEST_F(FileList, ClearingEmptiesListTasksAndTables) {
  AddFour();
  Child<QToolButton>(&Form1(), "btnAdd")->setEnabled(false); // as after a conversion
  Child<QAction>(&Form1(), "mnuAddFiles")->setEnabled(false);
  Child<QToolButton>(&Form1(), "btnClear")->click();
  EXPECT_EQ(RowCount(), 0);
  EXPECT_EQ(FAdder.Clears, 1);
  EXPECT_TRUE(Form1().IO1().empty());
  EXPECT_TRUE(Form1().OO1().empty());
  EXPECT_TRUE(Child<QLabel>(&Form1(), "imgEmpty")->isVisible());
  EXPECT_TRUE(Child<QToolButton>(&Form1(), "btnAdd")->isEnabled());
  EXPECT_TRUE(Child<QAction>(&Form1(), "mnuAddFiles")->isEnabled());
  for (const char *name : {"btnRemove", "btnClear", "btnStart", "btnRename"})
    EXPECT_FALSE(Child<QWidget>(&Form1(), name)->isEnabled()) << name;
  for (const char *name : {"mnuRemove", "mnuClear", "mnuStart", "mnuRename"})
    EXPECT_FALSE(Child<QAction>(&Form1(), name)->isEnabled()) << name;
}

TEST_F(FileList, MovingExchangesRowsWithTheirTablesAndTaskNumbers) {
  const QStringList rows = AddFour();
  auto *up = Child<QToolButton>(&Form1(), "btnMoveUp");
  auto *down = Child<QToolButton>(&Form1(), "btnMoveDown");

  Select(0);
  up->click();
  Select(3);
  down->click();
  EXPECT_EQ(Column(0), rows);
  List()->clearSelection();
  up->click();
  EXPECT_EQ(Column(0), rows);

  Select(1);
  down->click();
  EXPECT_EQ(Column(0), QStringList({rows[0], rows[2], rows[1], rows[3]}));
  EXPECT_EQ(Column(8), QStringList({"1", "3", "2", "4"}));
  EXPECT_EQ(SelectedRowIndex(), 2);
  Child<QAction>(&Form1(), "mnuMoveUp")->trigger();
  Child<QAction>(&Form1(), "mnuMoveUp")->trigger();
  EXPECT_EQ(Column(0), QStringList({rows[1], rows[0], rows[2], rows[3]}));
  EXPECT_EQ(SelectedRowIndex(), 0);
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(QString::fromStdString(Form1().IO1()[r].FileName), CellText(r, 0)) << r;
    EXPECT_EQ(QString::fromStdString(Form1().OO1()[r].FileName), Out() + '/' + CellText(r, 3)) << r;
  }
}

TEST_F(FileList, RenamingTheOutputWithTheFormatsExtension) {
  AddFiles({Media("clip.avi"), Media("other.avi")});
  List()->clearSelection();
  Child<QAction>(&Form1(), "mnuRename")->trigger();
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Text, QStringLiteral("请先选中您需要重命名的项目！"));
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("提示"));

  auto *edt = Child<QLineEdit>(&Form1(), "edt");
  // A double-click on a row opens the editor over its output name.
  const QRect cell = List()->visualRect(List()->model()->index(1, 0));
  // QTest's double-click brings no first click of its own.
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
  ASSERT_TRUE(edt->isVisible());
  EXPECT_EQ(edt->text(), "clip");
  EXPECT_EQ(edt->x(), List()->x() + 80 + 70 + 70 + 2);
  EXPECT_EQ(edt->width(), 80);
  EXPECT_TRUE(edt->hasFocus());

  // Empty: nothing changes and the editor stays.
  edt->clear();
  List()->setFocus();
  EXPECT_TRUE(edt->isVisible());
  EXPECT_EQ(CellText(1, 3), "clip.mp3");

  edt->setFocus();
  edt->setText("song");
  List()->setFocus();
  EXPECT_FALSE(edt->isVisible());
  EXPECT_EQ(CellText(1, 3), "song.mp3");
  EXPECT_EQ(QString::fromStdString(Form1().OO1()[1].FileName), Out() + "/song.mp3");

  // The extension comes from the chosen format's title, with its few exceptions.
  const struct {
    int Category, Format;
    const char *Name;
  } cases[] = {{0, 10, "song.flac"}, {0, 6, "song.ra"}, {0, 8, "song.aiff"}, {4, 14, "song.rm"},
               {12, 0, "song.mp4"}};
  for (const auto &c : cases) {
    Categories()->setCurrentIndex(c.Category);
    Formats()->setCurrentIndex(c.Format);
    Child<QToolButton>(&Form1(), "btnRename")->click();
    edt->setText("song");
    QTest::keyClick(edt, Qt::Key_Return);
    EXPECT_EQ(CellText(1, 3), c.Name);
    EXPECT_FALSE(edt->isVisible());
  }
}

TEST_F(FileList, FormatAndPresetChangesRewriteTheSelectedRow) {
  AddFiles({Media("clip.avi")});
  ASSERT_EQ(SelectedRowIndex(), 0);
  Categories()->setCurrentIndex(4); // 经典视频: its first format, AVI
  EXPECT_EQ(CellText(0, 3), "clip.avi");
  EXPECT_EQ(CellText(0, 9), "500");
  EXPECT_EQ(CellText(0, 11), "mpeg4");
  EXPECT_EQ(CellText(0, 14), "XVID");
  EXPECT_EQ(CellText(0, 22), "False");

  QComboBox *bitrate = Preset("bsSkinComboBox2");
  bitrate->setCurrentIndex(3);
  const QString code = CellText(0, 10);
  EXPECT_EQ(code.mid(2, 2), "03");
  EXPECT_EQ(CellText(0, 17), QString::number(bitrate->currentText().section(' ', 0, 0).toInt() * 1000));
  bitrate->setCurrentIndex(1);
  EXPECT_EQ(CellText(0, 10), code.left(2) + "01" + code.mid(4));

  // With no row selected a preset choice changes neither rows nor profile.
  List()->clearSelection();
  const int32_t profileRate = Form1().Profile().Video_VideoBitrate;
  bitrate->setCurrentIndex(5);
  EXPECT_EQ(CellText(0, 10), code.left(2) + "01" + code.mid(4));
  EXPECT_EQ(Form1().Profile().Video_VideoBitrate, profileRate);
}

TEST_F(FileList, SelectingARowBringsBackItsFormatAndPresets) {
  AddFiles({Media("first.avi")});
  Categories()->setCurrentIndex(4);
  Formats()->setCurrentIndex(5); // MKV
  Preset("bsSkinComboBox1")->setCurrentIndex(4);
  Preset("bsSkinComboBox3")->setCurrentIndex(2);
  const QString firstCode = CellText(0, 10);
  ASSERT_EQ(CellText(0, 9), "505");

  AddFiles({Media("second.avi")}); // selected after the add
  ASSERT_EQ(SelectedRowIndex(), 1);
  Categories()->setCurrentIndex(1);
  Formats()->setCurrentIndex(2);
  ASSERT_EQ(CellText(1, 9), "202");
  const QString secondCode = CellText(1, 10);

  ClickRow(0);
  EXPECT_EQ(Categories()->currentIndex(), 4);
  EXPECT_EQ(Formats()->currentIndex(), 5);
  EXPECT_EQ(Formats()->count(), 15);
  EXPECT_EQ(Preset("bsSkinComboBox1")->currentIndex(), 4);
  EXPECT_EQ(Preset("bsSkinComboBox3")->currentIndex(), 2);
  EXPECT_EQ(CellText(0, 10), firstCode);
  EXPECT_EQ(CellText(0, 9), "505");
  EXPECT_EQ(CellText(0, 3), "first.mkv");
  EXPECT_EQ(Form1().T_Movie_PLayer_FileName(), CellText(0, 0));

  ClickRow(1);
  EXPECT_EQ(Categories()->currentIndex(), 1);
  EXPECT_EQ(Formats()->currentIndex(), 2);
  EXPECT_EQ(Formats()->count(), 4);
  EXPECT_EQ(CellText(1, 10), secondCode);
  EXPECT_EQ(Form1().T_Movie_PLayer_FileName(), CellText(1, 0));

  // A row whose columns hold no valid choice restores nothing.
  auto *list = List();
  list->item(0, 9)->setText("9999");
  ClickRow(0);
  EXPECT_EQ(Categories()->currentIndex(), 1);
  EXPECT_EQ(CellText(1, 9), "202");
}

} // namespace
