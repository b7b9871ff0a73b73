// Start-up check of the converter: loads the conversion and player libraries
// from "LibAV" beside the executable (or the system) and lists them.
#include "media/ff_logger.h"
#include "media/ffmpeg_loader.h"

#include <cstdio>

int main() {
  TFFmpegLoader &loader = FFLoader();
  loader.SetLibraryPath(DefaultLibraryPath());
  std::printf("Zelvora视频转MP3格式转换器\nLibrary folder: %s\n", loader.LibraryPath().c_str());
  const bool ok = loader.Load(LIBS_PLAYER);
  for (int l = 0; l < LIBRARY_COUNT; ++l) {
    const auto lib = static_cast<TLibrary>(l);
    if (loader.Loaded(lib))
      std::printf("  %-22s %s\n", TFFmpegLoader::FileName(lib).c_str(), loader.LoadedFrom(lib).c_str());
  }
  if (!ok) {
    std::printf("Loading failed: %s\n", loader.LastErrMsg().c_str());
    return 1;
  }
  std::printf("%s\n", AV.av_version_info());
  return 0;
}
