// The host application's profile, from which the plug-in takes the presenter's language when it
// is loaded: "ZorvoProfile.xml" in "Velt\Zorvo\" under the per-user roaming application-data
// folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ui/localisation.h"

// The profile folder with a trailing backslash, creating "Velt" and "Zorvo" when they are
// missing. Empty when the application-data folder is unknown, a folder cannot be created or the
// path would not fit a MAX_PATH buffer.
std::u16string GetProfileFolder();

// The profile file's full path; remembered while the file exists. Empty when no profile folder
// can be had.
std::u16string GetProfilePath();

// The locale id in the profile's "Language" element (a child of the first root-level element),
// read as atoi reads its "LCID" attribute: "2052" is 2052, "0x0804" is 0, a missing attribute
// is 0. The system default when there is no readable profile or no "Language" element.
LCID GetProfileLCID();

// The largest profile file read.
inline constexpr std::size_t kMaxProfileBytes = 16u * 1024 * 1024;

// GetProfileLCID's reading of a profile's bytes: `fallback` when they are not a well-formed
// document or hold no "Language" element under the first root-level element.
LCID ReadProfileLCID(std::string_view bytes, LCID fallback);
