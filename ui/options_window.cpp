#include "ui/options_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString Section = QStringLiteral("Options");

QRadioButton *Radio(QWidget *AParent, const char *AName, const QString &ACaption, int AX, int AY, int AWidth) {
  auto *radio = new QRadioButton(ACaption, AParent);
  radio->setObjectName(QString::fromLatin1(AName));
  radio->setGeometry(AX, AY, AWidth, 22);
  return radio;
}

QGroupBox *Group(QWidget *AParent, const char *AName, const QString &ACaption, const QRect &AGeometry) {
  auto *group = new QGroupBox(ACaption, AParent);
  group->setObjectName(QString::fromLatin1(AName));
  group->setGeometry(AGeometry);
  return group;
}

} // namespace

TForm5::TForm5(TSettingsFile ASettings, QWidget *AParent) : QDialog(AParent), FSettings(std::move(ASettings)) {
  setObjectName(QStringLiteral("TForm5"));
  setWindowTitle(QStringLiteral("选项"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(470, 390);

  QGroupBox *after = Group(this, "grpAfterDone", QStringLiteral("转换工作完成后"), QRect(12, 10, 220, 132));
  FAfter[adOpenFolder] = Radio(after, "rbOpenFolder", QStringLiteral("自动打开输出文件夹"), 14, 24, 196);
  FAfter[adShutdown] = Radio(after, "rbShutdown", QStringLiteral("自动关闭计算机"), 14, 50, 196);
  FAfter[adPlaySound] = Radio(after, "rbPlaySound", QStringLiteral(" 播放提示音乐"), 14, 76, 196);
  FAfter[adNothing] = Radio(after, "rbDoNothing", QStringLiteral("不进行任何操作"), 14, 102, 196);

  QGroupBox *exists = Group(this, "grpOutputExists", QStringLiteral("如果输出文件存在时"), QRect(242, 10, 216, 132));
  FOverwrite = Radio(exists, "rbOverwrite", QStringLiteral("直接覆盖输出文件"), 14, 24, 190);
  FRename = Radio(exists, "rbRename", QStringLiteral("自动重命名输出文件"), 14, 50, 190);

  QGroupBox *params = Group(this, "grpParameters", QStringLiteral("转换参数"), QRect(12, 150, 446, 90));
  auto *threadLabel =
      new QLabel(QStringLiteral("程序最大运行线程数--（同时进行转换的文件个数）"), params);
  threadLabel->setObjectName(QStringLiteral("lblThreadCount"));
  threadLabel->setGeometry(14, 24, 330, 22);
  FThreadCount = new QComboBox(params);
  FThreadCount->setObjectName(QStringLiteral("cboThreadCount"));
  FThreadCount->setGeometry(350, 24, 80, 22);
  for (int i = 1; i <= 19; ++i)
    FThreadCount->addItem(QString::number(i));
  FMultiThread = new QCheckBox(QStringLiteral("启用多线程模式   （同时进行转换的视频个数）"), params);
  FMultiThread->setObjectName(QStringLiteral("chkMultiThread"));
  FMultiThread->setGeometry(14, 24, 330, 22);
  FMultiThread->setChecked(true);
  // The product always converts in multi-thread mode; the box stays, hidden,
  // as the switch of the thread-count list.
  FMultiThread->hide();
  connect(FMultiThread, &QCheckBox::toggled, FThreadCount, &QWidget::setEnabled);
  FShowPreview = new QCheckBox(QStringLiteral("转换时进行实时视频预览"), params);
  FShowPreview->setObjectName(QStringLiteral("chkShowPreview"));
  FShowPreview->setGeometry(14, 54, 300, 22);
  connect(FShowPreview, &QCheckBox::toggled, this, &TForm5::ShowPreviewChanged);

  QGroupBox *cpu = Group(this, "grpCpuUsage", QStringLiteral("转换时CPU利用方式"), QRect(12, 248, 446, 90));
  FCpu[cuIdle] = Radio(cpu, "rbIdle", QStringLiteral("系统空闲时进行"), 14, 26, 200);
  FCpu[cuLowest] = Radio(cpu, "rbLowest", QStringLiteral("最低优先级进行"), 230, 26, 200);
  FCpu[cuLower] = Radio(cpu, "rbLower", QStringLiteral("较低优先级进行"), 14, 56, 200);
  FCpu[cuNormal] = Radio(cpu, "rbNormal", QStringLiteral("正常优先级进行"), 230, 56, 200);

  // Radio buttons with one parent are already exclusive; the groups make it
  // explicit and survive moving a button between panels.
  auto *afterGroup = new QButtonGroup(this);
  for (QRadioButton *b : FAfter)
    afterGroup->addButton(b);
  auto *cpuGroup = new QButtonGroup(this);
  for (QRadioButton *b : FCpu)
    cpuGroup->addButton(b);
  auto *existsGroup = new QButtonGroup(this);
  existsGroup->addButton(FOverwrite);
  existsGroup->addButton(FRename);

  auto *ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setGeometry(282, 350, 84, 28);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TForm5::SaveOptions);
  auto *cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  cancel->setGeometry(374, 350, 84, 28);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  // The initial states, before the file is read.
  FAfter[adOpenFolder]->setChecked(true);
  FRename->setChecked(true);
  FCpu[cuNormal]->setChecked(true);
  LoadOptions();
}

void TForm5::LoadOptions() {
  if (!FSettings.Exists()) {
    FSettings.Write(Section, QStringLiteral("Thread_Count"), QStringLiteral("0"));
    FSettings.Write(Section, QStringLiteral("After_Done"), QStringLiteral("0"));
    FSettings.Write(Section, QStringLiteral("Show_Preview"), QStringLiteral("0"));
    FSettings.Write(Section, QStringLiteral("Thread_Priority"), QStringLiteral("3"));
    FSettings.Write(Section, QStringLiteral("Overwrite_File"), QStringLiteral("1"));
    FAfter[adOpenFolder]->setChecked(true);
    FShowPreview->setChecked(false);
    FCpu[cuNormal]->setChecked(true);
    FRename->setChecked(true);
    return;
  }

  const QString count = FSettings.Read(Section, QStringLiteral("Thread_Count"));
  if (count == SettingsAbsent)
    FSettings.Write(Section, QStringLiteral("Thread_Count"), QStringLiteral("0"));
  const int entry = FThreadCount->findText(count);
  FThreadCount->setCurrentIndex(entry >= 0 ? entry : 0);

  // A key whose text is one of AValid chooses that control; anything else
  // writes ADefault back and chooses it.
  auto choose = [this](const QString &AKey, int ACount, int ADefault, auto AChoose) {
    const QString text = FSettings.Read(Section, AKey);
    bool number = false;
    const int value = text.toInt(&number);
    if (number && value >= 0 && value < ACount && text == QString::number(value)) {
      AChoose(value);
    } else {
      FSettings.Write(Section, AKey, QString::number(ADefault));
      AChoose(ADefault);
    }
  };
  choose(QStringLiteral("After_Done"), 4, adOpenFolder, [this](int v) { FAfter[v]->setChecked(true); });
  choose(QStringLiteral("Thread_Priority"), 4, cuNormal, [this](int v) { FCpu[v]->setChecked(true); });
  choose(QStringLiteral("Overwrite_File"), 2, 1, [this](int v) { (v == 0 ? FOverwrite : FRename)->setChecked(true); });
  choose(QStringLiteral("Show_Preview"), 2, 0, [this](int v) { FShowPreview->setChecked(v == 1); });
}

void TForm5::SaveOptions() {
  if (FMultiThread->isChecked())
    FSettings.Write(Section, QStringLiteral("Thread_Count"), FThreadCount->currentText());
  FSettings.Write(Section, QStringLiteral("After_Done"), QString::number(AfterDone()));
  FSettings.Write(Section, QStringLiteral("Show_Preview"), ShowPreview() ? QStringLiteral("1") : QStringLiteral("0"));
  FSettings.Write(Section, QStringLiteral("Thread_Priority"), QString::number(CpuUsage()));
  FSettings.Write(Section, QStringLiteral("Overwrite_File"),
                  OverwriteFiles() ? QStringLiteral("0") : QStringLiteral("1"));
  accept();
}

TAfterDone TForm5::AfterDone() const {
  for (int i = 0; i < 4; ++i)
    if (FAfter[i]->isChecked())
      return static_cast<TAfterDone>(i);
  return adOpenFolder;
}

TCpuUsage TForm5::CpuUsage() const {
  for (int i = 0; i < 4; ++i)
    if (FCpu[i]->isChecked())
      return static_cast<TCpuUsage>(i);
  return cuNormal;
}

bool TForm5::OverwriteFiles() const { return FOverwrite->isChecked(); }

bool TForm5::ShowPreview() const { return FShowPreview->isChecked(); }

bool TForm5::MultiThreadMode() const { return FMultiThread->isChecked(); }

int TForm5::ThreadCount() const {
  bool number = false;
  const int count = FThreadCount->currentText().toInt(&number);
  return number ? count : 1;
}
