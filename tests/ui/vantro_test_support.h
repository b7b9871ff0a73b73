// Window tests on the real job manager: the program's windows with the
// window's own "Vantro" behind the file list (as the program installs it)
// and media files made from the fixtures.
#pragma once

#include "tests/ui/ui_test_support.h"
#include "ui/job_file_adder.h"
#include "ui/system_actions.h"

#include <QTableWidget>

#include <memory>
#include <ostream>

// Readable failures for QString and QStringList comparisons.
inline void PrintTo(const QString &AText, std::ostream *AOut) { *AOut << '"' << AText.toStdString() << '"'; }
inline void PrintTo(const QStringList &ALines, std::ostream *AOut) {
  *AOut << "{\n";
  for (const QString &line : ALines)
    *AOut << "  \"" << line.toStdString() << "\"\n";
  *AOut << "}";
}

// The system's side of the after-conversion actions, recorded; installed
// for the object's life. Nothing here powers anything off.
class TRecordedActions : public ISystemActions {
public:
  TRecordedActions();
  ~TRecordedActions() override;

  bool PowerOffAllowed = true;
  qint64 Free = -1; // what FreeBytes answers
  int PowerOffs = 0;
  QStringList Sounds;
  QStringList Notifications;
  std::vector<bool> KeepAwakeCalls;

  bool PowerOff(QString &AReason) override;
  void PlaySound(const QString &AFile) override;
  void Notify(const QString &ATitle, const QString &AText) override;
  void KeepAwake(bool AOn) override;
  qint64 FreeBytes(const QString &AFolder) override;
};

class TVantroWindowTest : public TWindowTest {
protected:
  void SetUp() override;
  void TearDown() override;

  // A copy of a fixture file at ARelative under the temporary root.
  QString CopyOf(const std::string &AFixture, const QString &ARelative) const;
  QString Out() { return Form1().FileOutPutPath(); }
  QTableWidget *List() { return Child<QTableWidget>(&Form1(), "lvFiles"); }
  // The input file of each task of Vantro, in task order.
  QStringList TaskInputs();

  std::unique_ptr<TJobFileAdder> FVantroAdder;
  TRecordedActions FActions;
};
