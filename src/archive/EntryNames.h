#pragma once
// The one test for a name that comes from a backup (an archive entry, or a name listed in
// a backup's information file) before it is used as a file name in a folder of the user's.
#include <string_view>

namespace quarnel::archive {

// True only for a bare file name that Windows takes as it is: not empty, no folder part
// ('\', '/', ':'), not "." or "..", no control character and none of <>"|?*, no trailing
// dot or blank (Windows drops them, so "Inbox.dbx." would land on "Inbox.dbx"), and not a
// device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9), with or without an extension.
bool IsSafeEntryName(std::string_view name);

}  // namespace quarnel::archive
