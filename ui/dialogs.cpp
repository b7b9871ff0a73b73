#include "ui/dialogs.h"

#include "ui/open_filters.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

class TQtDialogs final : public IDialogs {
public:
  void ShowMessage(QWidget *AParent, const QString &ATitle, const QString &AText) override {
    QMessageBox::warning(AParent, ATitle, AText, QMessageBox::Ok);
  }

  QStringList OpenFiles(QWidget *AParent, const TOpenDialogSpec &ASpec) override {
    QFileDialog dialog(AParent, ASpec.Title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(ASpec.MultiSelect ? QFileDialog::ExistingFiles
                                         : (ASpec.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
    // The long pattern lists would make the filter box unreadable; the
    // descriptions say enough.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = QtNameFilters(ASpec.Filter);
    dialog.setNameFilters(filters);
    if (ASpec.FilterIndex >= 1 && ASpec.FilterIndex <= filters.size())
      dialog.selectNameFilter(filters[ASpec.FilterIndex - 1]);
    if (dialog.exec() != QDialog::Accepted)
      return {};
    return dialog.selectedFiles();
  }

  QString ChooseFolder(QWidget *AParent, const QString &ATitle, const QString &AStartFolder) override {
    return QFileDialog::getExistingDirectory(AParent, ATitle, AStartFolder);
  }

  int Exec(QDialog &ADialog) override { return ADialog.exec(); }

  void OpenExternal(const QUrl &AUrl) override { QDesktopServices::openUrl(AUrl); }
};

TQtDialogs QtDialogs;
IDialogs *Installed = nullptr;

} // namespace

IDialogs &Dialogs() { return Installed ? *Installed : QtDialogs; }

void SetDialogs(IDialogs *ADialogs) { Installed = ADialogs; }

QString OpenDialogFilter() { return QString::fromStdString(OpenDialogFilterText()); }

QStringList QtNameFilters(const QString &AFilter) {
  QStringList filters;
  const QStringList parts = AFilter.split('|');
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    // A description that already names its patterns in parentheses would
    // show them twice; Qt reads the patterns from the last parentheses.
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*[(（][^()（）]*[)）]$"));
    description = description.remove(trailingPatterns).trimmed();
    QStringList patterns;
    for (QString pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      pattern = pattern.trimmed();
      if (pattern == QLatin1String("*.*"))
        pattern = QStringLiteral("*");
      if (!pattern.isEmpty())
        patterns << pattern;
    }
    filters << description + QStringLiteral(" (") + patterns.join(' ') + ')';
  }
  return filters;
}
