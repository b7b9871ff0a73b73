// Column 4 of the file list ("转换进度") drawn as a progress bar with its
// text on it; a cell whose text is no percentage ("N/A", empty) is drawn
// as plain text.
#pragma once

#include <QStyledItemDelegate>

class TProgressDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
};
