#include "media/ffmpeg_loader.h"
#include "media/wide_file.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Runs the body under a locale and restores "C" afterwards.
struct TLocale {
  explicit TLocale(const char *name) { ok = std::setlocale(LC_ALL, name) != nullptr; }
  ~TLocale() { std::setlocale(LC_ALL, "C"); }
  bool ok;
};

TEST(WideFileName, NamesTheLocaleCannotExpressGoThroughUnicodePrefix) {
  const struct {
    const char *Locale, *Name, *URL, *Back;
  } cases[] = {
      {"C", "/tmp/plain movie.avi", "/tmp/plain movie.avi", "/tmp/plain movie.avi"},
      {"C", "/tmp/视频.avi", "unicode:utf8:/tmp/视频.avi", "/tmp/视频.avi"},
      {"C", "http://host/视频.avi", "http://host/视频.avi", "http://host/视频.avi"},
      {"C", "unicode:utf8:/tmp/a.avi", "unicode:utf8:/tmp/a.avi", "/tmp/a.avi"},
      {"C", "c:/x.avi", "c:/x.avi", "c:/x.avi"},
      {"C.UTF-8", "/tmp/视频.avi", "/tmp/视频.avi", "/tmp/视频.avi"},
  };
  for (const auto &c : cases) {
    TLocale locale(c.Locale);
    ASSERT_TRUE(locale.ok) << c.Locale;
    EXPECT_EQ(WideFileNameToURL(c.Name), c.URL) << c.Locale << " " << c.Name;
    EXPECT_EQ(URLToWideFileName(c.URL), c.Back) << c.Locale << " " << c.URL;
  }
}

class WideIOTest : public ::testing::Test {
protected:
  void SetUp() override {
    FFLoader().SetLibraryPath(DefaultLibraryPath());
    ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
    dir = fs::temp_directory_path() / ("zv-wide-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(WideIOTest, InputWithChineseNameOpensThroughOwnStream) {
  const fs::path file = dir / "音乐 测试.wav";
  fs::copy_file(ToneWav(1.0), file);
  TLocale locale("C");
  const std::string url = WideFileNameToURL(file.string());
  ASSERT_EQ(url.rfind(kUnicodeURLPrefix, 0), 0u);
  AVFormatContext *ic = nullptr;
  ASSERT_EQ(OpenInputFormat(&ic, url, nullptr, nullptr), 0);
  ASSERT_GE(AV.avformat_find_stream_info(ic, nullptr), 0);
  EXPECT_EQ(ic->nb_streams, 1u);
  EXPECT_NEAR(ic->duration / 1e6, 1.0, 0.05);
  CloseInputFormat(&ic);
  EXPECT_EQ(ic, nullptr);
}

TEST_F(WideIOTest, OutputStreamCreatesAndTruncates) {
  const fs::path file = dir / "输出.bin";
  std::ofstream(file) << "old content that must go";
  AVIOContext *pb = nullptr;
  ASSERT_EQ(OpenWideIO(&pb, kUnicodeURLPrefix + file.string(), AVIO_FLAG_WRITE), 0);
  AV.avio_write(pb, reinterpret_cast<const unsigned char *>("new"), 3);
  CloseWideIO(&pb);
  EXPECT_EQ(pb, nullptr);
  std::ifstream in(file);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "new");
}

TEST_F(WideIOTest, MissingFileGivesNoSuchFile) {
  AVIOContext *pb = nullptr;
  EXPECT_EQ(OpenWideIO(&pb, kUnicodeURLPrefix + (dir / "无.wav").string(), AVIO_FLAG_READ), -2);
  EXPECT_EQ(pb, nullptr);
  AVFormatContext *ic = nullptr;
  EXPECT_EQ(OpenInputFormat(&ic, kUnicodeURLPrefix + (dir / "无.wav").string(), nullptr, nullptr), -2);
  EXPECT_EQ(ic, nullptr);
}

} // namespace
