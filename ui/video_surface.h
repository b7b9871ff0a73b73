// Panel6, the preview's video surface: a black panel with a native window of
// its own that the player draws into.
//
// While the player draws (Hosting on) Qt paints nothing there, so it never
// covers the player's picture; a paint request then goes to OnExposed, which
// asks the player to draw its last picture again. With Hosting off, and in
// pictures of the window taken with grab(), the panel is plain black. Main
// thread only.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

class TVideoSurface : public QWidget {
public:
  explicit TVideoSurface(QWidget *AParent = nullptr);

  // The native window id the player can draw into: the X11 window on the
  // xcb platform, 0 on platforms whose windows SDL cannot take over
  // (offscreen, Wayland), where the player opens a window of its own.
  uintptr_t ScreenHandle();

  bool Hosting() const { return FHosting; }
  // Off repaints the panel black at once, so a picture left behind by the
  // player disappears.
  void SetHosting(bool AOn);

  // Called for every paint request while hosting.
  std::function<void()> OnExposed;

  QPaintEngine *paintEngine() const override;

protected:
  void paintEvent(QPaintEvent *AEvent) override;

private:
  bool FHosting = false;
};
