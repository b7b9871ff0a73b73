#include "ui/about_window.h"

#include "ui/dialogs.h"
#include "ui/pictures.h"
#include "ui/product.h"

#include <QLabel>
#include <QPushButton>

namespace {

QLabel *Label(QWidget *AParent, const QString &AName, const QString &AText, const QRect &AGeometry) {
  auto *label = new QLabel(AText, AParent);
  label->setObjectName(AName);
  label->setGeometry(AGeometry);
  return label;
}

} // namespace

TForm2::TForm2(QWidget *AParent) : QDialog(AParent) {
  setObjectName(QStringLiteral("TForm2"));
  setWindowTitle(QStringLiteral("关于软件"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(400, 236);

  auto *logo = new QLabel(this);
  logo->setObjectName(QStringLiteral("imgLogo"));
  logo->setGeometry(20, 16, 240, 56);
  logo->setPixmap(LogoPicture(QSize(240, 56)));

  QFont big = font();
  big.setPixelSize(16);
  big.setBold(true);
  Label(this, QStringLiteral("lblProduct"), ProductTitle, QRect(20, 84, 360, 26))->setFont(big);
  Label(this, QStringLiteral("lblVersion"), ProductVersion, QRect(20, 112, 360, 20));

  Label(this, QStringLiteral("lblSiteCaption"), QStringLiteral("官方网站："), QRect(20, 142, 84, 20));
  QLabel *site = Label(this, QStringLiteral("lblSite"), ProductSite, QRect(104, 142, 276, 20));
  site->setCursor(Qt::PointingHandCursor);
  site->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  Label(this, QStringLiteral("lblMailCaption"), QStringLiteral("支持E-Mail："), QRect(20, 166, 84, 20));
  QLabel *mail = Label(this, QStringLiteral("lblMail"), ProductMail, QRect(104, 166, 276, 20));
  mail->setCursor(Qt::PointingHandCursor);
  // The addresses open through the shell like the main window's link.
  connect(site, &QLabel::linkActivated, this, [] { Dialogs().OpenExternal(QUrl(ProductSite)); });
  site->setText(QStringLiteral("<a href=\"site\" style=\"text-decoration:none\">%1</a>").arg(ProductSite));
  mail->setText(QStringLiteral("<a href=\"mail\" style=\"text-decoration:none\">%1</a>").arg(ProductMail));
  connect(mail, &QLabel::linkActivated, this,
          [] { Dialogs().OpenExternal(QUrl(QStringLiteral("mailto:") + ProductMail)); });

  auto *ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setGeometry(300, 196, 80, 26);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
