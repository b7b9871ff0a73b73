#include "ui/pictures.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace {

QPixmap Blank(int AWidth, int AHeight) {
  QPixmap pm(AWidth, AHeight);
  pm.fill(Qt::transparent);
  return pm;
}

void Antialias(QPainter &p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
}

QLinearGradient Vertical(const QRectF &ARect, const QColor &ATop, const QColor &ABottom) {
  QLinearGradient g(ARect.topLeft(), ARect.bottomLeft());
  g.setColorAt(0, ATop);
  g.setColorAt(1, ABottom);
  return g;
}

// A strip of film with sprocket holes: the picture of a video file.
void DrawFilm(QPainter &p, const QRectF &r, const QColor &AColor) {
  p.setPen(QPen(AColor.darker(160), 1));
  p.setBrush(Vertical(r, AColor.lighter(130), AColor));
  p.drawRoundedRect(r, r.width() * 0.12, r.width() * 0.12);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 220));
  const double hole = r.width() * 0.12;
  for (int i = 0; i < 4; ++i) {
    const double y = r.top() + r.height() * (0.12 + i * 0.22);
    p.drawRect(QRectF(r.left() + hole * 0.5, y, hole, hole));
    p.drawRect(QRectF(r.right() - hole * 1.5, y, hole, hole));
  }
  p.setBrush(QColor(255, 255, 255, 90));
  p.drawRect(QRectF(r.left() + hole * 2.2, r.top() + r.height() * 0.14, r.width() - hole * 4.4, r.height() * 0.72));
}

// A quaver: the picture of an audio file.
void DrawNote(QPainter &p, const QRectF &r, const QColor &AColor) {
  p.setPen(Qt::NoPen);
  p.setBrush(AColor);
  const double w = r.width();
  p.drawEllipse(QRectF(r.left() + w * 0.12, r.top() + r.height() * 0.62, w * 0.38, r.height() * 0.3));
  p.drawRect(QRectF(r.left() + w * 0.42, r.top() + r.height() * 0.1, w * 0.08, r.height() * 0.68));
  QPainterPath flag;
  flag.moveTo(r.left() + w * 0.5, r.top() + r.height() * 0.1);
  flag.cubicTo(r.left() + w * 0.7, r.top() + r.height() * 0.2, r.left() + w * 0.95, r.top() + r.height() * 0.3,
               r.left() + w * 0.78, r.top() + r.height() * 0.55);
  flag.cubicTo(r.left() + w * 0.82, r.top() + r.height() * 0.35, r.left() + w * 0.65, r.top() + r.height() * 0.3,
               r.left() + w * 0.5, r.top() + r.height() * 0.3);
  flag.closeSubpath();
  p.drawPath(flag);
}

// A round badge with a sign in it, in the lower right corner of a picture.
void DrawBadge(QPainter &p, const QRectF &r, const QColor &AColor, QChar ASign) {
  QRadialGradient g(r.center() - QPointF(r.width() * 0.2, r.height() * 0.2), r.width());
  g.setColorAt(0, AColor.lighter(150));
  g.setColorAt(1, AColor);
  p.setPen(QPen(AColor.darker(150), 1));
  p.setBrush(g);
  p.drawEllipse(r);
  p.setPen(QPen(Qt::white, r.width() * 0.16, Qt::SolidLine, Qt::RoundCap));
  const QPointF c = r.center();
  const double a = r.width() * 0.27;
  if (ASign == '+' || ASign == '-')
    p.drawLine(QPointF(c.x() - a, c.y()), QPointF(c.x() + a, c.y()));
  if (ASign == '+')
    p.drawLine(QPointF(c.x(), c.y() - a), QPointF(c.x(), c.y() + a));
  if (ASign == 'x') {
    p.drawLine(QPointF(c.x() - a * 0.8, c.y() - a * 0.8), QPointF(c.x() + a * 0.8, c.y() + a * 0.8));
    p.drawLine(QPointF(c.x() - a * 0.8, c.y() + a * 0.8), QPointF(c.x() + a * 0.8, c.y() - a * 0.8));
  }
}

void DrawPlayTriangle(QPainter &p, const QRectF &r, const QColor &AColor) {
  QPainterPath tri;
  tri.moveTo(r.left() + r.width() * 0.22, r.top() + r.height() * 0.12);
  tri.lineTo(r.right() - r.width() * 0.1, r.center().y());
  tri.lineTo(r.left() + r.width() * 0.22, r.bottom() - r.height() * 0.12);
  tri.closeSubpath();
  p.setPen(QPen(AColor.darker(150), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Vertical(r, AColor.lighter(140), AColor));
  p.drawPath(tri);
}

void DrawPauseBars(QPainter &p, const QRectF &r, const QColor &AColor) {
  p.setPen(QPen(AColor.darker(150), 1));
  p.setBrush(Vertical(r, AColor.lighter(140), AColor));
  const double w = r.width() * 0.24;
  p.drawRoundedRect(QRectF(r.left() + r.width() * 0.18, r.top() + r.height() * 0.14, w, r.height() * 0.72), 2, 2);
  p.drawRoundedRect(QRectF(r.right() - r.width() * 0.18 - w, r.top() + r.height() * 0.14, w, r.height() * 0.72), 2,
                    2);
}

void DrawStopSquare(QPainter &p, const QRectF &r, const QColor &AColor) {
  p.setPen(QPen(AColor.darker(150), 1));
  p.setBrush(Vertical(r, AColor.lighter(140), AColor));
  p.drawRoundedRect(r.adjusted(r.width() * 0.18, r.height() * 0.18, -r.width() * 0.18, -r.height() * 0.18), 3, 3);
}

void DrawGear(QPainter &p, const QRectF &r, const QColor &AColor) {
  const QPointF c = r.center();
  const double outer = r.width() * 0.46, inner = r.width() * 0.34;
  QPainterPath gear;
  const int teeth = 8;
  for (int i = 0; i < teeth * 2; ++i) {
    const double a0 = (i * M_PI) / teeth - M_PI / (teeth * 2.5);
    const double a1 = (i * M_PI) / teeth + M_PI / (teeth * 2.5);
    const double rad = i % 2 == 0 ? outer : inner;
    const QPointF p0(c.x() + rad * std::cos(a0), c.y() + rad * std::sin(a0));
    const QPointF p1(c.x() + rad * std::cos(a1), c.y() + rad * std::sin(a1));
    if (i == 0)
      gear.moveTo(p0);
    else
      gear.lineTo(p0);
    gear.lineTo(p1);
  }
  gear.closeSubpath();
  gear.addEllipse(c, r.width() * 0.14, r.width() * 0.14);
  gear.setFillRule(Qt::OddEvenFill);
  p.setPen(QPen(AColor.darker(160), 1));
  p.setBrush(Vertical(r, AColor.lighter(150), AColor));
  p.drawPath(gear);
}

void DrawPalette(QPainter &p, const QRectF &r) {
  QPainterPath board;
  board.addEllipse(r.adjusted(1, 3, -1, -3));
  board.addEllipse(QRectF(r.left() + r.width() * 0.58, r.top() + r.height() * 0.58, r.width() * 0.16,
                          r.height() * 0.14));
  board.setFillRule(Qt::OddEvenFill);
  p.setPen(QPen(QColor(140, 100, 50), 1));
  p.setBrush(Vertical(r, QColor(250, 220, 160), QColor(215, 170, 100)));
  p.drawPath(board);
  const QColor dots[] = {QColor(220, 40, 40), QColor(40, 150, 230), QColor(60, 180, 60), QColor(250, 200, 30)};
  const QPointF at[] = {{0.3, 0.35}, {0.5, 0.27}, {0.7, 0.36}, {0.3, 0.6}};
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 4; ++i) {
    p.setBrush(dots[i]);
    p.drawEllipse(QPointF(r.left() + r.width() * at[i].x(), r.top() + r.height() * at[i].y()), r.width() * 0.09,
                  r.width() * 0.09);
  }
}

void DrawArrow(QPainter &p, const QRectF &r, bool AUp, const QColor &AColor) {
  QPainterPath arrow;
  const double cx = r.center().x();
  const double top = r.top() + r.height() * 0.1, bottom = r.bottom() - r.height() * 0.1;
  const double head = r.height() * 0.45, half = r.width() * 0.4, shaft = r.width() * 0.15;
  if (AUp) {
    arrow.moveTo(cx, top);
    arrow.lineTo(cx + half, top + head);
    arrow.lineTo(cx + shaft, top + head);
    arrow.lineTo(cx + shaft, bottom);
    arrow.lineTo(cx - shaft, bottom);
    arrow.lineTo(cx - shaft, top + head);
    arrow.lineTo(cx - half, top + head);
  } else {
    arrow.moveTo(cx, bottom);
    arrow.lineTo(cx + half, bottom - head);
    arrow.lineTo(cx + shaft, bottom - head);
    arrow.lineTo(cx + shaft, top);
    arrow.lineTo(cx - shaft, top);
    arrow.lineTo(cx - shaft, bottom - head);
    arrow.lineTo(cx - half, bottom - head);
  }
  arrow.closeSubpath();
  p.setPen(QPen(AColor.darker(150), 1));
  p.setBrush(Vertical(r, AColor.lighter(140), AColor));
  p.drawPath(arrow);
}

void DrawPencil(QPainter &p, const QRectF &r) {
  p.save();
  p.translate(r.center());
  p.rotate(-45);
  const double len = r.width() * 1.05, w = r.width() * 0.26;
  p.setPen(QPen(QColor(120, 80, 20), 1));
  p.setBrush(QColor(245, 190, 60));
  p.drawRect(QRectF(-len / 2 + w * 0.9, -w / 2, len - w * 1.6, w));
  p.setBrush(QColor(230, 120, 140));
  p.drawRect(QRectF(len / 2 - w * 0.7, -w / 2, w * 0.6, w));
  QPainterPath tip;
  tip.moveTo(-len / 2 + w * 0.9, -w / 2);
  tip.lineTo(-len / 2, 0);
  tip.lineTo(-len / 2 + w * 0.9, w / 2);
  tip.closeSubpath();
  p.setBrush(QColor(240, 220, 180));
  p.drawPath(tip);
  p.restore();
}

void DrawSpeaker(QPainter &p, const QRectF &r, bool AMuted) {
  QPainterPath cone;
  cone.moveTo(r.left() + r.width() * 0.1, r.top() + r.height() * 0.35);
  cone.lineTo(r.left() + r.width() * 0.3, r.top() + r.height() * 0.35);
  cone.lineTo(r.left() + r.width() * 0.55, r.top() + r.height() * 0.12);
  cone.lineTo(r.left() + r.width() * 0.55, r.bottom() - r.height() * 0.12);
  cone.lineTo(r.left() + r.width() * 0.3, r.bottom() - r.height() * 0.35);
  cone.lineTo(r.left() + r.width() * 0.1, r.bottom() - r.height() * 0.35);
  cone.closeSubpath();
  p.setPen(QPen(QColor(40, 60, 90), 1));
  p.setBrush(QColor(80, 110, 150));
  p.drawPath(cone);
  p.setBrush(Qt::NoBrush);
  if (AMuted) {
    p.setPen(QPen(QColor(210, 40, 40), r.width() * 0.1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + r.width() * 0.66, r.top() + r.height() * 0.34),
               QPointF(r.right() - r.width() * 0.06, r.bottom() - r.height() * 0.34));
    p.drawLine(QPointF(r.left() + r.width() * 0.66, r.bottom() - r.height() * 0.34),
               QPointF(r.right() - r.width() * 0.06, r.top() + r.height() * 0.34));
  } else {
    p.setPen(QPen(QColor(80, 110, 150), r.width() * 0.08, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(r.left() + r.width() * 0.35, r.top() + r.height() * 0.3, r.width() * 0.4, r.height() * 0.4),
              -50 * 16, 100 * 16);
    p.drawArc(QRectF(r.left() + r.width() * 0.25, r.top() + r.height() * 0.15, r.width() * 0.65, r.height() * 0.7),
              -50 * 16, 100 * 16);
  }
}

void DrawCamera(QPainter &p, const QRectF &r) {
  p.setPen(QPen(QColor(40, 40, 50), 1));
  p.setBrush(Vertical(r, QColor(120, 125, 140), QColor(60, 62, 75)));
  p.drawRoundedRect(QRectF(r.left() + 1, r.top() + r.height() * 0.28, r.width() - 2, r.height() * 0.62), 2, 2);
  p.drawRect(QRectF(r.left() + r.width() * 0.32, r.top() + r.height() * 0.14, r.width() * 0.36, r.height() * 0.16));
  p.setBrush(QColor(150, 200, 250));
  p.drawEllipse(QPointF(r.center().x(), r.top() + r.height() * 0.6), r.width() * 0.2, r.width() * 0.2);
}

void DrawFullScreen(QPainter &p, const QRectF &r) {
  p.setPen(QPen(QColor(50, 70, 100), r.width() * 0.1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(r.width() * 0.15, r.height() * 0.15, -r.width() * 0.15, -r.height() * 0.15));
}

// The text label of a category icon: what tells the categories apart at a glance.
struct TCategoryLook {
  int ImageIndex;
  const char *Label;
  QRgb Color;
  bool Audio;
};

constexpr TCategoryLook CategoryLooks[] = {
    {1, "AUDIO", 0x2e7dd7, true},  {52, "MP3", 0xe8731a, true},  {50, "WAV", 0x1f9a8a, true},
    {49, "WMA", 0x6a4fc8, true},   {40, "VIDEO", 0x3c6e9e, false}, {13, "AVI", 0x2f8f3a, false},
    {14, "MKV", 0x8f3a7a, false},  {2, "HD", 0xc23b30, false},    {3, "iPod", 0x707a88, false},
    {4, "iPhone", 0x303840, false}, {15, "iPad", 0x505c68, false}, {11, "FLV", 0xd04a1a, false},
    {10, "MP4", 0x1e6fb8, false},  {18, "MPG", 0x8a6a20, false},  {41, "手机", 0x2a8a5a, false},
    {42, "平板", 0x5a5aa8, false}, {43, "TV", 0x2a2a3a, false},
};

} // namespace

QPixmap ToolbarPicture(TToolbarPicture APicture) {
  QPixmap pm = Blank(32, 32);
  QPainter p(&pm);
  Antialias(p);
  const QRectF full(1, 1, 30, 30);
  const QRectF body(2, 3, 22, 24);
  const QRectF badge(15, 15, 16, 16);
  switch (APicture) {
  case TToolbarPicture::Add:
    DrawFilm(p, body, QColor(60, 120, 200));
    DrawBadge(p, badge, QColor(40, 160, 60), '+');
    break;
  case TToolbarPicture::Remove:
    DrawFilm(p, body, QColor(60, 120, 200));
    DrawBadge(p, badge, QColor(220, 120, 20), '-');
    break;
  case TToolbarPicture::Clear:
    DrawFilm(p, body, QColor(60, 120, 200));
    DrawBadge(p, badge, QColor(210, 40, 40), 'x');
    break;
  case TToolbarPicture::Start:
    DrawPlayTriangle(p, full, QColor(40, 170, 60));
    break;
  case TToolbarPicture::Stop:
    DrawStopSquare(p, full, QColor(210, 50, 40));
    break;
  case TToolbarPicture::Pause:
    DrawPauseBars(p, full, QColor(230, 160, 20));
    break;
  case TToolbarPicture::Resume:
    DrawPlayTriangle(p, QRectF(5, 1, 26, 30), QColor(40, 140, 210));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 140, 210));
    p.drawRoundedRect(QRectF(2, 6, 5, 20), 1, 1);
    break;
  case TToolbarPicture::Options:
    DrawGear(p, full, QColor(110, 120, 140));
    break;
  case TToolbarPicture::Skin:
    DrawPalette(p, full);
    break;
  }
  return pm;
}

QPixmap GreyedPicture(const QPixmap &APicture) {
  QImage image = APicture.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = line[x];
      // Lightened grey, half as opaque: clearly "not now", shape still readable.
      const int grey = 110 + qGray(c) * 100 / 255;
      line[x] = qRgba(grey, grey, grey, qAlpha(c) / 2);
    }
  }
  return QPixmap::fromImage(image);
}

QIcon ToolbarIcon(TToolbarPicture APicture) {
  const QPixmap picture = ToolbarPicture(APicture);
  QIcon icon;
  icon.addPixmap(picture, QIcon::Normal);
  icon.addPixmap(picture, QIcon::Active);
  icon.addPixmap(GreyedPicture(picture), QIcon::Disabled);
  return icon;
}

QIcon ButtonIcon(TButtonPicture APicture) {
  QPixmap pm = Blank(16, 16);
  QPainter p(&pm);
  Antialias(p);
  const QRectF r(1, 1, 14, 14);
  switch (APicture) {
  case TButtonPicture::MoveUp:
    DrawArrow(p, r, true, QColor(40, 130, 210));
    break;
  case TButtonPicture::MoveDown:
    DrawArrow(p, r, false, QColor(40, 130, 210));
    break;
  case TButtonPicture::Rename:
    DrawPencil(p, r);
    break;
  case TButtonPicture::Play:
    DrawPlayTriangle(p, r, QColor(40, 170, 60));
    break;
  case TButtonPicture::Pause:
    DrawPauseBars(p, r, QColor(230, 160, 20));
    break;
  case TButtonPicture::Stop:
    DrawStopSquare(p, r, QColor(210, 50, 40));
    break;
  case TButtonPicture::Mute:
    DrawSpeaker(p, r, false);
    break;
  case TButtonPicture::Unmute:
    DrawSpeaker(p, r, true);
    break;
  case TButtonPicture::Snapshot:
    DrawCamera(p, r);
    break;
  case TButtonPicture::Settings:
    DrawGear(p, r, QColor(110, 120, 140));
    break;
  case TButtonPicture::FullScreen:
    DrawFullScreen(p, r);
    break;
  }
  p.end();
  QIcon icon;
  icon.addPixmap(pm, QIcon::Normal);
  icon.addPixmap(GreyedPicture(pm), QIcon::Disabled);
  return icon;
}

QIcon CategoryIcon(int AImageIndex) {
  TCategoryLook look{AImageIndex, "?", 0x808080, false};
  for (const TCategoryLook &l : CategoryLooks)
    if (l.ImageIndex == AImageIndex)
      look = l;
  QPixmap pm = Blank(32, 32);
  QPainter p(&pm);
  Antialias(p);
  const QColor color = QColor::fromRgb(look.Color);
  const QRectF tile(1, 1, 30, 30);
  p.setPen(QPen(color.darker(150), 1));
  p.setBrush(Vertical(tile, color.lighter(145), color));
  p.drawRoundedRect(tile, 6, 6);
  if (look.Audio)
    DrawNote(p, QRectF(3, 2, 16, 16), QColor(255, 255, 255, 230));
  else
    DrawFilm(p, QRectF(4, 3, 13, 13), QColor(255, 255, 255, 200));
  QFont font;
  font.setBold(true);
  const QString label = QString::fromUtf8(look.Label);
  font.setPixelSize(label.size() > 4 ? 7 : label.size() > 3 ? 8 : 10);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRectF(1, 17, 30, 13), Qt::AlignCenter, label);
  return QIcon(pm);
}

QIcon FormatIcon(int AImageIndex) {
  QPixmap pm = Blank(32, 32);
  QPainter p(&pm);
  Antialias(p);
  // A sheet with a folded corner; the two alternate in colour down the list.
  const QColor color = AImageIndex % 2 == 0 ? QColor(40, 120, 210) : QColor(30, 160, 120);
  QPainterPath sheet;
  sheet.moveTo(6, 2);
  sheet.lineTo(20, 2);
  sheet.lineTo(27, 9);
  sheet.lineTo(27, 30);
  sheet.lineTo(6, 30);
  sheet.closeSubpath();
  p.setPen(QPen(color.darker(140), 1));
  p.setBrush(Vertical(QRectF(6, 2, 21, 28), Qt::white, color.lighter(170)));
  p.drawPath(sheet);
  p.setBrush(color.lighter(130));
  QPainterPath fold;
  fold.moveTo(20, 2);
  fold.lineTo(20, 9);
  fold.lineTo(27, 9);
  fold.closeSubpath();
  p.drawPath(fold);
  DrawPlayTriangle(p, QRectF(10, 12, 13, 14), color);
  return QIcon(pm);
}

QPixmap EmptyListPicture(QSize ASize) {
  QPixmap pm(ASize);
  QPainter p(&pm);
  Antialias(p);
  const QRectF r(0, 0, ASize.width(), ASize.height());
  p.fillRect(r, Vertical(r, QColor(250, 252, 255), QColor(228, 236, 246)));
  p.setPen(QPen(QColor(170, 190, 215), 2, Qt::DashLine));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(r.adjusted(12, 12, -12, -12), 10, 10);
  const double size = std::min(ASize.width(), ASize.height()) * 0.34;
  const QRectF art(r.center().x() - size, r.center().y() - size * 0.95, size * 1.1, size);
  DrawFilm(p, art, QColor(90, 140, 210));
  DrawNote(p, QRectF(art.right() - size * 0.1, art.top() + size * 0.15, size * 0.8, size * 0.8), QColor(230, 120, 40));
  DrawBadge(p, QRectF(art.right() - size * 0.25, art.bottom() - size * 0.3, size * 0.42, size * 0.42),
            QColor(40, 160, 60), '+');
  QFont font;
  font.setPixelSize(15);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(60, 80, 110));
  p.drawText(QRectF(0, art.bottom() + 14, r.width(), 24), Qt::AlignCenter,
             QStringLiteral("点击“添加”按钮，把视频或音频文件放进列表"));
  font.setPixelSize(12);
  font.setBold(false);
  p.setFont(font);
  p.setPen(QColor(110, 125, 150));
  p.drawText(QRectF(0, art.bottom() + 40, r.width(), 20), Qt::AlignCenter,
             QStringLiteral("可以添加一个文件、多个文件或整个目录"));
  return pm;
}

QPixmap LogoPicture(QSize ASize) {
  QPixmap pm = Blank(ASize.width(), ASize.height());
  QPainter p(&pm);
  Antialias(p);
  const double h = ASize.height();
  // A light plate under the mark and the name keeps both readable on dark skins.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 170));
  p.drawRoundedRect(QRectF(0.5, 0.5, ASize.width() - 1, h - 1), h * 0.25, h * 0.25);
  const QRectF mark(4, h * 0.1, h * 0.8, h * 0.8);
  QRadialGradient g(mark.center() - QPointF(h * 0.15, h * 0.15), h * 0.7);
  g.setColorAt(0, QColor(120, 200, 255));
  g.setColorAt(1, QColor(20, 90, 180));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawEllipse(mark);
  DrawPlayTriangle(p, mark.adjusted(h * 0.2, h * 0.18, -h * 0.12, -h * 0.18), QColor(255, 255, 255));
  QFont font;
  font.setPixelSize(static_cast<int>(h * 0.5));
  font.setBold(true);
  font.setItalic(true);
  p.setFont(font);
  p.setPen(QColor(25, 80, 150));
  p.drawText(QRectF(mark.right() + 6, 0, ASize.width() - mark.right() - 6, h * 0.62), Qt::AlignLeft | Qt::AlignBottom,
             QStringLiteral("Zelvora"));
  font.setPixelSize(static_cast<int>(h * 0.24));
  font.setBold(false);
  font.setItalic(false);
  p.setFont(font);
  p.setPen(QColor(90, 100, 120));
  p.drawText(QRectF(mark.right() + 8, h * 0.62, ASize.width() - mark.right() - 8, h * 0.34),
             Qt::AlignLeft | Qt::AlignTop, QStringLiteral("视频音频格式转换"));
  return pm;
}

QIcon ApplicationIcon() {
  QPixmap pm = Blank(64, 64);
  QPainter p(&pm);
  Antialias(p);
  DrawFilm(p, QRectF(4, 6, 42, 50), QColor(40, 110, 200));
  DrawNote(p, QRectF(30, 18, 32, 32), QColor(235, 120, 30));
  return QIcon(pm);
}
