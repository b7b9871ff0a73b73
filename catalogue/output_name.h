// Output file names: the input's name with the format's extension, placed in
// the output folder, and kept from overwriting an existing file.
//
// Paths use "/" only. A name's extension is the part of its last path
// component from the last dot on, so dots in folder names never count.
#pragma once

#include <string>

// The part after the last "/" (the whole text when there is none).
std::string FileNamePart(const std::string &APath);

// The extension of the name part, dot included; empty when it has no dot.
std::string FileExtPart(const std::string &APath);

// APath with the name part's extension replaced by AExt, or AExt appended
// when the name part has none.
std::string ReplaceFileExt(const std::string &APath, const std::string &AExt);

// The name a profile proposes: AOutputFolder + "/" + the name part of
// AInputFile with its extension replaced by AOutExt. The folder text is taken
// as the user typed it.
std::string ProposedOutputName(const std::string &AOutputFolder, const std::string &AInputFile,
                               const std::string &AOutExt);

// The output name actually used. With E the extension of AProposal and B =
// AOutputFolder + "/" + its name part without E: B + E, unless a plain file of
// that name exists and AOverwrite is off; then B + "_" + n + E for the first
// n = 1, 2, … naming no plain file. Folders of the same name do not count, nor
// do the names other rows will produce: only the disk is asked, at this
// moment. An empty proposal gives AOutputFolder + "/".
std::string UniqueOutputName(const std::string &AOutputFolder, const std::string &AProposal, bool AOverwrite);

// The extension given to a renamed output: the four characters before the
// title's last one, with "lac)" → ".alac", "flac" → ".flac", "aiff" → ".aiff",
// "mpeg" → ".mpeg", "*.rm" → ".rm", "*.ra" → ".ra"; others as they stand
// ("(*.mp3)" gives ".mp3"). A title shorter than five bytes gives "".
std::string RenameExtensionOfTitle(const std::string &ATitle);
