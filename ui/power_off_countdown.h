// The window shown before the computer is powered off after a conversion:
// it counts down and then asks for the power-off, unless the user cancels.
// Not modal: the after-conversion action needs no answer.
#pragma once

#include <QDialog>

class QLabel;
class QTimer;

class TPowerOffCountdown : public QDialog {
  Q_OBJECT
public:
  TPowerOffCountdown(int ASeconds, QWidget *AParent);
  int SecondsLeft() const { return FLeft; }

signals:
  // The countdown reached zero; the window closes itself.
  void Expired();

private:
  void Tick();
  void ShowLeft();

  int FLeft;
  QLabel *FText;
  QTimer *FTimer;
};
