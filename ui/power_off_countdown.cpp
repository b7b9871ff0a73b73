#include "ui/power_off_countdown.h"

#include "ui/product.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TPowerOffCountdown::TPowerOffCountdown(int ASeconds, QWidget *AParent) : QDialog(AParent), FLeft(ASeconds) {
  setObjectName(QStringLiteral("dlgPowerOff"));
  setWindowTitle(ProductTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  auto *layout = new QVBoxLayout(this);
  FText = new QLabel(this);
  FText->setObjectName(QStringLiteral("lblPowerOff"));
  layout->addWidget(FText);
  auto *cancel = new QPushButton(QStringLiteral("取消关机"), this);
  cancel->setObjectName(QStringLiteral("btnCancelPowerOff"));
  layout->addWidget(cancel, 0, Qt::AlignHCenter);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  FTimer = new QTimer(this);
  FTimer->setInterval(1000);
  connect(FTimer, &QTimer::timeout, this, &TPowerOffCountdown::Tick);
  ShowLeft();
  FTimer->start();
}

void TPowerOffCountdown::Tick() {
  if (--FLeft > 0) {
    ShowLeft();
    return;
  }
  FTimer->stop();
  emit Expired();
  accept();
}

void TPowerOffCountdown::ShowLeft() {
  FText->setText(QStringLiteral("转换已全部结束，计算机将在 %1 秒后关闭。").arg(FLeft));
}
