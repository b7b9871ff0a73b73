#include "media/previewer.h"

#include "platform/main_thread.h"

#include <cinttypes>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

std::mutex GFactoryLock; // guards GFactory
TPreviewWindowFactory GFactory;

TPreviewWindowFactory Factory() {
  std::lock_guard<std::mutex> g(GFactoryLock);
  return GFactory;
}

} // namespace

void SetPreviewWindowFactory(TPreviewWindowFactory AFactory) {
  std::lock_guard<std::mutex> g(GFactoryLock);
  GFactory = std::move(AFactory);
}

std::string PreviewCaption(int64_t APTS) {
  if (APTS == AV_NOPTS_VALUE)
    return "N/A";
  const int64_t ms = APTS / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d.%.3d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
  return text;
}

TPreviewer::~TPreviewer() {
  if (!FForm)
    return;
  // The window belongs to the main thread; a worker ending its session waits
  // there until it is gone.
  std::unique_ptr<TPreviewWindow> form = std::move(FForm);
  RunOnMainThread([&form] { form.reset(); });
}

bool TPreviewer::PaintFrame(TBitmap *ABitmap, int32_t AFrameNumber, int64_t APTS) {
  if (FCloseFlag->load())
    FClosed = true;
  if (FClosed)
    return false;
  FBitmap = ABitmap;
  FFrameNumber = AFrameNumber;
  FPTS = APTS;
  RunOnMainThread([this] { PaintStep(); });
  FBitmap = nullptr;
  if (FCloseFlag->load())
    FClosed = true;
  return !FClosed;
}

void TPreviewer::PaintStep() {
  if (FClosed || FCloseFlag->load() || !FBitmap || FBitmap->Empty())
    return;
  if (!FForm) {
    TPreviewWindowFactory factory = Factory();
    if (!factory)
      return;
    std::shared_ptr<std::atomic<bool>> flag = FCloseFlag;
    FForm = factory(FBitmap->Width(), FBitmap->Height(), [flag] { flag->store(true); });
    if (!FForm)
      return;
  }
  FForm->Paint(*FBitmap, PreviewCaption(FPTS));
}
