// The plain pieces under the windows: row texts, the output record a row is
// added with, the dialogs' filters, folder listing, the main-thread adapter.
#include "platform/main_thread.h"
#include "ui/dialogs.h"
#include "ui/file_names.h"
#include "ui/open_filters.h"
#include "ui/output_record.h"
#include "ui/row_texts.h"
#include "tests/ui/ui_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <thread>

namespace {

TEST(RowTexts, DurationsWrapAtADay) {
  const struct {
    int64_t Sec;
    const char *Text;
  } cases[] = {{0, "00:00:00"}, {59, "00:00:59"}, {61, "00:01:01"}, {3600 * 23 + 59 * 60 + 59, "23:59:59"},
               {25 * 3600, "01:00:00"}, {48 * 3600 + 5, "00:00:05"}};
  for (const auto &c : cases)
    EXPECT_EQ(SecToDate(c.Sec), c.Text) << c.Sec;
}

TEST(RowTexts, SizesInMebibytesShortestWithHalfToEven) {
  constexpr int64_t MiB = 1024 * 1024;
  const struct {
    int64_t Bytes;
    const char *Text;
  } cases[] = {
      {0, "0MB"},
      {5 * MiB, "5MB"},
      {5 * MiB + MiB / 2, "5.5MB"},
      {12 * MiB + MiB * 35 / 100 + 1, "12.35MB"},
      {MiB / 100 * 1 + 1, "0.01MB"},
      // Exactly half a hundredth goes to the even neighbour: 12.5 → 12, 37.5 → 38 hundredths.
      {MiB / 8, "0.12MB"},
      {MiB * 3 / 8, "0.38MB"},
      {MiB * 7 / 10 + MiB / 10, "0.8MB"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(SizeText(c.Bytes), c.Text) << c.Bytes;
}

TOutputOptions Filled(const TCurrentProfile &AProfile) {
  TOutputOptions record;
  InitOutputOptions(record);
  FillOutputOptions(record, AProfile);
  return record;
}

TEST(OutputRecord, ProfileFieldsLeaveDefaultsWhereTheyAreEmptyOrMarkers) {
  TCurrentProfile mp3; // the MP3 profile after the default presets
  mp3.Video_AudioCodec = "libmp3lame";
  mp3.Video_AudioChannels = "2";
  mp3.Video_AudioSampleRate = "44100";
  mp3.Video_AudioBitrate = 128000;
  mp3.Video_VideoBitrate = BitrateNotGiven;
  mp3.Video_DisableVideo = true;
  const TOutputOptions r = Filled(mp3);
  EXPECT_EQ(r.VideoCodec, "");
  EXPECT_EQ(r.AudioCodec, "libmp3lame");
  EXPECT_EQ(r.AudioChannels, 2);
  EXPECT_EQ(r.AudioSampleRate, 44100);
  EXPECT_EQ(r.AudioBitrate, 128000);
  EXPECT_EQ(r.VideoBitrate, -1); // -1000 leaves the default
  EXPECT_EQ(r.AudioVolume, 256);
  EXPECT_TRUE(r.DisableVideo);
  const std::array<std::string, 14> columns = {"", "libmp3lame", "2", "", "", "", "-1", "", "128000", "44100", "",
                                               "True", "", ""};
  EXPECT_EQ(RowOptionTexts(r, mp3), columns);

  TCurrentProfile dvd;
  dvd.Video_VideoCodec = "libx264";
  dvd.Video_AudioCodec = "AUTO";
  dvd.Video_AudioSampleRate = "AUTO";
  dvd.Video_AudioBitrate = -2000;
  dvd.Video_VideoTag = "XVID";
  dvd.Video_TargetType = "dvd";
  dvd.Video_NormType = "NTSC";
  dvd.Video_AudioVolume = "100";
  const TOutputOptions d = Filled(dvd);
  EXPECT_EQ(d.VideoCodec, "libx264");
  EXPECT_EQ(d.VideoPreset, "libx264-default");
  EXPECT_EQ(d.AudioCodec, "");
  EXPECT_EQ(d.AudioSampleRate, -1);
  EXPECT_EQ(d.AudioBitrate, -1);
  EXPECT_EQ(d.VideoTag, "XVID");
  EXPECT_EQ(d.TargetType, ttDVD);
  EXPECT_EQ(d.NormType, ntNTSC);
  EXPECT_EQ(d.AudioVolume, 100);

  const struct {
    const char *Target, *Norm;
    TOptionTargetType ExpectedTarget;
    TOptionNormType ExpectedNorm;
  } kinds[] = {{"vcd", "PAL", ttVCD, ntPAL}, {"svcd", "", ttSVCD, ntAuto}, {"film", "SECAM", ttIgnore, ntAuto},
               {"", "", ttIgnore, ntAuto}};
  for (const auto &k : kinds) {
    TCurrentProfile p;
    p.Video_TargetType = k.Target;
    p.Video_NormType = k.Norm;
    const TOutputOptions o = Filled(p);
    EXPECT_EQ(o.TargetType, k.ExpectedTarget) << k.Target;
    EXPECT_EQ(o.NormType, k.ExpectedNorm) << k.Norm;
  }
}

TEST(OpenFilters, ProductFilterTextAndItsQtForm) {
  const QString filter = OpenDialogFilter();
  EXPECT_TRUE(filter.startsWith(QStringLiteral("所有文件格式 (*.*)|*.*|支持的视频/音频文件格式|*.AVI;*.ASF;")));
  // The two halves of the media pattern list meet without a separator of their own.
  EXPECT_TRUE(filter.contains(QStringLiteral("*.CDA;*.SWF;*.FLAC;*.M4A;")));
  EXPECT_TRUE(filter.contains(QStringLiteral("|Flac无损压缩音频格式\u3000(*.flac)|*.flac|")));
  EXPECT_TRUE(filter.endsWith(QStringLiteral("|AIFF音频编码格式(*.aif; *.aiff)|*.aif; *.aiff|")));
  EXPECT_EQ(filter.count('|'), 2 * 42);

  const QStringList qt = QtNameFilters(filter);
  ASSERT_EQ(qt.size(), 42);
  EXPECT_EQ(qt[0], QStringLiteral("所有文件格式 (*)"));
  EXPECT_EQ(qt[4], QStringLiteral("AVI文件 (*.avi)"));
  EXPECT_EQ(qt[5], QStringLiteral("Real视频文件格式 (*.rm *.rmvb)"));
  EXPECT_EQ(qt[26], QStringLiteral("微软数字视频格式 (*.dvr-ms)"));
  EXPECT_EQ(qt[37], QStringLiteral("Flac无损压缩音频格式 (*.flac)"));
  EXPECT_EQ(qt[41], QStringLiteral("AIFF音频编码格式 (*.aif *.aiff)"));
}

TEST(FileNames, EveryPlainEntryInTheFileSystemsOrder) {
  TTempHome temp;
  const QString folder = temp.Root() + QStringLiteral("/media");
  for (const char *name : {"b.avi", ".hidden.mp3", "noext", "视频.mkv"})
    temp.MakeFile(QStringLiteral("media/") + QString::fromUtf8(name));
  temp.MakeFile(QStringLiteral("media/sub/inner.avi"));

  // The order readdir gives, read independently of the code under test.
  std::vector<std::string> expected;
  DIR *dir = opendir(folder.toUtf8().constData());
  ASSERT_NE(dir, nullptr);
  while (const dirent *e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != ".." && name != "sub")
      expected.push_back(folder.toStdString() + "/" + name);
  }
  closedir(dir);

  EXPECT_EQ(GetFilenames(folder.toStdString()), expected);
  EXPECT_EQ(GetFilenames(folder.toStdString() + "/"), expected);
  EXPECT_TRUE(GetFilenames(folder.toStdString() + "/missing").empty());
}

TEST(MainThreadAdapter, WorkerCallsRunInTheEventLoopAndPumpingProcessesEvents) {
  std::atomic<bool> ranOnMain{false};
  std::thread worker([&] { RunOnMainThread([&] { ranOnMain = IsMainThread(); }); });
  QEventLoop loop;
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (ranOnMain)
      loop.quit();
  });
  poll.start(5);
  loop.exec();
  worker.join();
  EXPECT_TRUE(ranOnMain);

  // A wait outside the loop pumps: posted window events are processed too.
  bool posted = false;
  QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
  PumpMainThread();
  EXPECT_TRUE(posted);
}

} // namespace
