// TForm5, "选项": the conversion options. Created once at start, after the
// main window; its controls are the live values the main window reads when
// work starts and ends, and "取消" keeps what the user changed for the rest
// of the run without writing it.
#pragma once

#include "ui/settings_file.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QRadioButton;

// The after-conversion choices, in the order of their "After_Done" values.
enum TAfterDone { adOpenFolder = 0, adShutdown = 1, adPlaySound = 2, adNothing = 3 };
// The CPU-usage choices, in the order of their "Thread_Priority" values.
enum TCpuUsage { cuIdle = 0, cuLowest = 1, cuLower = 2, cuNormal = 3 };

class TForm5 : public QDialog {
  Q_OBJECT
public:
  // Loads the options from ASettings (see LoadOptions).
  explicit TForm5(TSettingsFile ASettings, QWidget *AParent = nullptr);

  // Sets the controls from the settings file, writing back the default of
  // every key that is absent or not valid.
  void LoadOptions();
  // "确定": writes every option from the controls, then closes.
  void SaveOptions();

  TAfterDone AfterDone() const;
  TCpuUsage CpuUsage() const;
  // "直接覆盖输出文件": an existing output file is overwritten, not renamed around.
  bool OverwriteFiles() const;
  bool ShowPreview() const;
  bool MultiThreadMode() const;
  // The thread-count list as a number; 1 when its text is not one.
  int ThreadCount() const;

signals:
  // "转换时进行实时视频预览" changed: the job manager's Preview follows at once,
  // before the window is confirmed.
  void ShowPreviewChanged(bool AOn);

private:
  TSettingsFile FSettings;
  QRadioButton *FAfter[4];
  QRadioButton *FOverwrite;
  QRadioButton *FRename;
  QRadioButton *FCpu[4];
  QComboBox *FThreadCount;
  QCheckBox *FMultiThread;
  QCheckBox *FShowPreview;
};
