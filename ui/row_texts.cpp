#include "ui/row_texts.h"

#include "jobs/option_records.h"
#include "platform/convert.h"

#include <cmath>

std::string SecToDate(int64_t ASec) {
  const auto hours = static_cast<int>((ASec / 3600) % 24);
  const auto minutes = static_cast<int>((ASec / 60) % 60);
  const auto seconds = static_cast<int>(ASec % 60);
  return Format("%.2d:%.2d:%.2d", hours, minutes, seconds);
}

std::string SizeText(int64_t ABytes) {
  // std::nearbyint rounds half to even in the default rounding mode. The
  // hundredths are then printed from the integer, so no binary fraction can
  // show up as "5.2999999".
  const auto hundredths = static_cast<int64_t>(std::nearbyint(static_cast<double>(ABytes) / 1024.0 / 1024.0 * 100.0));
  const int64_t whole = hundredths / 100;
  const int64_t frac = hundredths % 100;
  std::string text = std::to_string(whole);
  if (frac != 0) {
    text += frac % 10 == 0 ? Format(".%d", static_cast<int>(frac / 10)) : Format(".%02d", static_cast<int>(frac));
  }
  return text + "MB";
}

TProgressTexts ProgressTextsOf(const TProgressInfo &AInfo) {
  TProgressTexts texts;
  texts.Percent = AInfo.TotalDuration > 0 ? std::to_string(AInfo.CurrentDuration * 100 / AInfo.TotalDuration) + "%"
                                          : std::string("N/A");
  if (AInfo.FPS > 0)
    texts.Fps = std::to_string(AInfo.FPS);
  texts.Time = SecToDate(AInfo.CurrentDuration / 1000000);
  texts.Size = SizeText(AInfo.CurrentSize);
  return texts;
}
