// The eleven skins: style sheets for the whole application, and the dialog
// that chooses one. The skin index is what the settings keep ("SetSkin").
#pragma once

#include <QDialog>
#include <QString>

class QListWidget;

constexpr int SkinCount = 11;

// "OFFICE2007蓝色" (index 0) … "Vista皮肤" (index 10).
QString SkinName(int AIndex);
QString SkinStyleSheet(int AIndex);
// Applies a skin to every window of the application. An index outside the
// list applies skin 0, so a hand-edited setting still leaves a usable window.
void ApplySkin(int AIndex);

// "Select skin": the eleven skins with the current one selected.
class TSkinDialog : public QDialog {
  Q_OBJECT
public:
  TSkinDialog(int ACurrent, QWidget *AParent = nullptr);
  int SelectedSkin() const;
  void SelectSkin(int AIndex);

private:
  QListWidget *FList;
};
