// TForm1: conversion control. The rows become tasks of Vantro when work
// starts; progress and task ends come back into the rows; the controls
// follow the phases Empty, Ready, Working, Paused, Stopped and Finished;
// the after-conversion action runs when Vantro reports that every task has
// ended. Beyond the product: the progress bar in column 4, the batch status
// line, one notification at the end, the power-off countdown, keeping the
// system awake while working, and the free-space warning.
#include "ui/main_window.h"

#include "catalogue/formats.h"
#include "jobs/job_manager.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"
#include "ui/file_adder.h"
#include "ui/office_combo.h"
#include "ui/options_window.h"
#include "ui/output_record.h"
#include "ui/power_off_countdown.h"
#include "ui/product.h"
#include "ui/progress_delegate.h"
#include "ui/row_texts.h"
#include "ui/settings_file.h"
#include "ui/system_actions.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QToolButton>

void TForm1::CreateConversionControl() {
  FClock.start();
  connect(FBtnStart, &QToolButton::clicked, this, &TForm1::btnStartClick);
  connect(FMenuStart, &QAction::triggered, this, &TForm1::btnStartClick);
  connect(FBtnStop, &QToolButton::clicked, this, &TForm1::btnStopClick);
  connect(FMenuStop, &QAction::triggered, this, &TForm1::btnStopClick);
  connect(FBtnPause, &QToolButton::clicked, this, &TForm1::btnPauseClick);
  connect(FMenuPause, &QAction::triggered, this, &TForm1::btnPauseClick);
  connect(FBtnResume, &QToolButton::clicked, this, &TForm1::btnResumeClick);
  connect(FMenuResume, &QAction::triggered, this, &TForm1::btnResumeClick);

  FVantro->SetOnProgress([this](TObject *ASender, PProgressInfo AInfo) {
    if (!FDetached)
      VantroProgress(ASender, AInfo);
  });
  FVantro->SetOnTerminate([this](TObject *ASender, const TTerminateInfo &AInfo) {
    if (!FDetached)
      VantroTerminate(ASender, AInfo);
  });

  FFiles->setItemDelegateForColumn(fcProgress, new TProgressDelegate(FFiles));
  FBatchStatus = new QLabel(FFiles->parentWidget());
  FBatchStatus->setObjectName(QStringLiteral("lblBatchStatus"));
  FBatchStatus->setGeometry(96, 270, 444, 24);
}

std::array<std::string, 14> TForm1::RowOptionColumns(int ARow) const {
  std::array<std::string, 14> columns;
  for (int i = 0; i < 14; ++i)
    columns[static_cast<size_t>(i)] = Cell(ARow, fcFirstOption + i).toStdString();
  return columns;
}

void TForm1::ShowPauseButton(bool APause) {
  FBtnPause->setVisible(APause);
  FBtnResume->setVisible(!APause);
}

// ---------------------------------------------------------------- start

bool TForm1::EnoughSpaceOrGoOn() {
  int64_t expected = 0;
  for (int row = 0; row < FFiles->rowCount(); ++row)
    expected += ExpectedOutputBytes(Cell(row, fcDuration).toStdString(), RowOptionColumns(row));
  const qint64 free = SystemActions().FreeBytes(FFileOutPutPath);
  if (free < 0 || free >= expected)
    return true;
  QMessageBox box(QMessageBox::Warning, MessageTitle,
                  QStringLiteral("输出目录所在的磁盘只剩 %1，转换后的文件预计需要 %2。\n空间不足时转换会失败。仍然开始转换吗？")
                      .arg(QString::fromStdString(SizeText(free)), QString::fromStdString(SizeText(expected))),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("msgFreeSpace"));
  box.setDefaultButton(QMessageBox::No);
  return Dialogs().Exec(box) == QMessageBox::Yes;
}

void TForm1::btnStartClick() {
  // A click that Stop's waiting lets through, or one with nothing to do.
  if (!FAdder || FFiles->rowCount() == 0 || (FVantro->Working() && !FVantro->Terminated()))
    return;
  // The folder may have gone since it was chosen. One that cannot be made
  // again would otherwise show up as every row's output failing to open,
  // blamed on the first row's input.
  if (!ForceFolder(FFileOutPutPath)) {
    Message(QStringLiteral("无法开始转换：输出目录“%1”不能创建。").arg(FFileOutPutPath));
    return;
  }
  if (!EnoughSpaceOrGoOn())
    return;

  static const TThreadPriority priorities[] = {tpIdle, tpLowest, tpLower, tpNormal};
  FVantro->SetThreadPriority(FOptions ? priorities[FOptions->CpuUsage()] : tpNormal);
  if (!button28Click())
    return;

  SetAddControlsEnabled(false);
  Button22Click();
  SetRowControlsEnabled(false);
  const bool threadMode = FThreadMode->isChecked();
  for (QToolButton *b : {FBtnStop, FBtnPause})
    b->setEnabled(threadMode);
  for (QAction *a : {FMenuStop, FMenuPause})
    a->setEnabled(threadMode);
  FBtnResume->setEnabled(false);
  FMenuResume->setEnabled(false);
  ShowPauseButton(true);

  // A new run starts every row afresh.
  std::vector<int64_t> durations;
  for (int row = 0; row < FFiles->rowCount(); ++row) {
    for (int c = fcProgress; c <= fcConvertedSize; ++c)
      SetCell(row, c, QString());
    durations.push_back(SecondsOfDateText(Cell(row, fcDuration).toStdString()) * 1000000);
  }
  FBatch.Start(durations, FClock.elapsed());
  FBatchOpen = true;
  FFinalReported = false;
  UpdateBatchStatus();
  SystemActions().KeepAwake(true);

  const int threads = FOptions && FOptions->MultiThreadMode() ? FOptions->ThreadCount() : 1;
  FVantro->Start(threads);
}

bool TForm1::button28Click() {
  FAdder->ClearTasks();
  for (int row = 0; row < FFiles->rowCount(); ++row) {
    TInputOptions &input = FIO1[static_cast<size_t>(row)];
    TOutputOptions &output = FOO1[static_cast<size_t>(row)];
    input.FileName = Cell(row, fcInputFile).toStdString();
    std::string error;
    bool built = false;
    try {
      RefreshOutputOptions(output, RowOptionColumns(row));
      const int32_t task = FAdder->AddTask(input.FileName, input, error);
      built = task >= 0 &&
              FAdder->SetOutputFile(task, (FFileOutPutPath + '/' + Cell(row, fcOutputFile)).toStdString(), output,
                                    error);
    } catch (const Exception &e) {
      error = e.Message();
    }
    if (!built) {
      Message(QStringLiteral("无法开始转换：第 %1 个文件“%2”不能转换。\n%3")
                  .arg(row + 1)
                  .arg(Cell(row, fcInputFile), QString::fromStdString(error)));
      return false;
    }
  }
  return true;
}

void TForm1::Button22Click() {
  for (QWidget *w : {static_cast<QWidget *>(FCategories), static_cast<QWidget *>(FFormats),
                     static_cast<QWidget *>(FBtnBrowse)})
    w->setEnabled(false);
  for (QComboBox *list : FPresets)
    list->setEnabled(false);
}

void TForm1::Button23Click() {
  for (QWidget *w : {static_cast<QWidget *>(FCategories), static_cast<QWidget *>(FFormats),
                     static_cast<QWidget *>(FBtnBrowse)})
    w->setEnabled(true);
  // The lists an audio format shows with its single "no video" entry stay
  // disabled, as choosing the format left them.
  TPresetLists lists;
  try {
    lists = PresetListsOf(FormatKeyAt(CategoryIndex(), FormatIndex()));
  } catch (const Exception &) {
  }
  for (int k = 0; k < PresetKindCount; ++k)
    FPresets[static_cast<size_t>(k)]->setEnabled(lists[static_cast<TPresetKind>(k)].Enabled);
}

// ---------------------------------------------------------------- pause, resume, stop

void TForm1::btnPauseClick() {
  FBtnPause->setEnabled(false);
  FMenuPause->setEnabled(false);
  FBtnResume->setEnabled(true);
  FMenuResume->setEnabled(true);
  ShowPauseButton(false);
  FVantro->Pause();
  FBatch.Pause(FClock.elapsed());
  UpdateBatchStatus();
}

void TForm1::btnResumeClick() {
  FBtnPause->setEnabled(true);
  FMenuPause->setEnabled(true);
  FBtnResume->setEnabled(false);
  FMenuResume->setEnabled(false);
  ShowPauseButton(true);
  FVantro->Resume();
  FBatch.Resume(FClock.elapsed());
  UpdateBatchStatus();
}

void TForm1::btnStopClick() {
  FBtnStop->setEnabled(false);
  FMenuStop->setEnabled(false);
  FBtnStart->setEnabled(true);
  Button23Click();
  FBatch.Resume(FClock.elapsed()); // a stopped batch is no paused one
  FVantro->Stop(true);
  // The workers have ended; their notifications and the final one come on
  // threads of their own and may still be on the way. Waiting for all of
  // them here makes the stop end in Finished, with its action run.
  QElapsedTimer waited;
  waited.start();
  while (FBatchOpen && !FDetached && waited.elapsed() < 10000)
    if (PumpMainThread() == 0)
      QThread::msleep(2);
}

// ---------------------------------------------------------------- events

void TForm1::VantroProgress(TObject *, PProgressInfo AProgressInfo) {
  const int row = AProgressInfo->TaskIndex;
  if (row < 0 || row >= FFiles->rowCount())
    return;
  const TProgressTexts texts = ProgressTextsOf(*AProgressInfo);
  SetCell(row, fcProgress, QString::fromStdString(texts.Percent));
  if (!texts.Fps.empty())
    SetCell(row, fcFps, QString::fromStdString(texts.Fps));
  SetCell(row, fcCurrentTime, QString::fromStdString(texts.Time));
  SetCell(row, fcConvertedSize, QString::fromStdString(texts.Size));
  FBatch.Progress(row, AProgressInfo->CurrentDuration, AProgressInfo->TotalDuration);
  UpdateBatchStatus();
}

void TForm1::VantroTerminate(TObject *, const TTerminateInfo &ATerminateInfo) {
  // Waits on this thread until the main thread has run it; the record is
  // copied, since the job manager reuses its own.
  RunOnMainThread([this, info = ATerminateInfo] {
    if (!FDetached)
      TerminateInMainThread(info);
  });
}

void TForm1::TerminateInMainThread(const TTerminateInfo &AInfo) {
  if (AInfo.TaskIndex < 0) {
    for (QToolButton *b : {FBtnRemove, FBtnRename, FBtnStop, FBtnPause, FBtnResume})
      b->setEnabled(false);
    for (QAction *a : {FMenuRemove, FMenuRename, FMenuStop, FMenuPause, FMenuResume})
      a->setEnabled(false);
    FBtnClear->setEnabled(true);
    FMenuClear->setEnabled(true);
    ShowPauseButton(true);
    Button23Click();
    FFinalReported = true;
    FinishBatchWhenComplete();
    switch (FOptions ? FOptions->AfterDone() : adNothing) {
    case adOpenFolder:
      Button20Click();
      break;
    case adShutdown:
      Button25Click();
      break;
    case adPlaySound:
      Button29Click();
      break;
    case adNothing:
      break;
    }
  } else {
    const int row = AInfo.TaskIndex;
    if (AInfo.Finished && row < FFiles->rowCount())
      SetCell(row, fcProgress, QStringLiteral("100%"));
    FBatch.Ended(row, AInfo.Finished && !AInfo.Exception, AInfo.Exception);
    UpdateBatchStatus();
    FinishBatchWhenComplete();
  }
  if (AInfo.Exception)
    Dialogs().ShowMessage(this, ProductTitle, QString::fromStdString(AInfo.ExceptionMsg));
}

// ---------------------------------------------------------------- the batch as a whole

QString TForm1::BatchEndText() const {
  const int stopped = FBatch.Count() - FBatch.Converted() - FBatch.Failed();
  QString text = QStringLiteral("转换结束：%1 个文件转换成功，%2 个失败").arg(FBatch.Converted()).arg(FBatch.Failed());
  if (stopped > 0)
    text += QStringLiteral("，%1 个未完成").arg(stopped);
  return text + QStringLiteral("。");
}

void TForm1::FinishBatchWhenComplete() {
  // The final notification may come before the last task's own one.
  if (!FBatchOpen || !FFinalReported || FBatch.EndedCount() < FBatch.Count())
    return;
  FBatchOpen = false;
  SystemActions().KeepAwake(false);
  FBatchStatus->setText(BatchEndText());
  SystemActions().Notify(ProductTitle, BatchEndText());
}

void TForm1::UpdateBatchStatus() {
  if (!FBatchOpen)
    return;
  const int64_t now = FClock.elapsed();
  QString text = QStringLiteral("总进度 %1%　已结束 %2/%3")
                     .arg(static_cast<int>(FBatch.Fraction() * 100))
                     .arg(FBatch.EndedCount())
                     .arg(FBatch.Count());
  if (FBatch.Paused()) {
    text += QStringLiteral("　已暂停");
  } else if (const int64_t left = FBatch.SecondsLeft(now); left >= 0) {
    text += QStringLiteral("　剩余时间 ") + QString::fromStdString(SecToDate(left));
  }
  FBatchStatus->setText(text);
}

// ---------------------------------------------------------------- after-conversion actions

void TForm1::Button25Click() {
  if (FCountdown)
    return; // one countdown is enough
  FCountdown = new TPowerOffCountdown(FPowerOffSeconds, this);
  connect(FCountdown, &TPowerOffCountdown::Expired, this, [this] {
    QString reason;
    if (!SystemActions().PowerOff(reason))
      Message(QStringLiteral("计算机没有关闭：系统不允许本程序关机（%1）。").arg(reason));
  });
  FCountdown->show();
}

void TForm1::Button29Click() {
  const QString sound = FSetup.AppDir + QStringLiteral("/sounds/ring001.wav");
  if (QFileInfo(sound).isFile())
    SystemActions().PlaySound(sound);
}
