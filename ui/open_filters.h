// The file filter of the two open dialogs of the file list.
#pragma once

#include <string>

// "description|patterns|" pairs, concatenated: all files first (selected by
// default), then the supported video and audio files, video only, audio
// only, and one pair per file type. It only helps the user choose: any file
// the probe accepts is added, whatever its extension. UTF-8; the dialogs
// take it as OpenDialogFilter (ui/dialogs.h).
std::string OpenDialogFilterText();
