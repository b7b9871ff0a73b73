// Zelvora视频转MP3格式转换器: the desktop program.
//
// Creates the windows in the product's order and runs the event loop. With
// "--screenshot-dir DIR" (for `make screenshots` only) it uses DIR/option.ini
// as its settings file, makes two clips from the libraries' test sources,
// adds them, saves pictures of its windows into DIR (also a conversion's
// previewer, the preview panel showing a clip, playing it, taking a
// snapshot and showing an audio file's spectrum, and the main window while
// converting the clips and when done) and quits. With "--startup-time" (for
// `make bench`) it prints the monotonic clock in nanoseconds when the main
// window first paints, and quits.
#include "jobs/job_manager.h"
#include "media/ffmpeg_loader.h"
#include "media/previewer.h"
#include "platform/main_thread.h"
#include "platform/paths.h"
#include "playback/av_probe.h"
#include "ui/about_window.h"
#include "ui/app_windows.h"
#include "ui/dialogs.h"
#include "ui/main_thread_adapter.h"
#include "ui/job_file_adder.h"
#include "ui/main_window.h"
#include "ui/options_window.h"
#include "ui/pictures.h"
#include "ui/preview_window.h"
#include "ui/product.h"
#include "ui/settings_file.h"
#include "ui/skins.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QToolButton>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <atomic>
#include <clocale>
#include <functional>
#include <cstdio>
#include <thread>
#include <ctime>

namespace {

// Prints the monotonic clock at the watched window's first paint and quits:
// the start-up a user waits for, measured by whoever started the process.
class TFirstPaintReport : public QObject {
public:
  explicit TFirstPaintReport(QWidget *AWindow) : FWindow(AWindow) {}
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
    if (AEvent->type() == QEvent::Paint && !FDone && AWatched->isWidgetType() &&
        static_cast<QWidget *>(AWatched)->window() == FWindow) {
      FDone = true;
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      std::printf("first paint %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
      std::fflush(stdout);
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(AWatched, AEvent);
  }

private:
  QWidget *FWindow;
  bool FDone = false;
};

void ProcessEventsFor(int AMilliseconds) {
  QEventLoop loop;
  QTimer::singleShot(AMilliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

// The caption bars below stand in for the window manager's: the screenshots
// are taken without one.
constexpr int CaptionHeight = 26;
constexpr int ToolCaptionHeight = 20;

// A window's caption bar in ABar: icon and title, or for a tool window a
// smaller title and its only button, the close box.
void DrawCaptionBar(QPainter &p, const QRect &ABar, QWidget &AWindow, bool ATool) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(ABar.topLeft(), ABar.bottomLeft());
  g.setColorAt(0, QColor(74, 128, 196));
  g.setColorAt(1, QColor(38, 86, 150));
  p.fillRect(ABar, g);
  QFont font = AWindow.font();
  font.setBold(true);
  int textLeft = ABar.left() + 28, textRight = ABar.left() + ABar.width() - 6;
  if (ATool) {
    textLeft = ABar.left() + 6;
    const QRect box(ABar.right() - ABar.height() + 3, ABar.top() + 3, ABar.height() - 6, ABar.height() - 6);
    p.setPen(QPen(Qt::white, 1.6));
    p.drawLine(box.topLeft() + QPoint(3, 3), box.bottomRight() - QPoint(3, 3));
    p.drawLine(box.topRight() + QPoint(-3, 3), box.bottomLeft() + QPoint(3, -3));
    textRight = box.left() - 4;
  } else {
    AWindow.windowIcon().paint(&p, QRect(ABar.left() + 6, ABar.top() + 5, 16, 16));
  }
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(textLeft, ABar.top(), textRight - textLeft, ABar.height()), Qt::AlignLeft | Qt::AlignVCenter,
             AWindow.windowTitle());
  p.restore();
}

// A window's picture under its caption bar.
QPixmap WithCaption(QWidget &AWindow) {
  const QPixmap content = AWindow.grab();
  QPixmap shot(content.width(), content.height() + CaptionHeight);
  QPainter p(&shot);
  DrawCaptionBar(p, QRect(0, 0, shot.width(), CaptionHeight), AWindow, false);
  p.drawPixmap(0, CaptionHeight, content);
  return shot;
}

// The main window as the screen shows it, caption bar added: unlike grab(),
// this includes what the preview's player drew into Panel6.
QPixmap ScreenWithCaption(QWidget &AWindow) {
  const QRect area = AWindow.geometry();
  const QPixmap content = AWindow.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  QPixmap shot(content.width(), content.height() + CaptionHeight);
  QPainter p(&shot);
  DrawCaptionBar(p, QRect(0, 0, shot.width(), CaptionHeight), AWindow, false);
  p.drawPixmap(0, CaptionHeight, content);
  return shot;
}

QPixmap ShowAndGrab(QWidget &AWindow) {
  AWindow.show();
  ProcessEventsFor(300);
  QPixmap shot = WithCaption(AWindow);
  AWindow.hide();
  return shot;
}

// main.png, options.png, about.png, and skins.png: the main window in each of
// the eleven skins with the skin dialog in the last place.
bool SaveScreenshots(TApplicationWindows &AWindows, const QString &ADir) {
  TForm1 &main = *AWindows.Form1;
  bool ok = WithCaption(main).save(ADir + QStringLiteral("/main.png"));
  ok = ShowAndGrab(*AWindows.Form5).save(ADir + QStringLiteral("/options.png")) && ok;
  ok = ShowAndGrab(*AWindows.Form2).save(ADir + QStringLiteral("/about.png")) && ok;

  constexpr int columns = 3;
  const QSize cell(main.width() / 2 + 1, (main.height() + 26) / 2 + 20);
  QPixmap sheet(cell.width() * columns + 8 * (columns + 1), (cell.height() + 8) * 4 + 8);
  sheet.fill(QColor(90, 90, 96));
  QPainter p(&sheet);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  auto place = [&](int AIndex, const QPixmap &APicture, const QString &ALabel) {
    const QPoint at(8 + (AIndex % columns) * (cell.width() + 8), 8 + (AIndex / columns) * (cell.height() + 8));
    p.setPen(Qt::white);
    p.drawText(QRect(at, QSize(cell.width(), 18)), Qt::AlignLeft | Qt::AlignVCenter, ALabel);
    const QPixmap scaled = APicture.scaled(cell.width(), cell.height() - 20, Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation);
    p.drawPixmap(at + QPoint(0, 20), scaled);
  };
  for (int i = 0; i < SkinCount; ++i) {
    ApplySkin(i);
    ProcessEventsFor(150);
    place(i, WithCaption(main), QStringLiteral("%1  %2").arg(i).arg(SkinName(i)));
  }
  ApplySkin(main.SkinIndex());
  TSkinDialog dialog(main.SkinIndex(), &main);
  place(SkinCount, ShowAndGrab(dialog), QStringLiteral("Select skin"));
  p.end();
  ok = sheet.save(ADir + QStringLiteral("/skins.png")) && ok;
  return ok;
}

// Runs the event loop until APredicate holds or AMilliseconds have passed.
bool ProcessEventsUntil(const std::function<bool()> &APredicate, int AMilliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!APredicate()) {
    if (clock.elapsed() > AMilliseconds)
      return false;
    ProcessEventsFor(20);
  }
  return true;
}

// A file made from the libraries' own sources (the "lavfi" graph AGraph,
// outputs labelled out0, out1), by a job manager of its own.
QString MakeMedia(const QString &ADir, const QString &AName, const QString &AGraph, TOutputOptions AOutput) {
  const QString path = ADir + '/' + AName;
  TJobManager maker;
  TJobFileAdder adder(maker, DefaultLibraryPath());
  std::string error;
  // "lavfi" is a device of the device library, which the conversion set
  // leaves out.
  if (!adder.LoadLibraries(error) || !FFLoader().Load(avDevice))
    return {};
  TInputOptions input;
  InitInputOptions(input);
  input.FileFormat = "lavfi";
  const int32_t task = maker.AddTask(AGraph.toStdString(), &input);
  if (task < 0 || !maker.SetOutputFile(task, path.toStdString(), &AOutput)) {
    std::printf("%s: %s\n", path.toLocal8Bit().constData(), maker.LastErrMsg().c_str());
    return {};
  }
  maker.Start(0); // on this thread, until the file is written
  return path;
}

// A clip of the libraries' own test picture and tone.
QString MakeClip(const QString &ADir, const QString &AName, int ASeconds) {
  TOutputOptions output;
  InitOutputOptions(output);
  output.VideoCodec = "mpeg4";
  output.VideoBitrate = 1500000;
  output.AudioCodec = "mp2";
  return MakeMedia(ADir, AName,
                   QStringLiteral("testsrc2=size=640x360:rate=25:duration=%1[out0];"
                                  "sine=frequency=523:sample_rate=44100:duration=%1[out1]")
                       .arg(ASeconds),
                   output);
}

// A song for the spectrum: a tone rising from 1 kHz on the left, one
// falling from 16 kHz on the right, and a steady 6 kHz and 220 Hz on both.
QString MakeSong(const QString &ADir, const QString &AName, int ASeconds) {
  TOutputOptions output;
  InitOutputOptions(output);
  output.DisableVideo = true;
  output.AudioCodec = "pcm_s16le";
  return MakeMedia(ADir, AName,
                   QStringLiteral("aevalsrc=exprs="
                                  "0.3*sin(2*PI*(1000+750*t)*t)+0.15*sin(2*PI*6000*t)+0.2*sin(2*PI*220*t)|"
                                  "0.3*sin(2*PI*(16000-600*t)*t)+0.15*sin(2*PI*6000*t)+0.2*sin(2*PI*220*t):"
                                  "sample_rate=44100:duration=%1[out0]")
                       .arg(ASeconds),
                   output);
}

// previewer.png: a conversion's previewer showing a picture of AClip that a
// worker thread painted, as the engine does, with the screen around it.
bool SavePreviewScreenshot(const QString &AClip, const QString &ADir) {
  TAVProbe probe;
  TBitmap bitmap;
  bool decoded = probe.LoadFile(AClip.toStdString()) && probe.Seek(5000000);
  while (decoded && probe.FrameInfo().PTS < 5000000)
    decoded = probe.Decode();
  if (!decoded || !probe.CopyToBitmap(bitmap)) {
    std::printf("%s: %s\n", AClip.toLocal8Bit().constData(), probe.LastErrMsg().c_str());
    return false;
  }
  const int64_t pts = probe.FrameInfo().PTS;
  TPreviewer previewer;
  std::atomic<bool> painted{false};
  bool shown = false;
  std::thread worker([&] {
    shown = previewer.PaintFrame(&bitmap, static_cast<int32_t>(pts / 40000), pts); // 25 pictures a second
    painted = true;
  });
  // The worker waits for the paint, which the event loop runs.
  while (!painted)
    ProcessEventsFor(20);
  worker.join();
  ProcessEventsFor(300);
  QWidget *window = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("Previewer") && w->isVisible())
      window = w;
  if (!shown || !window) {
    std::printf("The previewer showed no window.\n");
    return false;
  }
  // Its client area with the caption bar above it, and a margin of screen.
  QRect frame = window->geometry().adjusted(0, -ToolCaptionHeight, 0, 0);
  const QRect area = frame.adjusted(-60, -60, 60, 60).intersected(window->screen()->geometry());
  QPixmap shot = window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  QPainter p(&shot);
  frame.translate(-area.topLeft());
  DrawCaptionBar(p, QRect(frame.topLeft(), QSize(frame.width(), ToolCaptionHeight)), *window, true);
  p.setPen(QColor(38, 86, 150));
  p.drawRect(frame.adjusted(0, 0, -1, -1));
  p.end();
  return shot.save(ADir + QStringLiteral("/previewer.png"));
}

// The screenshots' dialogs: the add dialog is answered with the clips; the
// folder the end of the conversion opens is not.
class TScreenshotDialogs : public IDialogs {
public:
  QStringList Files;
  void ShowMessage(QWidget *, const QString &, const QString &AText) override {
    std::printf("message: %s\n", AText.toLocal8Bit().constData());
  }
  QStringList OpenFiles(QWidget *, const TOpenDialogSpec &) override { return Files; }
  QString ChooseFolder(QWidget *, const QString &, const QString &) override { return {}; }
  int Exec(QDialog &) override { return QDialog::Rejected; }
  void OpenExternal(const QUrl &) override {}
};

// The preview panel on the screen. preview.png: the second row's first
// picture, paused; snapshot.png: the snapshot the panel saved of it as PNG;
// player.png: the clip playing after the window moved; spectrum.png: an
// audio file's spectrum. The audio file's row is removed again.
bool SavePreviewPanelScreenshots(TForm1 &AMain, const QString &ADir, TScreenshotDialogs &ADialogs) {
  auto *list = AMain.findChild<QTableWidget *>(QStringLiteral("lvFiles"));
  const auto click = [&AMain](const char *AName) { AMain.findChild<QToolButton *>(QLatin1String(AName))->click(); };
  const auto logged = [&AMain](qsizetype AFrom, const QString &ALine) {
    return AMain.LogLines().mid(AFrom).contains(ALine);
  };
  const int rows = list->rowCount();
  qsizetype mark = AMain.LogLines().size();
  list->clearSelection();
  list->selectRow(1);
  bool ok = ProcessEventsUntil([&] { return logged(mark, QStringLiteral("Pause")); }, 10000);
  ProcessEventsFor(500);
  ok = ScreenWithCaption(AMain).save(ADir + QStringLiteral("/preview.png")) && ok;

  AMain.findChild<QAction *>(QStringLiteral("mnuPicturePNG"))->trigger();
  const QString shots = AMain.LoadSnapshotFolder();
  const QString name = QFileInfo(AMain.T_Movie_PLayer_FileName()).completeBaseName() + QStringLiteral("_1.png");
  QFile::remove(shots + '/' + name);
  click("btnSnapshot");
  QFile::remove(ADir + QStringLiteral("/snapshot.png"));
  if (!QFile::copy(shots + '/' + name, ADir + QStringLiteral("/snapshot.png"))) {
    std::printf("The panel saved no snapshot %s.\n", name.toLocal8Bit().constData());
    ok = false;
  }

  click("btnPlay");
  ProcessEventsFor(1500);
  AMain.move(AMain.pos() + QPoint(40, 30));
  ProcessEventsFor(1000);
  ok = ScreenWithCaption(AMain).save(ADir + QStringLiteral("/player.png")) && ok;
  click("btnPreviewPause");

  const QString song = MakeSong(ADir, QStringLiteral("夜曲.wav"), 12);
  AMain.VURadori().SetShowAudio(saRDFT);
  ADialogs.Files = {song};
  mark = AMain.LogLines().size();
  AMain.btnAddClick();
  ok = !song.isEmpty() && list->rowCount() == rows + 1 && ok;
  ok = ProcessEventsUntil([&] { return logged(mark, QStringLiteral("Pause")); }, 10000) && ok;
  click("btnPlay");
  // The spectrum draws a column every 20 ms: the panel is full after about
  // four and a half seconds, before it starts again at the left.
  ProcessEventsFor(4400);
  ok = ScreenWithCaption(AMain).save(ADir + QStringLiteral("/spectrum.png")) && ok;
  click("btnPreviewPause");
  AMain.btnRemoveClick();
  ProcessEventsFor(500);
  return ok && list->rowCount() == rows;
}

// The list with two clips added, shown in the main picture.
bool AddClips(TForm1 &AMain, const QString &ADir, TScreenshotDialogs &ADialogs) {
  ADialogs.Files = {MakeClip(ADir, QStringLiteral("海边.avi"), 12), MakeClip(ADir, QStringLiteral("city.avi"), 12)};
  if (ADialogs.Files.contains(QString())) {
    std::printf("The clips could not be made.\n");
    return false;
  }
  AMain.Button8Click();
  return AMain.findChild<QTableWidget *>(QStringLiteral("lvFiles"))->rowCount() == 2;
}

// converting.png with both rows under way, finished.png when both are done:
// the clips into H.264 1280*720 MP4, two at once.
bool SaveConversionScreenshots(TForm1 &AMain, const QString &ADir) {
  auto *categories = AMain.findChild<QComboBox *>(QStringLiteral("bsSkinOfficeComboBox2"));
  auto *formats = AMain.findChild<QComboBox *>(QStringLiteral("bsSkinOfficeComboBox1"));
  auto *list = AMain.findChild<QTableWidget *>(QStringLiteral("lvFiles"));
  if (list->rowCount() != 2)
    return false;
  // Each row takes the format chosen while it is selected.
  for (int row = 0; row < 2; ++row) {
    list->selectRow(row);
    categories->setCurrentIndex(7); // "高清视频"
    formats->setCurrentIndex(2);    // MP4 H.264 1280*720
  }
  list->clearSelection();
  // Both at once (the options window is a child of the main window).
  AMain.findChild<QComboBox *>(QStringLiteral("cboThreadCount"))->setCurrentText(QStringLiteral("2"));
  AMain.Vantro().SetProgressInterval(100);
  AMain.btnStartClick();
  const auto percent = [list](int ARow) { return list->item(ARow, 4)->text().chopped(1).toInt(); };
  const bool underWay = ProcessEventsUntil(
      [&] { return percent(0) >= 30 && percent(1) >= 20 && percent(0) < 100 && percent(1) < 100; }, 120000);
  bool ok = underWay && WithCaption(AMain).save(ADir + QStringLiteral("/converting.png"));
  const bool done = ProcessEventsUntil([&] { return AMain.Vantro().Terminated(); }, 300000);
  ProcessEventsFor(300);
  ok = done && WithCaption(AMain).save(ADir + QStringLiteral("/finished.png")) && ok;
  return ok;
}

} // namespace

int main(int argc, char **argv) {
  setlocale(LC_ALL, "");
  SetMainThread();
  QApplication app(argc, argv);
  QApplication::setApplicationName(ProductTitle);
  QApplication::setWindowIcon(ApplicationIcon());
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Sans Serif")});
  font.setPixelSize(12);
  QApplication::setFont(font);
  InstallQtMainThreadAdapter();
  InstallQtPreviewWindows();

  QString screenshotDir;
  const QStringList args = QApplication::arguments();
  const qsizetype at = args.indexOf(QStringLiteral("--screenshot-dir"));
  if (at >= 0 && at + 1 < args.size())
    screenshotDir = QDir(args[at + 1]).absolutePath();

  const QString appDir = QString::fromStdString(ExecutableDir());
  QString settingsPath = SettingsFilePathFor(appDir);
  if (!screenshotDir.isEmpty()) {
    QDir().mkpath(screenshotDir);
    settingsPath = screenshotDir + QStringLiteral("/option.ini");
    // The virtual X server comes without a sound device; the preview's
    // player then plays into SDL's silent driver.
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
      qputenv("SDL_AUDIODRIVER", "dummy");
  }

  TApplicationWindows windows = CreateApplicationWindows(settingsPath, appDir);
  // The file list adds through the window's own job manager.
  TJobFileAdder adder(windows.Form1->Vantro(), DefaultLibraryPath());
  windows.Form1->SetFileAdder(&adder);
  TFirstPaintReport firstPaint(windows.Form1.get());
  if (args.contains(QStringLiteral("--startup-time")))
    app.installEventFilter(&firstPaint);
  windows.Form1->show();

  if (!screenshotDir.isEmpty()) {
    int result = 0;
    TScreenshotDialogs dialogs;
    SetDialogs(&dialogs);
    QTimer::singleShot(500, [&] {
      bool ok = AddClips(*windows.Form1, screenshotDir, dialogs);
      ok = SaveScreenshots(windows, screenshotDir) && ok;
      ok = SavePreviewScreenshot(dialogs.Files.value(0), screenshotDir) && ok;
      ok = SavePreviewPanelScreenshots(*windows.Form1, screenshotDir, dialogs) && ok;
      ok = SaveConversionScreenshots(*windows.Form1, screenshotDir) && ok;
      result = ok ? 0 : 1;
      std::printf("Screenshots in %s\n", screenshotDir.toLocal8Bit().constData());
      QApplication::quit();
    });
    app.exec();
    SetDialogs(nullptr);
    return result;
  }
  return app.exec();
}
