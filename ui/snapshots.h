// Snapshot files of the preview panel: the picture types, the file name and
// the encoders.
#pragma once

#include <QImage>
#include <QString>

// ".bmp", ".jpg", ".gif" or ".png" for the picture types "BMP", "JPG",
// "GIF" and "PNG"; empty for anything else.
QString SnapshotExtension(const QString &AType);

// AFolder/<name>_<k><extension>, where name is AMovie's file name without
// its folder and last extension and k the first number from 1 up whose file
// does not exist yet.
QString SnapshotFileName(const QString &AFolder, const QString &AMovie, const QString &AType);

// Writes APicture to AFile as the picture type AType with the encoder's
// default settings: a Windows bitmap, a JPEG, a GIF (one frame, its colours
// reduced to a palette of at most 256) or a PNG. False when the encoder
// fails or the file cannot be written; AError then says why.
bool SaveSnapshot(const QImage &APicture, const QString &AFile, const QString &AType, QString &AError);
