// Every modal window, message box and shell call of the windows goes through
// IDialogs, so tests answer them without a window waiting for a user. The
// Qt implementation is installed by default; a test installs its own.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QDialog;
class QWidget;

// An open dialog as the product describes one: the filter is its
// "description|patterns|description|patterns|" text, FilterIndex is 1-based.
struct TOpenDialogSpec {
  QString Title;
  QString Filter;
  int FilterIndex = 1;
  bool MultiSelect = false;
  bool FileMustExist = false;
};

class IDialogs {
public:
  virtual ~IDialogs() = default;

  // A warning box with one OK button.
  virtual void ShowMessage(QWidget *AParent, const QString &ATitle, const QString &AText) = 0;

  // The chosen files, in the dialog's order (the first is its main file
  // name); empty when cancelled. Single-select dialogs give at most one.
  virtual QStringList OpenFiles(QWidget *AParent, const TOpenDialogSpec &ASpec) = 0;

  // The chosen folder, or empty when cancelled.
  virtual QString ChooseFolder(QWidget *AParent, const QString &ATitle, const QString &AStartFolder) = 0;

  // Runs one of our own dialogs modally; QDialog::Accepted or Rejected.
  virtual int Exec(QDialog &ADialog) = 0;

  // The shell's default action for a folder, a file or a web address.
  virtual void OpenExternal(const QUrl &AUrl) = 0;
};

// The installed implementation; the Qt one unless SetDialogs named another.
IDialogs &Dialogs();
// Installs ADialogs (not owned; nullptr goes back to the Qt implementation).
void SetDialogs(IDialogs *ADialogs);

// The open dialogs' filter text (OpenDialogFilterText) as the dialogs take it.
QString OpenDialogFilter();

// The Qt name filters for a product filter text: one per pair, patterns
// separated by blanks as Qt wants them, and "*.*" as "*" so that names
// without a dot are listed too.
QStringList QtNameFilters(const QString &AFilter);
