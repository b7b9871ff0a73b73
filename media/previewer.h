// The conversion previewer: a small always-on-top window that shows the
// pictures a conversion produces, with the picture's time as its caption.
//
// The core cannot open windows, so the window itself comes from a factory that
// the window layer installs at start-up (SetPreviewWindowFactory). Without a
// factory (the command-line program, most tests) painting does nothing and the
// previewer never reports itself closed.
//
// Threads: PaintFrame is called from a conversion worker and waits while the
// main thread paints (RunOnMainThread), so the bitmap it is given stays
// untouched until the paint is done. Windows are made, painted and freed on the
// main thread only; the destructor hands the window over to it as well.
#pragma once

#include "platform/bitmap.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The window behind a previewer (main thread only).
class TPreviewWindow {
public:
  virtual ~TPreviewWindow() = default;
  // Shows the window on the first call; draws ABitmap at (0, 0) and sets the
  // caption.
  virtual void Paint(const TBitmap &ABitmap, const std::string &ACaption) = 0;
};

// Makes a window whose client area is AWidth x AHeight. AOnClose must be
// called on the main thread when the user closes the window.
using TPreviewWindowFactory =
    std::function<std::unique_ptr<TPreviewWindow>(int AWidth, int AHeight, std::function<void()> AOnClose)>;

// Installs (or, with an empty function, removes) the factory; main thread.
void SetPreviewWindowFactory(TPreviewWindowFactory AFactory);

// The caption for a picture time in µs: "hh:mm:ss.mmm", or "N/A" for
// AV_NOPTS_VALUE. 83.5 s gives "00:01:23.500".
std::string PreviewCaption(int64_t APTS);

class TPreviewer {
public:
  TPreviewer() = default;
  TPreviewer(const TPreviewer &) = delete;
  TPreviewer &operator=(const TPreviewer &) = delete;
  ~TPreviewer();

  // Shows ABitmap (the engine's, used only during the call) with its time in
  // the caption. False once the user has closed the window; it never
  // reappears for this previewer.
  bool PaintFrame(TBitmap *ABitmap, int32_t AFrameNumber, int64_t APTS);
  bool Closed() const { return FClosed.load(); }

private:
  void PaintStep(); // main thread

  // Touched on the main thread only, while the worker that set the frame
  // values waits in PaintFrame.
  std::unique_ptr<TPreviewWindow> FForm;
  std::atomic<bool> FClosed{false}; // set by the window's close, read by the worker
  // Shared with the close callback so that a window closing after the
  // previewer is gone does not touch freed memory.
  std::shared_ptr<std::atomic<bool>> FCloseFlag = std::make_shared<std::atomic<bool>>(false);
  TBitmap *FBitmap = nullptr;
  int32_t FFrameNumber = 0;
  int64_t FPTS = 0;
};
