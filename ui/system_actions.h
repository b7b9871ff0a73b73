// What the window asks of the desktop and the system around a conversion:
// power-off, a sound, a notification, keeping the system awake, free disk
// space. Opening the output folder goes through IDialogs::OpenExternal.
//
// One seam, like the dialogs', so tests observe every action and nothing
// powers a test machine off. All calls come from the main thread.
#pragma once

#include <QString>

class ISystemActions {
public:
  virtual ~ISystemActions() = default;

  // The system's power-off request, forcing running programs to close and
  // asking nobody. False with the system's reason when it is not allowed
  // (the user lacks the privilege) or cannot be asked; the computer runs on.
  virtual bool PowerOff(QString &AReason) = 0;
  // Starts playing a WAV file and returns at once.
  virtual void PlaySound(const QString &AFile) = 0;
  // One desktop notification (the tray's message).
  virtual void Notify(const QString &ATitle, const QString &AText) = 0;
  // AOn: asks the system not to sleep while work runs; false releases that.
  virtual void KeepAwake(bool AOn) = 0;
  // Bytes the user may still write in AFolder's file system; -1 when unknown.
  virtual qint64 FreeBytes(const QString &AFolder) = 0;
};

// The installed implementation: the desktop's (D-Bus to logind and the
// notification service, SDL audio, the file system) unless
// SetSystemActions named another.
ISystemActions &SystemActions();
// Installs AActions (not owned; nullptr goes back to the desktop's).
void SetSystemActions(ISystemActions *AActions);
