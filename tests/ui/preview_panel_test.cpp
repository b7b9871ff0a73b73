// The preview panel on the real player: SDL with its dummy video driver (the
// player's own window, since the offscreen platform has no window SDL can
// draw into) and the dummy or disk audio driver. Rows are added through the
// window's own job manager from the movie fixture (320x240, 25 fps).
#include "tests/ui/vantro_test_support.h"

#include "playback/av_probe.h"
#include "tests/support/fixtures.h"
#include "ui/bitmap_image.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMenu>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int64_t kSecond = 1000000;

// Mean absolute difference per colour channel of two images of one size.
double Difference(const QImage &A, const QImage &B) {
  if (A.size() != B.size() || A.isNull())
    return 1e9;
  const QImage a = A.convertToFormat(QImage::Format_RGB888), b = B.convertToFormat(QImage::Format_RGB888);
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width() * 3; ++x)
      sum += std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]);
  return sum / (a.width() * 3.0 * a.height());
}

class PreviewPanel : public TVantroWindowTest {
protected:
  void SetUp() override {
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    TVantroWindowTest::SetUp();
  }

  RIVEvidir &Player() { return Form1().VURadori(); }
  QSlider *Slider() { return Child<QSlider>(&Form1(), "bsSkinSlider1"); }
  QToolButton *Button(const char *AName) { return Child<QToolButton>(&Form1(), AName); }

  // Adds a copy of AFixture as media/AName, which selects its row and opens
  // it in the preview; returns once the preview rests paused.
  QString AddAndOpen(const std::string &AFixture, const QString &AName) {
    const QString file = CopyOf(AFixture, QStringLiteral("media/") + AName);
    FDialogs.FileAnswers.push_back({file});
    Child<QAction>(&Form1(), "mnuAddFile")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return States().contains(QStringLiteral("Pause")); }, 10000));
    // The second picture and its position may follow the pause report.
    QTest::qWait(300);
    return file;
  }

  // The player states the panel logged since the last MarkLog.
  QStringList States() {
    static const QStringList names = {"Play", "Pause", "Resume", "Step", "Stop", "End"};
    QStringList states;
    for (const QString &line : Form1().LogLines().mid(FLogMark))
      if (names.contains(line))
        states << line;
    return states;
  }
  void MarkLog() { FLogMark = Form1().LogLines().size(); }

  // The position of the picture on screen, µs.
  int64_t ShownPTS() {
    int64_t pts = -1;
    Player().CurrentFrame(pts);
    return pts;
  }

  qsizetype FLogMark = 0;
};

TEST_F(PreviewPanel, SelectingARowOpensItPausedPlayMovesTheSliderStopRewinds) {
  const std::string movie = TestMovie(3.0);
  const QString file = AddAndOpen(movie, QStringLiteral("movie.avi"));
  EXPECT_EQ(States(), QStringList({"Play", "Pause"}));
  EXPECT_EQ(Form1().T_Movie_PLayer_FileName(), file);
  EXPECT_TRUE(Player().Paused());

  // The open file described in the log, its duration kept, the slider reset
  // to its own width, the player's screen the size of Panel6.
  TAVProbe probe;
  ASSERT_TRUE(probe.LoadFile(file.toStdString()));
  const int64_t duration = probe.FileStreamInfo().Duration;
  EXPECT_EQ(Form1().Duration(), duration);
  const QStringList log = Form1().LogLines();
  const qsizetype durationLine =
      log.indexOf(QString::asprintf("duration: %f, frame size: 320x240", duration / 1000000.0));
  QString info = QString::fromStdString(probe.FileInfoText());
  info.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (info.endsWith('\n'))
    info.chop(1);
  const QStringList infoLines = info.split('\n');
  ASSERT_GE(durationLine, infoLines.size()) << log.join('\n').toStdString();
  EXPECT_EQ(log.mid(durationLine - infoLines.size(), infoLines.size()), infoLines);
  QWidget *panel6 = Child<QWidget>(&Form1(), "Panel6");
  EXPECT_EQ(Player().ScreenWidth(), panel6->width());
  EXPECT_EQ(Player().ScreenHeight(), panel6->height());
  EXPECT_EQ(Slider()->maximum(), Slider()->width());
  EXPECT_EQ(Child<QComboBox>(&Form1(), "cboVideoStreams")->currentText(), "Video#0");
  EXPECT_EQ(Child<QComboBox>(&Form1(), "cboAudioStreams")->currentText(), "Audio#1");

  // Paused on one of its first two pictures: nothing moves.
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPTS() >= 0; }, 3000));
  EXPECT_LE(ShownPTS(), 40000);
  const int rest = Slider()->value();
  EXPECT_LE(rest, Slider()->maximum() * 40000 / duration);
  QTest::qWait(400);
  EXPECT_EQ(Slider()->value(), rest);

  // "播放": the slider follows the position.
  MarkLog();
  Button("btnPlay")->click();
  EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>(&Form1(), "lvFiles"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Slider()->value() >= Slider()->maximum() / 3; }, 5000));
  EXPECT_EQ(States(), QStringList{"Resume"});
  const int expected = static_cast<int>(Slider()->maximum() * Player().CurrentPTS() / duration);
  EXPECT_NEAR(Slider()->value(), expected, Slider()->maximum() / 10);

  // "暂停" holds the slider (once the pictures already decoded are shown).
  Button("btnPreviewPause")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return States().contains(QStringLiteral("Pause")); }, 3000));
  int held = -1;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        held = Slider()->value();
        QTest::qWait(250);
        return Slider()->value() == held;
      },
      3000));
  QTest::qWait(500);
  EXPECT_EQ(Slider()->value(), held);

  // "停止" opens the file again on its first picture.
  MarkLog();
  Button("btnPreviewStop")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return States().contains(QStringLiteral("Pause")); }, 5000));
  EXPECT_EQ(States(), QStringList({"Stop", "Play", "Pause"}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPTS() >= 0; }, 3000));
  EXPECT_LE(ShownPTS(), 40000);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Slider()->value() == Slider()->maximum() * ShownPTS() / duration; }, 2000))
      << Slider()->value();

  // Removing the last row ends the preview.
  MarkLog();
  Button("btnRemove")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return States().contains(QStringLiteral("Stop")); }, 5000));
  EXPECT_TRUE(Player().CurrentFrame().Empty());
}

TEST_F(PreviewPanel, DraggingTheSliderOfAPausedPreviewSeeksAndLeavesItPlaying) {
  AddAndOpen(TestMovie(3.0), QStringLiteral("movie.avi"));
  const int64_t duration = Form1().Duration();
  ASSERT_GT(duration, 2 * kSecond);

  MarkLog();
  QSlider *slider = Slider();
  const int y = slider->height() / 2;
  QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(3, y)); // on the handle at 0
  EXPECT_EQ(Form1().bsSkinSlider1_down_UP(), "Down");
  for (int x = 20; x <= slider->width() / 2; x += 20)
    QTest::mouseMove(slider, QPoint(x, y));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() / 2, y));
  EXPECT_EQ(Form1().bsSkinSlider1_down_UP(), "UP");
  const int dropped = slider->value();
  EXPECT_GT(dropped, slider->maximum() / 4);
  EXPECT_LT(dropped, slider->maximum() * 3 / 4);

  const int64_t target = duration * dropped / slider->maximum();
  EXPECT_FALSE(Player().Paused());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !States().isEmpty(); }, 2000));
  EXPECT_EQ(States(), QStringList{"Resume"});
  // It plays on from the target.
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPTS() >= target - 200000; }, 3000)) << ShownPTS();
  EXPECT_LT(ShownPTS(), target + 600000);
  const int64_t landed = ShownPTS();
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPTS() > landed + 200000; }, 3000));

  // A press beside the handle takes the handle there.
  QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() - 30, y));
  QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 30, y));
  EXPECT_GT(slider->value(), slider->maximum() * 3 / 4);
}

TEST_F(PreviewPanel, APreviewAtItsEndRestsPausedOnItsFirstPicture) {
  const QString file = AddAndOpen(TestMovie(1.0), QStringLiteral("short.avi"));
  TAVProbe probe;
  TBitmap first;
  ASSERT_TRUE(probe.LoadFile(file.toStdString()) && probe.Decode() && probe.CopyToBitmap(first));
  ASSERT_EQ(probe.FrameInfo().PTS, 0);

  MarkLog();
  Button("btnPlay")->click();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const QStringList s = States();
        return s.contains(QStringLiteral("End")) && s.last() == QStringLiteral("Pause");
      },
      10000))
      << States().join(' ').toStdString();
  EXPECT_EQ(States(), QStringList({"Resume", "End", "Pause"}));
  EXPECT_TRUE(Player().Paused());
  const auto showsFirst = [&] { return Difference(BitmapToImage(Player().CurrentFrame()), BitmapToImage(first)) < 4; };
  ASSERT_TRUE(QTest::qWaitFor(showsFirst, 3000));
  QTest::qWait(300);
  EXPECT_TRUE(Player().Paused());
  EXPECT_TRUE(showsFirst());

  // "播放" plays it again from the start.
  Button("btnPlay")->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ShownPTS() >= 120000 && ShownPTS() <= 600000; }, 3000)) << ShownPTS();
}

TEST_F(PreviewPanel, SnapshotsTakeTheFirstFreeNumber) {
  const QString shots = FHome.Root() + QStringLiteral("/shots");
  WriteSetting("SnapShot", "Dir", shots);
  const auto files = [&] { return QDir(shots).entryList(QDir::Files, QDir::Name); };

  // No file open yet: nothing is written (the folder is made all the same).
  Button("btnSnapshot")->click();
  EXPECT_TRUE(QFileInfo(shots).isDir());
  EXPECT_EQ(files(), QStringList());
  EXPECT_EQ(ReadSetting("SnapShot", "Picture"), "BMP");

  AddAndOpen(TestMovie(2.0), QStringLiteral("movie.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPTS() >= 0; }, 3000));
  for (int i = 0; i < 3; ++i)
    Button("btnSnapshot")->click();
  EXPECT_EQ(files(), QStringList({"movie_1.bmp", "movie_2.bmp", "movie_3.bmp"}));
  ASSERT_TRUE(QFile::remove(shots + QStringLiteral("/movie_2.bmp")));
  Button("btnSnapshot")->click();
  EXPECT_EQ(files(), QStringList({"movie_1.bmp", "movie_2.bmp", "movie_3.bmp"}));
  EXPECT_EQ(Difference(QImage(shots + QStringLiteral("/movie_2.bmp")), BitmapToImage(Player().CurrentFrame())), 0);
  EXPECT_TRUE(FDialogs.Messages.empty());
}

TEST_F(PreviewPanel, EachPictureTypeDecodesAsThatTypeWithTheFramesSize) {
  const QString shots = FHome.Root() + QStringLiteral("/shots");
  WriteSetting("SnapShot", "Dir", shots);
  AddAndOpen(TestMovie(2.0), QStringLiteral("movie.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return ShownPTS() >= 0; }, 3000));
  ASSERT_EQ(BitmapToImage(Player().CurrentFrame()).size(), QSize(320, 240));

  // The "设置" button opens its menu with the stored type marked.
  WriteSetting("SnapShot", "Picture", "JPG");
  QToolButton *settings = Button("btnSnapshotSettings");
  QTest::mousePress(settings, Qt::LeftButton, {}, QPoint(5, 5));
  auto *menu = Child<QMenu>(&Form1(), "pmSnapshot");
  EXPECT_TRUE(menu->isVisible());
  EXPECT_TRUE(Child<QAction>(&Form1(), "mnuPictureJPG")->isChecked());
  menu->hide();

  const struct {
    const char *Type, *File, *Format;
    double MaxDifference; // per channel: lossless, or what the encoder loses
  } cases[] = {
      {"BMP", "movie_1.bmp", "bmp", 0},
      {"JPG", "movie_1.jpg", "jpeg", 6},
      {"GIF", "movie_1.gif", "gif", 16},
      {"PNG", "movie_1.png", "png", 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Type);
    Child<QAction>(&Form1(), (std::string("mnuPicture") + c.Type).c_str())->trigger();
    const QImage frame = BitmapToImage(Player().CurrentFrame());
    Button("btnSnapshot")->click();
    QImageReader reader(shots + '/' + c.File);
    reader.setDecideFormatFromContent(true);
    EXPECT_EQ(reader.format(), QByteArray(c.Format));
    const QImage saved = reader.read();
    ASSERT_FALSE(saved.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(saved.size(), QSize(320, 240));
    EXPECT_LE(Difference(saved, frame), c.MaxDifference);
  }
  EXPECT_EQ(QDir(shots).entryList(QDir::Files).size(), 4);
}

TEST_F(PreviewPanel, MuteSwapsTheButtonsAndSilencesTheSound) {
  const QString played = FHome.Root() + QStringLiteral("/played.raw");
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", played.toLocal8Bit().constData(), 1);
  AddAndOpen(ToneWav(6.0), QStringLiteral("tone.wav"));
  const auto written = [&] { return QFileInfo(played).size(); };
  constexpr qint64 kBytesPerSecond = 44100 * 2 * 2;

  Button("btnPlay")->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return written() > kBytesPerSecond / 2; }, 5000));
  QToolButton *mute = Button("btnMute"), *unmute = Button("btnUnmute");
  EXPECT_TRUE(mute->isVisible());
  EXPECT_FALSE(unmute->isVisible());
  mute->click();
  const qint64 mutedAt = written();
  EXPECT_TRUE(Player().Mute());
  EXPECT_FALSE(mute->isVisible());
  EXPECT_TRUE(unmute->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return written() > mutedAt + kBytesPerSecond * 3 / 4; }, 5000));
  unmute->click();
  const qint64 unmutedAt = written();
  EXPECT_FALSE(Player().Mute());
  EXPECT_TRUE(mute->isVisible());
  EXPECT_FALSE(unmute->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return written() > unmutedAt + kBytesPerSecond / 2; }, 5000));
  Button("btnPreviewPause")->click();

  QFile file(played);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  const auto peak = [&](qint64 AFrom, qint64 ATo) {
    int p = 0;
    for (qint64 i = AFrom & ~1; i + 1 < ATo && i + 1 < bytes.size(); i += 2) {
      int16_t s;
      std::memcpy(&s, bytes.constData() + i, 2);
      p = std::max(p, std::abs(static_cast<int>(s)));
    }
    return p;
  };
  // A buffer or two was mixed before each click took effect.
  constexpr qint64 kLatency = 4 * 4096;
  EXPECT_GT(peak(0, mutedAt), 1000);
  EXPECT_EQ(peak(mutedAt + kLatency, unmutedAt), 0);
  EXPECT_GT(peak(unmutedAt + kLatency, bytes.size()), 1000);
}

// A row whose file the player cannot open: the reason goes to the log, no
// message, no picture.
class PreviewPanelWithoutMedia : public TWindowTest {
protected:
  void SetUp() override {
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    Start();
  }
};

TEST_F(PreviewPanelWithoutMedia, AFileThePlayerCannotOpenIsLoggedOnly) {
  const QString junk = FHome.MakeFile(QStringLiteral("media/junk.avi"), 4096);
  AddFiles({junk});
  EXPECT_TRUE(Form1().LogLines().contains(junk + QStringLiteral(": Invalid data found when processing input")))
      << Form1().LogLines().join('\n').toStdString();
  EXPECT_TRUE(FDialogs.Messages.empty());
  EXPECT_TRUE(Form1().VURadori().CurrentFrame().Empty());
  Child<QToolButton>(&Form1(), "btnSnapshot")->click();
  EXPECT_EQ(QDir(Form1().LoadSnapshotFolder()).entryList(QDir::Files), QStringList());
}

} // namespace
