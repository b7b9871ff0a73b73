// The generated fixtures are real media files: they open and hold what was asked.
#include "media/ffmpeg_loader.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

namespace {

TEST(Fixtures, GeneratedFilesDecodeWithTheirStreams) {
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  const struct {
    std::string Path;
    int Streams;
    double Seconds;
  } cases[] = {{ToneWav(1.0), 1, 1.0}, {TestMovie(1.0), 2, 1.0}};
  for (const auto &c : cases) {
    AVFormatContext *ic = nullptr;
    ASSERT_EQ(AV.avformat_open_input(&ic, c.Path.c_str(), nullptr, nullptr), 0) << c.Path;
    ASSERT_GE(AV.avformat_find_stream_info(ic, nullptr), 0);
    EXPECT_EQ(static_cast<int>(ic->nb_streams), c.Streams) << c.Path;
    EXPECT_NEAR(ic->duration / 1e6, c.Seconds, 0.1) << c.Path;
    AV.avformat_close_input(&ic);
  }
}

} // namespace
