// Entry of the window tests: an application on Qt's offscreen platform, the
// preview's player on SDL's dummy drivers, the main thread and the
// previewers' windows as in the program, and a dialog seam that fails any
// test that opens a window nobody scripted.
#include "platform/main_thread.h"
#include "ui/dialogs.h"
#include "ui/main_thread_adapter.h"
#include "ui/preview_window.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class TUnexpectedDialogs : public IDialogs {
public:
  void ShowMessage(QWidget *, const QString &ATitle, const QString &AText) override {
    ADD_FAILURE() << "message box " << ATitle.toStdString() << ": " << AText.toStdString();
  }
  QStringList OpenFiles(QWidget *, const TOpenDialogSpec &ASpec) override {
    ADD_FAILURE() << "open dialog " << ASpec.Title.toStdString();
    return {};
  }
  QString ChooseFolder(QWidget *, const QString &ATitle, const QString &) override {
    ADD_FAILURE() << "folder dialog " << ATitle.toStdString();
    return {};
  }
  int Exec(QDialog &) override {
    ADD_FAILURE() << "modal window";
    return 0;
  }
  void OpenExternal(const QUrl &AUrl) override { ADD_FAILURE() << "shell open " << AUrl.toString().toStdString(); }
};

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Every selected row opens in the preview: no screen, no sound.
  qputenv("SDL_VIDEODRIVER", "dummy");
  qputenv("SDL_AUDIODRIVER", "dummy");
  SetMainThread();
  QApplication app(argc, argv);
  InstallQtMainThreadAdapter();
  InstallQtPreviewWindows();
  TUnexpectedDialogs unexpected;
  SetDialogs(&unexpected);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
