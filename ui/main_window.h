// TForm1, the main window "Zelvora视频转MP3格式转换器": menus, toolbar, the
// file list, the output and preset panels, the preview panel and an
// invisible diagnostics area.
//
// Operations keep the names of the product's handlers (Button5Click, …) so
// the parts that describe them can be followed in the code; several have no
// control of their own and are run by other operations. Everything here runs
// on the main thread.
//
// The add operations work through an IFileAdder, which the program installs
// over the window's job manager; conversion control drives that job manager
// (main_window_convert.cpp); the preview panel plays the selected file with
// the window's player (main_window_preview.cpp).
#pragma once

#include "catalogue/presets.h"
#include "ui/batch_progress.h"
#include "catalogue/profiles.h"
#include "media/ff_logger.h"
#include "ui/dialogs.h"
#include "jobs/option_records.h"
#include "playback/custom_player.h"
#include "ui/settings_file.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <atomic>
#include <memory>
#include <vector>

class IFileAdder;
class TJobManager;
class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QTableWidget;
class QToolButton;
class TForm2;
class TForm5;
class TOfficeComboBox;
class TPowerOffCountdown;
class TVideoSurface;

// The file list's columns (column k > 0 is the row's sub-item k − 1).
enum TFileColumn {
  fcInputFile = 0,
  fcDuration = 1,
  fcSize = 2,
  fcOutputFile = 3,
  fcProgress = 4,
  fcFps = 5,
  fcCurrentTime = 6,
  fcConvertedSize = 7,
  fcTaskNumber = 8,
  fcFormatCode = 9,
  fcPresetChoices = 10,
  fcFirstOption = 11, // 11..24: the output options, see RowOptionTexts
  fcColumnCount = 25,
};

// The per-file tables hold this many entries; the list never holds more rows.
constexpr int MaxListedFiles = 501;

struct TMainWindowSetup {
  QString SettingsPath; // "option.ini", see SettingsFilePathFor
  QString AppDir;       // where "help.chm", "LibAV" and "sounds" are
};

class TForm1 : public QMainWindow {
  Q_OBJECT
public:
  // Builds the window and runs its creation sequence (FormCreate).
  explicit TForm1(const TMainWindowSetup &ASetup, QWidget *AParent = nullptr);
  ~TForm1() override;

  // Windows created after this one (TForm2, TForm5), and the job manager's
  // side of adding files. Not owned beyond Qt's parent ownership.
  void SetAboutWindow(TForm2 *AForm);
  void SetOptionsWindow(TForm5 *AForm);
  void SetFileAdder(IFileAdder *AAdder);
  // The window's job manager. The program installs an adder over it
  // (TJobFileAdder), so adding and converting share one task list.
  TJobManager &Vantro() { return *FVantro; }
  // The preview panel's player.
  RIVEvidir &VURadori() { return *FVURadori; }

  // --- State read by other parts and by tests ---
  const QString &FileOutPutPath() const { return FFileOutPutPath; }
  const TCurrentProfile &Profile() const { return FProfile; }
  const std::vector<TInputOptions> &IO1() const { return FIO1; }
  const std::vector<TOutputOptions> &OO1() const { return FOO1; }
  const QString &T_Movie_PLayer_FileName() const { return FPlayerFileName; }
  const QString &bsSkinSlider1_down_UP() const { return FSliderDownUp; }
  int64_t Duration() const { return FDuration; } // FDuration: µs of the previewed file
  int SkinIndex() const { return FSkinIndex; }
  const TOpenDialogSpec &OpenDialog1() const { return FOpenDialog1; }
  const TOpenDialogSpec &OpenDialog2() const { return FOpenDialog2; }
  // The diagnostics log, one entry per line.
  QStringList LogLines() const;

  // --- Start-up and settings ---
  void Button15Click(); // "初始化数值": empties IO1 and OO1
  void Button17Click(); // "读ini文件": loads the output folder
  void Button16Click(); // "写ini文件": saves the output folder
  void Button3Click();  // "读入皮肤ini": loads and applies the skin
  void Button4Click();  // "写入皮肤ini": saves the skin
  void Button21Click(); // "OpenDialog1": the filters of the two open dialogs
  void ChooseOutputFolder(); // "浏览"
  void ChooseSkin();         // toolbar "皮肤", menu "软件皮肤"
  void ShowOptions();        // toolbar "选项", menu "转换设置"
  void ShowAbout();          // menu "关于软件"
  void OpenHelp();           // menu "帮助系统"
  void OpenSite();           // menu "官方网站", the output panel's link
  void Button20Click();      // "转换后打开文件夹": opens the output folder

  // --- Preview panel (main_window_preview.cpp) ---
  // "打开播放视频": opens T_Movie_PLayer_FileName paused in Panel6; failures
  // go to the log only.
  void Button31Click();
  void PreviewPlayClick();   // "播放"
  void PreviewPauseClick();  // "暂停"
  void PreviewStopClick();   // "停止": back to the first picture of the selected row's file
  void PreviewMuteClick(bool AMute); // "静音": the two buttons swap
  // "快照": the picture on screen into the snapshot folder as the chosen
  // picture type, named after the file with the first free number. Nothing
  // without a picture.
  void SnapshotClick();
  // The player's events (main thread).
  void VURadoriFileOpen(TObject *Sender, int64_t ADuration, int32_t AFrameWidth, int32_t AFrameHeight,
                        int32_t &AScreenWidth, int32_t &AScreenHeight);
  void VURadoriPosition(TObject *Sender, int64_t APTS);
  void VURadoriState(TObject *Sender, TPlayState AState);

  // Snapshot settings (the preview panel's "设置" menu).
  QString LoadSnapshotFolder();
  QString LoadPictureType(); // also marks the matching "…文件" item
  void SetPictureType(const QString &AType);
  void ChooseSnapshotFolder();
  void OpenSnapshotFolder();

  // --- Catalogue ---
  void Button2Click();  // "添加combox": fills the format list for the category
  void Button6Click();  // "初始化数据": resets the profile fields
  void Button5Click();  // "根据combox添加数据": the format's profile and output name
  void Button18Click(); // "根据combox添加预设选项": fills the six preset lists
  void Button13Click(); // "确认预置选项数据": the shown preset values into the profile
  void bsSkinOfficeComboBox2Change(); // category change
  void bsSkinOfficeComboBox1Change(); // format change
  void PresetListChange(TPresetKind AKind);

  // --- File list ---
  void btnAddClick();  // "添加一个文件"
  void Button8Click(); // "添加多个文件"
  void Button12Click(); // "添加整个目录"
  void btnRemoveClick();
  void btnClearClick();
  void MoveUpClick();
  void MoveDownClick();
  void RenameClick(); // button and menu; a double-click on a row starts the editor too
  void edtExit();     // the in-place editor lost the focus
  void lvFilesSelectionChanged();

  // --- Conversion control ---
  void btnStartClick();  // toolbar "开始", menu "开始转换"
  // "新添加": clears the job manager's tasks and makes one task per row, in
  // row order, from IO1, OO1 and the row's columns. False, after telling
  // the user which row cannot be converted, when a task or output fails.
  bool button28Click();
  void Button22Click();  // disables the category, format and preset lists and "浏览"
  void Button23Click();  // enables them again
  void btnPauseClick();  // toolbar "暂停", menu "暂停转换"
  void btnResumeClick(); // toolbar "继续", menu "继续继续"
  void btnStopClick();   // toolbar "停止", menu "停止转换": waits until the workers have ended
  // Vantro's OnProgress (main thread): columns 4 to 7 of the task's row.
  void VantroProgress(TObject *Sender, PProgressInfo AProgressInfo);
  // Vantro's OnTerminate, from any thread: carried into the main thread,
  // waiting there, so Stop's waiting serves it.
  void VantroTerminate(TObject *Sender, const TTerminateInfo &ATerminateInfo);
  void Button25Click(); // "关机": a countdown, then the system's power-off request
  void Button29Click(); // " 播放提示音": "sounds/ring001.wav" beside the program, not waited for
  // Seconds the power-off countdown runs (30 unless a test shortens it).
  void SetPowerOffCountdown(int ASeconds) { FPowerOffSeconds = ASeconds; }

  // The log line of the logger's OnLog: "#<thread>.<level>: <message>".
  void FFLoggerLog(TObject *Sender, uint32_t AThreadID, TLogLevel ALogLevel, const std::string &ALogMsg);

protected:
  void closeEvent(QCloseEvent *AEvent) override;
  void showEvent(QShowEvent *AEvent) override;
  void moveEvent(QMoveEvent *AEvent) override;
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
  enum TAddKind { akOneFile, akSeveralFiles, akFolder };
  enum TAddResult { arAdded, arSkipped, arEnded };

  void CreateMenus();
  void CreateToolbar(QWidget *ACentral);
  void CreateFileList(QWidget *ACentral);
  void CreatePreviewPanel(QWidget *ACentral);
  void CreatePlayer();
  // Opens T_Movie_PLayer_FileName in Panel6 with the open-paused setting;
  // a failure goes to the log.
  bool OpenPreview();
  // The mouse on the preview's "设置" button and on the file list; true
  // when the event was used up.
  bool PreviewEventFilter(QObject *AWatched, QEvent *AEvent);
  // The slider's mouse: pressed holds the preview, released seeks and plays.
  void SliderPressed();
  void SliderReleased();
  void ShowSnapshotMenu(const QPoint &AGlobalPos);
  // Stays on top of other windows or becomes a normal window again.
  void SetStayOnTop(bool AOn);
  // Detaches the player's events and ends its playback (closing, destruction).
  void DetachPlayer();
  void CreateOutputPanel(QWidget *ACentral);
  void CreatePresetPanel(QWidget *ACentral);
  void CreateDiagnostics(QWidget *ACentral);
  void FillScreenChoices(QWidget *ACentral);
  void FormCreate();

  void MakeOutputFolderCurrent(const QString &AFolder);

  void RunAdd(TAddKind AKind);
  bool LibraryCheck();
  TAddResult AddOneFile(const QString &AFileName, bool ASelectIt);
  void SetRowControlsEnabled(bool AOn);
  void SetAddControlsEnabled(bool AOn);
  void ShowEmptyPicture(bool AShow);
  void ExchangeRows(int ARow, int ANeighbour);
  void StartRename(int ARow);
  void SelectRow(int ARow);
  void ResetPreviewPosition();
  void CreateConversionControl();
  void TerminateInMainThread(const TTerminateInfo &AInfo);
  // The batch's own end: every task and the final notification reported.
  void FinishBatchWhenComplete();
  void UpdateBatchStatus();
  QString BatchEndText() const;
  // The free-space check before a start: true to go on.
  bool EnoughSpaceOrGoOn();
  std::array<std::string, 14> RowOptionColumns(int ARow) const;
  void ShowPauseButton(bool APause);

  int SelectedRow() const;
  QString Cell(int ARow, int AColumn) const;
  void SetCell(int ARow, int AColumn, const QString &AText);
  int CategoryIndex() const;
  int FormatIndex() const;
  QComboBox *PresetList(TPresetKind AKind) const;
  std::array<std::string, PresetKindCount> PresetShownTexts() const;
  std::array<int32_t, PresetKindCount> PresetItemIndexes() const;
  bool OverwriteFiles() const;
  void Log(const QString &ALine);
  void LogText(const std::string &AText);
  void Message(const QString &AText);
  void FocusFileList();

  TMainWindowSetup FSetup;
  TSettingsFile FSettings;
  std::unique_ptr<TFFLogger> FLogger;
  TForm2 *FAbout = nullptr;
  TForm5 *FOptions = nullptr;
  IFileAdder *FAdder = nullptr;
  // Set when the window closes: the job manager's handlers do nothing from
  // then on. A flag, not a cleared handler, because a worker may be about
  // to call the handler it read (declared before FVantro, which outlives
  // none of its handlers' calls).
  std::atomic<bool> FDetached{false};
  std::unique_ptr<TJobManager> FVantro;
  std::unique_ptr<RIVEvidir> FVURadori;
  // The batch as the status line shows it.
  TBatchProgress FBatch;
  QElapsedTimer FClock;
  bool FBatchOpen = false;     // started, its end not yet complete
  bool FFinalReported = false; // the final notification (task -1) came
  int FPowerOffSeconds = 30;
  QPointer<TPowerOffCountdown> FCountdown;

  // The product's fields.
  std::vector<TInputOptions> FIO1;
  std::vector<TOutputOptions> FOO1;
  QString FFileOutPutPath;
  TCurrentProfile FProfile;
  QString FPlayerFileName;
  QString FSliderDownUp;
  int64_t FDuration = 0;
  bool FTrackChanging = false;
  QWidget *FScreenControl = nullptr;
  int FSkinIndex = 0;
  TOpenDialogSpec FOpenDialog1;
  TOpenDialogSpec FOpenDialog2;
  bool FRenaming = false;
  bool FCentred = false;

  // Menus ("文件", "编辑", "动作", "功能", "帮助") and the toolbar's add menu.
  QAction *FMenuAddFile, *FMenuAddFiles, *FMenuAddFolder, *FMenuExit;
  QAction *FMenuMoveUp, *FMenuMoveDown, *FMenuRemove, *FMenuClear, *FMenuRename;
  QAction *FMenuStart, *FMenuStop, *FMenuPause, *FMenuResume;
  QAction *FMenuOptions, *FMenuSkin, *FMenuHelp, *FMenuSite, *FMenuAbout;
  QAction *FDropAddFile, *FDropAddFiles, *FDropAddFolder;
  QMenu *FSnapshotMenu;
  QActionGroup *FPictureTypes;

  // Toolbar.
  QToolButton *FBtnAdd, *FBtnRemove, *FBtnClear, *FBtnStart, *FBtnStop, *FBtnPause, *FBtnResume, *FBtnOptions,
      *FBtnSkin;
  // File list.
  QTableWidget *FFiles;
  QLabel *FEmptyPicture;
  QLabel *FBatchStatus;
  QToolButton *FBtnMoveUp, *FBtnMoveDown, *FBtnRename;
  QLineEdit *FEdt;
  // Preview.
  TVideoSurface *FPanel6;
  QSlider *FSlider; // bsSkinSlider1
  QToolButton *FBtnPlay, *FBtnPreviewPause, *FBtnPreviewStop, *FBtnMute, *FBtnUnmute, *FBtnSnapshot,
      *FBtnSnapshotSettings;
  // Output and presets.
  TOfficeComboBox *FCategories; // bsSkinOfficeComboBox2
  TOfficeComboBox *FFormats;    // bsSkinOfficeComboBox1
  QLineEdit *FOutputFolder;     // Video_OutPut_Folder_Edit
  QPushButton *FBtnBrowse, *FBtnOpenFolder;
  std::array<QComboBox *, PresetKindCount> FPresets{};
  // Diagnostics.
  QListWidget *FLog; // mmoLog
  QProgressBar *FProgressBar;
  QCheckBox *FThreadMode;
  // The player's fixed settings.
  QComboBox *FVideoDriver, *FAudioDriver; // cboVideoDriver, cboAudioDriver
  QCheckBox *FOpenPaused, *FStayOnTop;    // chkOpenPaused, chkStayOnTop
  QComboBox *FScreens;
  QComboBox *FVideoStreams, *FAudioStreams, *FSubtitleStreams; // the open file's streams
  QLabel *FPositionText;                                       // the last position, s
};
