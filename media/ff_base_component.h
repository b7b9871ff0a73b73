// The base of the components that use the media libraries (job manager,
// probe, player): each names the library set it needs and loads, checks and
// unloads it through the process's loader.
#pragma once

#include "media/ffmpeg_loader.h"
#include "platform/object.h"

#include <string>

class TFFBaseComponent : public TObject {
public:
  explicit TFFBaseComponent(TLibraries ALibraries) : FLibraries(ALibraries) {}

  // Sets the loader's folder to APath and loads the component's set; on
  // failure the loader's text is copied into LastErrMsg. Main thread only.
  bool LoadAVLib(const std::string &APath) {
    FFLoader().SetLibraryPath(APath);
    if (FFLoader().Load(FLibraries))
      return true;
    FLastErrMsg = FFLoader().LastErrMsg();
    return false;
  }
  bool AVLibLoaded() const { return FFLoader().Loaded(FLibraries); }
  // Unloads the whole set, also members other components may still use:
  // call only when no other user needs them.
  void UnloadAVLib() { FFLoader().Unload(FLibraries); }

  const std::string &LastErrMsg() const { return FLastErrMsg; }
  TLibraries Libraries() const { return FLibraries; }

protected:
  TLibraries FLibraries;
  std::string FLastErrMsg;
};
