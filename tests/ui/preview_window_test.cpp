// The conversion previewer with its desktop window: painted from a worker
// thread while the main thread serves the queue, as during a conversion.
#include "media/previewer.h"
#include "platform/main_thread.h"
#include "ui/bitmap_image.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

static void PrintTo(const QPoint &APoint, std::ostream *AOut) { *AOut << '(' << APoint.x() << ", " << APoint.y() << ')'; }
static void PrintTo(const QSize &ASize, std::ostream *AOut) { *AOut << ASize.width() << " x " << ASize.height(); }

namespace {

// "#rrggbb", so a failed colour reads as one.
std::string Name(QRgb AColour) { return QColor(AColour).name().toStdString(); }

TEST(BitmapToImage, RowsTopDownInBlueGreenRedOrder) {
  // Three pixels a row: 9 bytes and 3 of padding, so a wrong stride shows in row 1.
  const QRgb colours[2][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                              {qRgb(10, 20, 30), qRgb(255, 255, 255), qRgb(200, 100, 50)}};
  TBitmap bitmap(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      uint8_t *p = bitmap.ScanLine(y) + 3 * x;
      p[0] = qBlue(colours[y][x]), p[1] = qGreen(colours[y][x]), p[2] = qRed(colours[y][x]);
    }
  const QImage image = BitmapToImage(bitmap);
  ASSERT_EQ(image.size(), QSize(3, 2));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(Name(image.pixel(x, y)), Name(colours[y][x])) << x << "," << y;

  bitmap.ScanLine(0)[2] = 0;
  EXPECT_EQ(Name(image.pixel(0, 0)), Name(colours[0][0])) << "the image owns its pixels";
  EXPECT_TRUE(BitmapToImage(TBitmap()).isNull());
}

QList<QWidget *> PreviewWindows() {
  QList<QWidget *> found;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("Previewer"))
      found.append(w);
  return found;
}

// Runs AWork on a conversion worker of its own while this thread pumps the
// main-thread queue (and so the window events).
void OnWorker(const std::function<void()> &AWork) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    AWork();
    done = true;
  });
  while (!done) {
    PumpMainThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
  PumpMainThread();
}

bool PaintFromWorker(TPreviewer &APreviewer, TBitmap &ABitmap, int32_t AFrame, int64_t APTS) {
  bool result = false;
  OnWorker([&] { result = APreviewer.PaintFrame(&ABitmap, AFrame, APTS); });
  return result;
}

// A picture in four quadrants: top left, top right, bottom left, bottom right.
void PaintQuadrants(TBitmap &ABitmap, const QRgb (&AColours)[4]) {
  for (int y = 0; y < ABitmap.Height(); ++y)
    for (int x = 0; x < ABitmap.Width(); ++x) {
      const QRgb c = AColours[(y < ABitmap.Height() / 2 ? 0 : 2) + (x < ABitmap.Width() / 2 ? 0 : 1)];
      uint8_t *p = ABitmap.ScanLine(y) + 3 * x;
      p[0] = qBlue(c), p[1] = qGreen(c), p[2] = qRed(c);
    }
}

// The window's own drawing at the middle of each quadrant.
void ExpectQuadrants(QWidget *AWindow, const QRgb (&AColours)[4]) {
  const QImage shot = AWindow->grab().toImage();
  const int w = AWindow->width(), h = AWindow->height();
  const QPoint at[4] = {{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(Name(shot.pixel(at[i])), Name(AColours[i])) << "quadrant " << i;
}

class PreviewWindowTest : public ::testing::Test {
protected:
  void TearDown() override {
    if (FPreviewer)
      OnWorker([this] { FPreviewer.reset(); });
  }
  QWidget *PaintFirst() {
    PaintQuadrants(FBitmap, FirstColours);
    EXPECT_TRUE(PaintFromWorker(*FPreviewer, FBitmap, 1, 83500000));
    const QList<QWidget *> windows = PreviewWindows();
    EXPECT_EQ(windows.size(), 1);
    return windows.value(0);
  }

  static constexpr QRgb FirstColours[4] = {qRgb(220, 30, 40), qRgb(20, 200, 60), qRgb(30, 60, 210),
                                           qRgb(240, 230, 20)};
  std::unique_ptr<TPreviewer> FPreviewer = std::make_unique<TPreviewer>();
  TBitmap FBitmap{161, 91};
};

TEST_F(PreviewWindowTest, ShowsEachPictureOnTopUnderItsTime) {
  QWidget *window = PaintFirst();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowType(), Qt::Tool);
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(window->size(), QSize(161, 91));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the user cannot resize it";
  EXPECT_EQ(window->geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
  EXPECT_EQ(window->windowTitle().toStdString(), "00:01:23.500");
  ExpectQuadrants(window, FirstColours);

  // The engine paints its next picture into the same bitmap.
  const QRgb next[4] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(128, 64, 32), qRgb(5, 150, 250)};
  PaintQuadrants(FBitmap, next);
  EXPECT_TRUE(PaintFromWorker(*FPreviewer, FBitmap, 2, 3723004000));
  ASSERT_EQ(PreviewWindows().size(), 1);
  ASSERT_EQ(PreviewWindows().front(), window) << "the window is made once";
  EXPECT_EQ(window->windowTitle().toStdString(), "01:02:03.004");
  ExpectQuadrants(window, next);

  // The session ends on its worker; the window goes with it.
  OnWorker([this] { FPreviewer.reset(); });
  EXPECT_TRUE(PreviewWindows().isEmpty());
}

TEST_F(PreviewWindowTest, ClosingStopsThePreviewForGood) {
  QWidget *window = PaintFirst();
  ASSERT_NE(window, nullptr);
  QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
  ASSERT_TRUE(window->close());
  EXPECT_EQ(lastClosed.count(), 0) << "closing the preview is not closing the program";

  EXPECT_FALSE(PaintFromWorker(*FPreviewer, FBitmap, 2, 120000));
  EXPECT_FALSE(PaintFromWorker(*FPreviewer, FBitmap, 3, 160000));
  EXPECT_TRUE(FPreviewer->Closed());
  for (QWidget *w : PreviewWindows())
    EXPECT_FALSE(w->isVisible()) << "no window reappears";
  EXPECT_LE(PreviewWindows().size(), 1);
  EXPECT_EQ(window->windowTitle().toStdString(), "00:01:23.500");
}

TEST_F(PreviewWindowTest, LeftButtonDragsTheWindow) {
  QWidget *window = PaintFirst();
  ASSERT_NE(window, nullptr);
  const QPoint start = window->pos();

  QTest::mousePress(window, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(window, QPoint(40, 30));
  EXPECT_EQ(window->pos(), start + QPoint(30, 20));
  QTest::mouseMove(window, QPoint(15, 25)); // the window has moved under the mouse
  EXPECT_EQ(window->pos(), start + QPoint(35, 35));
  QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(15, 25));
  const QPoint dropped = window->pos();

  // Another button does not drag.
  QTest::mousePress(window, Qt::RightButton, {}, QPoint(10, 10));
  QTest::mouseMove(window, QPoint(60, 60));
  QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(60, 60));
  EXPECT_EQ(window->pos(), dropped);
}

} // namespace
