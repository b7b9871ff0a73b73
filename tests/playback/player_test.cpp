// The preview player on the real libraries and SDL with its dummy video
// driver and the disk audio driver (whose output file is what a listener
// would hear). Clips are short: the movie fixture is 320x240 at 25 fps with a
// key frame every 12 pictures, the tone a 440 Hz sine at 1/8 of full scale.
#include "media/error_text.h"
#include "platform/main_thread.h"
#include "playback/custom_player.h"
#include "tests/support/fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono;
using namespace player_detail;

namespace {

constexpr int64_t kSecond = 1000000;
// The tone fixtures' peak: the generator's 1/8 of full scale (4096), spread
// over two channels at -3 dB.
constexpr int kTonePeak = 2896;

double Seconds(steady_clock::time_point AFrom) {
  return duration<double>(steady_clock::now() - AFrom).count();
}

// Pumps the main thread (where the player delivers its events) until APred
// holds or ASeconds pass.
bool WaitUntil(const std::function<bool()> &APred, double ASeconds) {
  const auto start = steady_clock::now();
  while (!APred()) {
    if (Seconds(start) > ASeconds)
      return false;
    PumpMainThread();
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

void PumpFor(double ASeconds) { WaitUntil([] { return false; }, ASeconds); }

struct TPosition {
  int64_t PTS;
  double At; // s since the recorder started
};

// What the host sees: states, positions and file-open calls, in order.
struct TRecorder {
  std::vector<TPlayState> States;
  std::vector<TPosition> Positions;
  std::vector<int64_t> Durations;
  steady_clock::time_point Start = steady_clock::now();

  void Attach(TCustomPlayer &APlayer) {
    APlayer.SetOnState([this](TObject *, TPlayState s) { States.push_back(s); });
    APlayer.SetOnPosition([this](TObject *, int64_t pts) { Positions.push_back({pts, Seconds(Start)}); });
    APlayer.SetOnFileOpen([this](TObject *, int64_t d, int32_t, int32_t, int32_t &, int32_t &) {
      Durations.push_back(d);
    });
  }
  bool Has(TPlayState AState) const { return std::find(States.begin(), States.end(), AState) != States.end(); }
  int64_t LastPTS() const { return Positions.empty() ? -1 : Positions.back().PTS; }
};

std::vector<int16_t> ReadSamples(const fs::path &APath) {
  std::ifstream in(APath, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

int Peak(const std::vector<int16_t> &ASamples, size_t AFrom = 0, size_t ATo = SIZE_MAX) {
  int peak = 0;
  for (size_t i = AFrom; i < std::min(ATo, ASamples.size()); ++i)
    peak = std::max(peak, std::abs(static_cast<int>(ASamples[i])));
  return peak;
}

// Mean absolute difference of two bitmaps of one size, per byte.
double BitmapDifference(const TBitmap &A, const TBitmap &B) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.Empty())
    return 1e9;
  double sum = 0;
  for (int y = 0; y < A.Height(); ++y)
    for (int x = 0; x < A.Width() * 3; ++x)
      sum += std::abs(A.ScanLine(y)[x] - B.ScanLine(y)[x]);
  return sum / (static_cast<double>(A.Width()) * 3 * A.Height());
}

// The picture the probe decodes at APTS (µs), as a bitmap.
TBitmap ProbePicture(const std::string &AFile, int64_t APTS) {
  TAVProbe probe;
  TBitmap bmp;
  if (!probe.LoadFile(AFile) || !probe.Seek(0))
    return bmp;
  while (probe.Decode())
    if (probe.FrameInfo().PTS >= APTS) {
      probe.CopyToBitmap(bmp);
      break;
    }
  return bmp;
}

// The container duration the probe reads (a movie's audio runs a little over).
int64_t DurationOf(const std::string &AFile) {
  TAVProbe probe;
  return probe.LoadFile(AFile) ? probe.FileStreamInfo().Duration : -1;
}

class PlayerTest : public ::testing::Test {
protected:
  void SetUp() override {
    FFLoader().SetLibraryPath(DefaultLibraryPath());
    ASSERT_TRUE(FFLoader().Load(LIBS_PLAYER | LIBS_CONVERT)) << FFLoader().LastErrMsg();
    Dir = fs::temp_directory_path() / ("zv-player-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    UseAudioFile("audio.raw");
  }
  void TearDown() override {
    // Read threads a blocked test left behind end when their read returns.
    WaitUntil([] { return TCustomPlayer::RunningReadThreads() == 0; }, 5);
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  // Where the disk driver writes what the next Open plays.
  fs::path UseAudioFile(const std::string &AName) {
    const fs::path p = Dir / AName;
    ::setenv("SDL_DISKAUDIOFILE", p.c_str(), 1);
    return p;
  }

  fs::path Dir;
};

std::string Movie3s() { return TestMovie(3.0); }
std::string FloatTone() {
  return Fixture({"tone_f32_1500ms.wav", "", "sine=frequency=440:sample_rate=44100:duration=1.5", "", "pcm_f32le"});
}

// ---------------------------------------------------------------------------

TEST(PlayEventQueue, SameKindInARowCoalescesAndAFullQueueDropsTheOldest) {
  TPlayEvent q;
  q.Put(ekPosition, 1);
  q.Put(ekPosition, 2); // replaces 1: the host only needs the latest
  q.Put(ekState, psPause);
  q.Put(ekPosition, 3);
  EXPECT_TRUE(q.Event.IsSet());
  TPlayEventItem e;
  std::vector<std::pair<int, int64_t>> got;
  while (q.Get(e))
    got.push_back({e.Kind, e.Value});
  EXPECT_EQ(got, (std::vector<std::pair<int, int64_t>>{{ekPosition, 2}, {ekState, psPause}, {ekPosition, 3}}));
  EXPECT_FALSE(q.Event.IsSet());

  for (int i = 0; i < 12; ++i)
    q.Put(i % 2 ? ekState : ekPosition, i);
  got.clear();
  while (q.Get(e))
    got.push_back({e.Kind, e.Value});
  ASSERT_EQ(got.size(), 9u);
  EXPECT_EQ(got.front().second, 3);
  EXPECT_EQ(got.back().second, 11);
}

TEST(PlayerDisplayRect, AspectRatioRules) {
  const struct {
    float Aspect;
    int AreaW, AreaH, PicW, PicH;
    AVRational SAR;
    TDisplayRect Want;
  } cases[] = {
      {-1, 640, 480, 320, 240, {1, 1}, {0, 0, 640, 480}},       // fills the area
      {-1, 500, 200, 320, 240, {1, 1}, {0, 0, 500, 200}},
      {0, 640, 360, 320, 240, {1, 1}, {80, 0, 480, 360}},       // the picture's own 4:3
      {0, 640, 480, 352, 288, {12, 11}, {0, 0, 640, 480}},      // 352*12/11 : 288 = 4:3
      {0, 640, 480, 320, 240, {0, 1}, {0, 0, 640, 480}},        // unknown shape: square pixels
      {1.7777f, 640, 480, 320, 240, {1, 1}, {0, 60, 640, 360}}, // letterboxed
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Aspect << " " << c.AreaW << "x" << c.AreaH);
    const TDisplayRect r = PictureDisplayRect(0, 0, c.AreaW, c.AreaH, c.PicW, c.PicH, c.SAR, c.Aspect);
    EXPECT_EQ(r.x, c.Want.x);
    EXPECT_EQ(r.y, c.Want.y);
    EXPECT_EQ(r.w, c.Want.w);
    EXPECT_EQ(r.h, c.Want.h);
  }
}

TEST_F(PlayerTest, OpenPausedShowsTheFirstPicturesThenReportsPause) {
  const std::string movie = TestMovie(2.0);
  TRecorder rec;
  RIVEvidir player;
  rec.Attach(player);
  ASSERT_TRUE(player.Open(movie, 0, true)) << player.LastErrMsg();
  ASSERT_TRUE(WaitUntil([&] { return rec.Has(psPause); }, 5));
  EXPECT_EQ(rec.States, (std::vector<TPlayState>{psPlay, psPause}));
  EXPECT_TRUE(player.Paused());
  ASSERT_EQ(rec.Durations.size(), 1u);
  EXPECT_EQ(rec.Durations[0], DurationOf(movie));

  // The picture on screen is one of the first two and is the probe's picture.
  ASSERT_TRUE(WaitUntil([&] { return player.CurrentPTS() >= 0 && !player.CurrentFrame().Empty(); }, 2));
  PumpFor(0.2);
  int64_t pts = -1;
  TBitmap shown = player.CurrentFrame(pts);
  EXPECT_TRUE(pts == 0 || pts == 40000) << pts;
  EXPECT_EQ(shown.Width(), 320);
  EXPECT_EQ(shown.Height(), 240);
  EXPECT_LT(BitmapDifference(shown, ProbePicture(movie, pts)), 4.0);

  // Paused: the position stands still.
  const int64_t before = player.CurrentPTS();
  PumpFor(0.4);
  EXPECT_EQ(player.CurrentPTS(), before);

  // A seek while paused shows the picture of the new position, and only that.
  player.Seek(int64_t{1000000}, 0, true);
  ASSERT_TRUE(WaitUntil(
      [&] {
        player.CurrentFrame(pts);
        return pts >= 900000;
      },
      3));
  shown = player.CurrentFrame(pts);
  EXPECT_GE(pts, 960000);
  EXPECT_LE(pts, 1000000);
  EXPECT_LT(BitmapDifference(shown, ProbePicture(movie, pts)), 4.0);
  PumpFor(0.3);
  int64_t later = -1;
  player.CurrentFrame(later);
  EXPECT_EQ(later, pts) << "a paused seek shows one picture";

  player.Resume();
  ASSERT_TRUE(WaitUntil([&] { return player.CurrentPTS() > pts + 300000; }, 3));
  player.Stop(true);
  ASSERT_TRUE(WaitUntil([&] { return rec.Has(psStop); }, 2));
  EXPECT_EQ(rec.States, (std::vector<TPlayState>{psPlay, psPause, psResume, psStop}));
  EXPECT_TRUE(player.CurrentFrame().Empty());
}

TEST_F(PlayerTest, PlayingReportsPositionsInRealTimeAndTheEnd) {
  const struct {
    const char *Name;
    std::function<std::string()> File;
    bool Video;
  } cases[] = {{"movie", [] { return TestMovie(2.0); }, true}, {"audio only", [] { return ToneWav(2.0); }, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = c.File();
    const int64_t duration = DurationOf(file);
    TRecorder rec; // outlives the player, whose last events may still arrive
    RIVEvidir player;
    rec.Attach(player);
    ASSERT_TRUE(player.Open(file)) << player.LastErrMsg();
    ASSERT_TRUE(WaitUntil([&] { return rec.Has(psEnd); }, 8));
    PumpFor(0.3);
    ASSERT_GE(rec.Positions.size(), 10u);
    // Forward, give or take a picture shown late on a busy machine.
    for (size_t i = 1; i < rec.Positions.size(); ++i)
      EXPECT_GE(rec.Positions[i].PTS, rec.Positions[i - 1].PTS - 100000) << "at " << i;
    EXPECT_EQ(rec.LastPTS(), duration) << "the end reports the duration";
    // Positions follow the clock: compare the first and one about a second later.
    const TPosition first = rec.Positions.front();
    for (const TPosition &p : rec.Positions)
      if (p.At - first.At > 1.0 && p.PTS < 2 * kSecond) {
        const double media = static_cast<double>(p.PTS - first.PTS) / kSecond;
        EXPECT_NEAR(media, p.At - first.At, 0.25);
        break;
      }
    int64_t pts = 0;
    const TBitmap &frame = player.CurrentFrame(pts);
    if (c.Video) {
      EXPECT_EQ(frame.Width(), 320);
      EXPECT_GE(pts, 1900000);
    } else {
      EXPECT_TRUE(frame.Empty());
      EXPECT_EQ(pts, -1);
      EXPECT_EQ(player.AudioDisplayMode(), saWave);
      player.ToggleAudioDisplay();
      EXPECT_EQ(player.AudioDisplayMode(), saRDFT);
      player.ToggleAudioDisplay();
      EXPECT_EQ(player.AudioDisplayMode(), saNone);
      player.ToggleAudioDisplay();
      EXPECT_EQ(player.AudioDisplayMode(), saWave);
    }
    player.Stop(true);
    ASSERT_TRUE(WaitUntil([&] { return rec.Has(psStop); }, 2));
    EXPECT_EQ(rec.States, (std::vector<TPlayState>{psPlay, psEnd, psStop}));
  }
}

TEST_F(PlayerTest, SeekBeyondTheDurationLandsAtIt) {
  TRecorder rec;
  RIVEvidir player;
  rec.Attach(player);
  ASSERT_TRUE(player.Open(TestMovie(2.0))) << player.LastErrMsg();
  const int64_t duration = DurationOf(TestMovie(2.0));
  ASSERT_TRUE(WaitUntil([&] { return rec.LastPTS() > 100000; }, 5));
  player.Seek(int64_t{10 * kSecond}, 0, true);
  const size_t mark = rec.Positions.size();
  ASSERT_TRUE(WaitUntil([&] { return rec.Has(psEnd); }, 5));
  PumpFor(0.2);
  ASSERT_GT(rec.Positions.size(), mark);
  EXPECT_GE(rec.Positions[mark].PTS, 1500000) << "not played on from where it was";
  EXPECT_EQ(rec.LastPTS(), duration);
  player.Stop(true);
}

TEST_F(PlayerTest, AfterASeekNoPictureFromBeforeItIsShown) {
  RIVEvidir player;
  ASSERT_TRUE(player.Open(Movie3s())) << player.LastErrMsg();
  ASSERT_TRUE(WaitUntil([&] { return player.CurrentPTS() > 300000; }, 5));
  player.Seek(int64_t{2 * kSecond}, 0, true);
  int64_t atReturn = -1;
  player.CurrentFrame(atReturn);
  std::vector<int64_t> seen;
  const auto start = steady_clock::now();
  while (Seconds(start) < 0.5) {
    int64_t pts = -1;
    player.CurrentFrame(pts);
    seen.push_back(pts);
    PumpMainThread();
    std::this_thread::sleep_for(milliseconds(3));
  }
  // Until the first picture after the seek the old one stays; then only new ones.
  bool landed = false;
  for (int64_t pts : seen) {
    if (pts >= 1900000)
      landed = true;
    else
      EXPECT_TRUE(!landed && pts == atReturn) << "old picture " << pts << " shown after the seek";
  }
  EXPECT_TRUE(landed);
  player.Stop(true);
}

TEST_F(PlayerTest, PlayTimeLoopsOrStops) {
  for (TRepeatType repeat : {rtLoop, rtStop}) {
    SCOPED_TRACE(repeat == rtLoop ? "loop" : "stop");
    TRecorder rec; // outlives the player, whose last events may still arrive
    RIVEvidir player;
    rec.Attach(player);
    player.SetPlayTime(kSecond);
    player.SetRepeatType(repeat);
    ASSERT_TRUE(player.Open(Movie3s())) << player.LastErrMsg();
    WaitUntil([&] { return rec.Has(psStop); }, 2.8);
    int restarts = 0;
    int64_t highest = 0;
    for (size_t i = 1; i < rec.Positions.size(); ++i) {
      highest = std::max(highest, rec.Positions[i].PTS);
      if (rec.Positions[i - 1].PTS >= 900000 && rec.Positions[i].PTS < 300000)
        ++restarts;
    }
    EXPECT_LT(highest, 1300000) << "played past the play time";
    if (repeat == rtLoop) {
      EXPECT_GE(restarts, 2);
      EXPECT_FALSE(rec.Has(psStop));
      player.Stop(true);
    } else {
      EXPECT_EQ(restarts, 0);
      ASSERT_TRUE(rec.Has(psStop));
      EXPECT_GE(rec.LastPTS(), 900000);
    }
    // The play time belongs to one playback.
    EXPECT_EQ(player.PlayTime(), AV_NOPTS_VALUE);
    EXPECT_EQ(player.RepeatType(), rtStop);
  }
}

TEST_F(PlayerTest, StopReturnsWhileTheReadThreadIsBlocked) {
  // A pipe that delivers a WAV file until told to stop, then nothing more:
  // the player's next read blocks.
  const fs::path fifo = Dir / "blocked.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<int> writerFd{-1};
  std::atomic<bool> stopWriting{false};
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    writerFd = fd;
    const int rate = 44100, seconds = 60, bytes = rate * 2 * seconds;
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    std::string h = "RIFF" + le32(36 + bytes) + "WAVEfmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) +
                    le32(rate) + le32(rate * 2) + std::string("\x02\x00\x10\x00", 4) + "data" + le32(bytes);
    std::vector<int16_t> part(rate / 10);
    for (size_t i = 0; i < part.size(); ++i)
      part[i] = static_cast<int16_t>(4000 * std::sin(2 * M_PI * 440 * i / rate));
    [[maybe_unused]] ssize_t n = ::write(fd, h.data(), h.size());
    while (!stopWriting && n > 0)
      n = ::write(fd, part.data(), part.size() * 2);
  });
  RIVEvidir player;
  player.SetDisableDisplay(true);
  const bool opened = player.Open(fifo.string());
  stopWriting = true;
  ASSERT_TRUE(opened) << player.LastErrMsg();
  PumpFor(1.5); // what was written is read; the next read blocks
  const auto start = steady_clock::now();
  player.Stop(true);
  EXPECT_LT(Seconds(start), 4.0);
  EXPECT_TRUE(player.Paused());
  EXPECT_EQ(player.AudioStreamIndex(), -1);
  EXPECT_EQ(TCustomPlayer::RunningReadThreads(), 1) << "the blocked reader is left behind";
  writer.join();
  ::close(writerFd); // its read returns: it ends by itself
  EXPECT_TRUE(WaitUntil([] { return TCustomPlayer::RunningReadThreads() == 0; }, 3));
}

TEST_F(PlayerTest, OpenTwicePlaysOnlyTheSecondFile) {
  TRecorder rec;
  RIVEvidir player;
  rec.Attach(player);
  ASSERT_TRUE(player.Open(Movie3s())) << player.LastErrMsg();
  ASSERT_TRUE(WaitUntil([&] { return rec.LastPTS() > 200000; }, 5));
  const std::string tone = ToneWav(1.0);
  ASSERT_TRUE(player.Open(tone)) << player.LastErrMsg();
  EXPECT_EQ(player.FileName(), tone);
  const size_t mark = rec.Positions.size();
  ASSERT_TRUE(WaitUntil([&] { return rec.Has(psEnd); }, 5));
  PumpFor(0.2);
  EXPECT_EQ(rec.States, (std::vector<TPlayState>{psPlay, psStop, psPlay, psEnd}));
  EXPECT_EQ(rec.Durations, (std::vector<int64_t>{DurationOf(Movie3s()), kSecond}));
  for (size_t i = mark; i < rec.Positions.size(); ++i)
    EXPECT_LE(rec.Positions[i].PTS, kSecond);
  EXPECT_EQ(rec.LastPTS(), kSecond);
  EXPECT_EQ(player.VideoStreamIndex(), -1);
  EXPECT_EQ(player.AudioStreamIndex(), 0);
  player.Stop(true);
}

TEST_F(PlayerTest, VolumeAndMuteReachTheDevice) {
  const struct {
    bool Mute;
    int Volume;
    int PeakMin, PeakMax;
  } cases[] = {{false, 128, kTonePeak - 100, kTonePeak + 100}, {false, 64, kTonePeak / 2 - 100, kTonePeak / 2 + 100}, {true, 128, 0, 0}, {false, 0, 0, 0}};
  const std::string tone = ToneWav(1.0);
  int n = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "mute " << c.Mute << " volume " << c.Volume);
    const fs::path out = UseAudioFile("volume" + std::to_string(n++) + ".raw");
    TRecorder rec; // outlives the player, whose last events may still arrive
    RIVEvidir player;
    rec.Attach(player);
    player.SetMute(c.Mute);
    player.SetAudioVolume(c.Volume);
    ASSERT_TRUE(player.Open(tone)) << player.LastErrMsg();
    ASSERT_TRUE(WaitUntil([&] { return rec.Has(psEnd); }, 5));
    player.Stop(true);
    const auto samples = ReadSamples(out);
    ASSERT_GT(samples.size(), 44100u) << "a second of stereo at least";
    const int peak = Peak(samples);
    EXPECT_GE(peak, c.PeakMin);
    EXPECT_LE(peak, c.PeakMax);
  }

  // Mute while playing silences from then on.
  const fs::path out = UseAudioFile("mute_late.raw");
  RIVEvidir player;
  ASSERT_TRUE(player.Open(ToneWav(2.0))) << player.LastErrMsg();
  ASSERT_TRUE(WaitUntil([&] { return player.CurrentPTS() > 500000; }, 5));
  player.SetMute(true);
  PumpFor(1.0);
  player.Stop(true);
  const auto samples = ReadSamples(out);
  ASSERT_GT(samples.size(), 2u * 44100);
  EXPECT_GT(Peak(samples, 0, 2 * 22050), kTonePeak - 100) << "sound before";
  EXPECT_EQ(Peak(samples, samples.size() - 2 * 22050), 0) << "silence after";
}

TEST_F(PlayerTest, FloatSamplesReachTheDeviceAsSigned16Bit) {
  const fs::path out = UseAudioFile("float.raw");
  TRecorder rec;
  RIVEvidir player;
  rec.Attach(player);
  ASSERT_TRUE(player.Open(FloatTone())) << player.LastErrMsg();
  ASSERT_TRUE(WaitUntil([&] { return rec.Has(psEnd); }, 5));
  player.Stop(true);
  const auto s = ReadSamples(out);
  ASSERT_GT(s.size(), 2u * 44100);
  EXPECT_NEAR(Peak(s), kTonePeak, 100);
  // Left channel: 440 Hz gives 880 sign changes a second where it sounds.
  size_t first = 0;
  while (first < s.size() && s[first] == 0)
    ++first;
  first += first % 2;
  int changes = 0;
  const size_t frames = 44100; // one second
  for (size_t i = first + 2; i < first + 2 * frames && i < s.size(); i += 2)
    changes += (s[i - 2] < 0) != (s[i] < 0);
  EXPECT_NEAR(changes, 880, 20);
}

TEST_F(PlayerTest, PositionChangesQueuedBeforeDeliveryArriveAsOne) {
  TRecorder rec;
  RIVEvidir player;
  rec.Attach(player);
  ASSERT_TRUE(player.Open(Movie3s())) << player.LastErrMsg();
  ASSERT_TRUE(WaitUntil([&] { return rec.LastPTS() > 200000; }, 5));
  // The main thread is busy: the event thread waits with one position while
  // a dozen more are queued behind it.
  std::this_thread::sleep_for(milliseconds(600));
  const size_t mark = rec.Positions.size();
  PumpFor(0.3);
  ASSERT_GE(rec.Positions.size(), mark + 3);
  // Pictures change the position every 40 ms; the ones queued while the main
  // thread was busy arrive as the latest, several pictures on. (How far on
  // depends on how fast a loaded machine plays, so only a floor is checked.)
  const int64_t waited = rec.Positions[mark].PTS;
  const int64_t next = rec.Positions[mark + 1].PTS;
  EXPECT_GE(next - waited, 160000) << "the queued changes arrive as the latest one";
  player.Stop(true);
}

TEST_F(PlayerTest, OpenFailuresSayWhy) {
  const fs::path srt = Dir / "only_text.srt";
  std::ofstream(srt) << "1\n00:00:00,000 --> 00:00:01,000\nhello\n\n";
  const fs::path missing = Dir / "missing.avi";
  const struct {
    std::string File;
    bool DisableAudio;
    std::string Message;
  } cases[] = {
      {srt.string(), false, srt.string() + ": could not open codecs, no stream to play."},
      {ToneWav(1.0), true, ToneWav(1.0) + ": could not open codecs, no stream to play."},
      {missing.string(), false, missing.string() + ": " + OpenErrorText(AVERROR(ENOENT))},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.File);
    RIVEvidir player;
    player.SetDisableAudio(c.DisableAudio);
    EXPECT_FALSE(player.Open(c.File));
    EXPECT_EQ(player.LastErrMsg(), c.Message);
    EXPECT_TRUE(player.Paused());
    EXPECT_EQ(player.CurrentPTS(), -1);
  }
}

TEST_F(PlayerTest, StreamSwitchesAreChecked) {
  RIVEvidir player;
  ASSERT_TRUE(player.Open(TestMovie(2.0), 0, true)) << player.LastErrMsg();
  const struct {
    std::function<void()> Set;
    const char *Message;
  } cases[] = {
      {[&] { player.SetVideoStreamIndex(7); }, "the stream index is not valid."},
      {[&] { player.SetVideoStreamIndex(1); }, "the stream type is not matched."},
      {[&] { player.SetAudioStreamIndex(0); }, "the stream type is not matched."},
      {[&] { player.SetSubtitleStreamIndex(0); }, "the stream type is not matched."},
  };
  for (const auto &c : cases) {
    c.Set();
    EXPECT_EQ(player.LastErrMsg(), c.Message);
  }
  EXPECT_EQ(player.VideoStreamIndex(), 0);
  EXPECT_EQ(player.AudioStreamIndex(), 1);
  EXPECT_EQ(player.SubtitleStreamIndex(), -1);
  player.Stop(true);
}

TEST_F(PlayerTest, HookPaintsWhatIsShown) {
  RIVEvidir player;
  player.SetHook(true);
  std::atomic<int> calls{0};
  player.SetOnHook([&](TObject *, TBitmap *bmp, int64_t) {
    ++calls;
    for (int y = 0; y < bmp->Height(); ++y)
      std::memset(bmp->ScanLine(y), 255, static_cast<size_t>(bmp->Width()) * 3);
  });
  ASSERT_TRUE(player.Open(TestMovie(2.0), 0, true)) << player.LastErrMsg();
  ASSERT_TRUE(WaitUntil([&] { return player.PlayState() == psPause && !player.CurrentFrame().Empty(); }, 5));
  PumpFor(0.2);
  const TBitmap &frame = player.CurrentFrame();
  EXPECT_GE(calls.load(), 2);
  EXPECT_GE(frame.ScanLine(120)[160 * 3], 250);
  EXPECT_GE(frame.ScanLine(10)[10 * 3 + 2], 250);
  player.Stop(true);
}

} // namespace
