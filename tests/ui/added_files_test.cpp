// Adding real media files through the window's job manager: what the row,
// the hidden columns, the log and the task list show afterwards.
#include "tests/ui/vantro_test_support.h"

#include "jobs/job_manager.h"
#include "playback/av_probe.h"
#include "tests/support/fixtures.h"
#include "ui/file_names.h"
#include "ui/row_texts.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTableWidget>
#include <QToolButton>

namespace {

class AddedFiles : public TVantroWindowTest {};

QStringList Lines(const std::string &AText) {
  QString text = QString::fromStdString(AText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (text.endsWith('\n'))
    text.chop(1);
  return text.split('\n');
}

TEST_F(AddedFiles, OneMovieGivesItsRowHiddenOptionsAndLog) {
  const QString clip = CopyOf(TestMovie(1.0), QStringLiteral("media/clip.avi"));
  FDialogs.FileAnswers.push_back({clip});
  const qsizetype logBefore = Form1().LogLines().size();
  Child<QAction>(&Form1(), "mnuAddFile")->trigger();

  ASSERT_EQ(RowCount(), 1);
  EXPECT_EQ(CellText(0, 0), clip);
  EXPECT_EQ(CellText(0, 1), "00:00:01");
  EXPECT_EQ(CellText(0, 2), QString::fromStdString(SizeText(QFileInfo(clip).size())));
  EXPECT_EQ(CellText(0, 3), "clip.mp3");
  for (int c = 4; c <= 7; ++c)
    EXPECT_EQ(CellText(0, c), "") << c;
  EXPECT_EQ(CellText(0, 8), "1");
  EXPECT_EQ(CellText(0, 9), "100");
  EXPECT_EQ(CellText(0, 12), "libmp3lame");
  EXPECT_EQ(CellText(0, 13), "2");
  EXPECT_EQ(CellText(0, 19), "128000");
  EXPECT_EQ(CellText(0, 22), "True");
  // The columns after 7 and the speed are data, not for the eye.
  for (int c = 0; c < 25; ++c)
    EXPECT_EQ(List()->isColumnHidden(c), c == 5 || c >= 8) << c;

  // The log: the task's own probe describes the file, then the verdict.
  // The libraries' own lines ("#thread.level: …") come through the logger
  // in between and are left out here.
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(clip.toStdString()));
  // The selected row then opens in the preview, which describes the file
  // again (its states follow as the player reports them).
  const QStringList expected =
      QStringList{""} + Lines(probe.FileInfoText()) + QStringList{"", "***Can do convert.", ""} +
      Lines(probe.FileInfoText()) +
      QStringList{QString::asprintf("duration: %f, frame size: 320x240", probe.FileStreamInfo().Duration / 1000000.0)};
  QStringList own;
  for (const QString &line : Form1().LogLines().mid(logBefore))
    if (!line.startsWith('#'))
      own << line;
  EXPECT_EQ(own.mid(0, expected.size()), expected);

  // The task behind the row opened this file and writes into the output folder.
  EXPECT_EQ(TaskInputs(), QStringList{clip});
  ASSERT_EQ(Form1().OO1().size(), 1u);
  EXPECT_EQ(QString::fromStdString(Form1().OO1()[0].FileName), Out() + "/clip.mp3");
  EXPECT_EQ(Form1().OO1()[0].AudioCodec, "libmp3lame");
  EXPECT_TRUE(Form1().OO1()[0].DisableVideo);
  EXPECT_EQ(QString::fromStdString(Form1().IO1()[0].FileName), clip);
}

TEST_F(AddedFiles, AFolderIsTakenLastToFirstAndItsTextFileIsLogged) {
  const std::string tone = ToneWav(1.0);
  for (const char *name : {"a.wav", "b.wav", "c.wav"})
    CopyOf(tone, QStringLiteral("album/") + name);
  FHome.MakeFile(QStringLiteral("album/notes.txt"), 300);
  const QString folder = FHome.Root() + QStringLiteral("/album");
  FDialogs.FolderAnswers.push_back(folder);
  Child<QAction>(&Form1(), "mnuAddFolder")->trigger();

  QStringList media;
  for (const std::string &name : GetFilenames(folder.toStdString()))
    if (!QString::fromStdString(name).endsWith(".txt"))
      media.prepend(QString::fromStdString(name));
  EXPECT_EQ(Column(0), media);
  EXPECT_EQ(Column(8), QStringList({"1", "2", "3"}));
  EXPECT_EQ(TaskInputs(), media); // task i belongs to row i
  EXPECT_EQ(SelectedRowIndex(), 2);
  EXPECT_TRUE(FDialogs.Messages.empty());
  const QString notes = folder + QStringLiteral("/notes.txt");
  bool logged = false;
  for (const QString &line : Form1().LogLines())
    logged = logged || (line.startsWith("***File load error: ") && line.contains(notes));
  EXPECT_TRUE(logged) << Form1().LogLines().join('\n').toStdString();
}

TEST_F(AddedFiles, AFolderWithoutMediaSaysSo) {
  FHome.MakeFile(QStringLiteral("texts/readme.txt"), 100);
  FHome.MakeFile(QStringLiteral("texts/empty.mp3"), 0);
  FDialogs.FolderAnswers.push_back(FHome.Root() + QStringLiteral("/texts"));
  Form1().Button12Click();
  EXPECT_EQ(RowCount(), 0);
  EXPECT_EQ(Form1().Vantro().TasksCount(), 0);
  ASSERT_EQ(FDialogs.Messages.size(), 1u);
  EXPECT_EQ(FDialogs.Messages[0].Title, QStringLiteral("提示"));
  EXPECT_EQ(FDialogs.Messages[0].Text, QStringLiteral("在该目录没有发现可以用的视频或音频文件！"));
  EXPECT_TRUE(Child<QWidget>(&Form1(), "imgEmpty")->isVisible());
}

TEST_F(AddedFiles, AnExistingOutputGivesTheNextFreeNumber) {
  const QString song = CopyOf(ToneWav(1.0), QStringLiteral("media/song.wav"));
  QFile(Out() + "/song.mp3").open(QIODevice::WriteOnly);
  AddFiles({song});
  ASSERT_EQ(RowCount(), 1);
  EXPECT_EQ(CellText(0, 3), "song_1.mp3");
  EXPECT_EQ(QString::fromStdString(Form1().OO1()[0].FileName), Out() + "/song_1.mp3");
  // The existing file is left as it was.
  EXPECT_EQ(QFileInfo(Out() + "/song.mp3").size(), 0);
}

TEST_F(AddedFiles, RemovingRowTwoOfFourRenumbersTheTasks) {
  const std::string tone = ToneWav(1.0);
  QStringList files;
  for (const char *name : {"d.wav", "c.wav", "b.wav", "a.wav"})
    files << CopyOf(tone, QStringLiteral("four/") + name);
  AddFiles(files); // last to first: a, b, c, d
  ASSERT_EQ(Column(8), QStringList({"1", "2", "3", "4"}));
  const QStringList rows = Column(0);

  List()->selectRow(1);
  Child<QToolButton>(&Form1(), "btnRemove")->click();
  EXPECT_EQ(Column(0), QStringList({rows[0], rows[2], rows[3]}));
  EXPECT_EQ(Column(8), QStringList({"1", "2", "3"}));
  EXPECT_EQ(TaskInputs(), Column(0));
  ASSERT_EQ(Form1().IO1().size(), 3u);
  for (int r = 0; r < 3; ++r)
    EXPECT_EQ(QString::fromStdString(Form1().IO1()[r].FileName), rows[r == 0 ? 0 : r + 1]);
}

} // namespace
