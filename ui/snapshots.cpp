#include "ui/snapshots.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <gif_lib.h>

#include <memory>
#include <vector>

namespace {

int AppendToBuffer(GifFileType *AGif, const GifByteType *AData, int ALength) {
  static_cast<QByteArray *>(AGif->UserData)->append(reinterpret_cast<const char *>(AData), ALength);
  return ALength;
}

// Qt reads GIF but has no GIF writer: giflib encodes the picture after Qt
// has reduced its colours.
bool EncodeGif(const QImage &APicture, QByteArray &AOut, QString &AError) {
  const QImage indexed = APicture.convertToFormat(QImage::Format_Indexed8);
  const QList<QRgb> table = indexed.colorTable();
  // A GIF palette has a power of two entries; the spare ones stay black.
  std::vector<GifColorType> colours(256, GifColorType{0, 0, 0});
  for (qsizetype i = 0; i < table.size() && i < 256; ++i)
    colours[i] = GifColorType{static_cast<GifByteType>(qRed(table[i])), static_cast<GifByteType>(qGreen(table[i])),
                              static_cast<GifByteType>(qBlue(table[i]))};
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject *)> map(GifMakeMapObject(256, colours.data()),
                                                                    GifFreeMapObject);
  int error = E_GIF_SUCCEEDED;
  GifFileType *gif = EGifOpen(&AOut, AppendToBuffer, &error);
  if (!gif || !map) {
    AError = QString::fromUtf8(GifErrorString(gif ? E_GIF_ERR_NOT_ENOUGH_MEM : error));
    if (gif)
      EGifCloseFile(gif, &error);
    return false;
  }
  const int width = indexed.width(), height = indexed.height();
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map.get()) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<size_t>(width));
  for (int y = 0; ok && y < height; ++y) {
    const uchar *row = indexed.constScanLine(y);
    line.assign(row, row + width);
    ok = EGifPutLine(gif, line.data(), width) == GIF_OK;
  }
  if (!ok)
    error = gif->Error;
  int closeError = E_GIF_SUCCEEDED;
  if (EGifCloseFile(gif, &closeError) != GIF_OK && ok) {
    ok = false;
    error = closeError;
  }
  if (!ok)
    AError = QString::fromUtf8(GifErrorString(error));
  return ok;
}

} // namespace

QString SnapshotExtension(const QString &AType) {
  for (const char *type : {"BMP", "JPG", "GIF", "PNG"})
    if (AType == QLatin1String(type))
      return '.' + AType.toLower();
  return {};
}

QString SnapshotFileName(const QString &AFolder, const QString &AMovie, const QString &AType) {
  const QString stem = AFolder + '/' + QFileInfo(AMovie).completeBaseName() + '_';
  const QString extension = SnapshotExtension(AType);
  for (int k = 1;; ++k) {
    const QString name = stem + QString::number(k) + extension;
    if (!QFileInfo::exists(name))
      return name;
  }
}

bool SaveSnapshot(const QImage &APicture, const QString &AFile, const QString &AType, QString &AError) {
  QByteArray encoded;
  if (AType == QLatin1String("GIF")) {
    if (!EncodeGif(APicture, encoded, AError))
      return false;
  } else {
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, AType == QLatin1String("JPG") ? "jpeg" : AType.toLower().toLatin1());
    if (!writer.write(APicture)) {
      AError = writer.errorString();
      return false;
    }
  }
  QFile file(AFile);
  if (!file.open(QIODevice::WriteOnly) || file.write(encoded) != encoded.size()) {
    AError = file.errorString();
    return false;
  }
  return true;
}
