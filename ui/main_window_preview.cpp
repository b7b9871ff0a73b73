// TForm1: the preview panel "视频预览". The player VURadori plays the
// selected row's file in Panel6; the slider follows its position and seeks;
// "快照" saves the picture on screen.
#include "ui/main_window.h"

#include "ui/bitmap_image.h"
#include "ui/pictures.h"
#include "ui/snapshots.h"
#include "ui/video_surface.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTableWidget>
#include <QToolButton>

namespace {

QToolButton *PanelButton(QWidget *AParent, const char *AName, const QString &AHint, TButtonPicture APicture,
                         int ALeft) {
  auto *button = new QToolButton(AParent);
  button->setObjectName(QString::fromLatin1(AName));
  button->setIcon(ButtonIcon(APicture));
  button->setIconSize(QSize(16, 16));
  button->setToolTip(AHint);
  button->setGeometry(ALeft, 262, 28, 26);
  return button;
}

// The position slider: a press beside the handle puts the handle there
// first, so the press takes hold of it and the slider drags from where the
// user pressed.
class TPositionSlider : public QSlider {
public:
  explicit TPositionSlider(QWidget *AParent) : QSlider(Qt::Horizontal, AParent) {}

protected:
  void mousePressEvent(QMouseEvent *AEvent) override {
    if (AEvent->button() == Qt::LeftButton) {
      QStyleOptionSlider option;
      initStyleOption(&option);
      const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
      const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
      const QPoint at = AEvent->position().toPoint();
      if (!handle.contains(at))
        setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), at.x() - groove.x() - handle.width() / 2,
                                                 groove.width() - handle.width()));
    }
    QSlider::mousePressEvent(AEvent);
  }
};

TVideoDriver VideoDriverNamed(const QString &AName) {
  if (AName == QLatin1String("DDraw"))
    return vdDirectDraw;
  if (AName == QLatin1String("GDI"))
    return vdGDI;
  return vdDefault;
}

TAudioDriver AudioDriverNamed(const QString &AName) {
  if (AName == QLatin1String("DSound"))
    return adDirectSound;
  if (AName == QLatin1String("waveOut"))
    return adWaveOut;
  return adDefault;
}

const char *StateName(TPlayState AState) {
  switch (AState) {
  case psPlay:
    return "Play";
  case psPause:
    return "Pause";
  case psResume:
    return "Resume";
  case psStep:
    return "Step";
  case psStop:
    return "Stop";
  case psEnd:
    return "End";
  }
  return "";
}

} // namespace

// ---------------------------------------------------------------- composition

void TForm1::CreatePreviewPanel(QWidget *ACentral) {
  auto *panel = new QGroupBox(QStringLiteral("视频预览"), ACentral);
  panel->setObjectName(QStringLiteral("pnlPreview"));
  panel->setGeometry(552, 62, 248, 302);

  FPanel6 = new TVideoSurface(panel);
  FPanel6->setObjectName(QStringLiteral("Panel6"));
  FPanel6->setGeometry(8, 20, 232, 204);
  // Uncovered while paused: the player draws its last picture again.
  FPanel6->OnExposed = [this] {
    if (FVURadori)
      FVURadori->UpdateScreenPosition();
  };

  FSlider = new TPositionSlider(panel);
  FSlider->setObjectName(QStringLiteral("bsSkinSlider1"));
  FSlider->setGeometry(8, 230, 232, 20);
  FSlider->setRange(0, FSlider->width());
  FSlider->setSingleStep(5);
  connect(FSlider, &QSlider::sliderPressed, this, &TForm1::SliderPressed);
  connect(FSlider, &QSlider::sliderReleased, this, &TForm1::SliderReleased);
  FFiles->viewport()->installEventFilter(this);

  FBtnPlay = PanelButton(panel, "btnPlay", QStringLiteral("播放"), TButtonPicture::Play, 8);
  connect(FBtnPlay, &QToolButton::clicked, this, &TForm1::PreviewPlayClick);
  FBtnPreviewPause = PanelButton(panel, "btnPreviewPause", QStringLiteral("暂停"), TButtonPicture::Pause, 40);
  connect(FBtnPreviewPause, &QToolButton::clicked, this, &TForm1::PreviewPauseClick);
  FBtnPreviewStop = PanelButton(panel, "btnPreviewStop", QStringLiteral("停止"), TButtonPicture::Stop, 72);
  connect(FBtnPreviewStop, &QToolButton::clicked, this, &TForm1::PreviewStopClick);
  // Mute and unmute share one place; the one shown says what a click does.
  FBtnMute = PanelButton(panel, "btnMute", QStringLiteral("静音"), TButtonPicture::Mute, 104);
  connect(FBtnMute, &QToolButton::clicked, this, [this] { PreviewMuteClick(true); });
  FBtnUnmute = PanelButton(panel, "btnUnmute", QStringLiteral("静音"), TButtonPicture::Unmute, 104);
  connect(FBtnUnmute, &QToolButton::clicked, this, [this] { PreviewMuteClick(false); });
  FBtnUnmute->hide();
  FBtnSnapshot = PanelButton(panel, "btnSnapshot", QStringLiteral("快照"), TButtonPicture::Snapshot, 136);
  connect(FBtnSnapshot, &QToolButton::clicked, this, &TForm1::SnapshotClick);
  // Full screen has no action; the button stays hidden.
  PanelButton(panel, "btnFullScreen", QStringLiteral("全屏"), TButtonPicture::FullScreen, 168)->hide();

  FBtnSnapshotSettings =
      PanelButton(panel, "btnSnapshotSettings", QStringLiteral("设置"), TButtonPicture::Settings, 212);
  // A press opens the menu where the mouse is (eventFilter); the keyboard
  // opens it under the button.
  FBtnSnapshotSettings->installEventFilter(this);
  connect(FBtnSnapshotSettings, &QToolButton::clicked, this, [this] {
    ShowSnapshotMenu(FBtnSnapshotSettings->mapToGlobal(QPoint(0, FBtnSnapshotSettings->height())));
  });

  FSnapshotMenu = new QMenu(FBtnSnapshotSettings);
  FSnapshotMenu->setObjectName(QStringLiteral("pmSnapshot"));
  QAction *open = FSnapshotMenu->addAction(QStringLiteral("打开快照目录"));
  open->setObjectName(QStringLiteral("mnuOpenSnapshotFolder"));
  connect(open, &QAction::triggered, this, &TForm1::OpenSnapshotFolder);
  QAction *choose = FSnapshotMenu->addAction(QStringLiteral("设置快照目录"));
  choose->setObjectName(QStringLiteral("mnuSetSnapshotFolder"));
  connect(choose, &QAction::triggered, this, &TForm1::ChooseSnapshotFolder);
  FSnapshotMenu->addSeparator();
  QMenu *types = FSnapshotMenu->addMenu(QStringLiteral("快照保存类型"));
  types->setObjectName(QStringLiteral("mnuPictureType"));
  FPictureTypes = new QActionGroup(this);
  FPictureTypes->setExclusive(true);
  for (const char *type : {"BMP", "JPG", "GIF", "PNG"}) {
    QAction *a = types->addAction(QString::fromLatin1(type) + QStringLiteral("文件"));
    a->setObjectName(QStringLiteral("mnuPicture") + QString::fromLatin1(type));
    a->setCheckable(true);
    a->setData(QString::fromLatin1(type));
    FPictureTypes->addAction(a);
    connect(a, &QAction::triggered, this, [this, a] { SetPictureType(a->data().toString()); });
  }
  FPictureTypes->actions().first()->setChecked(true);
}

void TForm1::CreatePlayer() {
  FVURadori = std::make_unique<RIVEvidir>();
  FVURadori->SetOnFileOpen([this](TObject *Sender, int64_t ADuration, int32_t AFrameWidth, int32_t AFrameHeight,
                                  int32_t &AScreenWidth, int32_t &AScreenHeight) {
    VURadoriFileOpen(Sender, ADuration, AFrameWidth, AFrameHeight, AScreenWidth, AScreenHeight);
  });
  FVURadori->SetOnPosition([this](TObject *Sender, int64_t APTS) { VURadoriPosition(Sender, APTS); });
  FVURadori->SetOnState([this](TObject *Sender, TPlayState AState) { VURadoriState(Sender, AState); });
}

void TForm1::DetachPlayer() {
  if (!FVURadori)
    return;
  FVURadori->SetOnPosition(nullptr);
  FVURadori->SetOnState(nullptr);
  FVURadori->SetOnHook(nullptr);
  FPanel6->OnExposed = nullptr;
  FVURadori->Stop(true);
}

// ---------------------------------------------------------------- opening

void TForm1::Button31Click() {
  if (!FVURadori->AVLibLoaded() && !FVURadori->LoadAVLib((FSetup.AppDir + QStringLiteral("/LibAV")).toStdString())) {
    LogText(FVURadori->LastErrMsg());
    return;
  }
  FScreenControl = findChild<QWidget *>(FScreens->currentText());
  FVURadori->SetVideoDriver(VideoDriverNamed(FVideoDriver->currentText()));
  FVURadori->SetAudioDriver(AudioDriverNamed(FAudioDriver->currentText()));
  OpenPreview();
}

bool TForm1::OpenPreview() {
  const uintptr_t handle = FPanel6->ScreenHandle();
  const bool opened = FVURadori->Open(FPlayerFileName.toStdString(), handle, FOpenPaused->isChecked());
  if (!opened)
    LogText(FVURadori->LastErrMsg());
  FPanel6->SetHosting(opened && handle != 0);
  return opened;
}

void TForm1::VURadoriFileOpen(TObject *, int64_t ADuration, int32_t AFrameWidth, int32_t AFrameHeight,
                              int32_t &AScreenWidth, int32_t &AScreenHeight) {
  TAVProbe &probe = FVURadori->AVProbe();
  LogText(probe.FileInfoText());
  Log(QString::asprintf("duration: %f, frame size: %dx%d", ADuration / 1000000.0, AFrameWidth, AFrameHeight));

  QSize screen;
  if (FScreenControl)
    screen = FScreenControl->size();
  else if (QScreen *desktop = this->screen())
    screen = desktop->geometry().size();
  AScreenWidth = screen.width();
  AScreenHeight = screen.height();
  FDuration = ADuration;

  FTrackChanging = true;
  FSlider->setSingleStep(5);
  FSlider->setMaximum(FSlider->width());
  FSlider->setValue(0);
  FTrackChanging = false;

  // The diagnostics' stream choices.
  FVideoStreams->clear();
  FAudioStreams->clear();
  FSubtitleStreams->clear();
  for (int32_t i = 0; i < probe.StreamCount(); ++i) {
    if (probe.IsVideoStream(i))
      FVideoStreams->addItem(QStringLiteral("Video#%1").arg(i), i);
    else if (probe.IsAudioStream(i))
      FAudioStreams->addItem(QStringLiteral("Audio#%1").arg(i), i);
    else if (probe.IsSubtitleStream(i))
      FSubtitleStreams->addItem(QStringLiteral("Subtitle#%1").arg(i), i);
  }
  const int32_t video = FVURadori->VideoStreamIndex();
  const int32_t audio = FVURadori->AudioStreamIndex();
  FVideoStreams->setCurrentIndex(FVideoStreams->findData(video));
  FAudioStreams->setCurrentIndex(FAudioStreams->findData(audio));
  FVideoStreams->setEnabled(FVideoStreams->count() >= 2 && video >= 0);
  FAudioStreams->setEnabled(FAudioStreams->count() >= 2 && audio >= 0);
  FSubtitleStreams->setEnabled(FSubtitleStreams->count() >= 1 && video >= 0);
  if (FSubtitleStreams->isEnabled())
    FSubtitleStreams->insertItem(0, QStringLiteral("Subtitle#-1"), -1);
  FSubtitleStreams->setCurrentIndex(FSubtitleStreams->findData(FVURadori->SubtitleStreamIndex()));
}

// ---------------------------------------------------------------- buttons

void TForm1::PreviewPlayClick() {
  FVURadori->Resume();
  FocusFileList();
}

void TForm1::PreviewPauseClick() {
  FVURadori->Pause();
  FocusFileList();
}

void TForm1::PreviewStopClick() {
  if (SelectedRow() < 0)
    return;
  try {
    FVURadori->Stop(true);
    OpenPreview();
    FocusFileList();
  } catch (const std::exception &) {
    FVURadori->Stop(true);
  }
}

void TForm1::PreviewMuteClick(bool AMute) {
  FVURadori->SetMute(AMute);
  FBtnMute->setVisible(!AMute);
  FBtnUnmute->setVisible(AMute);
}

void TForm1::SnapshotClick() {
  const QImage picture = BitmapToImage(FVURadori->CurrentFrame());
  const QString folder = LoadSnapshotFolder();
  const QString type = LoadPictureType();
  if (picture.isNull())
    return;
  const QString file = SnapshotFileName(folder, FPlayerFileName, type);
  QString error;
  // No message either way; the log keeps why a picture was not written.
  if (!SaveSnapshot(picture, file, type, error))
    Log(file + QStringLiteral(": ") + error);
}

void TForm1::ShowSnapshotMenu(const QPoint &AGlobalPos) {
  // The mark follows the settings file, which another window may have written.
  LoadPictureType();
  FSnapshotMenu->popup(AGlobalPos);
}

// ---------------------------------------------------------------- slider

void TForm1::SliderPressed() {
  FSliderDownUp = QStringLiteral("Down");
  FVURadori->Pause();
}

void TForm1::SliderReleased() {
  FVURadori->Pause();
  const int maximum = FSlider->maximum();
  const int64_t target = maximum > 0 ? FDuration * FSlider->value() / maximum : 0;
  FVURadori->Seek(target, 0, false);
  FVURadori->Resume();
  FSliderDownUp = QStringLiteral("UP");
}

bool TForm1::PreviewEventFilter(QObject *AWatched, QEvent *AEvent) {
  const bool press = AEvent->type() == QEvent::MouseButtonPress;
  const bool release = AEvent->type() == QEvent::MouseButtonRelease;
  if ((!press && !release) || static_cast<QMouseEvent *>(AEvent)->button() != Qt::LeftButton)
    return false;
  const auto *mouse = static_cast<QMouseEvent *>(AEvent);
  if (AWatched == FBtnSnapshotSettings && press) {
    ShowSnapshotMenu(mouse->globalPosition().toPoint());
    return true;
  }
  if (AWatched == FFiles->viewport() && release && SelectedRow() < 0) {
    // A click that leaves no row selected ends the preview.
    FVURadori->Stop(true);
  }
  return false;
}

// ---------------------------------------------------------------- player events

void TForm1::VURadoriPosition(TObject *, int64_t APTS) {
  if (FSliderDownUp != QLatin1String("UP"))
    return;
  FPositionText->setText(QString::asprintf("%f", APTS / 1000000.0));
  if (APTS >= 0 && FDuration > 0) {
    FTrackChanging = true;
    FSlider->setValue(static_cast<int>(static_cast<int64_t>(FSlider->maximum()) * APTS / FDuration));
    FTrackChanging = false;
  }
}

void TForm1::VURadoriState(TObject *, TPlayState AState) {
  Log(QString::fromLatin1(StateName(AState)));
  switch (AState) {
  case psPlay:
  case psResume:
    if (FStayOnTop->isChecked())
      SetStayOnTop(true);
    break;
  case psPause:
  case psStep:
    SetStayOnTop(false);
    break;
  case psStop:
    SetStayOnTop(false);
    // The player's last picture goes with it.
    FPanel6->SetHosting(false);
    break;
  case psEnd:
    // A preview that reached its end rests on its first picture.
    FVURadori->Seek(int64_t{0}, SeekFlag(sfAny), false);
    FVURadori->Pause();
    break;
  }
}

void TForm1::SetStayOnTop(bool AOn) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == AOn)
    return;
  // Changing the flag hides a shown window.
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, AOn);
  if (shown)
    show();
}

void TForm1::moveEvent(QMoveEvent *AEvent) {
  QMainWindow::moveEvent(AEvent);
  // The picture keeps to Panel6 wherever the window goes.
  if (FVURadori)
    FVURadori->UpdateScreenPosition();
}
