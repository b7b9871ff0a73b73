#include "media/ffmpeg_loader.h"

#include "media/elf_needed.h"
#include "media/ff_logger.h"
#include "platform/convert.h"
#include "platform/exceptions.h"
#include "platform/paths.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cfenv>
#include <filesystem>
#include <set>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#endif

TEntryPoints AV;

namespace {

struct TLibraryStatus {
  void *Handle = nullptr;
  bool Fixuped = false;
  // Libraries this one needs that were taken from the same folder; held as
  // long as it is loaded.
  std::vector<void *> Deps;
};

struct TLibraryItem {
  TLibrary Lib;
  const char *Name; // file "lib" + Name + ".so." + Version, or ".so" alone for Version < 0
  int Version;
  void (*Fixup)(const std::string &AFileName, void *AHandle);
  void (*Unfix)();
};

TLibraryStatus Status[LIBRARY_COUNT];

template <typename TSlot> void Resolve(void *AHandle, const char *AName, const std::string &AFileName, TSlot &ASlot) {
  dlerror();
  void *p = dlsym(AHandle, AName);
  if (!p) {
    const char *err = dlerror();
    throw Exception(Format("Load function %s@%s error: %s", AName, AFileName.c_str(), err ? err : "not found"));
  }
  ASlot = reinterpret_cast<TSlot>(p);
}

#define ZV_RESOLVE(name) Resolve(AHandle, #name, AFileName, AV.name);
#define ZV_CLEAR(name) AV.name = nullptr;
#define ZV_FIXUPS(Tag, LIST)                                                                                           \
  void Fixup##Tag([[maybe_unused]] const std::string &AFileName, [[maybe_unused]] void *AHandle) { LIST(ZV_RESOLVE) } \
  void Unfix##Tag() { LIST(ZV_CLEAR) }

ZV_FIXUPS(AVCodec, ZV_AVCODEC_ENTRIES)
ZV_FIXUPS(AVFilter, ZV_AVFILTER_ENTRIES)
ZV_FIXUPS(AVFormat, ZV_AVFORMAT_ENTRIES)
ZV_FIXUPS(AVUtil, ZV_AVUTIL_ENTRIES)
ZV_FIXUPS(SWScale, ZV_SWSCALE_ENTRIES)
ZV_FIXUPS(SWResample, ZV_SWRESAMPLE_ENTRIES)
ZV_FIXUPS(MyUtil, ZV_MYUTIL_ENTRIES)
ZV_FIXUPS(SDL, ZV_SDL_ENTRIES)
ZV_FIXUPS(AVDeviceSlots, ZV_AVDEVICE_ENTRIES)

// The current libraries register their codecs, formats and filters by
// themselves; only the device library still needs its registration call.
void FixupAVDevice(const std::string &AFileName, void *AHandle) {
  FixupAVDeviceSlots(AFileName, AHandle);
  AV.avdevice_register_all();
}
void UnfixAVDevice() { UnfixAVDeviceSlots(); }

const TLibraryItem LibraryItems[LIBRARY_COUNT] = {
    {avCodec, "avcodec", LIBAVCODEC_VERSION_MAJOR, FixupAVCodec, UnfixAVCodec},
    {avDevice, "avdevice", LIBAVDEVICE_VERSION_MAJOR, FixupAVDevice, UnfixAVDevice},
    {avFilter, "avfilter", LIBAVFILTER_VERSION_MAJOR, FixupAVFilter, UnfixAVFilter},
    {avFormat, "avformat", LIBAVFORMAT_VERSION_MAJOR, FixupAVFormat, UnfixAVFormat},
    {avUtil, "avutil", LIBAVUTIL_VERSION_MAJOR, FixupAVUtil, UnfixAVUtil},
    {swScale, "swscale", LIBSWSCALE_VERSION_MAJOR, FixupSWScale, UnfixSWScale},
    {myUtil, "c", 6, FixupMyUtil, UnfixMyUtil},
    {lbSDL, "SDL2-2.0", 0, FixupSDL, UnfixSDL},
    {swResample, "swresample", LIBSWRESAMPLE_VERSION_MAJOR, FixupSWResample, UnfixSWResample},
};

bool FileExists(const std::string &APath) {
  std::error_code ec;
  return std::filesystem::is_regular_file(APath, ec);
}

// Opens AFolder/AFile, first opening from AFolder every library it needs that
// the folder holds (recursively), so that the dynamic linker binds those and
// not the system's copies. The handles of the dependencies go to ADeps.
void *OpenFromFolder(const std::string &AFolder, const std::string &AFile, std::vector<void *> &ADeps,
                     std::set<std::string> &AVisited) {
  const std::string path = AFolder + AFile;
  AVisited.insert(AFile);
  for (const auto &needed : ReadNeededLibraries(path)) {
    if (AVisited.count(needed) || !FileExists(AFolder + needed))
      continue;
    if (void *dep = OpenFromFolder(AFolder, needed, ADeps, AVisited))
      ADeps.push_back(dep);
  }
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

// Loads a library from a folder when the folder holds it, else by bare file
// name through the system's search order.
void *LoadFromFolder(const std::string &AFolder, const std::string &AFile, std::vector<void *> &ADeps) {
  if (!AFolder.empty() && FileExists(AFolder + AFile)) {
    std::set<std::string> visited;
    return OpenFromFolder(AFolder, AFile, ADeps, visited);
  }
  return dlopen(AFile.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void ReleaseDeps(TLibraryStatus &AStatus) {
  for (auto it = AStatus.Deps.rbegin(); it != AStatus.Deps.rend(); ++it)
    dlclose(*it);
  AStatus.Deps.clear();
}

std::string WithSeparator(const std::string &AFolder) {
  if (AFolder.empty() || AFolder.back() == '/')
    return AFolder;
  return AFolder + "/";
}

// The floating-point state of the process while the loader exists: every
// exception masked, round to nearest, 64-bit x87 precision.
struct TFloatState {
  std::fenv_t Saved{};
#if defined(__i386__) || defined(__x86_64__)
  fpu_control_t SavedCW = 0;
#endif
  TFloatState() {
    std::fegetenv(&Saved);
#if defined(__i386__) || defined(__x86_64__)
    _FPU_GETCW(SavedCW);
    fpu_control_t cw = 0x133F;
    _FPU_SETCW(cw);
#endif
    std::fesetround(FE_TONEAREST);
  }
  ~TFloatState() {
    std::fesetenv(&Saved);
#if defined(__i386__) || defined(__x86_64__)
    _FPU_SETCW(SavedCW);
#endif
  }
};

void AssertNotEmpty(TLibraries ALibs) { Assert(ALibs != 0, "Library set must not be empty"); }

} // namespace

void *OpenWithFolderDependencies(const std::string &APath, std::vector<void *> &ADeps) {
  const size_t slash = APath.rfind('/');
  if (slash == std::string::npos)
    return dlopen(APath.c_str(), RTLD_NOW | RTLD_LOCAL);
  std::set<std::string> visited;
  return OpenFromFolder(APath.substr(0, slash + 1), APath.substr(slash + 1), ADeps, visited);
}

TFFmpegLoader::TFFmpegLoader() = default;
TFFmpegLoader::~TFFmpegLoader() = default;

std::string TFFmpegLoader::FileName(TLibrary ALib) {
  const TLibraryItem &item = LibraryItems[ALib];
  std::string name = std::string("lib") + item.Name + ".so";
  if (item.Version >= 0)
    name += "." + std::to_string(item.Version);
  return name;
}

bool TFFmpegLoader::Load(TLibrary ALib) {
  TLibraryStatus &st = Status[ALib];
  const TLibraryItem &item = LibraryItems[ALib];
  const std::string folder = WithSeparator(FLibraryPath);
  const std::string file = FileName(ALib);
  if (!st.Handle) {
    dlerror();
    st.Handle = LoadFromFolder(folder, file, st.Deps);
    if (!st.Handle) {
      const char *err = dlerror();
      FLastErrMsg = Format("Load library %s error: %s", (folder + file).c_str(), err ? err : "unknown error");
      ReleaseDeps(st);
      return false;
    }
  }
  if (!st.Fixuped) {
    try {
      item.Fixup(folder + file, st.Handle);
      st.Fixuped = true;
    } catch (const Exception &e) {
      FLastErrMsg = e.Message();
      item.Unfix(); // slots resolved before the failure would point into a released library
    }
  }
  if (!st.Fixuped) {
    Unload(ALib);
    return false;
  }
  if (ALib == avUtil && FInstallLogger)
    InstallAVLogCallback();
  return true;
}

bool TFFmpegLoader::Load(TLibraries ALibs) {
  AssertNotEmpty(ALibs);
  for (int l = 0; l < LIBRARY_COUNT; ++l) {
    if (!(ALibs & LibBit(static_cast<TLibrary>(l))))
      continue;
    if (!Load(static_cast<TLibrary>(l))) {
      Unload(ALibs);
      return false;
    }
  }
  return true;
}

bool TFFmpegLoader::Loaded(TLibrary ALib) const { return Status[ALib].Handle && Status[ALib].Fixuped; }

bool TFFmpegLoader::Loaded(TLibraries ALibs) const {
  AssertNotEmpty(ALibs);
  for (int l = 0; l < LIBRARY_COUNT; ++l)
    if ((ALibs & LibBit(static_cast<TLibrary>(l))) && !Loaded(static_cast<TLibrary>(l)))
      return false;
  return true;
}

void TFFmpegLoader::Unload(TLibrary ALib) {
  TLibraryStatus &st = Status[ALib];
  if (st.Fixuped) {
    if (ALib == avUtil)
      UninstallAVLogCallback();
    LibraryItems[ALib].Unfix();
    st.Fixuped = false;
  }
  if (st.Handle) {
    dlclose(st.Handle);
    st.Handle = nullptr;
  }
  ReleaseDeps(st);
}

void TFFmpegLoader::Unload(TLibraries ALibs) {
  AssertNotEmpty(ALibs);
  for (int l = 0; l < LIBRARY_COUNT; ++l)
    if (ALibs & LibBit(static_cast<TLibrary>(l)))
      Unload(static_cast<TLibrary>(l));
}

std::string TFFmpegLoader::LoadedFrom(TLibrary ALib) const {
  if (!Status[ALib].Handle)
    return "";
  link_map *map = nullptr;
  if (dlinfo(Status[ALib].Handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
    return "";
  return map->l_name;
}

TFFmpegLoader &FFLoader() {
  static TFloatState floatState;
  static TFFmpegLoader loader;
  return loader;
}

TCriticalSection &LibraryLock() {
  static TCriticalSection lock;
  return lock;
}

namespace {
// The loader, its floating-point state and the lock exist from start-up on.
[[maybe_unused]] const bool kStarted = (FFLoader(), LibraryLock(), true);
} // namespace

std::string DefaultLibraryPath() { return ExecutableDir() + "/LibAV"; }

std::string AVErrorText(int AErrNum) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {0};
  if (AV.av_strerror && AV.av_strerror(AErrNum, buf, sizeof buf) == 0)
    return buf;
  return Format("Error number %d", AErrNum);
}
