// The settings file "option.ini": its bytes read back through both readers
// (the window's QSettings one and the plain one the command line uses) for
// every key the program reads, and the bytes as a value the window writes,
// which the plain reader must give back unchanged: both programs must agree
// on the output folder the user chose.
#include "fuzz/fuzz_support.h"
#include "ui/settings_file.h"
#include "ui/settings_paths.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>

namespace {

struct TKey {
  const char *Section;
  const char *Key;
};

// What the main window and the options window read.
constexpr TKey kKeys[] = {{"OutPath", "OutPath"},        {"Skin", "SetSkin"},
                          {"SnapShot", "Dir"},           {"SnapShot", "Picture"},
                          {"Options", "Thread_Count"},   {"Options", "After_Done"},
                          {"Options", "Show_Preview"},   {"Options", "Thread_Priority"},
                          {"Options", "Overwrite_File"}};

// QSettings keeps what it read of a file by name; a name of its own per
// input keeps one input's content from answering for the next.
std::string NextFileName() {
  static unsigned counter = 0;
  return ScratchDir() + "/option_" + std::to_string(++counter) + ".ini";
}

void ReadEveryKey(const std::string &APath) {
  const TSettingsFile settings(QString::fromStdString(APath));
  for (const TKey &k : kKeys) {
    ReadSettingsText(APath, k.Section, k.Key);
    settings.Read(QString::fromLatin1(k.Section), QString::fromLatin1(k.Key));
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
  // Arbitrary bytes as the whole file.
  {
    const std::string path = NextFileName();
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
      Violation("cannot write " + path);
    std::fwrite(AData, 1, ASize, f);
    std::fclose(f);
    ReadEveryKey(path);
    std::remove(path.c_str());
  }
  // The bytes as a folder the window stores: what the plain reader returns is
  // what the window wrote, byte for byte.
  {
    const std::string path = NextFileName();
    // A folder name never holds a NUL (QSettings would store such a text in
    // its own "@String(...)" form).
    QString value = QString::fromUtf8(reinterpret_cast<const char *>(AData), static_cast<qsizetype>(ASize));
    value.remove(QChar::Null);
    const TSettingsFile settings(QString::fromStdString(path));
    settings.Write(QStringLiteral("OutPath"), QStringLiteral("OutPath"), value);
    const std::string expected = value.toStdString();
    const std::string read = ReadSettingsText(path, "OutPath", "OutPath");
    if (read != expected)
      Violation("the plain reader gives \"" + QByteArray::fromStdString(read).toPercentEncoding().toStdString() +
                "\" for the stored \"" + QByteArray::fromStdString(expected).toPercentEncoding().toStdString() +
                "\"");
    std::remove(path.c_str());
  }
  return 0;
}
