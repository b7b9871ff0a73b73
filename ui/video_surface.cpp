#include "ui/video_surface.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

TVideoSurface::TVideoSurface(QWidget *AParent) : QWidget(AParent) {
  setAttribute(Qt::WA_NativeWindow);
  setAttribute(Qt::WA_DontCreateNativeAncestors);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  // Black under every skin too.
  setStyleSheet(QStringLiteral("background: black;"));
  setAutoFillBackground(true);
}

uintptr_t TVideoSurface::ScreenHandle() {
  if (QGuiApplication::platformName() != QStringLiteral("xcb"))
    return 0;
  return static_cast<uintptr_t>(winId());
}

void TVideoSurface::SetHosting(bool AOn) {
  if (AOn == FHosting)
    return;
  FHosting = AOn;
  // Painting on screen keeps the panel out of the window's back buffer,
  // whose flushes would otherwise cover the player's picture.
  setAttribute(Qt::WA_PaintOnScreen, AOn);
  setAttribute(Qt::WA_NoSystemBackground, AOn);
  setAttribute(Qt::WA_OpaquePaintEvent, AOn);
  setAutoFillBackground(!AOn);
  if (!AOn)
    repaint();
}

QPaintEngine *TVideoSurface::paintEngine() const { return FHosting ? nullptr : QWidget::paintEngine(); }

void TVideoSurface::paintEvent(QPaintEvent *AEvent) {
  if (!FHosting) {
    QWidget::paintEvent(AEvent);
    return;
  }
  // A picture of the window (grab, render) cannot read what the player
  // drew: the panel shows black there.
  if (sharedPainter() || redirected(nullptr)) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    return;
  }
  if (OnExposed)
    OnExposed();
}
