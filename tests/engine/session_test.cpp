// Life of a session: capacity, defaults, reset and freeing of files.
#include "tests/engine/engine_fixture.h"

#include "media/wide_file.h"
#include "tests/support/fixtures.h"

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(EngineCapacity, OnlyOneTo512FilesAreAccepted) {
  for (int32_t bad : {0, -1, 513})
    EXPECT_THROW(TTestEngine e(bad), EAssertionFailed) << bad;
  for (int32_t good : {1, 512}) {
    TTestEngine e(good);
    EXPECT_EQ(e.MaxFiles(), good);
    EXPECT_EQ(e.Finput_files.size(), static_cast<size_t>(good));
    EXPECT_EQ(e.Foutput_files.size(), static_cast<size_t>(good));
    EXPECT_EQ(e.Fstream_maps.size(), static_cast<size_t>(good) * MAX_STREAMS);
    EXPECT_EQ(e.Finput_codecs.size(), static_cast<size_t>(good) * MAX_STREAMS);
    EXPECT_EQ(e.Fmeta_data_maps.size(), static_cast<size_t>(good));
    EXPECT_EQ(e.Fbitstream_filters.size(), static_cast<size_t>(good));
  }
}

// The values a fresh session starts from, which every later option and file
// is measured against.
void ExpectDefaults(TTestEngine &e) {
  EXPECT_EQ(e.Faudio_sample_rate, 44100);
  EXPECT_EQ(e.Faudio_channels, 2);
  EXPECT_EQ(e.Faudio_volume, 256);
  EXPECT_FLOAT_EQ(e.Faudio_qscale, -99999.0f);
  EXPECT_EQ(e.Fframe_pix_fmt, AV_PIX_FMT_NONE);
  EXPECT_EQ(e.Faudio_sample_fmt, AV_SAMPLE_FMT_NONE);
  EXPECT_EQ(e.Fframe_rate.num, 0);
  EXPECT_EQ(e.Fframe_rate.den, 0);
  for (int32_t m : e.Fmax_frames)
    EXPECT_EQ(m, INT32_MAX);
  EXPECT_EQ(e.Frecording_time, INT64_MAX);
  EXPECT_EQ(e.Fstart_time, 0);
  EXPECT_EQ(e.Ftop_field_first, -1);
  EXPECT_EQ(e.Floop_output, -1);
  EXPECT_EQ(e.Fintra_dc_precision, 8);
  EXPECT_EQ(e.Fvideo_sync_method, -1);
  EXPECT_EQ(e.Faudio_sync_method, 0);
  EXPECT_EQ(e.Fverbose, 1);
  EXPECT_EQ(e.Fthread_count, 1);
  EXPECT_EQ(e.Fsws_flags, 4u);
  EXPECT_FLOAT_EQ(e.Fmux_preload, 0.5f);
  EXPECT_FLOAT_EQ(e.Fmux_max_delay, 0.7f);
  EXPECT_FLOAT_EQ(e.Faudio_drift_threshold, 0.1f);
  EXPECT_FLOAT_EQ(e.Fdts_delta_threshold, 10.0f);
  EXPECT_EQ(e.Fbit_buffer_size, 262144);
  EXPECT_EQ(e.FTotalOutputDuration, -1);
  EXPECT_TRUE(e.Fvideo_codec_name.empty());
  EXPECT_TRUE(e.Fmetadata.empty());
  EXPECT_EQ(e.Fnb_stream_maps, 0);
  EXPECT_EQ(e.Foutput_filter.Name, "ffmpeg_output");
  EXPECT_EQ(e.Foutput_filter.InputPad, "default");
  EXPECT_EQ(e.PostHooks(), 0u);
}

TEST(EngineCreate, StartsWithTheDefaultsAndSignalledEvents) {
  TTestEngine e(20);
  ExpectDefaults(e);
  EXPECT_EQ(e.ReportInterval, 500000);
  EXPECT_EQ(e.PreviewInterval, 100000);
  EXPECT_TRUE(e.FStopEvent.IsSet());
  EXPECT_TRUE(e.FTermEvent.IsSet());
  EXPECT_FALSE(e.Finished());
  EXPECT_FALSE(e.FatalException());
  // No option contexts before ResetSession: generic options have nowhere to go.
  EXPECT_EQ(e.FOptions.avcodec_opts[miVideo], nullptr);
  EXPECT_FALSE(e.ApplyGenericOption("g", "12"));
}

TEST_F(EngineTest, ResetSessionForgetsTheLastTaskAndMakesFreshContexts) {
  const struct {
    const char *Name, *Value;
  } options[] = {{"ar", "22050"}, {"ac", "1"},       {"vcodec", "mpeg4"}, {"map", "0.1"},  {"metadata", "a=b"},
                 {"t", "10"},     {"g", "25"},       {"crf", "20"},       {"vsync", "2"},  {"sws_flags", "bilinear"},
                 {"vbsf", "h264_mp4toannexb"}};
  for (const auto &o : options)
    Engine->SetOption(o.Name, o.Value);
  std::string matrix = "1";
  for (int i = 2; i <= 64; ++i)
    matrix += "," + std::to_string(i);
  Engine->SetOption("intra_matrix", matrix);
  Engine->SetPostHooks(PostHookBit(phBitmap));
  ASSERT_EQ(IntOpt(CodecOpts(miVideo), "g"), 25);
  ASSERT_FALSE(Engine->FOptions.private_opts.empty());

  Engine->ResetSession();
  ExpectDefaults(*Engine);
  EXPECT_TRUE(Engine->FOptions.opt_names.empty());
  EXPECT_TRUE(Engine->FOptions.private_opts.empty());
  EXPECT_TRUE(Engine->Fvideo_bitstream_filters.empty());
  EXPECT_EQ(Engine->Fintra_matrix, nullptr);
  for (int t = 0; t < MEDIA_TYPE_COUNT; ++t)
    ASSERT_NE(Engine->FOptions.avcodec_opts[t], nullptr) << t;
  EXPECT_NE(IntOpt(CodecOpts(miVideo), "g"), 25);
  ASSERT_NE(Engine->FOptions.avformat_opts, nullptr);
  ASSERT_NE(Engine->FOptions.sws_opts, nullptr);
  EXPECT_EQ(IntOpt(Engine->FOptions.sws_opts.get(), "sws_flags"), SWS_BICUBIC);
}

// An output context writing to APath, as output creation leaves one.
AVFormatContext *OpenOutput(const std::string &APath) {
  AVFormatContext *oc = nullptr;
  EXPECT_GE(AV.avformat_alloc_output_context2(&oc, nullptr, nullptr, APath.c_str()), 0);
  EXPECT_GE(OpenWideIO(&oc->pb, WideFileNameToURL(APath), AVIO_FLAG_WRITE), 0);
  return oc;
}

// Outputs of a session that never finished a run (none ran, or it failed)
// are no results: freeing the session removes them, written or not.
TEST_F(EngineTest, FreeingTheSessionClosesFilesAndDeletesUnfinishedOutputs) {
  const fs::path dir = fs::temp_directory_path() / ("zv_engine_free_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string empty = (dir / "empty.wav").string();
  const std::string written = (dir / "written.wav").string();

  AVFormatContext *ic = nullptr;
  ASSERT_GE(OpenInputFormat(&ic, ToneWav(1.0), nullptr, nullptr), 0);
  Engine->Finput_files[0] = ic;
  Engine->Fnb_input_files = 1;
  Engine->Foutput_files[0] = OpenOutput(empty);
  Engine->Foutput_files[1] = OpenOutput(written);
  AV.avio_write(Engine->Foutput_files[1]->pb, reinterpret_cast<const unsigned char *>("RIFF"), 4);
  Engine->Fnb_output_files = 2;

  Engine->ResetSession();
  EXPECT_EQ(Engine->nb_input_files(), 0);
  EXPECT_EQ(Engine->nb_output_files(), 0);
  EXPECT_EQ(Engine->Finput_files[0], nullptr);
  EXPECT_FALSE(fs::exists(empty));
  EXPECT_FALSE(fs::exists(written));
  EXPECT_TRUE(Logged("Incomplete output removed: " + written));
  EXPECT_FALSE(Logged("Incomplete output removed: " + empty));
  fs::remove_all(dir);
}

TEST_F(EngineTest, JoinedOutputSlotsAreFreedOnce) {
  const fs::path dir = fs::temp_directory_path() / ("zv_engine_join_" + std::to_string(getpid()));
  fs::create_directories(dir);
  AVFormatContext *oc = OpenOutput((dir / "joined.wav").string());
  for (int i = 0; i < 3; ++i)
    Engine->Foutput_files[static_cast<size_t>(i)] = oc;
  Engine->Fnb_output_files = 3;
  Engine->FJoinMode = true;
  Engine->ResetSession(); // a second free of the shared context would abort here
  EXPECT_EQ(Engine->nb_output_files(), 0);
  EXPECT_FALSE(fs::exists(dir / "joined.wav"));
  fs::remove_all(dir);
}

} // namespace
