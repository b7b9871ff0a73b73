// The drop-down lists of the catalogue: each entry shows an icon, a bold
// title and a description, in the list and in the closed box.
#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

// The item role that holds an entry's description.
constexpr int DescriptionRole = Qt::UserRole + 1;

class TOfficeItemDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *APainter, const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
  QSize sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const override;
};

class TOfficeComboBox : public QComboBox {
  Q_OBJECT
public:
  explicit TOfficeComboBox(QWidget *AParent = nullptr);

  // Appends an entry: title (the item text), description, icon.
  void AddEntry(const QString &ATitle, const QString &ADescription, const QIcon &AIcon);
  QString Description(int AIndex) const;

protected:
  void paintEvent(QPaintEvent *AEvent) override;
};
