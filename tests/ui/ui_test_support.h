// What the window tests share: a temporary home and settings file, a dialog
// seam that answers from a script, a stand-in for the job manager's side of
// adding files, and a fixture that builds the program's windows.
#pragma once

#include "ui/app_windows.h"
#include "ui/dialogs.h"
#include "ui/file_adder.h"
#include "ui/main_window.h"

#include <QDialog>
#include <QTemporaryDir>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// HOME points into a fresh folder for the object's life; the settings file
// is <folder>/option.ini and does not exist yet.
class TTempHome {
public:
  TTempHome();
  ~TTempHome();
  QString Root() const { return FDir.path(); }
  QString Home() const { return FDir.path() + QStringLiteral("/home"); }
  QString SettingsPath() const { return FDir.path() + QStringLiteral("/option.ini"); }
  // A file of ASize bytes (zeros) under the root; folders are created.
  QString MakeFile(const QString &ARelative, qint64 ASize = 1) const;

private:
  QTemporaryDir FDir;
  QByteArray FOldHome;
};

// Answers dialogs from queues filled by the test; a dialog nobody expected
// fails the test and is cancelled. Installed for the object's life.
class TScriptedDialogs : public IDialogs {
public:
  TScriptedDialogs();
  ~TScriptedDialogs() override;

  struct TMessage {
    QString Title, Text;
  };
  std::vector<TMessage> Messages;
  std::vector<TOpenDialogSpec> OpenSpecs;
  std::vector<QString> FolderTitles;
  std::vector<QUrl> Opened;
  std::vector<QString> ExecTitles;

  std::deque<QStringList> FileAnswers;
  std::deque<QString> FolderAnswers;
  // Gets the dialog while it would be shown; returns its result.
  std::deque<std::function<int(QDialog &)>> ExecAnswers;

  void ShowMessage(QWidget *AParent, const QString &ATitle, const QString &AText) override;
  QStringList OpenFiles(QWidget *AParent, const TOpenDialogSpec &ASpec) override;
  QString ChooseFolder(QWidget *AParent, const QString &ATitle, const QString &AStartFolder) override;
  int Exec(QDialog &ADialog) override;
  void OpenExternal(const QUrl &AUrl) override;

private:
  IDialogs *FPrevious;
};

// The job manager's side of adding, as a list of tasks: files the probe
// accepts unless named in Rejected; duration and size per file name.
class TFakeFileAdder : public IFileAdder {
public:
  bool LibrariesLoad = true;
  std::string LibraryError = "Cannot load library LibAV/libavcodec.so.59";
  std::map<std::string, std::string> Rejected;         // file → probe message
  std::map<std::string, int64_t> Durations;            // file → µs (default 60 s)
  std::map<std::string, int64_t> Sizes;                // file → bytes (default 1 MiB)
  std::string FailAddTask;                             // this file's AddTask fails
  std::string FailSetOutput;                           // this file's SetOutputFile fails

  std::vector<std::string> Tasks; // the task list: input file per task
  std::vector<std::string> Outputs; // output file per task, "" until set
  std::vector<int32_t> Removed;
  int Clears = 0;

  bool LoadLibraries(std::string &AErrMsg) override;
  TProbedFile ProbeFile(const std::string &AFileName) override;
  int32_t AddTask(const std::string &AFileName, const TInputOptions &AInput, std::string &AErrMsg) override;
  std::string TaskInfoText(int32_t ATaskIndex) override;
  bool SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, const TOutputOptions &AOutput,
                     std::string &AErrMsg) override;
  void RemoveTask(int32_t ATaskIndex) override;
  void ClearTasks() override;
};

// A child of AParent by object name; fails the test when missing.
template <typename T> T *Child(QObject *AParent, const char *AName) {
  T *child = AParent->findChild<T *>(QString::fromLatin1(AName));
  EXPECT_NE(child, nullptr) << "no " << AName;
  return child;
}

// The program's windows on a temporary home with the scripted dialogs and
// the fake adder; Start() creates them, so a test may write a settings file first.
class TWindowTest : public ::testing::Test {
protected:
  void TearDown() override;
  void Start();
  // Closes the windows and creates them again: the next start of the program.
  void Restart();

  TForm1 &Form1() { return *FWindows.Form1; }
  TForm5 &Form5() { return *FWindows.Form5; }
  QString ReadSetting(const QString &ASection, const QString &AKey) const;
  void WriteSetting(const QString &ASection, const QString &AKey, const QString &AValue) const;

  // Adds AFiles through "添加多个文件" (they are taken last to first).
  void AddFiles(const QStringList &AFiles);
  QString CellText(int ARow, int AColumn);
  // Column AColumn of every row, top to bottom.
  QStringList Column(int AColumn);
  int RowCount();
  void ClickRow(int ARow);
  int SelectedRowIndex();

  TTempHome FHome;
  TScriptedDialogs FDialogs;
  TFakeFileAdder FAdder;
  TApplicationWindows FWindows;
};
