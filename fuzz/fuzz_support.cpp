#include "fuzz/fuzz_support.h"

#include "media/ff_logger.h"
#include "platform/main_thread.h"
#include "tests/support/fixtures.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Far above what a few KiB of input may honestly need, far below the
// fuzzer's own limit for one allocation.
constexpr size_t kLibraryAllocLimit = 256u << 20;

// av_max_alloc is no entry point of the system; it is taken from the loaded
// utility library directly, for the fuzzing process only.
void CapLibraryAllocations() {
  const std::string path = FFLoader().LoadedFrom(avUtil);
  void *lib = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!lib)
    return;
  if (auto setMax = reinterpret_cast<void (*)(size_t)>(dlsym(lib, "av_max_alloc")))
    setMax(kLibraryAllocLimit);
  dlclose(lib);
}

} // namespace

void LoadMediaLibraries() {
  static const bool loaded = [] {
    SetMainThread();
    FFLoader().SetLibraryPath(DefaultLibraryPath());
    if (!FFLoader().Load(LIBS_CONVERT)) {
      std::fprintf(stderr, "fuzz: cannot load the media libraries: %s\n", FFLoader().LastErrMsg().c_str());
      std::exit(1);
    }
    // Lines would go through the main-thread queue, which nobody pumps here.
    FFLogger().SetTriggerEventInMainThread(false);
    CapLibraryAllocations();
    return true;
  }();
  (void)loaded;
  QuietLogs();
}

void QuietLogs() { FFLogger().SetLogLevel(llQuiet); }

const std::string &ScratchDir() {
  // The folder goes with the process, however the run ends but a crash.
  struct TScratch {
    std::string Path;
    ~TScratch() {
      std::error_code ec;
      fs::remove_all(Path, ec);
    }
  };
  static const TScratch scratch = [] {
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    // Folders of runs that crashed (every crash ends a fuzzing process, and
    // minimising runs thousands) go when the next run starts.
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(base, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("zv_fuzz_", 0) == 0 && !fs::exists("/proc/" + name.substr(8), ec))
        fs::remove_all(entry.path(), ec);
    }
    const fs::path d = base / ("zv_fuzz_" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    return TScratch{d.string()};
  }();
  return scratch.Path;
}

std::string WriteScratchFile(const std::string &AName, const uint8_t *AData, size_t ASize) {
  const std::string path = ScratchDir() + "/" + AName;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(AData), static_cast<std::streamsize>(ASize));
  if (!out)
    Violation("cannot write " + path);
  return path;
}

const std::string &SmallClip() {
  static const std::string path = [] {
    LoadMediaLibraries();
    try {
      return Fixture({"fuzz_clip.avi", "testsrc=size=64x48:rate=10:duration=0.3",
                      "sine=frequency=440:sample_rate=22050:duration=0.3", "mpeg4", "mp2", 1});
    } catch (const std::exception &e) {
      Violation(std::string("cannot make the clip: ") + e.what());
    }
  }();
  return path;
}

bool ContainsNoCase(const std::string &AText, const std::string &ANeedle) {
  const auto it = std::search(AText.begin(), AText.end(), ANeedle.begin(), ANeedle.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
  return it != AText.end();
}

void Violation(const std::string &AMessage) {
  std::fprintf(stderr, "fuzz: %s\n", AMessage.c_str());
  std::abort();
}

TMemoryInput::TMemoryInput(const uint8_t *AData, size_t ASize) : FData(AData), FSize(ASize) {
  constexpr int kBufferSize = 4096;
  auto *buffer = static_cast<unsigned char *>(AV.av_malloc(kBufferSize));
  if (!buffer)
    return;
  FIO = AV.avio_alloc_context(buffer, kBufferSize, 0, this, &Read, nullptr, &Seek);
  if (!FIO) {
    AV.av_free(buffer);
    return;
  }
  AVFormatContext *ic = AV.avformat_alloc_context();
  if (!ic)
    return;
  ic->pb = FIO;
  ic->flags |= AVFMT_FLAG_CUSTOM_IO;
  // On failure the library frees the context and sets the pointer to null.
  if (AV.avformat_open_input(&ic, "", nullptr, nullptr) < 0)
    return;
  FContext = ic;
  if (AV.avformat_find_stream_info(FContext, nullptr) < 0) {
    // A context without stream information is still something to report on.
  }
}

TMemoryInput::~TMemoryInput() {
  if (FContext)
    AV.avformat_close_input(&FContext);
  if (FIO) {
    // The library may have replaced the buffer it was given.
    AV.av_freep(&FIO->buffer);
    AV.avio_context_free(&FIO);
  }
}

int TMemoryInput::Read(void *AOpaque, uint8_t *ABuf, int ASize) {
  auto *self = static_cast<TMemoryInput *>(AOpaque);
  const size_t left = self->FSize - self->FPos;
  const size_t n = std::min(left, static_cast<size_t>(std::max(ASize, 0)));
  if (n == 0)
    return AVERROR_EOF;
  std::copy_n(self->FData + self->FPos, n, ABuf);
  self->FPos += n;
  return static_cast<int>(n);
}

int64_t TMemoryInput::Seek(void *AOpaque, int64_t AOffset, int AWhence) {
  auto *self = static_cast<TMemoryInput *>(AOpaque);
  const int64_t size = static_cast<int64_t>(self->FSize);
  if (AWhence & AVSEEK_SIZE)
    return size;
  int64_t base = 0;
  switch (AWhence & ~AVSEEK_FORCE) {
  case SEEK_SET:
    base = 0;
    break;
  case SEEK_CUR:
    base = static_cast<int64_t>(self->FPos);
    break;
  case SEEK_END:
    base = size;
    break;
  default:
    return -1;
  }
  if (AOffset > size || AOffset < -size)
    return -1;
  const int64_t pos = base + AOffset;
  if (pos < 0 || pos > size)
    return -1;
  self->FPos = static_cast<size_t>(pos);
  return pos;
}
