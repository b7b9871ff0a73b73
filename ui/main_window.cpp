// TForm1: composition, creation sequence, settings and the windows it opens.
#include "ui/main_window.h"

#include "catalogue/categories.h"
#include "jobs/job_manager.h"
#include "ui/about_window.h"
#include "ui/office_combo.h"
#include "ui/options_window.h"
#include "ui/pictures.h"
#include "ui/product.h"
#include "ui/settings_paths.h"
#include "ui/skins.h"
#include "ui/power_off_countdown.h"
#include "ui/system_actions.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>

namespace {

// The client area below the menu bar.
constexpr int ClientWidth = 806;
constexpr int ClientHeight = 541;

const QString OutPathSection = QStringLiteral("OutPath");
const QString SkinSection = QStringLiteral("Skin");
const QString SnapShotSection = QStringLiteral("SnapShot");

template <typename T> T *Named(T *AWidget, const char *AName) {
  AWidget->setObjectName(QString::fromLatin1(AName));
  return AWidget;
}

QLabel *Caption(QWidget *AParent, const char *AName, const QString &AText, const QRect &AGeometry) {
  auto *label = Named(new QLabel(AText, AParent), AName);
  label->setGeometry(AGeometry);
  return label;
}

QToolButton *ToolbarButton(QWidget *AParent, const char *AName, const QString &AText, TToolbarPicture APicture,
                           int APlace) {
  auto *button = Named(new QToolButton(AParent), AName);
  button->setText(AText);
  button->setIcon(ToolbarIcon(APicture));
  button->setIconSize(QSize(32, 32));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  button->setGeometry(6 + APlace * 70, 3, 66, 56);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QToolButton *SmallButton(QWidget *AParent, const char *AName, const QString &AHint, TButtonPicture APicture,
                         const QRect &AGeometry) {
  auto *button = Named(new QToolButton(AParent), AName);
  button->setIcon(ButtonIcon(APicture));
  button->setIconSize(QSize(16, 16));
  button->setToolTip(AHint);
  button->setGeometry(AGeometry);
  return button;
}

} // namespace

TForm1::TForm1(const TMainWindowSetup &ASetup, QWidget *AParent)
    : QMainWindow(AParent), FSetup(ASetup), FSettings(ASetup.SettingsPath), FVantro(std::make_unique<TJobManager>()) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(ProductTitle);
  setWindowIcon(ApplicationIcon());
  // Fixed size, minimise but no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  FLogger = std::make_unique<TFFLogger>();
  FLogger->SetOnLog([this](TObject *Sender, uint32_t AThreadID, TLogLevel ALogLevel, const std::string &ALogMsg) {
    FFLoggerLog(Sender, AThreadID, ALogLevel, ALogMsg);
  });

  CreateMenus();
  auto *central = Named(new QWidget(this), "TForm1Central");
  central->setFixedSize(ClientWidth, ClientHeight);
  setCentralWidget(central);
  CreateToolbar(central);
  CreateFileList(central);
  CreatePreviewPanel(central);
  CreateOutputPanel(central);
  CreatePresetPanel(central);
  CreateDiagnostics(central);
  setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());

  // The states at start: nothing to remove, clear, rename or convert yet.
  SetRowControlsEnabled(false);
  for (QWidget *w : {static_cast<QWidget *>(FBtnStop), static_cast<QWidget *>(FBtnPause),
                     static_cast<QWidget *>(FBtnResume)})
    w->setEnabled(false);
  for (QAction *a : {FMenuStop, FMenuPause, FMenuResume})
    a->setEnabled(false);
  FBtnResume->hide();
  ShowEmptyPicture(true);

  CreateConversionControl();
  CreatePlayer();
  FormCreate();
  FillScreenChoices(central);
  FSliderDownUp = QStringLiteral("UP");
}

TForm1::~TForm1() {
  // The player and the job manager go first, while everything their
  // handlers touch is whole.
  DetachPlayer();
  FVURadori.reset();
  FDetached = true;
  FVantro.reset();
  if (FLogger)
    FLogger->SetOnLog(nullptr);
}

void TForm1::FormCreate() {
  Button15Click();
  Button17Click();
  Button21Click();
  Button3Click();
  // The category list starts on "通用音频".
  FCategories->blockSignals(true);
  FCategories->setCurrentIndex(DefaultCategoryIndex);
  FCategories->blockSignals(false);
  Button2Click();
}

void TForm1::SetAboutWindow(TForm2 *AForm) { FAbout = AForm; }

void TForm1::SetOptionsWindow(TForm5 *AForm) { FOptions = AForm; }

void TForm1::SetFileAdder(IFileAdder *AAdder) { FAdder = AAdder; }

// ---------------------------------------------------------------- composition

void TForm1::CreateMenus() {
  QMenuBar *bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu"));
  auto item = [this](QMenu *AMenu, const char *AName, const QString &AText, void (TForm1::*AOperation)()) {
    QAction *action = AMenu->addAction(AText);
    action->setObjectName(QString::fromLatin1(AName));
    if (AOperation)
      connect(action, &QAction::triggered, this, [this, AOperation] { (this->*AOperation)(); });
    return action;
  };
  QMenu *file = bar->addMenu(QStringLiteral("文件"));
  file->setObjectName(QStringLiteral("mnuFile"));
  FMenuAddFile = item(file, "mnuAddFile", QStringLiteral("添加一个文件"), &TForm1::btnAddClick);
  FMenuAddFiles = item(file, "mnuAddFiles", QStringLiteral("添加多个文件"), &TForm1::Button8Click);
  FMenuAddFolder = item(file, "mnuAddFolder", QStringLiteral("添加整个目录"), &TForm1::Button12Click);
  file->addSeparator();
  FMenuExit = item(file, "mnuExit", QStringLiteral("退出"), nullptr);
  connect(FMenuExit, &QAction::triggered, this, &QWidget::close);

  QMenu *edit = bar->addMenu(QStringLiteral("编辑"));
  edit->setObjectName(QStringLiteral("mnuEdit"));
  FMenuMoveUp = item(edit, "mnuMoveUp", QStringLiteral("上移文件"), &TForm1::MoveUpClick);
  FMenuMoveDown = item(edit, "mnuMoveDown", QStringLiteral("下移文件"), &TForm1::MoveDownClick);
  edit->addSeparator();
  FMenuRemove = item(edit, "mnuRemove", QStringLiteral("删除选择"), &TForm1::btnRemoveClick);
  FMenuClear = item(edit, "mnuClear", QStringLiteral("清空文件"), &TForm1::btnClearClick);
  FMenuRename = item(edit, "mnuRename", QStringLiteral("重新命名"), &TForm1::RenameClick);

  // Start, stop, pause and resume belong to the conversion control, which
  // connects them once the job manager is there.
  QMenu *action = bar->addMenu(QStringLiteral("动作"));
  action->setObjectName(QStringLiteral("mnuAction"));
  FMenuStart = item(action, "mnuStart", QStringLiteral("开始转换"), nullptr);
  FMenuStop = item(action, "mnuStop", QStringLiteral("停止转换"), nullptr);
  FMenuPause = item(action, "mnuPause", QStringLiteral("暂停转换"), nullptr);
  FMenuResume = item(action, "mnuResume", QStringLiteral("继续继续"), nullptr);

  QMenu *tools = bar->addMenu(QStringLiteral("功能"));
  tools->setObjectName(QStringLiteral("mnuTools"));
  FMenuOptions = item(tools, "mnuOptions", QStringLiteral("转换设置"), &TForm1::ShowOptions);
  FMenuSkin = item(tools, "mnuSkin", QStringLiteral("软件皮肤"), &TForm1::ChooseSkin);

  QMenu *help = bar->addMenu(QStringLiteral("帮助"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  FMenuHelp = item(help, "mnuHelpSystem", QStringLiteral("帮助系统"), &TForm1::OpenHelp);
  FMenuHelp->setShortcut(QKeySequence(Qt::Key_F1));
  FMenuSite = item(help, "mnuSite", QStringLiteral("官方网站"), &TForm1::OpenSite);
  help->addSeparator();
  FMenuAbout = item(help, "mnuAbout", QStringLiteral("关于软件"), &TForm1::ShowAbout);
}

void TForm1::CreateToolbar(QWidget *ACentral) {
  auto *bar = Named(new QWidget(ACentral), "pnlToolbar");
  bar->setGeometry(0, 0, ClientWidth, 62);

  FBtnAdd = ToolbarButton(bar, "btnAdd", QStringLiteral("添加"), TToolbarPicture::Add, 0);
  auto *addMenu = Named(new QMenu(FBtnAdd), "pmAdd");
  auto dropItem = [this, addMenu](const char *AName, const QString &AText, void (TForm1::*AOperation)()) {
    QAction *a = addMenu->addAction(AText);
    a->setObjectName(QString::fromLatin1(AName));
    connect(a, &QAction::triggered, this, [this, AOperation] { (this->*AOperation)(); });
    return a;
  };
  FDropAddFile = dropItem("pmAddFile", QStringLiteral("添加一个文件"), &TForm1::btnAddClick);
  FDropAddFiles = dropItem("pmAddFiles", QStringLiteral("添加多个文件"), &TForm1::Button8Click);
  FDropAddFolder = dropItem("pmAddFolder", QStringLiteral("添加整个目录"), &TForm1::Button12Click);
  FBtnAdd->setMenu(addMenu);
  FBtnAdd->setPopupMode(QToolButton::MenuButtonPopup);
  connect(FBtnAdd, &QToolButton::clicked, this, &TForm1::btnAddClick);

  FBtnRemove = ToolbarButton(bar, "btnRemove", QStringLiteral("删除"), TToolbarPicture::Remove, 1);
  connect(FBtnRemove, &QToolButton::clicked, this, &TForm1::btnRemoveClick);
  FBtnClear = ToolbarButton(bar, "btnClear", QStringLiteral("清空"), TToolbarPicture::Clear, 2);
  connect(FBtnClear, &QToolButton::clicked, this, &TForm1::btnClearClick);
  FBtnStart = ToolbarButton(bar, "btnStart", QStringLiteral("开始"), TToolbarPicture::Start, 3);
  FBtnStop = ToolbarButton(bar, "btnStop", QStringLiteral("停止"), TToolbarPicture::Stop, 4);
  // "暂停" and "继续" share one place; one of the two is shown.
  FBtnPause = ToolbarButton(bar, "btnPause", QStringLiteral("暂停"), TToolbarPicture::Pause, 5);
  FBtnResume = ToolbarButton(bar, "btnResume", QStringLiteral("继续"), TToolbarPicture::Resume, 5);
  FBtnOptions = ToolbarButton(bar, "btnOptions", QStringLiteral("选项"), TToolbarPicture::Options, 6);
  connect(FBtnOptions, &QToolButton::clicked, this, &TForm1::ShowOptions);
  FBtnSkin = ToolbarButton(bar, "btnSkin", QStringLiteral("皮肤"), TToolbarPicture::Skin, 7);
  connect(FBtnSkin, &QToolButton::clicked, this, &TForm1::ChooseSkin);

  auto *logo = Named(new QLabel(bar), "imgLogo");
  logo->setGeometry(ClientWidth - 214, 5, 206, 52);
  logo->setPixmap(LogoPicture(QSize(206, 52)));
}

void TForm1::CreateFileList(QWidget *ACentral) {
  auto *panel = Named(new QWidget(ACentral), "pnlFiles");
  panel->setGeometry(6, 68, 540, 296);

  FFiles = Named(new QTableWidget(0, fcColumnCount, panel), "lvFiles");
  FFiles->setGeometry(0, 0, 540, 266);
  static const char *const captions[fcColumnCount] = {
      "输入文件", "视频时间", "文件大小", "输出文件", "转换进度", "",         "当前时间", "转换大小", "视频序号",
      "视频类别", "视频选项", "视频编码", "音频编码", "声音频道", "VideoTag", "FileExt",  "视频分辨率",
      "视频比特率", "视频帧率", "音频比特率", "音频采样率", "视频缩放", "视频能否", "TargetType", "NormType"};
  QStringList headers;
  for (const char *c : captions)
    headers << QString::fromUtf8(c);
  FFiles->setHorizontalHeaderLabels(headers);
  static const int widths[8] = {80, 70, 70, 80, 70, 0, 80, 80};
  for (int c = 0; c < fcColumnCount; ++c) {
    if (c < 8 && c != fcFps)
      FFiles->setColumnWidth(c, widths[c]);
    else
      FFiles->setColumnHidden(c, true); // the row's options and the speed: data, not for the eye
  }
  FFiles->verticalHeader()->hide();
  FFiles->verticalHeader()->setDefaultSectionSize(20);
  FFiles->horizontalHeader()->setHighlightSections(false);
  FFiles->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  FFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  FFiles->setSelectionMode(QAbstractItemView::SingleSelection);
  FFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FFiles->setShowGrid(true);
  FFiles->setWordWrap(false);
  FFiles->setTextElideMode(Qt::ElideMiddle);
  connect(FFiles, &QTableWidget::itemSelectionChanged, this, &TForm1::lvFilesSelectionChanged);
  connect(FFiles, &QTableWidget::cellDoubleClicked, this, [this] {
    const int row = SelectedRow();
    if (row >= 0)
      StartRename(row);
  });

  FEmptyPicture = Named(new QLabel(panel), "imgEmpty");
  FEmptyPicture->setGeometry(FFiles->geometry());
  FEmptyPicture->setPixmap(EmptyListPicture(FFiles->size()));

  FBtnMoveUp = SmallButton(panel, "btnMoveUp", QStringLiteral("上移"), TButtonPicture::MoveUp, QRect(0, 270, 26, 24));
  connect(FBtnMoveUp, &QToolButton::clicked, this, &TForm1::MoveUpClick);
  FBtnMoveDown =
      SmallButton(panel, "btnMoveDown", QStringLiteral("下移"), TButtonPicture::MoveDown, QRect(30, 270, 26, 24));
  connect(FBtnMoveDown, &QToolButton::clicked, this, &TForm1::MoveDownClick);
  FBtnRename =
      SmallButton(panel, "btnRename", QStringLiteral("重命名"), TButtonPicture::Rename, QRect(60, 270, 26, 24));
  connect(FBtnRename, &QToolButton::clicked, this, &TForm1::RenameClick);

  FEdt = Named(new QLineEdit(panel), "edt");
  FEdt->hide();
  FEdt->installEventFilter(this);
  // Enter ends the edit the way leaving the field does.
  connect(FEdt, &QLineEdit::returnPressed, this, &TForm1::FocusFileList);
}

void TForm1::CreateOutputPanel(QWidget *ACentral) {
  auto *panel = Named(new QFrame(ACentral), "pnlOutput");
  panel->setGeometry(6, 370, 540, 165);

  Caption(panel, "lblOutputFormat", QStringLiteral("输出格式："), QRect(10, 22, 72, 22));
  FCategories = Named(new TOfficeComboBox(panel), "bsSkinOfficeComboBox2");
  FCategories->setGeometry(82, 10, 150, 46);
  for (const TCategory &c : Categories())
    FCategories->AddEntry(QString::fromUtf8(c.Caption), QStringLiteral("%1种格式").arg(c.FormatCount),
                          CategoryIcon(c.ImageIndex));
  FCategories->view()->setMinimumWidth(200);
  connect(FCategories, &QComboBox::currentIndexChanged, this, [this] { bsSkinOfficeComboBox2Change(); });
  FFormats = Named(new TOfficeComboBox(panel), "bsSkinOfficeComboBox1");
  FFormats->setGeometry(238, 10, 294, 46);
  FFormats->view()->setMinimumWidth(440);
  connect(FFormats, &QComboBox::currentIndexChanged, this, [this] { bsSkinOfficeComboBox1Change(); });

  Caption(panel, "lblOutputFolder", QStringLiteral("输出目录："), QRect(10, 70, 72, 24));
  FOutputFolder = Named(new QLineEdit(panel), "Video_OutPut_Folder_Edit");
  FOutputFolder->setGeometry(82, 70, 294, 24);
  FOutputFolder->setReadOnly(true);
  FOutputFolder->installEventFilter(this);
  FBtnBrowse = Named(new QPushButton(QStringLiteral("浏览"), panel), "btnBrowse");
  FBtnBrowse->setGeometry(382, 70, 70, 24);
  connect(FBtnBrowse, &QPushButton::clicked, this, &TForm1::ChooseOutputFolder);
  FBtnOpenFolder = Named(new QPushButton(QStringLiteral("打开"), panel), "btnOpenFolder");
  FBtnOpenFolder->setGeometry(458, 70, 70, 24);
  connect(FBtnOpenFolder, &QPushButton::clicked, this, &TForm1::Button20Click);
  // The options window also opens from here; the button is kept hidden.
  auto *settings = Named(new QPushButton(QStringLiteral("设置"), panel), "btnSettings");
  settings->setGeometry(458, 104, 70, 24);
  settings->hide();
  connect(settings, &QPushButton::clicked, this, &TForm1::ShowOptions);

  Caption(panel, "lblSiteCaption", QStringLiteral("软件网站："), QRect(10, 106, 72, 22));
  QLabel *site = Caption(panel, "lblSiteLink",
                         QStringLiteral("<a href=\"site\" style=\"text-decoration:none\">%1</a>").arg(ProductSite),
                         QRect(82, 106, 300, 22));
  site->setCursor(Qt::PointingHandCursor);
  connect(site, &QLabel::linkActivated, this, &TForm1::OpenSite);
  Caption(panel, "lblHint", QStringLiteral("选中列表中的文件后，可以为它单独选择输出格式和预置选项。"),
          QRect(10, 134, 520, 22));
}

void TForm1::CreatePresetPanel(QWidget *ACentral) {
  auto *panel = Named(new QGroupBox(QStringLiteral("预置选项"), ACentral), "pnlPresets");
  panel->setGeometry(552, 370, 248, 165);
  // Shown top to bottom in this order.
  const TPresetKind order[] = {pkResolution, pkVideoBitrate, pkFrameRate, pkAudioBitrate, pkSampleRate, pkScaling};
  int y = 18;
  for (TPresetKind kind : order) {
    const TPresetKindInfo &info = PresetKindInfo(kind);
    Caption(panel, (std::string("lbl") + info.ControlName).c_str(), QString::fromUtf8(info.Label),
            QRect(8, y, 84, 22));
    auto *list = new QComboBox(panel);
    list->setObjectName(QString::fromLatin1(info.ControlName));
    list->setGeometry(92, y, 148, 22);
    list->setMaxVisibleItems(14);
    connect(list, &QComboBox::currentIndexChanged, this, [this, kind] { PresetListChange(kind); });
    FPresets[kind] = list;
    y += 24;
  }
}

void TForm1::CreateDiagnostics(QWidget *ACentral) {
  // Controls whose values the window reads but the user never sees.
  auto *panel = Named(new QWidget(ACentral), "pnlDiagnostics");
  panel->setGeometry(0, ClientHeight, ClientWidth, 200);
  panel->hide();
  FLog = Named(new QListWidget(panel), "mmoLog");
  FLog->setGeometry(0, 0, 400, 200);
  FProgressBar = Named(new QProgressBar(panel), "ProgressBar1");
  FProgressBar->setGeometry(410, 0, 200, 20);
  FProgressBar->setValue(0);
  FThreadMode = Named(new QCheckBox(QStringLiteral("多线程"), panel), "chkThreadMode");
  FThreadMode->setGeometry(410, 24, 200, 20);
  FThreadMode->setChecked(true);
  // The player's fixed settings. "Default" leaves the choice of SDL's
  // drivers to SDL (and its environment variables).
  FVideoDriver = Named(new QComboBox(panel), "cboVideoDriver");
  FVideoDriver->setGeometry(410, 48, 120, 20);
  FVideoDriver->addItems({QStringLiteral("Default"), QStringLiteral("DDraw"), QStringLiteral("GDI")});
  FAudioDriver = Named(new QComboBox(panel), "cboAudioDriver");
  FAudioDriver->setGeometry(410, 72, 120, 20);
  FAudioDriver->addItems({QStringLiteral("Default"), QStringLiteral("DSound"), QStringLiteral("waveOut")});
  FOpenPaused = Named(new QCheckBox(QStringLiteral("OpenPaused"), panel), "chkOpenPaused");
  FOpenPaused->setGeometry(540, 48, 120, 20);
  FOpenPaused->setChecked(true);
  FStayOnTop = Named(new QCheckBox(QStringLiteral("StayOnTop"), panel), "chkStayOnTop");
  FStayOnTop->setGeometry(540, 72, 120, 20);
  FScreens = Named(new QComboBox(panel), "cboScreens");
  FScreens->setGeometry(410, 96, 120, 20);
  auto *volume = Named(new QSlider(Qt::Horizontal, panel), "TrackBar2");
  volume->setGeometry(410, 120, 200, 20);
  volume->setRange(0, 128);
  volume->setValue(128);
  // What the preview's open file holds, and where it is.
  FVideoStreams = Named(new QComboBox(panel), "cboVideoStreams");
  FVideoStreams->setGeometry(620, 0, 120, 20);
  FAudioStreams = Named(new QComboBox(panel), "cboAudioStreams");
  FAudioStreams->setGeometry(620, 24, 120, 20);
  FSubtitleStreams = Named(new QComboBox(panel), "cboSubtitleStreams");
  FSubtitleStreams->setGeometry(620, 48, 120, 20);
  FPositionText = Named(new QLabel(panel), "lblPosition");
  FPositionText->setGeometry(620, 72, 120, 20);
}

void TForm1::FillScreenChoices(QWidget *ACentral) {
  // "Panel6", then the window's own panels in tab (creation) order.
  FScreens->addItem(QStringLiteral("Panel6"));
  for (QObject *child : ACentral->children()) {
    auto *w = qobject_cast<QWidget *>(child);
    if (w && !w->objectName().isEmpty())
      FScreens->addItem(w->objectName());
  }
  FScreens->setCurrentIndex(0);
}

void TForm1::showEvent(QShowEvent *AEvent) {
  // Centred on the desktop when first shown.
  if (!FCentred) {
    if (QScreen *s = screen()) {
      const QRect area = s->availableGeometry();
      move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    FCentred = true;
  }
  QMainWindow::showEvent(AEvent);
}

bool TForm1::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (PreviewEventFilter(AWatched, AEvent))
    return true;
  if (AWatched == FEdt && AEvent->type() == QEvent::FocusOut) {
    // Switching to another program or opening a menu is no end of the edit.
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(AEvent)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
      edtExit();
  }
  else if (AWatched == FOutputFolder && AEvent->type() == QEvent::MouseButtonRelease)
    FocusFileList();
  return QMainWindow::eventFilter(AWatched, AEvent);
}

void TForm1::closeEvent(QCloseEvent *AEvent) {
  // The player's handlers first; then the job manager's are detached
  // before the stop, so a close during work runs no after-conversion action.
  DetachPlayer();
  FDetached = true;
  FVantro->Stop(true);
  if (FCountdown)
    FCountdown->close();
  if (FBatchOpen) {
    FBatchOpen = false;
    SystemActions().KeepAwake(false);
  }
  if (FLogger)
    FLogger->SetOnLog(nullptr);
  AEvent->accept();
}

// ---------------------------------------------------------------- log

void TForm1::FFLoggerLog(TObject *, uint32_t AThreadID, TLogLevel ALogLevel, const std::string &ALogMsg) {
  Log(QStringLiteral("#%1.%2: %3").arg(AThreadID).arg(static_cast<int>(ALogLevel)).arg(QString::fromStdString(ALogMsg)));
}

void TForm1::Log(const QString &ALine) { FLog->addItem(ALine); }

void TForm1::LogText(const std::string &AText) {
  // A text of several lines becomes several log lines, as a memo shows it.
  QString text = QString::fromStdString(AText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (text.endsWith('\n'))
    text.chop(1);
  for (const QString &line : text.split('\n'))
    Log(line);
}

QStringList TForm1::LogLines() const {
  QStringList lines;
  for (int i = 0; i < FLog->count(); ++i)
    lines << FLog->item(i)->text();
  return lines;
}

void TForm1::Message(const QString &AText) { Dialogs().ShowMessage(this, MessageTitle, AText); }

void TForm1::FocusFileList() { FFiles->setFocus(); }

// ---------------------------------------------------------------- settings

void TForm1::Button15Click() {
  FIO1.clear();
  FOO1.clear();
}

void TForm1::MakeOutputFolderCurrent(const QString &AFolder) {
  FOutputFolder->setText(AFolder);
  FOutputFolder->setCursorPosition(0); // a long path shows its beginning
  FFileOutPutPath = AFolder;
}

void TForm1::Button17Click() {
  const QString stored = FSettings.Exists() ? FSettings.Read(OutPathSection, QStringLiteral("OutPath")) : SettingsAbsent;
  const TOutputFolderChoice choice = OutputFolderFor(stored.toStdString());
  const QString folder = QString::fromStdString(choice.Folder);
  if (choice.IsDefault)
    FSettings.Write(OutPathSection, QStringLiteral("OutPath"), folder);
  MakeOutputFolderCurrent(folder);
}

void TForm1::Button16Click() {
  if (QFileInfo(FFileOutPutPath).isDir())
    FSettings.Write(OutPathSection, QStringLiteral("OutPath"), FFileOutPutPath);
}

void TForm1::Button3Click() {
  if (!FSettings.Exists()) {
    FSettings.Write(SkinSection, QStringLiteral("SetSkin"), QStringLiteral("0"));
    return;
  }
  const QString text = FSettings.Read(SkinSection, QStringLiteral("SetSkin"));
  if (text.isEmpty() || text == SettingsAbsent) {
    FSettings.Write(SkinSection, QStringLiteral("SetSkin"), QStringLiteral("0"));
    FSkinIndex = 0;
  } else {
    // A value that is no skin index (hand-edited) shows skin 0 and is left
    // in the file until the user chooses a skin.
    bool number = false;
    const int index = text.toInt(&number);
    FSkinIndex = number && index >= 0 && index < SkinCount ? index : 0;
  }
  ApplySkin(FSkinIndex);
}

void TForm1::Button4Click() { FSettings.Write(SkinSection, QStringLiteral("SetSkin"), QString::number(FSkinIndex)); }

void TForm1::Button21Click() {
  const QString filter = OpenDialogFilter();
  FOpenDialog1 = {QStringLiteral("打开文件"), filter, 1, false, true};
  FOpenDialog2 = {QStringLiteral("打开文件"), filter, 1, true, true};
}

void TForm1::ChooseOutputFolder() {
  const QString folder = Dialogs().ChooseFolder(this, QStringLiteral("选择输出目录"), FFileOutPutPath);
  if (folder.isEmpty() || !QFileInfo(folder).isDir())
    return;
  MakeOutputFolderCurrent(QDir::cleanPath(folder));
  Button16Click();
  FocusFileList();
}

void TForm1::ChooseSkin() {
  TSkinDialog dialog(FSkinIndex, this);
  if (Dialogs().Exec(dialog) == QDialog::Accepted && dialog.SelectedSkin() >= 0) {
    FSkinIndex = dialog.SelectedSkin();
    ApplySkin(FSkinIndex);
  }
  Button4Click();
}

void TForm1::ShowOptions() {
  if (FOptions)
    Dialogs().Exec(*FOptions);
  FocusFileList();
}

void TForm1::ShowAbout() {
  if (FAbout)
    Dialogs().Exec(*FAbout);
}

void TForm1::OpenHelp() { Dialogs().OpenExternal(QUrl::fromLocalFile(FSetup.AppDir + '/' + HelpFileName)); }

void TForm1::OpenSite() { Dialogs().OpenExternal(QUrl(ProductSite)); }

void TForm1::Button20Click() {
  Dialogs().OpenExternal(QUrl::fromLocalFile(FOutputFolder->text()));
  FocusFileList();
}

QString TForm1::LoadSnapshotFolder() {
  const QString stored =
      FSettings.Exists() ? FSettings.Read(SnapShotSection, QStringLiteral("Dir")) : SettingsAbsent;
  if (!stored.isEmpty() && stored != SettingsAbsent) {
    ForceFolder(stored);
    return stored;
  }
  const QString folder = DefaultSnapshotFolder();
  ForceFolder(folder);
  FSettings.Write(SnapShotSection, QStringLiteral("Dir"), folder);
  return folder;
}

QString TForm1::LoadPictureType() {
  const QString stored =
      FSettings.Exists() ? FSettings.Read(SnapShotSection, QStringLiteral("Picture")) : SettingsAbsent;
  for (QAction *a : FPictureTypes->actions())
    if (a->data().toString() == stored) {
      a->setChecked(true);
      return stored;
    }
  SetPictureType(QStringLiteral("BMP"));
  return QStringLiteral("BMP");
}

void TForm1::SetPictureType(const QString &AType) {
  FSettings.Write(SnapShotSection, QStringLiteral("Picture"), AType);
  for (QAction *a : FPictureTypes->actions())
    if (a->data().toString() == AType)
      a->setChecked(true);
}

void TForm1::ChooseSnapshotFolder() {
  const QString folder = Dialogs().ChooseFolder(this, QStringLiteral("选择输出目录"), LoadSnapshotFolder());
  if (!folder.isEmpty() && QFileInfo(folder).isDir())
    FSettings.Write(SnapShotSection, QStringLiteral("Dir"), QDir::cleanPath(folder));
}

void TForm1::OpenSnapshotFolder() { Dialogs().OpenExternal(QUrl::fromLocalFile(LoadSnapshotFolder())); }
