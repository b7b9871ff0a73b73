#include "tests/ui/ui_test_support.h"

#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTableWidget>
#include <QTest>

TTempHome::TTempHome() : FOldHome(qgetenv("HOME")) {
  EXPECT_TRUE(FDir.isValid());
  QDir().mkpath(Home());
  qputenv("HOME", Home().toUtf8());
}

TTempHome::~TTempHome() { qputenv("HOME", FOldHome); }

QString TTempHome::MakeFile(const QString &ARelative, qint64 ASize) const {
  const QString path = Root() + '/' + ARelative;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.resize(ASize);
  return path;
}

// ---------------------------------------------------------------- dialogs

TScriptedDialogs::TScriptedDialogs() : FPrevious(&Dialogs()) { SetDialogs(this); }

TScriptedDialogs::~TScriptedDialogs() { SetDialogs(FPrevious); }

void TScriptedDialogs::ShowMessage(QWidget *, const QString &ATitle, const QString &AText) {
  Messages.push_back({ATitle, AText});
}

QStringList TScriptedDialogs::OpenFiles(QWidget *, const TOpenDialogSpec &ASpec) {
  OpenSpecs.push_back(ASpec);
  if (FileAnswers.empty()) {
    ADD_FAILURE() << "unexpected open dialog " << ASpec.Title.toStdString();
    return {};
  }
  QStringList answer = FileAnswers.front();
  FileAnswers.pop_front();
  return answer;
}

QString TScriptedDialogs::ChooseFolder(QWidget *, const QString &ATitle, const QString &) {
  FolderTitles.push_back(ATitle);
  if (FolderAnswers.empty()) {
    ADD_FAILURE() << "unexpected folder dialog " << ATitle.toStdString();
    return {};
  }
  QString answer = FolderAnswers.front();
  FolderAnswers.pop_front();
  return answer;
}

int TScriptedDialogs::Exec(QDialog &ADialog) {
  ExecTitles.push_back(ADialog.windowTitle());
  if (ExecAnswers.empty()) {
    ADD_FAILURE() << "unexpected window " << ADialog.windowTitle().toStdString();
    return QDialog::Rejected;
  }
  auto answer = std::move(ExecAnswers.front());
  ExecAnswers.pop_front();
  // Shown the way exec() shows it, so its controls behave as for a user.
  ADialog.setResult(QDialog::Rejected);
  ADialog.show();
  const int typed = answer(ADialog);
  const int result = ADialog.isVisible() ? typed : ADialog.result();
  ADialog.hide();
  return result;
}

void TScriptedDialogs::OpenExternal(const QUrl &AUrl) { Opened.push_back(AUrl); }

// ---------------------------------------------------------------- job manager side

bool TFakeFileAdder::LoadLibraries(std::string &AErrMsg) {
  if (!LibrariesLoad)
    AErrMsg = LibraryError;
  return LibrariesLoad;
}

TProbedFile TFakeFileAdder::ProbeFile(const std::string &AFileName) {
  TProbedFile probe;
  const auto rejected = Rejected.find(AFileName);
  if (rejected != Rejected.end()) {
    probe.ErrorMsg = rejected->second;
    return probe;
  }
  probe.Loaded = true;
  const auto duration = Durations.find(AFileName);
  probe.Duration = duration != Durations.end() ? duration->second : 60'000'000;
  const auto size = Sizes.find(AFileName);
  probe.FileSize = size != Sizes.end() ? size->second : 1024 * 1024;
  return probe;
}

int32_t TFakeFileAdder::AddTask(const std::string &AFileName, const TInputOptions &, std::string &AErrMsg) {
  if (AFileName == FailAddTask) {
    AErrMsg = "Cannot open input file " + AFileName;
    return -1;
  }
  Tasks.push_back(AFileName);
  Outputs.emplace_back();
  return static_cast<int32_t>(Tasks.size()) - 1;
}

std::string TFakeFileAdder::TaskInfoText(int32_t ATaskIndex) {
  return "Input #0, " + Tasks.at(ATaskIndex) + "\n  Duration: 00:01:00.00";
}

bool TFakeFileAdder::SetOutputFile(int32_t ATaskIndex, const std::string &AFileName, const TOutputOptions &,
                                   std::string &AErrMsg) {
  if (Tasks.at(ATaskIndex) == FailSetOutput) {
    AErrMsg = "Unable to find a suitable output format";
    return false;
  }
  Outputs.at(ATaskIndex) = AFileName;
  return true;
}

void TFakeFileAdder::RemoveTask(int32_t ATaskIndex) {
  Removed.push_back(ATaskIndex);
  Tasks.erase(Tasks.begin() + ATaskIndex);
  Outputs.erase(Outputs.begin() + ATaskIndex);
}

void TFakeFileAdder::ClearTasks() {
  ++Clears;
  Tasks.clear();
  Outputs.clear();
}

// ---------------------------------------------------------------- fixture

void TWindowTest::Start() {
  FWindows = CreateApplicationWindows(FHome.SettingsPath(), FHome.Root());
  Form1().SetFileAdder(&FAdder);
  Form1().show();
  QApplication::setActiveWindow(&Form1());
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Form1()));
}

void TWindowTest::Restart() {
  Form1().close();
  FWindows = TApplicationWindows();
  Start();
}

void TWindowTest::TearDown() {
  if (FWindows.Form1)
    FWindows.Form1->close();
  FWindows = TApplicationWindows();
}

QString TWindowTest::ReadSetting(const QString &ASection, const QString &AKey) const {
  return TSettingsFile(FHome.SettingsPath()).Read(ASection, AKey);
}

void TWindowTest::WriteSetting(const QString &ASection, const QString &AKey, const QString &AValue) const {
  TSettingsFile(FHome.SettingsPath()).Write(ASection, AKey, AValue);
}

void TWindowTest::AddFiles(const QStringList &AFiles) {
  FDialogs.FileAnswers.push_back(AFiles);
  Form1().Button8Click();
}

QString TWindowTest::CellText(int ARow, int AColumn) {
  const QTableWidgetItem *item = Child<QTableWidget>(&Form1(), "lvFiles")->item(ARow, AColumn);
  return item ? item->text() : QStringLiteral("<no item>");
}

QStringList TWindowTest::Column(int AColumn) {
  QStringList texts;
  for (int r = 0; r < RowCount(); ++r)
    texts << CellText(r, AColumn);
  return texts;
}

int TWindowTest::RowCount() { return Child<QTableWidget>(&Form1(), "lvFiles")->rowCount(); }

void TWindowTest::ClickRow(int ARow) {
  auto *list = Child<QTableWidget>(&Form1(), "lvFiles");
  const QRect cell = list->visualRect(list->model()->index(ARow, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

int TWindowTest::SelectedRowIndex() {
  const QModelIndexList rows = Child<QTableWidget>(&Form1(), "lvFiles")->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}
