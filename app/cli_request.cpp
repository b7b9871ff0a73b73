#include "app/cli_request.h"

#include "catalogue/formats.h"
#include "platform/convert.h"

#include <optional>

namespace {

// The preset flags, in the order of TPresetKind.
constexpr const char *PresetFlags[PresetKindCount] = {"--resolution", "--video-bitrate", "--audio-bitrate",
                                                      "--scaling", "--frame-rate", "--sample-rate"};

int32_t NumberOf(const std::string &AFlag, const std::string &AText) {
  try {
    return StrToInt(AText);
  } catch (const EConvertError &) {
    throw EUsageError(AFlag + ": \"" + AText + "\" is not a number");
  }
}

// Every allowed value of a list, quoted, for the error message.
std::string Allowed(TPresetValues AValues) {
  std::string text;
  for (const char *v : AValues)
    text += std::string(text.empty() ? "" : ", ") + "\"" + v + "\"";
  return text;
}

} // namespace

TCliRequest ParseCommandLine(const std::vector<std::string> &AArgs) {
  TCliRequest request;
  if (AArgs.empty())
    throw EUsageError("no command given (formats, probe or convert)");
  const std::string &command = AArgs[0];
  if (command == "--help" || command == "-h" || command == "help")
    return request;
  if (command == "formats") {
    if (AArgs.size() > 1)
      throw EUsageError("formats takes no arguments");
    request.Command = ccFormats;
    return request;
  }
  if (command == "probe") {
    request.Command = ccProbe;
    request.Files.assign(AArgs.begin() + 1, AArgs.end());
    if (request.Files.empty())
      throw EUsageError("probe needs at least one file");
    return request;
  }
  if (command != "convert")
    throw EUsageError("unknown command \"" + command + "\"");

  request.Command = ccConvert;
  std::array<std::optional<std::string>, PresetKindCount> chosen;
  bool flagsEnded = false;
  for (size_t i = 1; i < AArgs.size(); ++i) {
    std::string arg = AArgs[i];
    if (flagsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      request.Files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      flagsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      request.Command = ccHelp;
      return request;
    }
    if (arg == "--overwrite") {
      request.Overwrite = true;
      continue;
    }
    // "--flag=value" or "--flag value".
    std::string value;
    bool inlineValue = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    const auto takeValue = [&]() -> const std::string & {
      if (!inlineValue) {
        if (i + 1 >= AArgs.size())
          throw EUsageError(arg + " needs a value");
        value = AArgs[++i];
      }
      return value;
    };
    if (arg == "-f" || arg == "--format") {
      request.FormatKey = NumberOf(arg, takeValue());
    } else if (arg == "-o" || arg == "--output") {
      request.OutputFolder = takeValue();
      if (request.OutputFolder.empty())
        throw EUsageError(arg + " needs a folder");
    } else if (arg == "-j" || arg == "--jobs") {
      request.Jobs = NumberOf(arg, takeValue());
      if (request.Jobs < 1 || request.Jobs > 19)
        throw EUsageError(arg + ": files at once must be 1 to 19");
    } else if (arg == "--ext") {
      const std::string &line = takeValue();
      const size_t eq = line.find('=');
      if (eq == 0 || eq == std::string::npos)
        throw EUsageError("--ext needs NAME=VALUE, got \"" + line + "\"");
      request.ExtOptions += line + "\n";
    } else {
      bool known = false;
      for (int k = 0; k < PresetKindCount; ++k)
        if (arg == PresetFlags[k]) {
          chosen[k] = takeValue();
          known = true;
        }
      if (!known)
        throw EUsageError("unknown option \"" + arg + "\"");
    }
  }
  if (request.Files.empty())
    throw EUsageError("convert needs at least one file or folder");
  if (!FindFormatByKey(request.FormatKey))
    throw EUsageError("unknown format key " + std::to_string(request.FormatKey) +
                      " (zelvora-cli formats lists the keys)");

  // The format's own lists decide which texts a preset flag may name.
  const TPresetLists lists = PresetListsOf(request.FormatKey);
  request.Presets = lists.ShownTexts();
  for (int k = 0; k < PresetKindCount; ++k) {
    if (!chosen[k])
      continue;
    const TPresetValues values = lists[static_cast<TPresetKind>(k)].Entries;
    bool found = false;
    for (const char *v : values)
      found = found || *chosen[k] == v;
    if (!found)
      throw EUsageError(std::string(PresetFlags[k]) + ": \"" + *chosen[k] + "\" is not a value of format " +
                        std::to_string(request.FormatKey) + "; allowed: " + Allowed(values));
    request.Presets[k] = *chosen[k];
  }
  return request;
}

std::string UsageText() {
  return R"(zelvora-cli: converts video and audio files with the formats of Zelvora视频转MP3格式转换器.

Usage:
  zelvora-cli formats
      Lists every output format: key, category and title, separated by tabs.
  zelvora-cli probe FILE...
      Prints what each file holds: container, duration, bit rate, streams.
  zelvora-cli convert [options] INPUT...
      Converts each INPUT file, and every file directly inside each INPUT
      folder (sub-folders are not entered; files that are no media are
      reported as not convertible).

Options of convert:
  -f, --format KEY       output format (default 200, MP3); see "formats"
  -o, --output DIR       output folder (default: the output folder of the
                         desktop program's settings)
  -j, --jobs N           files converted at once, 1 to 19 (default 1)
  --overwrite            reuse an existing output name; without it a name
                         that exists gets "_1", "_2", ... before its extension
  --resolution T         a value shown in the format's preset lists instead
  --video-bitrate T      of the format's default, e.g. --resolution 640*480,
  --frame-rate T         --audio-bitrate "192 kbps", --sample-rate 44100;
  --audio-bitrate T      a value the list does not hold is refused with the
  --sample-rate T        list of allowed ones
  --scaling T
  --ext NAME=VALUE       a further converter option for every output
                         (repeatable), e.g. --ext ss=10
  -h, --help             this text

On a terminal each file has a progress line that updates in place (percent,
frames per second, converted time, size); otherwise progress comes as plain
lines. Each failure's message is printed.

Exit codes: 0 every file converted; 1 some file failed or was not
convertible, or an input does not exist; 2 the command line is wrong.

Example:
  zelvora-cli convert -f 200 -o ~/music holiday.mp4
      writes ~/music/holiday.mp3 (MP3, 128 kbit/s, 44100 Hz, stereo).
)";
}
