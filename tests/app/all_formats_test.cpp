// Every format of the catalogue on real encoders and muxers: one second of
// video with stereo audio through the command line's batch path (the
// window's add sequence, the job manager) into each of the 165 formats, and
// each output read back by the probe.
#include "tests/app/media_facts.h"

#include "app/cli_convert.h"
#include "catalogue/formats.h"
#include "catalogue/profiles.h"
#include "jobs/job_manager.h"
#include "media/ffmpeg_loader.h"
#include "tests/support/fixtures.h"
#include "ui/job_file_adder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

class TQuietReport : public IBatchReport {
public:
  void Refused(const TBatchFile &) override {}
  void Queued(int32_t, const TBatchFile &) override {}
  void Started(int32_t) override {}
  void Progress(int32_t, const TProgressInfo &) override {}
  void Ended(int32_t, const TBatchFile &) override {}
};

// The demuxer that reads a file of each output extension.
const std::map<std::string, std::string> ContainerOfExtension = {
    {".mp3", "mp3"},   {".mp2", "mp3"},   {".wma", "asf"},   {".wmv", "asf"},  {".asf", "asf"},
    {".wav", "wav"},   {".aac", "aac"},   {".ogg", "ogg"},   {".ra", "rm"},    {".rm", "rm"},
    {".ac3", "ac3"},   {".aiff", "aiff"}, {".flac", "flac"}, {".amr", "amr"},  {".avi", "avi"},
    {".mkv", "matroska,webm"},            {".mpg", "mpeg"},  {".vob", "mpeg"}, {".flv", "flv"},
    {".swf", "swf"},   {".mp4", "mov,mp4,m4a,3gp,3g2,mj2"},  {".m4a", "mov,mp4,m4a,3gp,3g2,mj2"},
    {".mov", "mov,mp4,m4a,3gp,3g2,mj2"},  {".3gp", "mov,mp4,m4a,3gp,3g2,mj2"},
};

// The codec a stream of the output must have: the one the profile names
// (as the engine reads the older names), else the one the target implies,
// else the muxer's own default for the extension.
std::string ExpectedCodec(const char *AEncoder, const std::string &AOutputName, bool AVideo,
                          const std::string &ATarget) {
  if (ATarget == "dvd")
    return AVideo ? "mpeg2video" : "ac3";
  if (ATarget == "svcd")
    return AVideo ? "mpeg2video" : "mp2";
  if (ATarget == "vcd")
    return AVideo ? "mpeg1video" : "mp2";
  const std::string encoder = AEncoder;
  if (encoder == "libfaac")
    return "aac";
  AVCodecID id = AV_CODEC_ID_NONE;
  if (!encoder.empty()) {
    const AVCodec *codec = AV.avcodec_find_encoder_by_name(encoder.c_str());
    if (!codec)
      return "no encoder " + encoder;
    id = codec->id;
  } else {
    const AVOutputFormat *muxer = AV.av_guess_format(nullptr, AOutputName.c_str(), nullptr);
    if (!muxer)
      return "no muxer for " + AOutputName;
    id = AVideo ? muxer->video_codec : muxer->audio_codec;
  }
  return AV.avcodec_get_name(id);
}

TEST(AllFormats, EveryFormatWritesAFileOfItsContainerAndCodecs) {
  FFLoader().SetLibraryPath(DefaultLibraryPath());
  ASSERT_TRUE(FFLoader().Load(LIBS_CONVERT)) << FFLoader().LastErrMsg();
  const std::string movie = TestMovie(1.0);
  const TMediaFacts input = FactsOf(movie);
  ASSERT_EQ(input.Channels, 2);
  ASSERT_FALSE(input.VideoCodec.empty());
  const fs::path root = fs::temp_directory_path() / ("zv-formats-" + std::to_string(::getpid()));
  fs::remove_all(root);

  TJobManager vantro;
  TJobFileAdder adder(vantro, DefaultLibraryPath());
  std::string error;
  ASSERT_TRUE(adder.LoadLibraries(error)) << error;
  TQuietReport quiet;
  int formats = 0;
  for (const TFormat &format : AllFormats()) {
    const int32_t key = FormatKey(format.CategoryCode, format.FormatIndex);
    const TFormatProfile *profile = FindProfile(key);
    ASSERT_NE(profile, nullptr) << key;
    ++formats;
    TBatchRequest request;
    request.FormatKey = key;
    request.Presets = PresetListsOf(key).ShownTexts();
    request.OutputFolder = (root / std::to_string(key)).string();
    fs::create_directories(request.OutputFolder);
    request.Inputs = {movie};
    const std::vector<TBatchFile> files = ConvertBatch(vantro, adder, request, quiet);

    SCOPED_TRACE(std::to_string(key) + " " + format.Title);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Verdict, fvConverted) << files[0].Message;
    const std::string output = request.OutputFolder + "/movie_1000ms" + profile->OutExt;
    EXPECT_EQ(files[0].Output, output);
    const TMediaFacts out = FactsOf(output);
    if (!out.Loaded) {
      ADD_FAILURE() << out.Error;
      continue;
    }
    EXPECT_EQ(out.Container, ContainerOfExtension.at(profile->OutExt));
    const std::string target = profile->TargetType;
    EXPECT_EQ(out.VideoCodec, profile->DisableVideo ? "" : ExpectedCodec(profile->VideoCodec, output, true, target));
    EXPECT_EQ(out.AudioCodec, ExpectedCodec(profile->AudioCodec, output, false, target));
    EXPECT_NEAR(out.Seconds, input.Seconds, 0.25);
  }
  EXPECT_EQ(formats, 165);
  if (!::testing::Test::HasFailure())
    fs::remove_all(root);
}

} // namespace
