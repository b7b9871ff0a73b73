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
