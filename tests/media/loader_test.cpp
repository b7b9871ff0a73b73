#include "media/ff_logger.h"
#include "media/elf_needed.h"
#include "media/ffmpeg_loader.h"
#include "platform/exceptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr TLibraries kAll = LIBS_PLAYER | LibBit(avDevice);

const TLibrary kLinked[] = {avCodec, avDevice, avFilter, avFormat, avUtil, swScale, swResample, lbSDL};

// A scratch folder with links to the system's libraries, as `make` lays out "LibAV".
class LoaderTest : public ::testing::Test {
protected:
  void SetUp() override {
    FFLoader().Unload(kAll);
    dir = fs::temp_directory_path() / ("zv-loader-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    FFLoader().Unload(kAll);
    FFLoader().SetLibraryPath("");
    fs::remove_all(dir);
  }
  void LinkSystemLibraries(std::initializer_list<TLibrary> except = {}) {
    for (TLibrary l : kLinked) {
      if (std::find(except.begin(), except.end(), l) != except.end())
        continue;
      const std::string name = TFFmpegLoader::FileName(l);
      fs::create_symlink(fs::path(DefaultLibraryPath()) / name, dir / name);
    }
  }
  std::string Folder() const { return dir.string(); }
  fs::path dir;
};

TEST_F(LoaderTest, LoadsConversionSetFromFolderOfLinks) {
  LinkSystemLibraries();
  FFLoader().SetLibraryPath(Folder());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  for (TLibrary l : {avCodec, avFilter, avFormat, avUtil, swScale, swResample})
    EXPECT_EQ(FFLoader().LoadedFrom(l), Folder() + "/" + TFFmpegLoader::FileName(l));
  // The slots work: the library answers through the table.
  EXPECT_EQ(AV.avcodec_version() >> 16, static_cast<unsigned>(LIBAVCODEC_VERSION_MAJOR));
  EXPECT_NE(AV.avcodec_find_encoder_by_name("libmp3lame"), nullptr);
}

TEST_F(LoaderTest, LoadsThroughSystemSearchOrderWithoutFolder) {
  FFLoader().SetLibraryPath("");
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  EXPECT_EQ(FFLoader().LoadedFrom(avCodec).find(Folder()), std::string::npos);
  EXPECT_NE(AV.avformat_alloc_context, nullptr);
}

TEST_F(LoaderTest, LibraryMissingFromFolderComesFromTheSystem) {
  LinkSystemLibraries({swScale});
  FFLoader().SetLibraryPath(Folder());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  EXPECT_EQ(FFLoader().LoadedFrom(avCodec), Folder() + "/libavcodec.so.59");
  EXPECT_NE(FFLoader().LoadedFrom(swScale).rfind("libswscale.so.6"), std::string::npos);
  EXPECT_EQ(FFLoader().LoadedFrom(swScale).find(Folder()), std::string::npos);
}

TEST_F(LoaderTest, UnloadableLibraryFailsTheWholeSet) {
  LinkSystemLibraries({swScale});
  std::ofstream(dir / "libswscale.so.6") << "not a shared object";
  FFLoader().SetLibraryPath(Folder());
  EXPECT_FALSE(FFLoader().Load(LIBS_CONVERT));
  const std::string prefix = "Load library " + Folder() + "/libswscale.so.6 error: ";
  EXPECT_EQ(FFLoader().LastErrMsg().substr(0, prefix.size()), prefix);
  EXPECT_GT(FFLoader().LastErrMsg().size(), prefix.size()) << "the system's reason follows";
  for (int l = 0; l < LIBRARY_COUNT; ++l)
    EXPECT_FALSE(FFLoader().Loaded(static_cast<TLibrary>(l))) << TFFmpegLoader::FileName(static_cast<TLibrary>(l));
  EXPECT_EQ(AV.avcodec_open2, nullptr) << "slots of unloaded libraries are empty";
}

TEST_F(LoaderTest, MissingFolderFallsBackToTheSystem) {
  FFLoader().SetLibraryPath(Folder() + "/nowhere");
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  EXPECT_EQ(FFLoader().LoadedFrom(avUtil).find(Folder()), std::string::npos);
}

TEST_F(LoaderTest, MissingEntryPointNamesFunctionAndFile) {
  LinkSystemLibraries({lbSDL});
  fs::copy_file(ZV_FAKES_DIR "/partial/libSDL2-2.0.so.0", dir / "libSDL2-2.0.so.0");
  FFLoader().SetLibraryPath(Folder());
  EXPECT_FALSE(FFLoader().Load(LIBS_PLAYER));
  const std::string file = Folder() + "/libSDL2-2.0.so.0";
  const std::string prefix = "Load function SDL_InitSubSystem@" + file + " error: ";
  EXPECT_EQ(FFLoader().LastErrMsg().substr(0, prefix.size()), prefix);
  EXPECT_NE(FFLoader().LastErrMsg().find("SDL_InitSubSystem"), std::string::npos);
  EXPECT_FALSE(FFLoader().Loaded(lbSDL));
  EXPECT_FALSE(FFLoader().Loaded(avCodec)) << "the set is unloaded whole";
  EXPECT_EQ(AV.SDL_Init, nullptr) << "no slot keeps a pointer into a released library";
}

TEST_F(LoaderTest, DependenciesComeFromTheLibrarysFolder) {
  // The stand-in SDL needs libzvdep.so.1, which only its folder holds.
  FFLoader().SetLibraryPath(ZV_FAKES_DIR "/full");
  ASSERT_TRUE(FFLoader().Load(lbSDL)) << FFLoader().LastErrMsg();
  EXPECT_EQ(FFLoader().LoadedFrom(lbSDL), ZV_FAKES_DIR "/full/libSDL2-2.0.so.0");
}

// The needed names come from the file's dynamic section; a file that is cut
// short or no object at all gives none, whatever its offsets claim.
TEST_F(LoaderTest, NeededLibrariesOfWholeAndDamagedFiles) {
  const std::string format = fs::path(DefaultLibraryPath()) / TFFmpegLoader::FileName(avFormat);
  const std::vector<std::string> needed = ReadNeededLibraries(format);
  EXPECT_NE(std::find(needed.begin(), needed.end(), TFFmpegLoader::FileName(avCodec)), needed.end());
  std::ifstream in(format, std::ios::binary);
  const std::string head(4096, '\0');
  in.read(const_cast<char *>(head.data()), static_cast<std::streamsize>(head.size()));
  const struct {
    const char *Name;
    std::string Bytes;
  } damaged[] = {{"empty", ""}, {"text", "not a library"}, {"header only", head.substr(0, 64)}, {"first 4 KiB", head}};
  for (const auto &d : damaged) {
    const fs::path file = dir / "damaged.so";
    std::ofstream(file, std::ios::binary) << d.Bytes;
    EXPECT_TRUE(ReadNeededLibraries(file.string()).empty()) << d.Name;
  }
}

TEST_F(LoaderTest, LoadingTwiceKeepsTheSameLibraries) {
  LinkSystemLibraries();
  FFLoader().SetLibraryPath(Folder());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT));
  const auto open2 = AV.avcodec_open2;
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT));
  EXPECT_EQ(AV.avcodec_open2, open2);
}

TEST_F(LoaderTest, SetsAreSubsets) {
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT));
  EXPECT_TRUE(FFLoader().Loaded(LIBS_PROBE));
  EXPECT_FALSE(FFLoader().Loaded(LIBS_PLAYER));
  ASSERT_TRUE(FFLoader().Load(lbSDL)) << FFLoader().LastErrMsg();
  EXPECT_TRUE(FFLoader().Loaded(LIBS_PLAYER));
  FFLoader().Unload(lbSDL);
  EXPECT_FALSE(FFLoader().Loaded(LIBS_PLAYER));
  EXPECT_FALSE(FFLoader().Loaded(avDevice)) << "the device library belongs to no set";
}

TEST_F(LoaderTest, EmptySetIsAnAssertionFailure) {
  EXPECT_THROW(FFLoader().Load(TLibraries{0}), EAssertionFailed);
  EXPECT_THROW((void)FFLoader().Loaded(TLibraries{0}), EAssertionFailed);
  EXPECT_THROW(FFLoader().Unload(TLibraries{0}), EAssertionFailed);
}

TEST_F(LoaderTest, FileNamesOfTheCurrentGeneration) {
  const std::pair<TLibrary, const char *> cases[] = {
      {avCodec, "libavcodec.so.59"}, {avDevice, "libavdevice.so.59"}, {avFilter, "libavfilter.so.8"},
      {avFormat, "libavformat.so.59"}, {avUtil, "libavutil.so.57"}, {swScale, "libswscale.so.6"},
      {myUtil, "libc.so.6"},         {lbSDL, "libSDL2-2.0.so.0"},    {swResample, "libswresample.so.4"}};
  for (const auto &[lib, name] : cases)
    EXPECT_EQ(TFFmpegLoader::FileName(lib), name);
}

} // namespace
