// Start-up: the windows in their order, the main window's composition and
// states, its menus, the log line, closing.
#include "tests/ui/ui_test_support.h"

#include "media/ff_logger.h"
#include "platform/thread.h"
#include "ui/about_window.h"
#include "ui/office_combo.h"
#include "ui/options_window.h"
#include "ui/product.h"
#include "ui/skins.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <thread>

namespace {

class Startup : public TWindowTest {};

QStringList ComboTexts(QComboBox *ABox) {
  QStringList texts;
  for (int i = 0; i < ABox->count(); ++i)
    texts << ABox->itemText(i);
  return texts;
}

TEST_F(Startup, FirstStartWithoutSettingsFile) {
  Start();
  const QString output = FHome.Home() + QStringLiteral("/Zelvora视频软件/输出");
  EXPECT_EQ(Form1().windowTitle(), QStringLiteral("Zelvora视频转MP3格式转换器"));
  EXPECT_EQ(Form1().centralWidget()->size(), QSize(806, 541));
  EXPECT_EQ(Form1().minimumSize(), Form1().maximumSize()); // not resizable
  EXPECT_FALSE(Form1().windowFlags() & Qt::WindowMaximizeButtonHint);

  EXPECT_EQ(Child<QLineEdit>(&Form1(), "Video_OutPut_Folder_Edit")->text(), output);
  EXPECT_EQ(Form1().FileOutPutPath(), output);
  EXPECT_TRUE(QFileInfo(output).isDir());
  // The snapshot folder is made when a snapshot needs it, not at start.
  EXPECT_FALSE(QFileInfo::exists(FHome.Home() + QStringLiteral("/Zelvora视频软件/快照")));

  EXPECT_EQ(ReadSetting("OutPath", "OutPath"), output);
  EXPECT_EQ(ReadSetting("Skin", "SetSkin"), "0");
  EXPECT_EQ(ReadSetting("Options", "Thread_Count"), "0");
  EXPECT_EQ(ReadSetting("Options", "After_Done"), "0");
  EXPECT_EQ(ReadSetting("Options", "Show_Preview"), "0");
  EXPECT_EQ(ReadSetting("Options", "Thread_Priority"), "3");
  EXPECT_EQ(ReadSetting("Options", "Overwrite_File"), "1");
  EXPECT_EQ(Form1().SkinIndex(), 0);
  EXPECT_EQ(qApp->styleSheet(), SkinStyleSheet(0));

  EXPECT_TRUE(Child<QRadioButton>(&Form5(), "rbOpenFolder")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>(&Form5(), "rbRename")->isChecked());
  EXPECT_TRUE(Child<QRadioButton>(&Form5(), "rbNormal")->isChecked());
  EXPECT_EQ(Child<QComboBox>(&Form5(), "cboThreadCount")->currentText(), "1");
  EXPECT_FALSE(Child<QCheckBox>(&Form5(), "chkShowPreview")->isChecked());
  EXPECT_EQ(Form5().windowTitle(), QStringLiteral("选项"));
}

TEST_F(Startup, CatalogueListsShowMp3WithItsPresets) {
  Start();
  auto *categories = Child<TOfficeComboBox>(&Form1(), "bsSkinOfficeComboBox2");
  auto *formats = Child<TOfficeComboBox>(&Form1(), "bsSkinOfficeComboBox1");
  EXPECT_EQ(categories->count(), 17);
  EXPECT_EQ(categories->currentText(), QStringLiteral("通用音频"));
  EXPECT_EQ(formats->count(), 13);
  EXPECT_EQ(formats->currentText(), QStringLiteral("MP3 - MPEG Layer-3音频格式(*.mp3)"));
  EXPECT_EQ(formats->Description(0), QStringLiteral("最流行的音频格式,具有体积小,音质高的特点,几乎成为网上音乐的代名词"));
  EXPECT_FALSE(formats->itemIcon(0).isNull());
  EXPECT_FALSE(categories->itemIcon(0).isNull());
  EXPECT_EQ(Form1().Profile().All_Trant_Number, 200);

  const struct {
    const char *Name;
    const char *Shown;
    bool Enabled;
  } presets[] = {{"bsSkinComboBox1", "该格式无视频", false}, {"bsSkinComboBox2", "无视频", false},
                 {"bsSkinComboBox9", "无视频", false},      {"bsSkinComboBox3", "128 kbps", true},
                 {"bsSkinComboBox10", "44100", true},      {"bsSkinComboBox4", "无视频", false}};
  for (const auto &p : presets) {
    auto *list = Child<QComboBox>(&Form1(), p.Name);
    EXPECT_EQ(list->currentText(), QString::fromUtf8(p.Shown)) << p.Name;
    EXPECT_EQ(list->isEnabled(), p.Enabled) << p.Name;
  }
  EXPECT_EQ(Child<QComboBox>(&Form1(), "bsSkinComboBox3")->currentIndex(), 10);

  // A user's category choice refills the formats and takes the first.
  categories->setCurrentIndex(4);
  EXPECT_EQ(formats->count(), 15);
  EXPECT_EQ(formats->currentText(), QStringLiteral("AVI - 音频视频交错格式(*.avi)"));
  EXPECT_EQ(Form1().Profile().All_Trant_Number, 100);
  EXPECT_TRUE(Child<QComboBox>(&Form1(), "bsSkinComboBox1")->isEnabled());
}

TEST_F(Startup, ControlsCarryTheirNamesAndStartStates) {
  Start();
  auto *list = Child<QTableWidget>(&Form1(), "lvFiles");
  ASSERT_EQ(list->columnCount(), 25);
  const char *const visible[] = {"输入文件", "视频时间", "文件大小", "输出文件", "转换进度", "", "当前时间", "转换大小"};
  const int widths[] = {80, 70, 70, 80, 70, 0, 80, 80};
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(list->horizontalHeaderItem(c)->text(), QString::fromUtf8(visible[c])) << c;
    if (c != 5) {
      EXPECT_FALSE(list->isColumnHidden(c)) << c;
      EXPECT_EQ(list->columnWidth(c), widths[c]) << c;
    }
  }
  EXPECT_TRUE(list->isColumnHidden(5));
  for (int c = 8; c < 25; ++c)
    EXPECT_TRUE(list->isColumnHidden(c)) << c;
  EXPECT_EQ(list->horizontalHeaderItem(8)->text(), QStringLiteral("视频序号"));
  EXPECT_EQ(list->horizontalHeaderItem(24)->text(), QStringLiteral("NormType"));
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(Child<QLabel>(&Form1(), "imgEmpty")->isVisible());

  QWidget *panel6 = Child<QWidget>(&Form1(), "Panel6");
  EXPECT_TRUE(panel6->testAttribute(Qt::WA_NativeWindow));
  EXPECT_EQ(Child<QGroupBox>(&Form1(), "pnlPreview")->title(), QStringLiteral("视频预览"));
  EXPECT_EQ(Child<QGroupBox>(&Form1(), "pnlPresets")->title(), QStringLiteral("预置选项"));
  EXPECT_TRUE(Child<QLineEdit>(&Form1(), "Video_OutPut_Folder_Edit")->isReadOnly());

  // The diagnostics area: there, with its values, never seen.
  EXPECT_FALSE(Child<QListWidget>(&Form1(), "mmoLog")->isVisible());
  EXPECT_EQ(Child<QProgressBar>(&Form1(), "ProgressBar1")->value(), 0);
  EXPECT_TRUE(Child<QCheckBox>(&Form1(), "chkThreadMode")->isChecked());
  EXPECT_EQ(Child<QComboBox>(&Form1(), "cboVideoDriver")->currentText(), "Default");
  EXPECT_EQ(Child<QComboBox>(&Form1(), "cboAudioDriver")->currentText(), "Default");
  EXPECT_TRUE(Child<QCheckBox>(&Form1(), "chkOpenPaused")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(&Form1(), "chkStayOnTop")->isChecked());
  auto *volume = Child<QSlider>(&Form1(), "TrackBar2");
  EXPECT_EQ(volume->maximum(), 128);
  EXPECT_EQ(volume->value(), 128);
  auto *screens = Child<QComboBox>(&Form1(), "cboScreens");
  EXPECT_EQ(screens->currentText(), "Panel6");
  EXPECT_EQ(ComboTexts(screens),
            QStringList({"Panel6", "pnlToolbar", "pnlFiles", "pnlPreview", "pnlOutput", "pnlPresets",
                         "pnlDiagnostics"}));
  EXPECT_EQ(Form1().bsSkinSlider1_down_UP(), "UP");
  EXPECT_FALSE(Child<QLineEdit>(&Form1(), "edt")->isVisible());

  const struct {
    const char *Name;
    bool Enabled;
    bool Visible;
  } toolbar[] = {{"btnAdd", true, true},     {"btnRemove", false, true}, {"btnClear", false, true},
                 {"btnStart", false, true},  {"btnStop", false, true},   {"btnPause", false, true},
                 {"btnResume", false, false}, {"btnOptions", true, true}, {"btnSkin", true, true},
                 {"btnMoveUp", true, true},  {"btnMoveDown", true, true}, {"btnRename", false, true},
                 {"btnBrowse", true, true}};
  for (const auto &b : toolbar) {
    QWidget *button = Child<QWidget>(&Form1(), b.Name);
    EXPECT_EQ(button->isEnabled(), b.Enabled) << b.Name;
    EXPECT_EQ(button->isVisible(), b.Visible) << b.Name;
  }
  EXPECT_EQ(Child<QToolButton>(&Form1(), "btnMoveUp")->toolTip(), QStringLiteral("上移"));
  EXPECT_EQ(Child<QToolButton>(&Form1(), "btnMoveDown")->toolTip(), QStringLiteral("下移"));
  EXPECT_EQ(Child<QToolButton>(&Form1(), "btnRename")->toolTip(), QStringLiteral("重命名"));
}

TEST_F(Startup, ToolbarShowsGreyedPicturesWhileDisabled) {
  Start();
  // Every visible pixel of a greyed picture is grey; the enabled one has colour.
  auto grey = [](const QImage &AImage) {
    for (int y = 0; y < AImage.height(); ++y)
      for (int x = 0; x < AImage.width(); ++x) {
        const QRgb c = AImage.pixel(x, y);
        if (qAlpha(c) > 0 && (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c)))
          return false;
      }
    return true;
  };
  auto *start = Child<QToolButton>(&Form1(), "btnStart");
  const QImage disabled = start->icon().pixmap(32, QIcon::Disabled).toImage();
  const QImage enabled = start->icon().pixmap(32, QIcon::Normal).toImage();
  EXPECT_TRUE(grey(disabled));
  EXPECT_FALSE(grey(enabled));
  EXPECT_NE(disabled, enabled);
}

TEST_F(Startup, MenusHoldTheirItemsAndStates) {
  Start();
  struct TItem {
    const char *Text;
    bool Enabled;
  };
  const struct {
    const char *Menu;
    std::vector<TItem> Items;
  } menus[] = {
      {"文件", {{"添加一个文件", true}, {"添加多个文件", true}, {"添加整个目录", true}, {"退出", true}}},
      {"编辑",
       {{"上移文件", true}, {"下移文件", true}, {"删除选择", false}, {"清空文件", false}, {"重新命名", false}}},
      {"动作", {{"开始转换", false}, {"停止转换", false}, {"暂停转换", false}, {"继续继续", false}}},
      {"功能", {{"转换设置", true}, {"软件皮肤", true}}},
      {"帮助", {{"帮助系统", true}, {"官方网站", true}, {"关于软件", true}}},
  };
  const QList<QAction *> bar = Form1().menuBar()->actions();
  ASSERT_EQ(bar.size(), 5);
  for (int m = 0; m < 5; ++m) {
    EXPECT_EQ(bar[m]->text(), QString::fromUtf8(menus[m].Menu));
    std::vector<std::pair<QString, bool>> items;
    for (QAction *a : bar[m]->menu()->actions())
      if (!a->isSeparator())
        items.emplace_back(a->text(), a->isEnabled());
    ASSERT_EQ(items.size(), menus[m].Items.size()) << menus[m].Menu;
    for (size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].first, QString::fromUtf8(menus[m].Items[i].Text));
      EXPECT_EQ(items[i].second, menus[m].Items[i].Enabled) << menus[m].Items[i].Text;
    }
  }
  EXPECT_EQ(Child<QAction>(&Form1(), "mnuHelpSystem")->shortcut(), QKeySequence(Qt::Key_F1));
  QStringList drop;
  for (QAction *a : Child<QToolButton>(&Form1(), "btnAdd")->menu()->actions())
    drop << a->text();
  EXPECT_EQ(drop, QStringList({"添加一个文件", "添加多个文件", "添加整个目录"}));

  // Help opens the help file beside the program, the site its address.
  Child<QAction>(&Form1(), "mnuHelpSystem")->trigger();
  Child<QAction>(&Form1(), "mnuSite")->trigger();
  ASSERT_EQ(FDialogs.Opened.size(), 2u);
  EXPECT_EQ(FDialogs.Opened[0], QUrl::fromLocalFile(FHome.Root() + QStringLiteral("/help.chm")));
  EXPECT_EQ(FDialogs.Opened[1], QUrl(ProductSite));
}

TEST_F(Startup, AboutWindowShowsProductVersionSiteAndMail) {
  Start();
  QStringList texts;
  FDialogs.ExecAnswers.push_back([&](QDialog &ADialog) {
    for (QLabel *label : ADialog.findChildren<QLabel *>())
      texts << label->text();
    Child<QPushButton>(&ADialog, "btnOK")->click();
    return QDialog::Rejected;
  });
  Child<QAction>(&Form1(), "mnuAbout")->trigger();
  ASSERT_EQ(FDialogs.ExecTitles, std::vector<QString>{QStringLiteral("关于软件")});
  EXPECT_TRUE(texts.contains(QStringLiteral("Zelvora视频转MP3格式转换器")));
  EXPECT_TRUE(texts.contains(QStringLiteral("Ver:1.0.0.0")));
  EXPECT_TRUE(texts.contains(QStringLiteral("官方网站：")));
  EXPECT_TRUE(texts.contains(QStringLiteral("支持E-Mail：")));
  EXPECT_TRUE(texts.join('\n').contains(ProductSite));
  EXPECT_TRUE(texts.join('\n').contains(ProductMail));
}

TEST_F(Startup, LoggerLinesReachTheLogFromAnyThreadUntilClose) {
  Start();
  FFLogger().Log(nullptr, llWarning, "from the window thread");
  uint32_t workerId = 0;
  std::thread worker([&] {
    workerId = CurrentThreadID();
    FFLogger().Log(nullptr, llInfo, "from a worker");
  });
  // The worker waits until the window thread has shown its line.
  EXPECT_TRUE(QTest::qWaitFor([&] { return Form1().LogLines().size() >= 2; }, 5000));
  worker.join();
  EXPECT_EQ(Form1().LogLines(),
            QStringList({QStringLiteral("#%1.4: from the window thread").arg(CurrentThreadID()),
                         QStringLiteral("#%1.5: from a worker").arg(workerId)}));

  Form1().close();
  FFLogger().Log(nullptr, llError, "after close");
  EXPECT_EQ(Form1().LogLines().size(), 2);
}

} // namespace
