// TForm2, "关于软件": product name, version, web site and support address.
#pragma once

#include <QDialog>

class TForm2 : public QDialog {
  Q_OBJECT
public:
  explicit TForm2(QWidget *AParent = nullptr);
};
