// Presets: the built-in x264 presets on a real x264 encoder, lookup by name
// and codec, preset files and every refusal.
#include "tests/engine/engine_fixture.h"

#include "engine/legacy_names.h"
#include "engine/presets.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The 36 built-in presets, each as the short name "vpre" completes with the
// codec name.
const char *const X264PresetNames[] = {
    "baseline", "default", "fast", "fast_firstpass", "faster", "faster_firstpass", "fastfirstpass",
    "hq", "ipod320", "ipod640", "lossless_fast", "lossless_max", "lossless_medium", "lossless_slow",
    "lossless_slower", "lossless_ultrafast", "main", "max", "medium", "medium_firstpass", "normal",
    "placebo", "placebo_firstpass", "slow", "slow_firstpass", "slower", "slower_firstpass",
    "slowfirstpass", "superfast", "superfast_firstpass", "ultrafast", "ultrafast_firstpass", "veryfast",
    "veryfast_firstpass", "veryslow", "veryslow_firstpass",
};

using TSettings = std::map<std::string, std::string>;

// The settings an x264 encoder writes into its first packet ("options: cabac=1
// ref=3 ..."), as name -> value.
TSettings X264Settings(const std::string &APacketData) {
  TSettings r;
  const size_t start = APacketData.find("options: ");
  if (start == std::string::npos)
    return r;
  const size_t end = APacketData.find('\0', start);
  std::istringstream in(APacketData.substr(start + 9, end - start - 9));
  std::string item;
  while (in >> item) {
    const size_t eq = item.find('=');
    if (eq != std::string::npos)
      r[item.substr(0, eq)] = item.substr(eq + 1);
  }
  return r;
}

class PresetsTest : public EngineTest {
protected:
  void TearDown() override {
    if (!Dir.empty())
      fs::remove_all(Dir);
    EngineTest::TearDown();
  }

  // A preset file with AText in this test's own folder.
  std::string PresetFile(const std::string &AName, const std::string &AText) {
    if (Dir.empty()) {
      Dir = fs::temp_directory_path() / ("zv_presets_" + std::to_string(getpid()));
      fs::create_directories(Dir);
    }
    const fs::path path = Dir / AName;
    std::ofstream(path, std::ios::binary) << AText;
    return path.string();
  }

  std::string PresetError(const std::string &AOptName, const std::string &AValue) {
    try {
      Engine->LoadPreset(AOptName, AValue);
    } catch (const FFmpegException &e) {
      return e.what();
    }
    return "<no exception>";
  }

  // Opens a real x264 encoder the way a session opens a video encoder (the
  // collected video options, then the private options kept for it), encodes
  // a few 64x64 gray frames and returns the settings it wrote. Fails the test
  // when the encoder refuses anything.
  TSettings EncodeWithX264() {
    const AVCodec *codec = AV.avcodec_find_encoder_by_name("libx264");
    if (!codec) {
      ADD_FAILURE() << "libx264 is not available";
      return {};
    }
    TCodecContextPtr ctx(AV.avcodec_alloc_context3(codec));
    Engine->ApplyCollectedOptions(ctx.get(), CodecOpts(miVideo), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
    ctx->width = 64;
    ctx->height = 64;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = AVRational{1, 25};
    AVDictionary *dict = nullptr;
    Engine->AddPrivateOptions(codec, &dict);
    const int ret = AV.avcodec_open2(ctx.get(), codec, &dict);
    const int left = AV.av_dict_count(dict);
    AV.av_dict_free(&dict);
    if (ret < 0) {
      ADD_FAILURE() << "avcodec_open2: " << AVErrorText(ret);
      return {};
    }
    EXPECT_EQ(left, 0) << "options x264 did not take";

    AVFrame *frame = AV.av_frame_alloc();
    AVPacket *pkt = AV.av_packet_alloc();
    frame->width = 64;
    frame->height = 64;
    frame->format = AV_PIX_FMT_YUV420P;
    EXPECT_GE(AV.av_frame_get_buffer(frame, 0), 0);
    std::string first;
    int packets = 0;
    const int frames = 12;
    for (int i = 0; i <= frames; ++i) {
      const bool flush = i == frames;
      if (!flush) {
        EXPECT_GE(AV.av_frame_make_writable(frame), 0);
        for (int p = 0; p < 3; ++p)
          std::memset(frame->data[p], p == 0 ? 40 + 12 * i : 128,
                      static_cast<size_t>(frame->linesize[p]) * (p ? 32 : 64));
        frame->pts = i;
      }
      int sent = AV.avcodec_send_frame(ctx.get(), flush ? nullptr : frame);
      EXPECT_GE(sent, 0) << "frame " << i;
      while (AV.avcodec_receive_packet(ctx.get(), pkt) >= 0) {
        if (packets++ == 0)
          first.assign(reinterpret_cast<const char *>(pkt->data), static_cast<size_t>(pkt->size));
        AV.av_packet_unref(pkt);
      }
    }
    EXPECT_EQ(packets, frames);
    AV.av_packet_free(&pkt);
    AV.av_frame_free(&frame);
    return X264Settings(first);
  }

  fs::path Dir;
};

// Every built-in preset applies on the current libraries, opens x264 with
// nothing refused, encodes, and leaves x264 with other settings than none.
TEST_F(PresetsTest, EveryBuiltinPresetChangesARealX264Encoder) {
  ASSERT_EQ(BuiltinPresetList().size(), std::size(X264PresetNames));
  Engine->SetOption("vcodec", "libx264");
  const TSettings none = EncodeWithX264();
  ASSERT_FALSE(none.empty());
  for (const char *name : X264PresetNames) {
    Engine->ResetSession();
    Logged_.clear();
    Engine->SetOption("vcodec", "libx264");
    ASSERT_NO_THROW(Engine->SetOption("vpre", name)) << name;
    const TSettings settings = EncodeWithX264();
    EXPECT_FALSE(settings.empty()) << name;
    EXPECT_NE(settings, none) << name;
    EXPECT_TRUE(Lines(llError).empty()) << name << ": " << (Lines(llError).empty() ? "" : Lines(llError)[0]);
  }
}

// Each older name a preset uses, read back from the settings x264 wrote:
// translated names both ways, and the keys today's libraries still know.
TEST_F(PresetsTest, BuiltinPresetSettingsReachX264) {
  const struct {
    const char *Preset;
    TSettings Expected;
  } cases[] = {
      // directpred, flags2 members, partitions (old flags), refs, subq
      {"default",
       {{"direct", "1"}, {"mixed_ref", "1"}, {"weightb", "1"}, {"8x8dct", "1"}, {"fast_pskip", "1"},
        {"mbtree", "1"}, {"analyse", "0x3:0x113"}, {"ref", "3"}, {"subme", "7"}, {"me", "hex"}}},
      {"hq", {{"direct", "3"}, {"b_adapt", "2"}, {"me", "umh"}, {"ref", "4"}}},
      {"fast", {{"b_pyramid", "2"}, {"ref", "2"}, {"subme", "6"}}},
      {"fastfirstpass",
       {{"b_pyramid", "0"}, {"weightb", "0"}, {"8x8dct", "0"}, {"mixed_ref", "0"}, {"analyse", "0x1:0"},
        {"me", "dia"}, {"direct", "3"}}},
      {"faster", {{"mixed_ref", "0"}, {"ref", "2"}, {"weightp", "1"}}},
      {"main", {{"8x8dct", "0"}}},
      {"max", {{"fast_pskip", "0"}, {"me", "tesa"}, {"me_range", "24"}, {"subme", "10"}, {"trellis", "2"}}},
      {"superfast", {{"mbtree", "0"}, {"analyse", "0x3:0x3"}, {"weightp", "0"}}},
      {"lossless_fast", {{"rc", "cqp"}, {"qp", "0"}, {"analyse", "0x1:0x11"}, {"cabac", "0"}}},
      {"lossless_max", {{"rc", "cqp"}, {"qp", "0"}, {"analyse", "0x3:0x33"}, {"me", "esa"}, {"ref", "16"}}},
      {"ultrafast", {{"bframes", "0"}, {"cabac", "0"}, {"scenecut", "0"}, {"subme", "0"}, {"analyse", "0x1:0"}}},
      {"placebo", {{"bframes", "16"}, {"ref", "16"}, {"qpmin", "10"}, {"qpmax", "51"}, {"ip_ratio", "1.41"}}},
      {"ipod320", {{"vbv_maxrate", "768"}, {"vbv_bufsize", "3000"}, {"bframes", "0"}}},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    Engine->SetOption("vcodec", "libx264");
    Engine->SetOption("vpre", c.Preset);
    const TSettings settings = EncodeWithX264();
    for (const auto &[key, value] : c.Expected) {
      const auto it = settings.find(key);
      EXPECT_EQ(it == settings.end() ? "<absent>" : it->second, value) << c.Preset << " " << key;
    }
  }
}

TEST_F(PresetsTest, StoredTextOfFastFirstPassEndsInAControlCharacter) {
  const TBuiltinPreset *p = FindBuiltinPreset("libx264-fastfirstpass");
  ASSERT_NE(p, nullptr);
  const std::string text = p->Text;
  EXPECT_EQ(text.substr(text.size() - 10), "\nwpredp=2\x01");
  // Trimming the text takes the character off the value of the last line.
  Engine->LoadPreset("vpre", "libx264-fastfirstpass");
  std::string wpredp = "<not kept>";
  for (const auto &opt : Engine->FOptions.private_opts)
    if (opt.Name == "wpredp")
      wpredp = opt.Value;
  EXPECT_EQ(wpredp, "2");
}

// The value names a built-in preset, case-insensitively, or completes the
// name of the codec chosen for the option's kind; else it is a file name.
TEST_F(PresetsTest, LookupByNameOrByCodecName) {
  const struct {
    const char *Option, *Value, *VideoCodec, *AudioCodec, *SubtitleCodec;
    const char *Applied; // the built-in preset expected, or the refusal
  } cases[] = {
      {"vpre", "default", "libx264", "", "", "libx264-default"},
      {"vpre", "Default", "libx264", "", "", "libx264-default"},
      {"vpre", "LIBX264-MAIN", "", "", "", "libx264-main"},
      {"vpre", "libx264-ipod320", "mpeg4", "", "", "libx264-ipod320"},
      {"apre", "ipod320", "", "libx264", "", "libx264-ipod320"},
      {"spre", "main", "", "", "libx264", "libx264-main"},
      {"vpre", "default", "", "libx264", "", "Preset \"default\" not found"},
      {"apre", "default", "libx264", "", "", "Preset \"default\" not found"},
      {"vpre", "default", "mpeg4", "", "", "Preset \"default\" not found"},
      {"vpre", "default", "copy", "", "", "Preset \"default\" not found"},
      {"vpre", "libx264-nosuch", "libx264", "", "", "Preset \"libx264-nosuch\" not found"},
      {"fpre", "libx264-main", "libx264", "", "", "Preset \"libx264-main\" not found"},
      {"fpre", "main", "libx264", "", "", "Preset \"main\" not found"},
  };
  for (const auto &c : cases) {
    Engine->ResetSession();
    Engine->SetOption("vcodec", c.VideoCodec);
    Engine->SetOption("acodec", c.AudioCodec);
    Engine->SetOption("scodec", c.SubtitleCodec);
    std::string applied;
    try {
      Engine->SetOption(c.Option, c.Value);
      // What the preset set, told apart by a setting only that preset makes.
      applied = IntOpt(CodecOpts(miVideo), "level") == 13   ? "libx264-ipod320"
                : IntOpt(CodecOpts(miVideo), "refs") == 3   ? "libx264-default"
                : Engine->FOptions.private_opts.size() == 1 ? "libx264-main"
                                                            : "<nothing>";
    } catch (const FFmpegException &e) {
      applied = e.what();
    }
    EXPECT_EQ(applied, c.Applied) << c.Option << "=" << c.Value;
  }
}

TEST_F(PresetsTest, EmptyOptionOrValueDoesNothing) {
  EXPECT_NO_THROW(Engine->LoadPreset("", "libx264-main"));
  EXPECT_NO_THROW(Engine->LoadPreset("fpre", ""));
  EXPECT_NO_THROW(Engine->SetOption("vpre", ""));
  EXPECT_TRUE(Engine->FOptions.private_opts.empty());
}

// A preset file: trimmed, any line break, blank lines skipped, the codec keys
// in any case, every other key through the generic options.
TEST_F(PresetsTest, PresetFileAppliesEachLine) {
  const std::string file = PresetFile(
      "mine.ffpreset", "\r\n  VCodec = mpeg4 \r\ng=30\rbf=2\n\n   \nflags2=-dct8x8\nacodec=copy\nab=96000\n\n");
  for (const char *option : {"fpre", "vpre"}) { // "vpre" falls back to a file when no built-in has the name
    Engine->ResetSession();
    Engine->SetOption(option, file);
    EXPECT_EQ(Engine->Fvideo_codec_name, "mpeg4") << option;
    EXPECT_EQ(Engine->Faudio_stream_copy, 1) << option;
    EXPECT_EQ(IntOpt(CodecOpts(miVideo), "g"), 30) << option;
    EXPECT_EQ(IntOpt(CodecOpts(miVideo), "bf"), 2) << option;
    EXPECT_EQ(IntOpt(CodecOpts(miAudio), "b"), 96000) << option;
    ASSERT_EQ(Engine->FOptions.private_opts.size(), 1u) << option;
    EXPECT_EQ(Engine->FOptions.private_opts[0].Name, "8x8dct");
    EXPECT_EQ(Engine->FOptions.private_opts[0].Value, "0");
  }
  Engine->ResetSession();
  EXPECT_NO_THROW(Engine->SetOption("fpre", PresetFile("empty.ffpreset", " \n\r\n ")));
  EXPECT_TRUE(Engine->FOptions.opt_names.empty());
}

// A preset stops at its first refused line; the lines before it stay applied.
TEST_F(PresetsTest, RefusedPresetLinesAndFiles) {
  const struct {
    const char *Text, *Message; // the message after "<file>: "
  } cases[] = {
      {"g=30\nnoequals\nbf=2\n", "Invalid syntax: \"noequals\""},
      {"g=30\n =5\n", "Invalid syntax: \"=5\""},
      {"g=30\n  bf= \t\n", "Invalid syntax: \"bf=\""},
      {"g=30\nno_such_key=1\nbf=2", "Invalid option or argument: \"no_such_key=1\", parsed as \"no_such_key\" = \"1\""},
      {"g=30\r\ng = many\r\n", "Invalid option or argument: \"g = many\", parsed as \"g\" = \"many\""},
      {"g=30\ncrf=soft\n", "Invalid option or argument: \"crf=soft\", parsed as \"crf\" = \"soft\""},
  };
  int n = 0;
  for (const auto &c : cases) {
    Engine->ResetSession();
    const std::string file = PresetFile("refused" + std::to_string(n++) + ".ffpreset", c.Text);
    EXPECT_EQ(PresetError("fpre", file), file + ": " + c.Message);
    EXPECT_EQ(IntOpt(CodecOpts(miVideo), "g"), 30) << c.Text;
    EXPECT_NE(IntOpt(CodecOpts(miVideo), "bf"), 2) << c.Text;
  }

  const std::string missing = (fs::temp_directory_path() / "zv_no_such_dir" / "x.ffpreset").string();
  EXPECT_EQ(PresetError("fpre", missing), "Preset \"" + missing + "\" not found");
  PresetFile("placeholder", "");
  EXPECT_EQ(PresetError("fpre", Dir.string()), "Preset \"" + Dir.string() + "\" not found"); // a folder
  const std::string large = PresetFile("large.ffpreset", std::string((1 << 20) + 1, '\n'));
  EXPECT_EQ(PresetError("fpre", large), "Preset \"" + large + "\" is too large");
}

// The older names of the built-in presets that today's libraries spell
// differently, as translated before they reach the option contexts.
TEST(LegacyNamesOfPresets, PartitionsAndFlagsMembers) {
  using P = TOptionPairs;
  const struct {
    const char *Name, *Value;
    bool Translated;
    P Pairs;
  } cases[] = {
      {"partitions", "+parti8x8+parti4x4+partp8x8+partb8x8", true, {{"partitions", "i8x8,i4x4,p8x8,b8x8"}}},
      {"partitions", "-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8", true, {{"partitions", "i4x4,p8x8"}}},
      {"partitions", "-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", true, {{"partitions", "none"}}},
      {"partitions", "partp4x4", true, {{"partitions", "p4x4"}}},
      {"partitions", "i8x8,p8x8", false, {}}, // today's spelling
      {"partitions", "+parti8x8+bogus", false, {}},
      {"flags", "+scan_offset", true, {{"scan_offset", "1"}}},
      {"flags", "+loop-scan_offset+gray", true, {{"flags", "+loop+gray"}, {"scan_offset", "0"}}},
      {"flags", "+loop", false, {}},
      {"flags", "+mixed_refs", false, {}}, // a member of "flags2", not of "flags"
      {"flags2", "+scan_offset", false, {}},
  };
  for (const auto &c : cases) {
    P pairs;
    EXPECT_EQ(TranslateLegacyOption(c.Name, c.Value, pairs), c.Translated) << c.Name << "=" << c.Value;
    EXPECT_EQ(pairs, c.Pairs) << c.Name << "=" << c.Value;
  }
}

} // namespace
