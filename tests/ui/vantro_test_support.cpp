#include "tests/ui/vantro_test_support.h"

#include "jobs/job_manager.h"
#include "media/ffmpeg_loader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TRecordedActions::TRecordedActions() { SetSystemActions(this); }

TRecordedActions::~TRecordedActions() { SetSystemActions(nullptr); }

bool TRecordedActions::PowerOff(QString &AReason) {
  ++PowerOffs;
  if (!PowerOffAllowed)
    AReason = QStringLiteral("CanPowerOff: no");
  return PowerOffAllowed;
}

void TRecordedActions::PlaySound(const QString &AFile) { Sounds << AFile; }

void TRecordedActions::Notify(const QString &ATitle, const QString &AText) { Notifications << ATitle + ": " + AText; }

void TRecordedActions::KeepAwake(bool AOn) { KeepAwakeCalls.push_back(AOn); }

qint64 TRecordedActions::FreeBytes(const QString &) { return Free; }

void TVantroWindowTest::SetUp() {
  Start();
  FVantroAdder = std::make_unique<TJobFileAdder>(Form1().Vantro(), DefaultLibraryPath());
  Form1().SetFileAdder(FVantroAdder.get());
  std::string error;
  // The fixtures are made through the libraries the adder loads.
  ASSERT_TRUE(FVantroAdder->LoadLibraries(error)) << error;
}

void TVantroWindowTest::TearDown() {
  TWindowTest::TearDown();
  FVantroAdder.reset();
}

QString TVantroWindowTest::CopyOf(const std::string &AFixture, const QString &ARelative) const {
  const QString path = FHome.Root() + '/' + ARelative;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile::remove(path);
  EXPECT_TRUE(QFile::copy(QString::fromStdString(AFixture), path)) << path.toStdString();
  return path;
}

QStringList TVantroWindowTest::TaskInputs() {
  QStringList inputs;
  TJobManager &vantro = Form1().Vantro();
  for (int32_t t = 0; t < vantro.TasksCount(); ++t)
    inputs << QString::fromStdString(vantro.AVProbes(t, 0)->FileName());
  return inputs;
}
