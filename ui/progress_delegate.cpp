#include "ui/progress_delegate.h"

#include <QApplication>
#include <QPainter>

void TProgressDelegate::paint(QPainter *APainter, const QStyleOptionViewItem &AOption,
                              const QModelIndex &AIndex) const {
  QString text = AIndex.data().toString();
  bool number = false;
  const int percent = text.endsWith('%') ? text.chopped(1).toInt(&number) : 0;
  if (!number) {
    QStyledItemDelegate::paint(APainter, AOption, AIndex);
    return;
  }
  // The selection stays visible behind the bar.
  QStyleOptionViewItem background = AOption;
  initStyleOption(&background, AIndex);
  background.text.clear();
  QStyle *style = AOption.widget ? AOption.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &background, APainter, AOption.widget);

  QStyleOptionProgressBar bar;
  bar.rect = AOption.rect.adjusted(1, 2, -1, -2);
  bar.minimum = 0;
  bar.maximum = 100;
  bar.progress = qBound(0, percent, 100); // the text may pass 100
  bar.text = text;
  bar.textVisible = true;
  bar.textAlignment = Qt::AlignCenter;
  bar.state = AOption.state | QStyle::State_Horizontal;
  bar.palette = AOption.palette;
  bar.fontMetrics = AOption.fontMetrics;
  style->drawControl(QStyle::CE_ProgressBar, &bar, APainter, AOption.widget);
}
