// Pictures on their way through the engine: filter graphs, crop and scale
// around them, deinterlacing, the custom hook, hook modules, the preview
// events and window, and a picture size that changes mid-stream.
#include "tests/engine/conversion_support.h"
#include "tests/support/fixtures.h"

#include "media/previewer.h"
#include "media/wide_file.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// 64x48, left half red and right half blue, one second at 25 fps, lossless.
std::string RedBlueClip() {
  return Fixture({"red_blue.avi", "color=c=red:size=64x48:rate=25:duration=1,drawbox=x=32:y=0:w=32:h=48:color=blue:t=fill",
                  "", "ffv1"});
}

// 64x48 black, one second at 25 fps, lossless.
std::string BlackClip() { return Fixture({"black.avi", "color=c=black:size=64x48:rate=25:duration=1", "", "ffv1"}); }

bool Near(const TBGR &APixel, const TBGR &AWanted, int ATolerance = 40) {
  return std::abs(APixel.B - AWanted.B) <= ATolerance && std::abs(APixel.G - AWanted.G) <= ATolerance &&
         std::abs(APixel.R - AWanted.R) <= ATolerance;
}

::testing::AssertionResult PixelIs(const TBitmap &ABitmap, int AX, int AY, TBGR AWanted) {
  if (ABitmap.Empty())
    return ::testing::AssertionFailure() << "no picture";
  const TBGR p = PixelAt(ABitmap, AX, AY);
  if (Near(p, AWanted))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << AX << "," << AY << ") is B" << p.B << " G" << p.G << " R" << p.R
                                       << ", wanted B" << AWanted.B << " G" << AWanted.G << " R" << AWanted.R;
}

constexpr TBGR kRed{0, 0, 255}, kBlue{255, 0, 0}, kCyan{255, 255, 0}, kWhite{255, 255, 255}, kBlack{0, 0, 0};

struct TPixelCheck {
  int X, Y;
  TBGR Colour;
};

struct TFilterCase {
  const char *Name;
  TSteps Options;
  int Width, Height;
  std::vector<TPixelCheck> Pixels; // in the first output picture
};

class Filters : public ConversionTest, public ::testing::WithParamInterface<TFilterCase> {};

TEST_P(Filters, PicturesGoThroughTheGraph) {
  const TFilterCase &c = GetParam();
  const std::string output = Out("filtered.avi");
  TSteps steps = {{"<in>", RedBlueClip()}};
  steps.insert(steps.end(), c.Options.begin(), c.Options.end());
  steps.push_back({"vcodec", "ffv1"});
  steps.push_back({"<out>", output});
  Setup(steps);
  Run();
  const std::vector<TBitmap> pictures = DecodePictures(output);
  ASSERT_EQ(pictures.size(), 25u);
  EXPECT_EQ(pictures[0].Width(), c.Width);
  EXPECT_EQ(pictures[0].Height(), c.Height);
  for (const TPixelCheck &p : c.Pixels)
    EXPECT_TRUE(PixelIs(pictures[0], p.X, p.Y, p.Colour));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Filters,
    ::testing::Values(
        // The description changes the picture.
        TFilterCase{"Negate", {{"vf", "negate"}}, 64, 48, {{8, 24, kCyan}}},
        // The encoder takes the size arriving at the sink.
        TFilterCase{"ScaleInTheDescription", {{"vf", "scale=32:24"}}, 32, 24, {{4, 12, kRed}, {28, 12, kBlue}}},
        // Cropping comes before the description.
        TFilterCase{"CropThenFlip", {{"cropleft", "16"}, {"vf", "hflip"}}, 48, 48, {{4, 24, kBlue}, {44, 24, kRed}}},
        // The cropped picture (16 red, 32 blue columns) is scaled to the
        // encoder's size, not cut to it.
        TFilterCase{"CropAndScale", {{"cropleft", "16"}, {"s", "24x24"}, {"vf", "null"}}, 24, 24,
                    {{1, 12, kRed}, {12, 12, kBlue}}}),
    [](const auto &AInfo) { return std::string(AInfo.param.Name); });

using FilterErrors = ConversionTest;

TEST_F(FilterErrors, ABadDescriptionFailsTheRun) {
  for (const char *description : {"nosuchfilter", "scale=w=(", "split[a][b]"}) {
    SCOPED_TRACE(description);
    Engine->ResetSession();
    Setup({{"<in>", RedBlueClip()}, {"vf", description}, {"vcodec", "ffv1"}, {"<out>", Out("bad.avi")}});
    RunFails("Error opening filters!");
  }
}

class Deinterlace : public ConversionTest, public ::testing::WithParamInterface<bool> {};

// Alternate lines of a picture that belong to different fields: the
// deinterlacer blends them.
TEST_P(Deinterlace, BlendsTheFields) {
  const std::string lines =
      Fixture({"lines.avi", "color=c=black:size=64x48:rate=25:duration=1,geq=lum='if(mod(Y,2),235,16)':cb=128:cr=128", "",
               "ffv1"});
  const std::string output = Out("deinterlaced.avi");
  TSteps steps = {{"<in>", lines}, {"vcodec", "ffv1"}};
  if (GetParam())
    steps.push_back({"deinterlace", "1"});
  steps.push_back({"<out>", output});
  Setup(steps);
  Run();
  const std::vector<TBitmap> pictures = DecodePictures(output, 3);
  ASSERT_EQ(pictures.size(), 3u);
  const int step = std::abs(PixelAt(pictures[2], 32, 20).G - PixelAt(pictures[2], 32, 21).G);
  if (GetParam())
    EXPECT_LT(step, 80);
  else
    EXPECT_GT(step, 180);
  EXPECT_EQ(Logged("Deinterlacing failed."), false);
}

INSTANTIATE_TEST_SUITE_P(OnOff, Deinterlace, ::testing::Bool(),
                         [](const auto &AInfo) { return AInfo.param ? "On" : "Off"; });

// The custom hook: what the handler does with the bitmap, and what it is told.
class CustomHook : public ConversionTest {
protected:
  struct TCall {
    int32_t Frame;
    int64_t PTS;
    int Width, Height;
  };
  // Converts the black clip with AHandler painting or not; the pictures of the output.
  std::vector<TBitmap> Convert(std::function<void(TBitmap &, bool &, bool &)> AHandler) {
    Engine->SetOnCustomHook([this, AHandler](TObject *, TBitmap *ABitmap, int32_t AFrame, int64_t APTS, bool &AUpdate,
                                             bool &AStop) {
      Calls.push_back({AFrame, APTS, ABitmap->Width(), ABitmap->Height()});
      AHandler(*ABitmap, AUpdate, AStop);
    });
    const std::string output = Out("hooked.avi");
    Setup({{"<in>", BlackClip()}, {"vcodec", "ffv1"}, {"<out>", output}});
    Run();
    return DecodePictures(output);
  }
  static void PaintCorner(TBitmap &ABitmap) {
    for (int y = 0; y < 16; ++y)
      std::fill_n(ABitmap.ScanLine(y), 16 * 3, uint8_t{255});
  }
  std::vector<TCall> Calls;
};

TEST_F(CustomHook, PaintedPixelsReachTheOutput) {
  const std::vector<TBitmap> pictures = Convert([](TBitmap &ABitmap, bool &, bool &) { PaintCorner(ABitmap); });
  ASSERT_EQ(pictures.size(), 25u);
  EXPECT_TRUE(PixelIs(pictures[0], 4, 4, kWhite));
  EXPECT_TRUE(PixelIs(pictures[24], 8, 8, kWhite));
  EXPECT_TRUE(PixelIs(pictures[24], 40, 30, kBlack));
  // One call per decoded picture, numbered from 1, with its time in µs.
  ASSERT_EQ(Calls.size(), 25u);
  for (size_t i = 0; i < Calls.size(); ++i) {
    EXPECT_EQ(Calls[i].Frame, static_cast<int32_t>(i + 1));
    EXPECT_EQ(Calls[i].PTS, static_cast<int64_t>(i) * 40000);
    EXPECT_EQ(Calls[i].Width, 64);
    EXPECT_EQ(Calls[i].Height, 48);
  }
}

TEST_F(CustomHook, AFailingHandlerIsLoggedAndThePictureKept) {
  const std::vector<TBitmap> pictures = Convert([](TBitmap &ABitmap, bool &, bool &) {
    PaintCorner(ABitmap);
    throw std::runtime_error("brush broke");
  });
  ASSERT_EQ(pictures.size(), 25u);
  EXPECT_TRUE(PixelIs(pictures[0], 4, 4, kBlack));
  EXPECT_TRUE(Logged("Error occurs OnCustomHook: brush broke"));
  // A failure is not a request to stop.
  EXPECT_EQ(Calls.size(), 25u);
}

TEST_F(CustomHook, StopHookEndsTheCallsForTheRun) {
  const std::vector<TBitmap> pictures = Convert([](TBitmap &ABitmap, bool &, bool &AStop) {
    PaintCorner(ABitmap);
    AStop = true;
  });
  ASSERT_EQ(pictures.size(), 25u);
  EXPECT_EQ(Calls.size(), 1u);
  EXPECT_TRUE(PixelIs(pictures[0], 4, 4, kWhite));
  EXPECT_TRUE(PixelIs(pictures[1], 4, 4, kBlack));
  // The handler stays for the next run of the same engine.
  EXPECT_TRUE(static_cast<bool>(Engine->OnCustomHook()));
}

TEST_F(CustomHook, NotUpdatingLeavesThePicture) {
  const std::vector<TBitmap> pictures = Convert([](TBitmap &ABitmap, bool &AUpdate, bool &) {
    PaintCorner(ABitmap);
    AUpdate = false;
  });
  ASSERT_EQ(pictures.size(), 25u);
  EXPECT_TRUE(PixelIs(pictures[0], 4, 4, kBlack));
}

using PostHooks = ConversionTest;

// A 4 s movie: bitmaps of the encoded pictures, never two within the interval.
TEST_F(PostHooks, PreviewBitmapsComeAtMostOncePerInterval) {
  using clock = std::chrono::steady_clock;
  std::vector<clock::time_point> times;
  std::vector<int32_t> frames;
  int width = 0, height = 0;
  Engine->SetOnPreviewBitmap([&](TObject *, TBitmap *ABitmap, int32_t AFrame, int64_t) {
    times.push_back(clock::now());
    frames.push_back(AFrame);
    width = ABitmap->Width();
    height = ABitmap->Height();
  });
  Engine->SetPostHooks(PostHookBit(phBitmap));
  Setup({{"<in>", TestMovie(4.0)}, {"an", "1"}, {"s", "160x120"}, {"<out>", Out("preview.avi")}});
  Run();
  ASSERT_FALSE(times.empty());
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 120);
  for (size_t i = 1; i < times.size(); ++i) {
    EXPECT_GE(times[i] - times[i - 1], std::chrono::microseconds(Engine->PreviewInterval));
    EXPECT_GT(frames[i], frames[i - 1]);
  }
}

TEST_F(PostHooks, WithoutIntervalEveryEncodedPictureIsShown) {
  int calls = 0;
  Engine->SetOnPreviewBitmap([&](TObject *, TBitmap *, int32_t, int64_t) { ++calls; });
  Engine->PreviewInterval = 0;
  Engine->SetPostHooks(PostHookBit(phBitmap));
  Setup({{"<in>", TestMovie(2.0)}, {"an", "1"}, {"<out>", Out("preview.avi")}});
  Run();
  // mpeg4 without B-frames gives a packet for every picture.
  EXPECT_EQ(calls, 50);
}

// A preview window that the user closes after a few pictures.
class TFakeWindow : public TPreviewWindow {
public:
  TFakeWindow(int &APaints, int &AFreed, std::function<void()> AOnClose, int ACloseAfter)
      : Paints(APaints), Freed(AFreed), OnClose(std::move(AOnClose)), CloseAfter(ACloseAfter) {}
  ~TFakeWindow() override { ++Freed; }
  void Paint(const TBitmap &, const std::string &ACaption) override {
    Captions.push_back(ACaption);
    if (++Paints == CloseAfter)
      OnClose();
  }
  int &Paints;
  int &Freed;
  std::function<void()> OnClose;
  int CloseAfter;
  static inline std::vector<std::string> Captions;
};

TEST_F(PostHooks, ClosingThePreviewWindowEndsThePreview) {
  int made = 0, paints = 0, freed = 0;
  TFakeWindow::Captions.clear();
  SetPreviewWindowFactory([&](int AWidth, int AHeight, std::function<void()> AOnClose) {
    ++made;
    EXPECT_EQ(AWidth, 320);
    EXPECT_EQ(AHeight, 240);
    return std::make_unique<TFakeWindow>(paints, freed, std::move(AOnClose), 3);
  });
  Engine->PreviewInterval = 0;
  Engine->SetPostHooks(PostHookBit(phPreview));
  Setup({{"<in>", TestMovie(2.0)}, {"an", "1"}, {"<out>", Out("preview.avi")}});
  Run();
  SetPreviewWindowFactory(nullptr);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(paints, 3);
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(Engine->PostHooks(), 0u);
  ASSERT_EQ(TFakeWindow::Captions.size(), 3u);
  EXPECT_EQ(TFakeWindow::Captions[0], "00:00:00.000");
  EXPECT_EQ(TFakeWindow::Captions[1], "00:00:00.040");
}

TEST_F(PostHooks, RemovingThePreviewFreesTheWindow) {
  int paints = 0, freed = 0;
  SetPreviewWindowFactory([&](int, int, std::function<void()> AOnClose) {
    return std::make_unique<TFakeWindow>(paints, freed, std::move(AOnClose), 1000);
  });
  Engine->PreviewInterval = 0;
  Engine->SetPostHooks(PostHookBit(phPreview));
  // The job manager's preview switch, from inside the run.
  Engine->SetOnCustomHook([&](TObject *, TBitmap *, int32_t AFrame, int64_t, bool &AUpdate, bool &) {
    AUpdate = false;
    if (AFrame == 10)
      Engine->SetPostHooks(0);
  });
  Setup({{"<in>", TestMovie(2.0)}, {"an", "1"}, {"<out>", Out("preview.avi")}});
  Run();
  SetPreviewWindowFactory(nullptr);
  EXPECT_EQ(freed, 1);
  EXPECT_GE(paints, 5);
  EXPECT_LT(paints, 10);
}

// Hook modules built with the tests.
class HookModules : public ConversionTest {
protected:
  static std::string Module(const char *AVariant) { return std::string(ZV_HOOK_DIR) + "/zv_test_hook_" + AVariant + ".so"; }
};

TEST_F(HookModules, AModulePaintsEveryPicture) {
  const std::string report = Out("report.txt");
  const std::string output = Out("hooked.avi");
  Setup({{"<in>", BlackClip()}, {"vhook", Module("whole") + " 255 " + report}, {"vcodec", "ffv1"}, {"<out>", output}});
  Run();
  const std::vector<TBitmap> pictures = DecodePictures(output);
  ASSERT_EQ(pictures.size(), 25u);
  EXPECT_TRUE(PixelIs(pictures[0], 4, 4, kWhite));
  EXPECT_TRUE(PixelIs(pictures[24], 4, 4, kWhite));
  EXPECT_TRUE(PixelIs(pictures[24], 40, 30, kBlack));
  // Release ran at the end of the session with the module's own context.
  std::ifstream in(report);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "pictures=25 first_pts=0");
}

TEST_F(HookModules, WordsMayBeSeparatedByBars) {
  const std::string report = Out("report bar.txt");
  Setup({{"<in>", BlackClip()}, {"vhook", Module("whole") + "|128|" + report}, {"vcodec", "ffv1"},
         {"<out>", Out("hooked.avi")}});
  Run();
  EXPECT_TRUE(fs::exists(report));
}

TEST_F(HookModules, LoadingProblemsAreReported) {
  struct TCase {
    std::string Value;
    std::string Logged;
  };
  const std::string missing = Out("missing.so");
  const std::vector<TCase> cases = {
      {missing, missing + ": cannot open shared object file: No such file or directory"},
      {Module("no_process"), "Failed to find Process entrypoint in " + Module("no_process")},
      {Module("no_configure") + " 12", "Failed to find Configure entrypoint in " + Module("no_configure")},
      {Module("whole") + " fail", "Failed to Configure " + Module("whole")},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Value);
    Logged_.clear();
    try {
      Engine->SetOption("vhook", c.Value);
      ADD_FAILURE() << "the module was accepted";
    } catch (const FFmpegException &e) {
      EXPECT_EQ(e.Message(), "Failed to add video hook function: " + c.Value);
    }
    EXPECT_TRUE(Logged(c.Logged));
  }
  // Without words after its name a module needs no Configure.
  EXPECT_NO_THROW(Engine->SetOption("vhook", Module("no_configure")));
}

// A stream whose pictures change size halfway: 320x240, then 160x120.
std::string ChangingSizeClip() {
  const std::string first = Fixture({"size_a.m1v", "testsrc=size=320x240:rate=25:duration=1", "", "mpeg1video"});
  const std::string second = Fixture({"size_b.m1v", "testsrc=size=160x120:rate=25:duration=1", "", "mpeg1video"});
  const std::string joined = (fs::path(first).parent_path() / "size_change.m1v").string();
  if (!fs::exists(joined)) {
    std::ofstream out(joined + ".part", std::ios::binary);
    for (const std::string &part : {first, second}) {
      std::ifstream in(part, std::ios::binary);
      out << in.rdbuf();
    }
    out.close();
    fs::rename(joined + ".part", joined);
  }
  return joined;
}

using SizeChange = ConversionTest;

TEST_F(SizeChange, ScalingGoesOnWithANewScaler) {
  const std::string output = Out("rescaled.avi");
  Setup({{"<in>", ChangingSizeClip()}, {"croptop", "40"}, {"s", "80x60"}, {"vcodec", "ffv1"}, {"<out>", output}});
  Run();
  const std::vector<std::string> quiet = Lines(llQuiet);
  EXPECT_NE(std::find(quiet.begin(), quiet.end(), "Input Stream #0.0 frame size changed to 160x120, yuv420p"),
            quiet.end());
  const std::vector<TBitmap> pictures = DecodePictures(output);
  ASSERT_GE(pictures.size(), 48u);
  for (const TBitmap &p : pictures) {
    EXPECT_EQ(p.Width(), 80);
    EXPECT_EQ(p.Height(), 60);
  }
}

TEST_F(SizeChange, WithoutScalingTheRunEnds) {
  Setup({{"<in>", ChangingSizeClip()}, {"vcodec", "ffv1"}, {"<out>", Out("fixed.avi")}});
  EXPECT_THROW(Engine->Transcode(), EAssertionFailed);
  EXPECT_TRUE(Logged("Input Stream #0.0 frame size changed to 160x120, yuv420p"));
  Engine->FreeSession();
}

// Files named in Chinese, under a locale that cannot express the names (they
// go through our own byte stream) and under one that can.
class NamesInAnyLanguage : public ConversionTest, public ::testing::WithParamInterface<const char *> {
protected:
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    ConversionTest::TearDown();
  }
};

TEST_P(NamesInAnyLanguage, ConvertAndReportMissingFiles) {
  const std::string input = Out("输入 影片.avi");
  fs::copy_file(TestMovie(1.0), input);
  const std::string output = Out("输出 声音.mp3");
  ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr);
  const bool viaOwnStream = std::string(GetParam()) == "C";
  EXPECT_EQ(WideFileNameToURL(input).starts_with("unicode:utf8:"), viaOwnStream);
  Setup({{"<in>", input}, {"vn", "1"}, {"<out>", output}});
  Run();
  std::setlocale(LC_ALL, "C");
  const TMediaSummary out = Inspect(output);
  ASSERT_EQ(out.Error, "");
  EXPECT_NEAR(out.AudioSeconds(), 1.0, 0.1);

  ASSERT_NE(std::setlocale(LC_ALL, GetParam()), nullptr);
  Engine->ResetSession();
  const std::string missing = Out("不存在.avi");
  EXPECT_FALSE(Engine->OpenInputFile(missing));
  EXPECT_EQ(Engine->LastErrMsg(), missing + ": No such file or directory");
}

INSTANTIATE_TEST_SUITE_P(Locales, NamesInAnyLanguage, ::testing::Values("C", "C.UTF-8"),
                         [](const auto &AInfo) { return std::string(AInfo.param) == "C" ? "Plain" : "Utf8"; });

} // namespace
