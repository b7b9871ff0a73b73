// TForm1: the file list. Adding (through the job manager's side, IFileAdder),
// removing, clearing, moving, renaming and selecting rows. Row i owns entry i
// of IO1 and OO1 at every moment.
#include "ui/main_window.h"

#include "catalogue/formats.h"
#include "catalogue/output_name.h"
#include "platform/convert.h"
#include "platform/exceptions.h"
#include "ui/add_sequence.h"
#include "ui/file_adder.h"
#include "ui/file_names.h"
#include "ui/office_combo.h"
#include "ui/output_record.h"
#include "ui/row_texts.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>

#include <utility>

namespace {

bool Exists(const QString &APath) { return !APath.isEmpty() && QFileInfo::exists(APath); }

} // namespace

// ---------------------------------------------------------------- cells

int TForm1::SelectedRow() const {
  const QModelIndexList rows = FFiles->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

QString TForm1::Cell(int ARow, int AColumn) const {
  const QTableWidgetItem *item = FFiles->item(ARow, AColumn);
  return item ? item->text() : QString();
}

void TForm1::SetCell(int ARow, int AColumn, const QString &AText) {
  if (QTableWidgetItem *item = FFiles->item(ARow, AColumn))
    item->setText(AText);
  else
    FFiles->setItem(ARow, AColumn, new QTableWidgetItem(AText));
}

void TForm1::SelectRow(int ARow) {
  FFiles->setCurrentCell(ARow, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// ---------------------------------------------------------------- states

void TForm1::SetRowControlsEnabled(bool AOn) {
  for (QToolButton *b : {FBtnRemove, FBtnRename, FBtnClear, FBtnStart})
    b->setEnabled(AOn);
  for (QAction *a : {FMenuRemove, FMenuRename, FMenuClear, FMenuStart})
    a->setEnabled(AOn);
}

void TForm1::SetAddControlsEnabled(bool AOn) {
  FBtnAdd->setEnabled(AOn);
  for (QAction *a : {FMenuAddFile, FMenuAddFiles, FMenuAddFolder, FDropAddFile, FDropAddFiles, FDropAddFolder})
    a->setEnabled(AOn);
}

void TForm1::ShowEmptyPicture(bool AShow) {
  FEmptyPicture->setVisible(AShow);
  if (AShow)
    FEmptyPicture->raise();
}

void TForm1::ResetPreviewPosition() {
  FVURadori->Stop(true);
  FSlider->setValue(0);
}

// ---------------------------------------------------------------- adding

void TForm1::btnAddClick() { RunAdd(akOneFile); }

void TForm1::Button8Click() { RunAdd(akSeveralFiles); }

void TForm1::Button12Click() { RunAdd(akFolder); }

bool TForm1::LibraryCheck() {
  if (!FAdder) {
    Log(QStringLiteral("The job manager is not available: files cannot be added."));
    return false;
  }
  std::string error;
  if (FAdder->LoadLibraries(error))
    return true;
  LogText(error);
  return false;
}

void TForm1::RunAdd(TAddKind AKind) {
  Button6Click();
  if (!LibraryCheck())
    return;

  QStringList files;
  switch (AKind) {
  case akOneFile:
    files = Dialogs().OpenFiles(this, FOpenDialog1);
    if (files.isEmpty() || !Exists(files.first()))
      return;
    AddOneFile(files.first(), true);
    return;
  case akSeveralFiles:
    files = Dialogs().OpenFiles(this, FOpenDialog2);
    if (files.isEmpty() || !Exists(files.first()))
      return;
    break;
  case akFolder: {
    const QString folder = Dialogs().ChooseFolder(this, QStringLiteral("选择目录"), FFileOutPutPath);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
      return;
    for (const std::string &name : GetFilenames(folder.toStdString(), "*.*"))
      files << QString::fromStdString(name);
    break;
  }
  }

  const int before = FFiles->rowCount();
  // A long add keeps the window painting its new rows; clicks and keys wait
  // until the add is over, so nothing else starts in between.
  QElapsedTimer sincePaint;
  sincePaint.start();
  // Last to first, as the product takes them.
  for (qsizetype i = files.size() - 1; i >= 0; --i) {
    if (!Exists(files[i]))
      return;
    if (AddOneFile(files[i], false) == arEnded)
      return;
    if (sincePaint.elapsed() >= 40) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      sincePaint.restart();
    }
  }
  if (FFiles->rowCount() > 0) {
    SelectRow(FFiles->rowCount() - 1);
    FocusFileList();
  }
  if (AKind == akFolder && FFiles->rowCount() <= before)
    Message(QStringLiteral("在该目录没有发现可以用的视频或音频文件！"));
}

TForm1::TAddResult TForm1::AddOneFile(const QString &AFileName, bool ASelectIt) {
  if (FFiles->rowCount() >= MaxListedFiles) {
    Message(QStringLiteral("列表中最多只能有%1个文件，请先转换或删除一些文件。").arg(MaxListedFiles));
    return arEnded;
  }
  const TAddedFile added = AddFileSequence(
      *FAdder, FProfile, AFileName.toStdString(),
      [this] {
        Button5Click();
        Button13Click();
      },
      [this](const std::string &ALine) { LogText(ALine); });
  if (added.TaskIndex >= 0)
    FPlayerFileName = AFileName;
  if (added.Outcome != aoAdded)
    return added.Outcome == aoRejected ? arSkipped : arEnded;
  const TInputOptions &input = added.Input;
  const TOutputOptions &output = added.Output;
  const TProbedFile &probe = added.Probe;
  const int32_t task = added.TaskIndex;

  ShowEmptyPicture(false);
  const int row = FFiles->rowCount();
  FFiles->insertRow(row);
  SetCell(row, fcInputFile, QString::fromStdString(input.FileName));
  SetCell(row, fcDuration,
          probe.Duration > 0 ? QString::fromStdString(SecToDate(probe.Duration / 1000000)) : QStringLiteral("N/A"));
  SetCell(row, fcSize, QString::fromStdString(SizeText(probe.FileSize)));
  SetCell(row, fcOutputFile, QString::fromStdString(FileNamePart(output.FileName)));
  for (int c = fcProgress; c <= fcConvertedSize; ++c)
    SetCell(row, c, QString());
  SetCell(row, fcTaskNumber, QString::number(task + 1));
  SetCell(row, fcFormatCode, QString::number(RowCategoryNumber(CategoryIndex(), FormatIndex())));
  SetCell(row, fcPresetChoices, QString::fromStdString(ChoiceCode(PresetItemIndexes())));
  const std::array<std::string, 14> options = RowOptionTexts(output, FProfile);
  for (size_t i = 0; i < options.size(); ++i)
    SetCell(row, fcFirstOption + static_cast<int>(i), QString::fromStdString(options[i]));
  FFiles->item(row, fcInputFile)->setToolTip(AFileName);
  FProgressBar->setValue(0);

  SetRowControlsEnabled(true);
  FIO1.push_back(input);
  FOO1.push_back(output);
  Log(QString());
  Log(QStringLiteral("***Can do convert."));
  Log(QString());
  if (ASelectIt) {
    SelectRow(row);
    FocusFileList();
  }
  return arAdded;
}

// ---------------------------------------------------------------- removing

void TForm1::btnRemoveClick() {
  const int row = SelectedRow();
  if (row < 0) {
    Message(QStringLiteral("请先选择您需要删除的项目！"));
    return;
  }
  const int task = Cell(row, fcTaskNumber).toInt();
  if (FAdder)
    FAdder->RemoveTask(task - 1);
  {
    // The emptied selection is no selection change the list reacts to; the
    // first row is selected below.
    const QSignalBlocker quiet(FFiles);
    FFiles->removeRow(row);
    FFiles->clearSelection();
  }
  FIO1.erase(FIO1.begin() + row);
  FOO1.erase(FOO1.begin() + row);
  for (int r = 0; r < FFiles->rowCount(); ++r) {
    const int number = Cell(r, fcTaskNumber).toInt();
    if (number > task)
      SetCell(r, fcTaskNumber, QString::number(number - 1));
  }
  const bool rowsLeft = FFiles->rowCount() > 0;
  SetRowControlsEnabled(rowsLeft);
  if (rowsLeft) {
    SelectRow(0);
    FocusFileList();
  } else {
    ShowEmptyPicture(true);
    ResetPreviewPosition();
  }
}

void TForm1::btnClearClick() {
  if (FAdder)
    FAdder->ClearTasks();
  {
    const QSignalBlocker quiet(FFiles);
    FFiles->setRowCount(0);
  }
  SetAddControlsEnabled(true);
  SetRowControlsEnabled(false);
  FBatchStatus->clear();
  Button15Click();
  ShowEmptyPicture(true);
  ResetPreviewPosition();
}

// ---------------------------------------------------------------- moving

void TForm1::ExchangeRows(int ARow, int ANeighbour) {
  {
    const QSignalBlocker quiet(FFiles);
    for (int c = 0; c < fcColumnCount; ++c) {
      const QString text = Cell(ARow, c);
      SetCell(ARow, c, Cell(ANeighbour, c));
      SetCell(ANeighbour, c, text);
    }
    FFiles->item(ARow, fcInputFile)->setToolTip(Cell(ARow, fcInputFile));
    FFiles->item(ANeighbour, fcInputFile)->setToolTip(Cell(ANeighbour, fcInputFile));
  }
  std::swap(FIO1[ARow], FIO1[ANeighbour]);
  std::swap(FOO1[ARow], FOO1[ANeighbour]);
  SelectRow(ANeighbour);
  FocusFileList();
}

void TForm1::MoveUpClick() {
  const int row = SelectedRow();
  if (row > 0)
    ExchangeRows(row, row - 1);
}

void TForm1::MoveDownClick() {
  const int row = SelectedRow();
  if (row >= 0 && row < FFiles->rowCount() - 1)
    ExchangeRows(row, row + 1);
}

// ---------------------------------------------------------------- renaming

void TForm1::RenameClick() {
  const int row = SelectedRow();
  if (row < 0) {
    Message(QStringLiteral("请先选中您需要重命名的项目！"));
    return;
  }
  StartRename(row);
}

void TForm1::StartRename(int ARow) {
  const int left = FFiles->x() + FFiles->columnWidth(fcInputFile) + FFiles->columnWidth(fcDuration) +
                   FFiles->columnWidth(fcSize) + 2;
  const int top = FFiles->y() + FFiles->viewport()->y() + FFiles->rowViewportPosition(ARow);
  FEdt->setGeometry(left, top, FFiles->columnWidth(fcOutputFile), FFiles->rowHeight(ARow));
  const std::string name = Cell(ARow, fcOutputFile).toStdString();
  FEdt->setText(QString::fromStdString(name.substr(0, name.size() - FileExtPart(name).size())));
  FRenaming = true;
  FEdt->show();
  FEdt->raise();
  FEdt->setFocus();
  FEdt->selectAll();
}

void TForm1::edtExit() {
  if (!FRenaming)
    return;
  // An empty name changes nothing and leaves the editor open.
  if (FEdt->text().isEmpty())
    return;
  FRenaming = false;
  const int row = SelectedRow();
  if (row >= 0) {
    const std::string ext = RenameExtensionOfTitle(FFormats->currentText().toStdString());
    SetCell(row, fcOutputFile, FEdt->text() + QString::fromStdString(ext));
    FOO1[row].FileName = (FOutputFolder->text() + '/' + Cell(row, fcOutputFile)).toStdString();
  }
  FEdt->hide();
}

// ---------------------------------------------------------------- selecting

void TForm1::lvFilesSelectionChanged() {
  const int row = SelectedRow();
  if (row < 0)
    return;
  // A row whose columns do not hold what they should (not a number, a list
  // position that does not exist) restores nothing; the product ignores it
  // the same way.
  try {
    const TFormatPosition position = SplitRowCategoryNumber(StrToInt(Cell(row, fcFormatCode).toStdString()));
    const std::array<int32_t, PresetKindCount> presets =
        ParseChoiceCode(Cell(row, fcPresetChoices).toStdString());
    FormatAt(position.CategoryIndex, position.FormatIndex); // raises for a position outside the lists

    // Setting the two lists runs their change handling even when they
    // already show these entries.
    {
      const QSignalBlocker quiet(FCategories);
      FCategories->setCurrentIndex(position.CategoryIndex);
    }
    bsSkinOfficeComboBox2Change();
    {
      const QSignalBlocker quiet(FFormats);
      FFormats->setCurrentIndex(position.FormatIndex);
    }
    bsSkinOfficeComboBox1Change();

    for (TPresetKind kind : {pkResolution, pkVideoBitrate, pkAudioBitrate, pkScaling, pkFrameRate, pkSampleRate}) {
      QComboBox *list = PresetList(kind);
      const QString before = list->currentText();
      {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(presets[kind] < list->count() ? presets[kind] : -1);
      }
      if (list->currentText() != before)
        PresetListChange(kind);
    }

    FSlider->setValue(0);
    FPlayerFileName = Cell(row, fcInputFile);
    Button31Click();
  } catch (const Exception &) {
  }
}
