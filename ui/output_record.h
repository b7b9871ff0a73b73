// The output record of a file being added: the job manager's TOutputOptions
// filled from the current profile, and the row columns shown from it.
#pragma once

#include "catalogue/profiles.h"
#include "jobs/option_records.h"

#include <array>
#include <string>

// Fills ARecord (fresh from InitOutputOptions) from the profile, field by
// field as the add operation does: a field the profile leaves empty (or
// marks with -1000 / -2000) keeps its default. A channel count or volume
// that is not a number raises EConvertError; the catalogue never makes one.
void FillOutputOptions(TOutputOptions &ARecord, const TCurrentProfile &AProfile);

// Columns 11 to 24 of a new row: the record's values, numbers in decimal,
// "True"/"False" for "视频能否", then the profile's target and norm texts.
std::array<std::string, 14> RowOptionTexts(const TOutputOptions &ARecord, const TCurrentProfile &AProfile);

// Refreshes ARecord (the row's entry of OO1) from the row's columns 11 to
// 24, as the tasks are rebuilt when work starts: an empty column (or "AUTO",
// "-1000", "-2000" where those mean "not given") leaves its field as it was
// stored when the row was added; "VideoTag" is cleared for "libx264". A
// number column that is not a number raises EConvertError.
void RefreshOutputOptions(TOutputOptions &ARecord, const std::array<std::string, 14> &AColumns);
