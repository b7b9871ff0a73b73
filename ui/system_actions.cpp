#include "ui/system_actions.h"

#include "media/ffmpeg_loader.h"
#include "ui/pictures.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QStorageInfo>
#include <QSystemTrayIcon>
#include <QTimer>

#include <SDL2/SDL.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

const QString Login1Service = QStringLiteral("org.freedesktop.login1");
const QString Login1Path = QStringLiteral("/org/freedesktop/login1");
const QString Login1Manager = QStringLiteral("org.freedesktop.login1.Manager");

// 16-bit PCM samples of a WAV file and their format; empty when the file is
// no such WAV.
struct TWave {
  int Rate = 0;
  int Channels = 0;
  std::vector<uint8_t> Data;
};

TWave ReadWave(const QString &AFile) {
  TWave wave;
  QFile file(AFile);
  if (!file.open(QIODevice::ReadOnly))
    return wave;
  const QByteArray bytes = file.readAll();
  const auto u16 = [&](qsizetype at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
  };
  const auto u32 = [&](qsizetype at) { return u16(at) | u16(at + 2) << 16; };
  if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
    return wave;
  bool pcm16 = false;
  for (qsizetype at = 12; at + 8 <= bytes.size();) {
    const QByteArray id = bytes.mid(at, 4);
    const qsizetype size = u32(at + 4);
    const qsizetype body = at + 8;
    if (id == "fmt " && size >= 16 && body + 16 <= bytes.size()) {
      pcm16 = u16(body) == 1 && u16(body + 14) == 16;
      wave.Channels = static_cast<int>(u16(body + 2));
      wave.Rate = static_cast<int>(u32(body + 4));
    } else if (id == "data" && pcm16) {
      const qsizetype n = std::min(size, bytes.size() - body);
      wave.Data.assign(bytes.begin() + body, bytes.begin() + body + n);
      return wave;
    }
    at = body + size + (size & 1);
  }
  return {};
}

// One sound on an SDL audio device of its own, fed from memory by SDL's
// audio thread and closed from the event loop once it has played.
class TSoundPlayback {
public:
  explicit TSoundPlayback(TWave AWave) : FWave(std::move(AWave)) {}
  ~TSoundPlayback() {
    if (FDevice != 0)
      AV.SDL_CloseAudioDevice(FDevice);
  }
  // Milliseconds the sound lasts, or -1 when no device would play it.
  int Open() {
    SDL_AudioSpec want{};
    want.freq = FWave.Rate;
    want.format = AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(FWave.Channels);
    want.samples = 1024;
    want.callback = &TSoundPlayback::Fill;
    want.userdata = this;
    SDL_AudioSpec have{};
    FDevice = AV.SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (FDevice == 0)
      return -1;
    AV.SDL_PauseAudioDevice(FDevice, 0);
    return static_cast<int>(FWave.Data.size() * 1000 / (static_cast<size_t>(FWave.Rate) * FWave.Channels * 2));
  }

private:
  static void Fill(void *AUser, Uint8 *AStream, int ALength) {
    auto *self = static_cast<TSoundPlayback *>(AUser);
    const size_t left = self->FWave.Data.size() - self->FPos;
    const size_t n = std::min(left, static_cast<size_t>(ALength));
    std::memcpy(AStream, self->FWave.Data.data() + self->FPos, n);
    std::memset(AStream + n, 0, static_cast<size_t>(ALength) - n);
    self->FPos += n;
  }
  TWave FWave;
  size_t FPos = 0; // touched by SDL's audio thread only once playing
  SDL_AudioDeviceID FDevice = 0;
};

class TDesktopActions final : public ISystemActions {
public:
  bool PowerOff(QString &AReason) override {
    QDBusInterface logind(Login1Service, Login1Path, Login1Manager, QDBusConnection::systemBus());
    if (!logind.isValid()) {
      AReason = QDBusConnection::systemBus().lastError().message();
      return false;
    }
    // Asking first is the privilege check: "yes" only when the user may
    // power off without anybody's answer.
    const QDBusReply<QString> can = logind.call(QStringLiteral("CanPowerOff"));
    if (!can.isValid()) {
      AReason = can.error().message();
      return false;
    }
    if (can.value() != QStringLiteral("yes")) {
      AReason = QStringLiteral("CanPowerOff: ") + can.value();
      return false;
    }
    const QDBusMessage reply = logind.call(QStringLiteral("PowerOff"), false);
    if (reply.type() == QDBusMessage::ErrorMessage) {
      AReason = reply.errorMessage();
      return false;
    }
    return true;
  }

  void PlaySound(const QString &AFile) override {
    TWave wave = ReadWave(AFile);
    if (wave.Data.empty() || wave.Rate <= 0 || wave.Channels <= 0)
      return;
    if (!FFLoader().Loaded(lbSDL) && !FFLoader().Load(lbSDL))
      return;
    if (!(AV.SDL_WasInit(SDL_INIT_AUDIO) & SDL_INIT_AUDIO) && AV.SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
      return;
    FSound.reset(); // a sound still playing gives way to the new one
    auto sound = std::make_unique<TSoundPlayback>(std::move(wave));
    const int ms = sound->Open();
    if (ms < 0)
      return;
    FSound = std::move(sound);
    TSoundPlayback *playing = FSound.get();
    QTimer::singleShot(ms + 500, [this, playing] {
      if (FSound.get() == playing)
        FSound.reset();
    });
  }

  void Notify(const QString &ATitle, const QString &AText) override {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
      if (!FTray) {
        FTray = std::make_unique<QSystemTrayIcon>(ApplicationIcon());
        FTray->setToolTip(ATitle);
        FTray->show();
      }
      FTray->showMessage(ATitle, AText, QSystemTrayIcon::Information, 10000);
      return;
    }
    // Without a tray the desktop's notification service shows it.
    QDBusInterface notifications(QStringLiteral("org.freedesktop.Notifications"),
                                 QStringLiteral("/org/freedesktop/Notifications"),
                                 QStringLiteral("org.freedesktop.Notifications"), QDBusConnection::sessionBus());
    if (notifications.isValid())
      notifications.asyncCall(QStringLiteral("Notify"), ATitle, 0u, QString(), ATitle, AText, QStringList(),
                              QVariantMap(), -1);
  }

  void KeepAwake(bool AOn) override {
    if (!AOn) {
      FInhibitor = QDBusUnixFileDescriptor(); // closing the descriptor ends the block
      return;
    }
    if (FInhibitor.isValid())
      return;
    QDBusInterface logind(Login1Service, Login1Path, Login1Manager, QDBusConnection::systemBus());
    if (!logind.isValid())
      return;
    const QDBusReply<QDBusUnixFileDescriptor> fd =
        logind.call(QStringLiteral("Inhibit"), QStringLiteral("sleep:idle"),
                    QStringLiteral("Zelvora视频转MP3格式转换器"), QStringLiteral("正在转换文件"), QStringLiteral("block"));
    if (fd.isValid())
      FInhibitor = fd.value();
  }

  qint64 FreeBytes(const QString &AFolder) override {
    const QStorageInfo storage(AFolder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
  }

private:
  std::unique_ptr<TSoundPlayback> FSound;
  std::unique_ptr<QSystemTrayIcon> FTray;
  QDBusUnixFileDescriptor FInhibitor;
};

ISystemActions *Installed = nullptr;

TDesktopActions &Desktop() {
  // Made on first use, as its tray icon needs the application, and never
  // freed: the application is gone by the time statics are destroyed.
  static TDesktopActions *desktop = new TDesktopActions;
  return *desktop;
}

} // namespace

ISystemActions &SystemActions() { return Installed ? *Installed : Desktop(); }

void SetSystemActions(ISystemActions *AActions) { Installed = AActions; }
