// Loading the options record from the settings file at start and saving it at shutdown.
#pragma once

#include "platform/fs.h"
#include "settings/csettingsfile.h"
#include "settings/processoptions.h"
#include "settings/settingslocation.h"

namespace kestrow {

// Takes the options a read file holds: the GENERAL keys (0 or empty for a key that is missing
// when the section exists), the special-file lines TempFile1, TempFile2, … up to the first empty
// one, "[KSTW]" for an empty tagline prefix, and the GTAGS map. Without a GENERAL section the
// keyed fields, the lines and the prefix are left as they are; without GTAGS, the map is.
void ReadOptions(const CSettingsFile& file, ProcessOptions& options);

// Puts every GENERAL key and the special-file lines into the file held in memory and blanks the
// TempFile keys left over from a longer list. GTAGS is never written.
void WriteOptions(CSettingsFile& file, const ProcessOptions& options);

// Resets the options to their initial values and reads the user's settings file, or the shipped
// defaults when the user has none. A missing file is no failure; a file that cannot be read
// leaves the initial values and its reason is returned.
platform::Status LoadOptions(const SettingsLocation& where, ProcessOptions& options);

// Writes the options into the user's settings file in one atomic rewrite that keeps the lines it
// does not own; a file not yet there starts as a copy of the shipped defaults. On failure the old
// file is left as it was and the reason is returned.
platform::Status SaveOptions(const SettingsLocation& where, const ProcessOptions& options);

}  // namespace kestrow
