// Texts of a file-list row: durations and sizes as the list shows them.
// Plain functions, no window toolkit, so the progress handling of the
// conversion can use them as well.
#pragma once

#include <cstdint>
#include <string>

// Whole seconds as "hh:mm:ss". Hours wrap at 24 and days are dropped, so a
// 25-hour file shows "01:00:00".
std::string SecToDate(int64_t ASec);

// A byte count in MiB with at most two decimals, in the shortest form,
// followed by "MB" ("5MB", "12.35MB"). The hundredths are rounded half to even.
std::string SizeText(int64_t ABytes);

struct TProgressInfo;

// The progress texts of a row (columns 4 to 7) for one progress report:
// the whole percentage of the converted duration followed by "%" ("N/A"
// while the total is unknown; not limited to 100), the frames per second
// (empty when the report has none, so the column keeps its text), the
// converted duration as SecToDate, and the output size as SizeText.
struct TProgressTexts {
  std::string Percent;
  std::string Fps;
  std::string Time;
  std::string Size;
};
TProgressTexts ProgressTextsOf(const TProgressInfo &AInfo);
