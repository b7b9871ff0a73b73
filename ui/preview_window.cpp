#include "ui/preview_window.h"

#include "media/previewer.h"
#include "ui/bitmap_image.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr Qt::WindowFlags PreviewFlags = Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

class TPreviewForm final : public QWidget, public TPreviewWindow {
public:
  TPreviewForm(int AWidth, int AHeight, std::function<void()> AOnClose)
      : QWidget(nullptr, PreviewFlags), FOnClose(std::move(AOnClose)) {
    setObjectName(QStringLiteral("Previewer"));
    // Closing only hides it (its previewer frees it), and a conversion's
    // picture window must not end the program when it is the last one open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(AWidth, AHeight);
    // The picture, not the frame the window manager adds, is centred: the
    // frame is not known before the window is shown.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
      QRect area(QPoint(0, 0), size());
      area.moveCenter(screen->geometry().center());
      setGeometry(area);
    }
  }

  void Paint(const TBitmap &ABitmap, const std::string &ACaption) override {
    // A copy: the bitmap is the engine's again as soon as this returns.
    FPicture = BitmapToImage(ABitmap);
    setWindowTitle(QString::fromStdString(ACaption));
    if (!isVisible())
      show();
    update();
  }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter p(this);
    if (FPicture.size() != size())
      p.fillRect(rect(), Qt::black);
    p.drawImage(0, 0, FPicture);
  }

  void closeEvent(QCloseEvent *AEvent) override {
    if (FOnClose)
      FOnClose();
    AEvent->accept();
  }

  void mousePressEvent(QMouseEvent *AEvent) override {
    if (AEvent->button() != Qt::LeftButton) {
      QWidget::mousePressEvent(AEvent);
      return;
    }
    AEvent->accept();
    // The window manager moves the window when it can; without one (or on
    // platforms that do not offer it) the window follows the mouse itself.
    QWindow *window = windowHandle();
    FDragging = !(window && window->startSystemMove());
    FDragStart = AEvent->globalPosition().toPoint();
    FDragOrigin = pos();
  }

  void mouseMoveEvent(QMouseEvent *AEvent) override {
    if (!FDragging || !(AEvent->buttons() & Qt::LeftButton)) {
      QWidget::mouseMoveEvent(AEvent);
      return;
    }
    AEvent->accept();
    move(FDragOrigin + AEvent->globalPosition().toPoint() - FDragStart);
  }

  void mouseReleaseEvent(QMouseEvent *AEvent) override {
    if (AEvent->button() == Qt::LeftButton)
      FDragging = false;
    QWidget::mouseReleaseEvent(AEvent);
  }

private:
  std::function<void()> FOnClose;
  QImage FPicture;
  // The fallback drag: where the press was (screen) and where the window was then.
  bool FDragging = false;
  QPoint FDragStart;
  QPoint FDragOrigin;
};

} // namespace

void InstallQtPreviewWindows() {
  SetPreviewWindowFactory([](int AWidth, int AHeight, std::function<void()> AOnClose) {
    return std::unique_ptr<TPreviewWindow>(std::make_unique<TPreviewForm>(AWidth, AHeight, std::move(AOnClose)));
  });
}
