// The windows of the program, created in the product's order: the main
// window (whose creation sequence runs then), the about window, the options
// window (whose creation loads the options).
#pragma once

#include <QString>

#include <memory>

class TForm1;
class TForm2;
class TForm5;

struct TApplicationWindows {
  std::unique_ptr<TForm1> Form1;
  TForm2 *Form2 = nullptr; // owned by Form1
  TForm5 *Form5 = nullptr; // owned by Form1
  TApplicationWindows();
  TApplicationWindows(TApplicationWindows &&) noexcept;
  TApplicationWindows &operator=(TApplicationWindows &&) noexcept;
  ~TApplicationWindows();
};

// ASettingsPath is the settings file (see SettingsFilePathFor); AAppDir the
// folder with "help.chm", "LibAV" and "sounds".
TApplicationWindows CreateApplicationWindows(const QString &ASettingsPath, const QString &AAppDir);
