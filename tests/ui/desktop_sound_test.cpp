// The desktop's own sound playing: the completion sound made at build time
// goes to SDL's audio device without the caller waiting. SDL's "disk" driver
// stands in for the sound card and keeps what was played in a file.
#include "media/ffmpeg_loader.h"
#include "platform/paths.h"
#include "ui/system_actions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(DesktopSound, TheRingPlaysWithoutWaiting) {
  const QString ring = QString::fromStdString(ExecutableDir()) + QStringLiteral("/sounds/ring001.wav");
  QFile wav(ring);
  ASSERT_TRUE(wav.open(QIODevice::ReadOnly)) << ring.toStdString();
  const QByteArray samples = wav.readAll().mid(44); // our file: a 44-byte header, then the samples
  ASSERT_GT(samples.size(), 40000);

  QTemporaryDir dir;
  const QString played = dir.filePath(QStringLiteral("played.raw"));
  // Read when SDL's audio starts, which nothing in this binary did before.
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", played.toLocal8Bit().constData(), 1);
  FFLoader().SetLibraryPath(DefaultLibraryPath());

  QElapsedTimer clock;
  clock.start();
  SystemActions().PlaySound(ring);
  EXPECT_LT(clock.elapsed(), 500); // the sound lasts 900 ms
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(played).size() >= samples.size(); }, 10000))
      << QFileInfo(played).size();
  QFile out(played);
  ASSERT_TRUE(out.open(QIODevice::ReadOnly));
  EXPECT_EQ(out.read(samples.size()), samples);
}

} // namespace
