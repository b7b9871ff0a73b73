#include "ui/settings_paths.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string HomeFolder() {
  if (const char *home = std::getenv("HOME"); home && *home)
    return home;
  if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
    return pw->pw_dir;
  return "/";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string &AOut, uint32_t ACode) {
  if (ACode < 0x80) {
    AOut += static_cast<char>(ACode);
  } else if (ACode < 0x800) {
    AOut += static_cast<char>(0xC0 | (ACode >> 6));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  } else if (ACode < 0x10000) {
    AOut += static_cast<char>(0xE0 | (ACode >> 12));
    AOut += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  } else {
    AOut += static_cast<char>(0xF0 | (ACode >> 18));
    AOut += static_cast<char>(0x80 | ((ACode >> 12) & 0x3F));
    AOut += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
    AOut += static_cast<char>(0x80 | (ACode & 0x3F));
  }
}

// Section and key names: "%XX" is a byte, "%UXXXX" a UTF-16 unit (Qt
// writes every name character outside letters, digits and a few marks so).
std::string DecodeName(const std::string &AName) {
  std::string out;
  for (size_t i = 0; i < AName.size(); ++i) {
    if (AName[i] == '%' && i + 5 < AName.size() && AName[i + 1] == 'U') {
      uint32_t code = 0;
      bool ok = true;
      for (size_t k = i + 2; ok && k < i + 6; ++k) {
        ok = HexValue(AName[k]) >= 0;
        code = code * 16 + static_cast<uint32_t>(HexValue(AName[k]));
      }
      if (ok) {
        AppendUtf8(out, code);
        i += 5;
        continue;
      }
    }
    if (AName[i] == '%' && i + 2 < AName.size() && HexValue(AName[i + 1]) >= 0 && HexValue(AName[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(AName[i + 1]) * 16 + HexValue(AName[i + 2]));
      i += 2;
      continue;
    }
    out += AName[i];
  }
  return out;
}

std::string Trimmed(const std::string &AText) {
  size_t b = 0, e = AText.size();
  while (b < e && std::isspace(static_cast<unsigned char>(AText[b])))
    ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(AText[e - 1])))
    --e;
  return AText.substr(b, e - b);
}

// One value as QSettings writes it. Spaces outside quotes around the value
// and its list separators are dropped, as Qt's own reader drops them.
std::string DecodeValue(const std::string &ARaw) {
  std::string out;
  std::string item;
  bool quoted = false;
  size_t keepUpTo = 0; // item length that ends in quoted or escaped text: not trimmed
  const auto endItem = [&] {
    size_t e = item.size();
    while (e > keepUpTo && std::isspace(static_cast<unsigned char>(item[e - 1])))
      --e;
    out += item.substr(0, e);
    item.clear();
    keepUpTo = 0;
  };
  const std::string raw = Trimmed(ARaw);
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '"') {
      quoted = !quoted;
      keepUpTo = item.size();
    } else if (c == '\\' && i + 1 < raw.size()) {
      const char e = raw[++i];
      switch (e) {
      case 'a': item += '\a'; break;
      case 'b': item += '\b'; break;
      case 'f': item += '\f'; break;
      case 'n': item += '\n'; break;
      case 'r': item += '\r'; break;
      case 't': item += '\t'; break;
      case 'v': item += '\v'; break;
      case 'x': {
        uint32_t code = 0;
        while (i + 1 < raw.size() && HexValue(raw[i + 1]) >= 0)
          code = code * 16 + static_cast<uint32_t>(HexValue(raw[++i]));
        AppendUtf8(item, code);
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          uint32_t code = static_cast<uint32_t>(e - '0');
          while (i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '7')
            code = code * 8 + static_cast<uint32_t>(raw[++i] - '0');
          AppendUtf8(item, code);
        } else {
          item += e; // \\ \" \' \? and anything else stand for themselves
        }
      }
      keepUpTo = item.size();
    } else if (c == ',' && !quoted) {
      endItem();
      out += ',';
      while (i + 1 < raw.size() && std::isspace(static_cast<unsigned char>(raw[i + 1])))
        ++i;
    } else {
      item += c;
    }
  }
  endItem();
  // A text that starts with "@" is written with it doubled.
  if (out.rfind("@@", 0) == 0)
    out.erase(0, 1);
  return out;
}

} // namespace

std::string SettingsFilePathIn(const std::string &AExeDir) {
  std::error_code ec;
  if (fs::is_directory(AExeDir, ec) && access(AExeDir.c_str(), W_OK) == 0)
    return (fs::path(AExeDir) / "option.ini").string();
  const char *env = std::getenv("XDG_CONFIG_HOME");
  std::string config = env ? env : "";
  if (config.empty() || config.front() != '/')
    config = HomeFolder() + "/.config";
  const std::string folder = config + "/zelvora";
  MakeFolder(folder);
  return folder + "/option.ini";
}

std::string DefaultOutputFolderPath() { return HomeFolder() + "/Zelvora视频软件/输出"; }

std::string DefaultSnapshotFolderPath() { return HomeFolder() + "/Zelvora视频软件/快照"; }

bool MakeFolder(const std::string &AFolder) {
  if (AFolder.empty())
    return false;
  std::error_code ec;
  fs::create_directories(AFolder, ec);
  return fs::is_directory(AFolder, ec);
}

std::string ReadSettingsText(const std::string &AFile, const std::string &ASection, const std::string &AKey) {
  std::ifstream in(AFile, std::ios::binary);
  if (!in)
    return SettingsAbsentText;
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == ';' || text[0] == '#')
      continue;
    if (text.front() == '[' && text.back() == ']') {
      section = DecodeName(Trimmed(text.substr(1, text.size() - 2)));
      continue;
    }
    const size_t eq = text.find('=');
    if (eq == std::string::npos || section != ASection)
      continue;
    if (DecodeName(Trimmed(text.substr(0, eq))) == AKey)
      return DecodeValue(text.substr(eq + 1));
  }
  return SettingsAbsentText;
}

TOutputFolderChoice OutputFolderFor(const std::string &AStored) {
  if (!AStored.empty() && AStored != SettingsAbsentText && MakeFolder(AStored))
    return {AStored, false};
  const std::string folder = DefaultOutputFolderPath();
  MakeFolder(folder);
  return {folder, true};
}
