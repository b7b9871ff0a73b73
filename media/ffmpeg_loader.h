// The library loader: loads the media libraries, the C library and SDL at run
// time, fills the entry-point table `AV` and owns the process-wide
// `LibraryLock`.
//
// Loading and unloading happen on the main thread only; once a library is
// loaded its slots are read by any thread. No library is unloaded while a
// conversion or playback runs.
#pragma once

#include "media/entry_points.h"
#include "platform/sync.h"

#include <cstdint>
#include <string>
#include <vector>

// Libraries in load order. The numbers are bit positions in a TLibraries set.
enum TLibrary { avCodec = 0, avDevice = 1, avFilter = 2, avFormat = 3, avUtil = 4, swScale = 5, myUtil = 6, lbSDL = 7,
                swResample = 8 };
constexpr int LIBRARY_COUNT = 9;

// A set of libraries: bit n stands for the TLibrary of ordinal n.
using TLibraries = uint32_t;
constexpr TLibraries LibBit(TLibrary l) { return 1u << static_cast<unsigned>(l); }

// The sets the components ask for.
constexpr TLibraries LIBS_CONVERT = 0x7D | LibBit(swResample); // codec, filter, format, util, scale, C, resample
constexpr TLibraries LIBS_PROBE = 0x79;                         // codec, format, util, scale, C
constexpr TLibraries LIBS_PLAYER = 0xFD | LibBit(swResample);   // the conversion set and SDL

// One slot per entry point of entry_points.h, empty while its library is not
// fixed up.
struct TEntryPoints {
#define ZV_SLOT(name) decltype(&::name) name = nullptr;
  ZV_AVCODEC_ENTRIES(ZV_SLOT)
  ZV_AVDEVICE_ENTRIES(ZV_SLOT)
  ZV_AVFILTER_ENTRIES(ZV_SLOT)
  ZV_AVFORMAT_ENTRIES(ZV_SLOT)
  ZV_AVUTIL_ENTRIES(ZV_SLOT)
  ZV_SWSCALE_ENTRIES(ZV_SLOT)
  ZV_SWRESAMPLE_ENTRIES(ZV_SLOT)
  ZV_MYUTIL_ENTRIES(ZV_SLOT)
  ZV_SDL_ENTRIES(ZV_SLOT)
#undef ZV_SLOT
};

// dlopen()s the shared object at APath (RTLD_NOW | RTLD_LOCAL) after opening,
// from the object's own folder, every library it needs that the folder holds,
// so that a module brought with its own dependencies finds them there. The
// handles of those dependencies go to ADeps. Null on failure; dlerror() says why.
void *OpenWithFolderDependencies(const std::string &APath, std::vector<void *> &ADeps);

// The table every component calls the libraries through.
extern TEntryPoints AV;

class TFFmpegLoader {
public:
  TFFmpegLoader();
  ~TFFmpegLoader();
  TFFmpegLoader(const TFFmpegLoader &) = delete;
  TFFmpegLoader &operator=(const TFFmpegLoader &) = delete;

  // The folder for the next loads; empty means the system's search order.
  const std::string &LibraryPath() const { return FLibraryPath; }
  void SetLibraryPath(const std::string &APath) { FLibraryPath = APath; }
  // Text of the last failure; a later success does not clear it.
  const std::string &LastErrMsg() const { return FLastErrMsg; }
  // Whether loading the utility library installs the log bridge's callback.
  bool InstallLogger() const { return FInstallLogger; }
  void SetInstallLogger(bool AValue) { FInstallLogger = AValue; }

  // Loads and fixes up one library; true when it is usable afterwards. On
  // failure LastErrMsg says why and the library keeps no handle.
  bool Load(TLibrary ALib);
  // Loads every member in TLibrary order; at the first failure the whole set
  // is unloaded again and false is returned. An empty set is an assertion failure.
  bool Load(TLibraries ALibs);
  bool Loaded(TLibrary ALib) const;
  // True when every member is loaded; an empty set is an assertion failure.
  bool Loaded(TLibraries ALibs) const;
  void Unload(TLibrary ALib);
  void Unload(TLibraries ALibs);

  // The file name of a library ("libavcodec.so.59").
  static std::string FileName(TLibrary ALib);
  // The path the loaded library was mapped from, empty when not loaded.
  std::string LoadedFrom(TLibrary ALib) const;

private:
  bool FInstallLogger = true;
  std::string FLibraryPath;
  std::string FLastErrMsg;
};

// The process's loader.
TFFmpegLoader &FFLoader();

// Held around every codec open and close (engine, probe, player) and while the
// engine reads the stream information of an opened input.
TCriticalSection &LibraryLock();

// "LibAV" beside the running executable.
std::string DefaultLibraryPath();

// The library's text for an error code (av_strerror through the table).
std::string AVErrorText(int AErrNum);
