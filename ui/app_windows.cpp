#include "ui/app_windows.h"

#include "ui/about_window.h"
#include "ui/main_window.h"
#include "ui/options_window.h"

TApplicationWindows::TApplicationWindows() = default;
TApplicationWindows::TApplicationWindows(TApplicationWindows &&) noexcept = default;
TApplicationWindows &TApplicationWindows::operator=(TApplicationWindows &&) noexcept = default;
TApplicationWindows::~TApplicationWindows() = default;

TApplicationWindows CreateApplicationWindows(const QString &ASettingsPath, const QString &AAppDir) {
  TApplicationWindows windows;
  windows.Form1 = std::make_unique<TForm1>(TMainWindowSetup{ASettingsPath, AAppDir});
  windows.Form2 = new TForm2(windows.Form1.get());
  windows.Form5 = new TForm5(TSettingsFile(ASettingsPath), windows.Form1.get());
  windows.Form1->SetAboutWindow(windows.Form2);
  windows.Form1->SetOptionsWindow(windows.Form5);
  return windows;
}
