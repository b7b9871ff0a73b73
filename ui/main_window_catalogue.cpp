// TForm1: the window side of the catalogue. The lists show what catalogue/
// computes; the functions there own every rule, the window only moves
// values between them, its controls and the selected row.
#include "ui/main_window.h"

#include "catalogue/formats.h"
#include "catalogue/output_name.h"
#include "ui/office_combo.h"
#include "ui/options_window.h"
#include "ui/pictures.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

int TForm1::CategoryIndex() const { return FCategories->currentIndex(); }

int TForm1::FormatIndex() const { return FFormats->currentIndex(); }

QComboBox *TForm1::PresetList(TPresetKind AKind) const { return FPresets[AKind]; }

std::array<std::string, PresetKindCount> TForm1::PresetShownTexts() const {
  std::array<std::string, PresetKindCount> texts;
  for (int k = 0; k < PresetKindCount; ++k)
    texts[k] = FPresets[k]->currentText().toStdString();
  return texts;
}

std::array<int32_t, PresetKindCount> TForm1::PresetItemIndexes() const {
  std::array<int32_t, PresetKindCount> indexes;
  for (int k = 0; k < PresetKindCount; ++k)
    indexes[k] = FPresets[k]->currentIndex();
  return indexes;
}

bool TForm1::OverwriteFiles() const { return FOptions && FOptions->OverwriteFiles(); }

void TForm1::Button2Click() {
  FFormats->blockSignals(true);
  FFormats->clear();
  FFormats->repaint();
  for (const TFormatListItem &item : FormatListOf(CategoryIndex()))
    FFormats->AddEntry(QString::fromUtf8(item.Title), QString::fromUtf8(item.Description),
                       FormatIcon(item.ImageIndex));
  FFormats->setCurrentIndex(DefaultFormatIndex);
  FFormats->blockSignals(false);
  FFormats->repaint();
  // Selecting the first format is a format change like a user's.
  bsSkinOfficeComboBox1Change();
}

void TForm1::Button6Click() { ResetProfile(FProfile); }

void TForm1::Button5Click() {
  ApplyFormatProfile(FProfile, CategoryIndex(), FormatIndex(), FOutputFolder->text().toStdString(), OverwriteFiles());
  const int row = SelectedRow();
  if (row < 0)
    return;
  for (const TRowColumn &column : ProfileRowColumns(FProfile))
    SetCell(row, column.Column, QString::fromStdString(column.Text));
}

void TForm1::Button18Click() {
  std::array<QString, PresetKindCount> before;
  for (int k = 0; k < PresetKindCount; ++k)
    before[k] = FPresets[k]->currentText();
  const TPresetLists lists = FillPresetLists(FProfile, CategoryIndex(), FormatIndex());
  for (TPresetKind kind : {pkResolution, pkVideoBitrate, pkAudioBitrate, pkScaling, pkFrameRate, pkSampleRate}) {
    QComboBox *list = PresetList(kind);
    list->blockSignals(true);
    list->clear();
    list->setEnabled(true);
  }
  const TPresetKind fillOrder[] = {pkResolution, pkVideoBitrate, pkFrameRate, pkAudioBitrate, pkSampleRate, pkScaling};
  for (TPresetKind kind : fillOrder) {
    QComboBox *list = PresetList(kind);
    for (const char *entry : lists[kind].Entries)
      list->addItem(QString::fromUtf8(entry));
    list->setCurrentIndex(lists[kind].ItemIndex);
  }
  for (TPresetKind kind : fillOrder)
    PresetList(kind)->setEnabled(lists[kind].Enabled);
  // Only a list whose shown text changed reports a change.
  for (TPresetKind kind : fillOrder) {
    QComboBox *list = PresetList(kind);
    list->blockSignals(false);
    if (list->currentText() != before[kind])
      PresetListChange(kind);
  }
}

void TForm1::Button13Click() { ConfirmPresets(FProfile, PresetShownTexts()); }

void TForm1::bsSkinOfficeComboBox2Change() { Button2Click(); }

void TForm1::bsSkinOfficeComboBox1Change() {
  Button18Click();
  const std::string ext = OutputExtensionOfTitle(FFormats->currentText().toStdString());
  const int row = SelectedRow();
  if (row < 0)
    return;
  Button5Click();
  Button13Click();
  SetCell(row, fcOutputFile,
          QString::fromStdString(ReplaceFileExt(FileNamePart(Cell(row, fcOutputFile).toStdString()), ext)));
  SetCell(row, fcFormatCode, QString::number(RowCategoryNumber(CategoryIndex(), FormatIndex())));
  FocusFileList();
}

void TForm1::PresetListChange(TPresetKind AKind) {
  const int row = SelectedRow();
  if (row < 0)
    return;
  QComboBox *list = PresetList(AKind);
  SetCell(row, fcPresetChoices,
          QString::fromStdString(ReplaceChoiceCode(Cell(row, fcPresetChoices).toStdString(), AKind,
                                                   list->currentIndex())));
  ApplyPresetValue(FProfile, AKind, list->currentText().toStdString());
  const TRowColumn column = PresetRowColumn(FProfile, AKind);
  SetCell(row, column.Column, QString::fromStdString(column.Text));
  FocusFileList();
}
