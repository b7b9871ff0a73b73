// Names of the older option vocabulary that the current libraries spell
// differently. The catalogue and the built-in encoder presets speak the old
// vocabulary; the engine accepts it and applies today's equivalent. One data
// table (generic_options.cpp) holds every such name; add a row and a test for
// each new one met.
#pragma once

#include <string>
#include <utility>
#include <vector>

enum TLegacyKind {
  lkCodecName,       // an encoder or decoder name ("libfaac" -> "aac")
  lkOptionName,      // an option renamed or moved into an encoder's private options ("cqp" -> "qp")
  lkFlags2Member,    // a member of the old "flags2" option that is now a private option of its own
  lkFlagsMember,     // likewise for a member of "flags" ("scan_offset")
  lkPartitionMember, // a member of the old "partitions" flags; x264 now takes a list of names
  lkVideoOnly,       // an option that used to reach only video codec contexts (now it also carries the audio flag)
};

struct TLegacyName {
  TLegacyKind Kind;
  const char *OldName;
  const char *NewName;
  // For lkFlags2Member and lkFlagsMember: the value the new option gets for
  // "+member" and for "-member". Unused otherwise.
  const char *OnValue;
  const char *OffValue;
};

// The row for AOldName of that kind (names compare exactly), or null.
const TLegacyName *FindLegacyName(TLegacyKind AKind, const std::string &AOldName);

// Today's name of an encoder or decoder: the table's replacement, else AName.
std::string CurrentCodecName(const std::string &AName);

using TOptionPairs = std::vector<std::pair<std::string, std::string>>;

// Rewrites one (name, value) option of the old vocabulary into today's pairs,
// in order. Renamed options keep their value; a "flags2" value loses its old
// members ("+wpred-dct8x8"), each becoming its own option ("weightb" = "1",
// "8x8dct" = "0"), and what remains of it stays a "flags2" pair; "flags" loses
// its old members the same way. A "partitions" value made only of old members
// becomes x264's list of the partitions turned on ("+parti8x8-partb8x8" ->
// "i8x8", none on -> "none"): x264 looks for the names anywhere in its value,
// so the old text would turn on the ones it turns off. Returns false (APairs
// untouched) when nothing in the pair is old vocabulary.
bool TranslateLegacyOption(const std::string &AName, const std::string &AValue, TOptionPairs &APairs);
