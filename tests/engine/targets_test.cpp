// Targets: what each disc or camcorder format sets for each norm, how the norm
// is found, and that the mux settings reach the real muxer.
#include "tests/engine/engine_fixture.h"

#include "media/wide_file.h"
#include "tests/support/fixtures.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class TargetsTest : public EngineTest {
protected:
  // The value a private option (one no generic context knows) was kept with.
  std::string KeptPrivate(const std::string &AName) const {
    for (const auto &opt : Engine->FOptions.private_opts)
      if (opt.Name == AName)
        return opt.Value;
    return "<not kept>";
  }

  // Opens AFileName (with its stream information) as the session's next input.
  void AddInput(const std::string &AFileName) {
    AVFormatContext *ic = nullptr;
    ASSERT_GE(OpenInputFormat(&ic, AFileName, nullptr, nullptr), 0) << AFileName;
    Engine->Finput_files[static_cast<size_t>(Engine->Fnb_input_files++)] = ic;
    ASSERT_GE(AV.avformat_find_stream_info(ic, nullptr), 0) << AFileName;
  }

  std::string TargetError(const std::string &AValue) {
    try {
      Engine->SetOption("target", AValue);
    } catch (const FFmpegException &e) {
      return e.what();
    }
    return "<no exception>";
  }
};

// The picture, codecs and container of every target for each norm.
TEST_F(TargetsTest, PictureCodecsAndContainerByTargetAndNorm) {
  const struct {
    const char *Value;
    int Width, Height;
    AVRational Rate;
    AVPixelFormat PixFmt;
    const char *Format, *VideoCodec, *AudioCodec;
    int SampleRate;
  } cases[] = {
      {"pal-vcd", 352, 288, {25, 1}, AV_PIX_FMT_NONE, "vcd", "mpeg1video", "mp2", 44100},
      {"ntsc-vcd", 352, 240, {30000, 1001}, AV_PIX_FMT_NONE, "vcd", "mpeg1video", "mp2", 44100},
      {"film-vcd", 352, 240, {24000, 1001}, AV_PIX_FMT_NONE, "vcd", "mpeg1video", "mp2", 44100},
      {"pal-svcd", 480, 576, {25, 1}, AV_PIX_FMT_NONE, "svcd", "mpeg2video", "mp2", 44100},
      {"ntsc-svcd", 480, 480, {30000, 1001}, AV_PIX_FMT_NONE, "svcd", "mpeg2video", "mp2", 44100},
      {"pal-dvd", 720, 576, {25, 1}, AV_PIX_FMT_NONE, "dvd", "mpeg2video", "ac3", 48000},
      {"film-dvd", 720, 480, {24000, 1001}, AV_PIX_FMT_NONE, "dvd", "mpeg2video", "ac3", 48000},
      {"pal-dv", 720, 576, {25, 1}, AV_PIX_FMT_YUV420P, "dv", "", "", 48000},
      {"ntsc-dv", 720, 480, {30000, 1001}, AV_PIX_FMT_YUV411P, "dv", "", "", 48000},
      {"film-dv", 720, 480, {24000, 1001}, AV_PIX_FMT_YUV411P, "dv", "", "", 48000},
      {"pal-dv50", 720, 576, {25, 1}, AV_PIX_FMT_YUV422P, "dv", "", "", 48000},
      {"ntsc-dv50", 720, 480, {30000, 1001}, AV_PIX_FMT_YUV422P, "dv", "", "", 48000},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    Engine->SetOption("ar", "22050");
    Engine->SetOption("target", c.Value);
    EXPECT_EQ(Engine->Fframe_width, c.Width) << c.Value;
    EXPECT_EQ(Engine->Fframe_height, c.Height) << c.Value;
    EXPECT_EQ(Engine->Fframe_rate.num, c.Rate.num) << c.Value;
    EXPECT_EQ(Engine->Fframe_rate.den, c.Rate.den) << c.Value;
    EXPECT_EQ(Engine->Fframe_pix_fmt, c.PixFmt) << c.Value;
    EXPECT_EQ(Engine->Flast_asked_format, c.Format) << c.Value;
    EXPECT_EQ(Engine->Fvideo_codec_name, c.VideoCodec) << c.Value;
    EXPECT_EQ(Engine->Faudio_codec_name, c.AudioCodec) << c.Value;
    EXPECT_EQ(Engine->Faudio_sample_rate, c.SampleRate) << c.Value;
  }
}

// Rates, buffer and mux settings of the disc targets, read where the codecs
// and muxers will take them from.
TEST_F(TargetsTest, RateAndMuxSettingsOfTheDiscTargets) {
  struct TSetting {
    TMediaIndex Context; // miData: the format context
    const char *Name;
    int64_t Value;
  };
  const struct {
    const char *Value;
    std::vector<TSetting> Settings;
    const char *MuxRate;    // the MPEG-PS muxer's own option
    const char *ScanOffset; // mpeg2video's own option
    float MuxPreload;
  } cases[] = {
      {"pal-vcd",
       {{miVideo, "g", 15}, {miVideo, "b", 1150000}, {miVideo, "maxrate", 1150000}, {miVideo, "minrate", 1150000},
        {miVideo, "bufsize", 327680}, {miAudio, "b", 224000}, {miData, "packetsize", 2324}},
       "1411200", "<not kept>", 0.44f},
      {"ntsc-vcd", {{miVideo, "g", 18}}, "1411200", "<not kept>", 0.44f},
      {"pal-svcd",
       {{miVideo, "g", 15}, {miVideo, "b", 2040000}, {miVideo, "maxrate", 2516000}, {miVideo, "minrate", 0},
        {miVideo, "bufsize", 1835008}, {miAudio, "b", 224000}, {miData, "packetsize", 2324}},
       "<not kept>", "1", 0.5f},
      {"ntsc-svcd", {{miVideo, "g", 18}}, "<not kept>", "1", 0.5f},
      {"pal-dvd",
       {{miVideo, "g", 15}, {miVideo, "b", 6000000}, {miVideo, "maxrate", 9000000}, {miVideo, "minrate", 0},
        {miVideo, "bufsize", 1835008}, {miAudio, "b", 448000}, {miData, "packetsize", 2048}},
       "10080000", "<not kept>", 0.5f},
      {"film-dvd", {{miVideo, "g", 18}}, "10080000", "<not kept>", 0.5f},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    Engine->SetOption("minrate", "1"); // so that "0" shows it was set
    Engine->SetOption("target", c.Value);
    for (const auto &s : c.Settings) {
      void *ctx = s.Context == miData ? static_cast<void *>(Engine->FOptions.avformat_opts.get())
                                      : static_cast<void *>(CodecOpts(s.Context));
      EXPECT_EQ(IntOpt(ctx, s.Name), s.Value) << c.Value << " " << s.Name;
    }
    EXPECT_EQ(KeptPrivate("muxrate"), c.MuxRate) << c.Value;
    EXPECT_EQ(KeptPrivate("scan_offset"), c.ScanOffset) << c.Value;
    EXPECT_FLOAT_EQ(Engine->Fmux_preload, c.MuxPreload) << c.Value;
  }
  // None of the settings was refused along the way.
  EXPECT_TRUE(Lines(llError).empty());
}

TEST_F(TargetsTest, ChannelsAndDefaultAspectRatio) {
  const struct {
    const char *Value;
    const char *Channels, *Aspect; // given before the target; "" for none
    int ExpectedChannels;
    float ExpectedAspect;
    const char *Logged; // at llInfo; "" for nothing
  } cases[] = {
      {"pal-vcd", "6", "", 2, 4.0f / 3, "Assuming 4:3 for aspect ratio"},
      {"pal-vcd", "1", "16:9", 2, 16.0f / 9, ""},
      {"pal-svcd", "1", "", 2, 4.0f / 3, "Assuming 4:3 for aspect ratio"},
      {"pal-svcd", "6", "2.35", 6, 2.35f, ""},
      {"pal-dvd", "1", "", 2, 16.0f / 9, "Assuming 16:9 for aspect ratio"},
      {"pal-dvd", "6", "4:3", 6, 4.0f / 3, ""},
      {"pal-dv", "6", "", 2, 0, ""},
      {"ntsc-dv50", "1", "", 2, 0, ""},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    Engine->SetOption("ac", c.Channels);
    Engine->SetOption("aspect", c.Aspect);
    Logged_.clear();
    Engine->SetOption("target", c.Value);
    EXPECT_EQ(Engine->Faudio_channels, c.ExpectedChannels) << c.Value << " ac " << c.Channels;
    EXPECT_FLOAT_EQ(Engine->Fframe_aspect_ratio, c.ExpectedAspect) << c.Value << " aspect " << c.Aspect;
    const std::vector<std::string> expected =
        *c.Logged ? std::vector<std::string>{c.Logged} : std::vector<std::string>{};
    EXPECT_EQ(Lines(llInfo), expected) << c.Value << " aspect " << c.Aspect;
  }
}

// Without a norm the frame rate decides, then the inputs' video streams, then
// the default norm.
TEST_F(TargetsTest, NormFromTheFrameRateOrTheDefault) {
  const struct {
    const char *Rate;    // "r" given before
    const char *Default; // the default norm handed to ApplyTarget
    int Height;
    AVRational Rate2;
    const char *Logged;
  } cases[] = {
      {"25", "ntsc", 576, {25, 1}, "Assuming PAL for target."},
      {"30000/1001", "pal", 480, {30000, 1001}, "Assuming NTSC for target."},
      {"ntsc", "pal", 480, {30000, 1001}, "Assuming NTSC for target."},
      // A film rate is taken for NTSC: its frame rate follows NTSC.
      {"24000/1001", "pal", 480, {30000, 1001}, "Assuming NTSC for target."},
      {"30", "ntsc", 480, {30000, 1001}, "Assuming NTSC for target."},
      {"30", "film", 480, {24000, 1001}, "Assuming NTSC for target."},
      {"30", "pal", 576, {25, 1}, "Assuming PAL for target."},
      {"30", "", 576, {25, 1}, "Assuming PAL for target."},
      {"24", "secam", 576, {25, 1}, "Assuming PAL for target."},
  };
  FFLogger().SetLogLevel(llVerbose);
  for (const auto &c : cases) {
    for (const char *norm : {"auto", ""}) { // anything but the three names is automatic
      Engine->ResetSession();
      Engine->SetOption("r", c.Rate);
      Logged_.clear();
      Engine->ApplyTarget("dvd", norm, c.Default);
      EXPECT_EQ(Engine->Fframe_height, c.Height) << c.Rate << " " << c.Default;
      EXPECT_EQ(Engine->Fframe_rate.num, c.Rate2.num) << c.Rate << " " << c.Default;
      EXPECT_EQ(Engine->Fframe_rate.den, c.Rate2.den) << c.Rate << " " << c.Default;
      EXPECT_EQ(Lines(llVerbose), std::vector<std::string>{c.Logged}) << c.Rate << " " << c.Default;
    }
  }

  // A given norm needs no frame rate and says nothing.
  Engine->ResetSession();
  Logged_.clear();
  Engine->ApplyTarget("vcd", "pal", "ntsc");
  EXPECT_EQ(Engine->Fframe_height, 288);
  EXPECT_TRUE(Lines(llVerbose).empty());
  // Nor does automatic detection when the session is quiet.
  Engine->ResetSession();
  Engine->SetOption("v", "0");
  Engine->SetOption("r", "25");
  Engine->ApplyTarget("vcd", "auto", "ntsc");
  EXPECT_EQ(Engine->Fframe_height, 288);
  EXPECT_TRUE(Lines(llVerbose).empty());
}

TEST_F(TargetsTest, NormFromTheInputsVideoStreams) {
  const std::string pal = TestMovie(1.0); // 25 fps
  const std::string ntsc =
      Fixture({"ntsc_rate.avi", "testsrc=size=64x48:rate=30000/1001:duration=0.5", "", "mpeg4", ""});
  const std::string other = Fixture({"rate_50.avi", "testsrc=size=64x48:rate=50:duration=0.5", "", "mpeg4", ""});
  const std::string audio = ToneWav(0.5);
  const struct {
    std::vector<std::string> Inputs;
    const char *Default;
    int Height;
  } cases[] = {
      {{pal}, "ntsc", 576},
      {{ntsc}, "pal", 480},
      // The first stream that decides wins; others are passed over.
      {{audio, other, ntsc, pal}, "pal", 480},
      {{other, pal, ntsc}, "ntsc", 576},
      {{audio, other}, "ntsc", 480},
      {{audio, other}, "pal", 576},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    for (const auto &file : c.Inputs)
      AddInput(file);
    Engine->SetOption("r", "30"); // decides nothing
    Engine->ApplyTarget("dvd", "auto", c.Default);
    EXPECT_EQ(Engine->Fframe_height, c.Height) << c.Inputs.size() << " inputs, default " << c.Default;
  }
}

TEST_F(TargetsTest, RefusedTargets) {
  // Without a norm and a frame rate nothing can be decided, whatever the target.
  for (const char *value : {"vcd", "dvd", "bogus", " dv "}) {
    Engine->ResetSession();
    EXPECT_EQ(TargetError(value), "frame_rate is invalid.") << value;
    EXPECT_EQ(Engine->Fvideo_codec_name, "") << value;
    EXPECT_EQ(Engine->Fframe_width, 0) << value;
  }
  for (const char *value : {"pal-bogus", "ntsc-VCD", "film-", "pal-dv25", "secam-vcd"}) {
    Engine->ResetSession();
    Engine->SetOption("r", "25");
    EXPECT_EQ(TargetError(value), "Unknown target type") << value;
    EXPECT_EQ(Engine->Fframe_width, 0) << value;
  }
  Engine->ResetSession();
  EXPECT_EQ(TargetError(" pal-dvd "), "<no exception>"); // the value is trimmed
  EXPECT_EQ(Engine->Fframe_width, 720);
}

// What a DVD target keeps for the muxer reaches a real MPEG-PS muxer, and its
// codec settings reach real encoders that open with them.
TEST_F(TargetsTest, DvdSettingsReachTheMuxerAndTheEncoders) {
  Engine->SetOption("target", "pal-dvd");

  const AVCodec *mpeg2 = AV.avcodec_find_encoder_by_name(Engine->Fvideo_codec_name.c_str());
  ASSERT_NE(mpeg2, nullptr);
  TCodecContextPtr video(AV.avcodec_alloc_context3(mpeg2));
  Engine->ApplyCollectedOptions(video.get(), CodecOpts(miVideo), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
  video->width = Engine->Fframe_width;
  video->height = Engine->Fframe_height;
  video->pix_fmt = AV_PIX_FMT_YUV420P;
  video->time_base = AVRational{Engine->Fframe_rate.den, Engine->Fframe_rate.num};
  ASSERT_GE(AV.avcodec_open2(video.get(), mpeg2, nullptr), 0);
  EXPECT_EQ(video->bit_rate, 6000000);
  EXPECT_EQ(video->rc_max_rate, 9000000);
  EXPECT_EQ(video->rc_buffer_size, 1835008);
  EXPECT_EQ(video->gop_size, 15);

  const AVCodec *ac3 = AV.avcodec_find_encoder_by_name(Engine->Faudio_codec_name.c_str());
  ASSERT_NE(ac3, nullptr);
  TCodecContextPtr audio(AV.avcodec_alloc_context3(ac3));
  Engine->ApplyCollectedOptions(audio.get(), CodecOpts(miAudio), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
  audio->sample_rate = Engine->Faudio_sample_rate;
  audio->sample_fmt = ac3->sample_fmts[0];
  AV.av_channel_layout_default(&audio->ch_layout, Engine->Faudio_channels);
  ASSERT_GE(AV.avcodec_open2(audio.get(), ac3, nullptr), 0);
  EXPECT_EQ(audio->bit_rate, 448000);

  const fs::path path = fs::temp_directory_path() / ("zv_target_dvd_" + std::to_string(getpid()) + ".vob");
  AVFormatContext *oc = nullptr;
  ASSERT_GE(AV.avformat_alloc_output_context2(&oc, nullptr, Engine->Flast_asked_format.c_str(), path.c_str()), 0);
  TFormatContextPtr ocOwner(oc);
  Engine->ApplyCollectedOptions(oc, Engine->FOptions.avformat_opts.get(), AV_OPT_FLAG_ENCODING_PARAM);
  EXPECT_EQ(oc->packet_size, 2048u);
  for (AVCodecContext *enc : {video.get(), audio.get()}) {
    AVStream *st = AV.avformat_new_stream(oc, nullptr);
    ASSERT_GE(AV.avcodec_parameters_from_context(st->codecpar, enc), 0);
    st->time_base = enc->time_base;
  }
  ASSERT_GE(AV.avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  AVDictionary *dict = nullptr;
  Engine->AddPrivateOptions(oc->oformat, &dict);
  const int ret = AV.avformat_write_header(oc, &dict);
  EXPECT_EQ(AV.av_dict_count(dict), 0) << "options the muxer did not take";
  AV.av_dict_free(&dict);
  ASSERT_GE(ret, 0) << AVErrorText(ret);
  EXPECT_EQ(IntOpt(oc->priv_data, "muxrate"), 10080000);
  AV.av_write_trailer(oc);
  AV.avio_closep(&oc->pb);
  fs::remove(path);
}

// The older name "flags=+scan_offset" of the SVCD target reaches mpeg2video.
TEST_F(TargetsTest, SvcdScanOffsetReachesTheEncoder) {
  Engine->SetOption("target", "ntsc-svcd");
  const AVCodec *mpeg2 = AV.avcodec_find_encoder_by_name("mpeg2video");
  TCodecContextPtr video(AV.avcodec_alloc_context3(mpeg2));
  Engine->ApplyCollectedOptions(video.get(), CodecOpts(miVideo), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
  video->width = Engine->Fframe_width;
  video->height = Engine->Fframe_height;
  video->pix_fmt = AV_PIX_FMT_YUV420P;
  video->time_base = AVRational{Engine->Fframe_rate.den, Engine->Fframe_rate.num};
  AVDictionary *dict = nullptr;
  Engine->AddPrivateOptions(mpeg2, &dict);
  const int ret = AV.avcodec_open2(video.get(), mpeg2, &dict);
  EXPECT_EQ(AV.av_dict_count(dict), 0);
  AV.av_dict_free(&dict);
  ASSERT_GE(ret, 0) << AVErrorText(ret);
  EXPECT_EQ(IntOpt(video->priv_data, "scan_offset"), 1);
  EXPECT_EQ(video->rc_max_rate, 2516000);
}

} // namespace
