#include "media/previewer.h"

#include "platform/main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

TEST(PreviewCaption, FrameTimes) {
  const struct {
    int64_t PTS;
    const char *Caption;
  } cases[] = {
      {83500000, "00:01:23.500"},
      {0, "00:00:00.000"},
      {3723004000, "01:02:03.004"},
      {AV_NOPTS_VALUE, "N/A"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(PreviewCaption(c.PTS), c.Caption) << c.PTS;
}

// What the fake windows saw, kept by the test so it outlives them.
struct TWindowLog {
  int Made = 0;
  int Freed = 0;
  int Width = 0, Height = 0;
  std::function<void()> OnClose;
  std::vector<std::string> Captions;
  std::vector<uint8_t> FirstBlue; // the first pixel's blue byte of each painted bitmap
  bool AllOnMainThread = true;
};

class TFakeWindow : public TPreviewWindow {
public:
  explicit TFakeWindow(TWindowLog &ALog) : FLog(ALog) {}
  ~TFakeWindow() override {
    FLog.AllOnMainThread = FLog.AllOnMainThread && IsMainThread();
    ++FLog.Freed;
  }
  void Paint(const TBitmap &ABitmap, const std::string &ACaption) override {
    FLog.AllOnMainThread = FLog.AllOnMainThread && IsMainThread();
    FLog.Captions.push_back(ACaption);
    FLog.FirstBlue.push_back(ABitmap.ScanLine(0)[0]);
  }

private:
  TWindowLog &FLog;
};

// Runs AWork on a thread of its own, as a conversion worker, while this
// (the main) thread keeps serving the main-thread queue.
void OnWorker(const std::function<void()> &AWork) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    AWork();
    done = true;
  });
  while (!done) {
    PumpMainThread();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
}

TBitmap Filled(int AWidth, int AHeight, uint8_t ABlue) {
  TBitmap b(AWidth, AHeight);
  b.ScanLine(0)[0] = ABlue;
  return b;
}

class PreviewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetPreviewWindowFactory([this](int AWidth, int AHeight, std::function<void()> AOnClose) {
      FLog.AllOnMainThread = FLog.AllOnMainThread && IsMainThread();
      ++FLog.Made;
      FLog.Width = AWidth;
      FLog.Height = AHeight;
      FLog.OnClose = std::move(AOnClose);
      return std::make_unique<TFakeWindow>(FLog);
    });
  }
  void TearDown() override { SetPreviewWindowFactory({}); }

  TWindowLog FLog;
};

TEST_F(PreviewerTest, WorkerPaintsThroughOneWindowOnTheMainThread) {
  auto previewer = std::make_unique<TPreviewer>();
  TBitmap bitmap = Filled(32, 18, 7);
  std::vector<bool> results;
  OnWorker([&] {
    results.push_back(previewer->PaintFrame(&bitmap, 1, 0));
    bitmap.ScanLine(0)[0] = 8; // the engine reuses its bitmap for the next picture
    results.push_back(previewer->PaintFrame(&bitmap, 2, 83500000));
    results.push_back(previewer->PaintFrame(&bitmap, 3, AV_NOPTS_VALUE));
  });
  EXPECT_EQ(results, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(FLog.Made, 1);
  EXPECT_EQ(FLog.Width, 32);
  EXPECT_EQ(FLog.Height, 18);
  EXPECT_EQ(FLog.Captions, (std::vector<std::string>{"00:00:00.000", "00:01:23.500", "N/A"}));
  EXPECT_EQ(FLog.FirstBlue, (std::vector<uint8_t>{7, 8, 8}));

  // The session ends on its worker; the window still goes on the main thread.
  OnWorker([&] { previewer.reset(); });
  EXPECT_EQ(FLog.Freed, 1);
  EXPECT_TRUE(FLog.AllOnMainThread);
}

TEST_F(PreviewerTest, ClosedByTheUserStaysClosed) {
  TPreviewer previewer;
  TBitmap bitmap = Filled(16, 16, 1);
  bool first = false;
  OnWorker([&] { first = previewer.PaintFrame(&bitmap, 1, 40000); });
  ASSERT_TRUE(first);
  ASSERT_TRUE(FLog.OnClose);
  EXPECT_FALSE(previewer.Closed());

  FLog.OnClose(); // the user closes the window (main thread)

  std::vector<bool> results;
  OnWorker([&] {
    results.push_back(previewer.PaintFrame(&bitmap, 2, 80000));
    results.push_back(previewer.PaintFrame(&bitmap, 3, 120000));
  });
  EXPECT_EQ(results, (std::vector<bool>{false, false}));
  EXPECT_TRUE(previewer.Closed());
  EXPECT_EQ(FLog.Made, 1) << "no window reappears for this previewer";
  EXPECT_EQ(FLog.Captions, (std::vector<std::string>{"00:00:00.040"}));
}

TEST_F(PreviewerTest, NothingIsMadeWithoutFactoryOrPicture) {
  TBitmap empty;
  TPreviewer previewer;
  EXPECT_TRUE(previewer.PaintFrame(&empty, 1, 0));
  EXPECT_EQ(FLog.Made, 0) << "an empty picture makes no window";

  // The command-line program installs no factory: painting goes on, unseen.
  SetPreviewWindowFactory({});
  TBitmap bitmap = Filled(8, 8, 1);
  bool result = false;
  OnWorker([&] { result = previewer.PaintFrame(&bitmap, 2, 0); });
  EXPECT_TRUE(result);
  EXPECT_FALSE(previewer.Closed());
  EXPECT_EQ(FLog.Made, 0);
}

} // namespace
