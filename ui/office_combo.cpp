#include "ui/office_combo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStylePainter>

namespace {

constexpr int EntryHeight = 40;
constexpr int IconSize = 32;

// Title on the upper line in bold, description below in a smaller, paler
// font; both elided to the width they get.
void DrawEntryText(QPainter &APainter, const QRect &ARect, const QFont &ABase, const QString &ATitle,
                   const QString &ADescription, const QColor &ATitleColor, const QColor &ADescriptionColor) {
  QFont title = ABase;
  title.setBold(true);
  QFont description = ABase;
  description.setPixelSize(std::max(9, (ABase.pixelSize() > 0 ? ABase.pixelSize() : 12) - 1));
  const QFontMetrics titleMetrics(title), descriptionMetrics(description);
  const int total = titleMetrics.height() + (ADescription.isEmpty() ? 0 : descriptionMetrics.height());
  int y = ARect.top() + (ARect.height() - total) / 2;
  APainter.setFont(title);
  APainter.setPen(ATitleColor);
  APainter.drawText(QRect(ARect.left(), y, ARect.width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                    titleMetrics.elidedText(ATitle, Qt::ElideRight, ARect.width()));
  y += titleMetrics.height();
  if (!ADescription.isEmpty()) {
    APainter.setFont(description);
    APainter.setPen(ADescriptionColor);
    APainter.drawText(QRect(ARect.left(), y, ARect.width(), descriptionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      descriptionMetrics.elidedText(ADescription, Qt::ElideRight, ARect.width()));
  }
}

QColor Paler(const QColor &AText, const QColor &ABackground) {
  return QColor((AText.red() * 3 + ABackground.red() * 2) / 5, (AText.green() * 3 + ABackground.green() * 2) / 5,
                (AText.blue() * 3 + ABackground.blue() * 2) / 5);
}

} // namespace

void TOfficeItemDelegate::paint(QPainter *APainter, const QStyleOptionViewItem &AOption,
                                const QModelIndex &AIndex) const {
  QStyleOptionViewItem option = AOption;
  initStyleOption(&option, AIndex);
  const QString title = option.text;
  const QIcon icon = option.icon;
  // The style draws the background and selection; the entry draws the rest.
  option.text.clear();
  option.icon = QIcon();
  const QWidget *widget = option.widget;
  QStyle *style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &option, APainter, widget);

  APainter->save();
  APainter->setRenderHint(QPainter::Antialiasing);
  const QRect r = option.rect.adjusted(4, 0, -4, 0);
  const QRect iconRect(r.left(), r.top() + (r.height() - IconSize) / 2, IconSize, IconSize);
  icon.paint(APainter, iconRect);
  const bool selected = option.state & QStyle::State_Selected;
  const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  const QColor back = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
  DrawEntryText(*APainter, r.adjusted(IconSize + 8, 0, 0, 0), option.font, title,
                AIndex.data(DescriptionRole).toString(), text, Paler(text, back));
  APainter->setPen(QPen(Paler(option.palette.color(QPalette::Mid), back), 1, Qt::DotLine));
  APainter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
  APainter->restore();
}

QSize TOfficeItemDelegate::sizeHint(const QStyleOptionViewItem &AOption, const QModelIndex &AIndex) const {
  QSize size = QStyledItemDelegate::sizeHint(AOption, AIndex);
  size.setHeight(EntryHeight);
  return size;
}

TOfficeComboBox::TOfficeComboBox(QWidget *AParent) : QComboBox(AParent) {
  setItemDelegate(new TOfficeItemDelegate(this));
  setIconSize(QSize(IconSize, IconSize));
  setMaxVisibleItems(10);
}

void TOfficeComboBox::AddEntry(const QString &ATitle, const QString &ADescription, const QIcon &AIcon) {
  addItem(AIcon, ATitle);
  setItemData(count() - 1, ADescription, DescriptionRole);
  setItemData(count() - 1, ATitle + '\n' + ADescription, Qt::ToolTipRole);
}

QString TOfficeComboBox::Description(int AIndex) const { return itemData(AIndex, DescriptionRole).toString(); }

void TOfficeComboBox::paintEvent(QPaintEvent *) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const int index = currentIndex();
  if (index < 0)
    return;
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  const int icon = std::min(IconSize, field.height() - 2);
  const QRect iconRect(field.left() + 2, field.top() + (field.height() - icon) / 2, icon, icon);
  itemIcon(index).paint(&painter, iconRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
  const QColor text = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
  DrawEntryText(painter, field.adjusted(icon + 8, 0, -2, 0), font(), itemText(index), Description(index), text,
                Paler(text, palette().color(QPalette::Button)));
}
