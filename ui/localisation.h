// Where the plug-in's data files are and which language they are in. Every data file lies
// relative to the host executable's folder; a Windows locale id (LCID) picks the language.
#pragma once

#include <string>
#include <string_view>

#include "platform/shell.h"

// The primary-language byte of a Chinese locale id (its low byte).
inline constexpr DWORD LANG_CHINESE = 0x04;

// The host-relative file that fixes the language files' folder; its name is replaced, it is
// never opened.
inline constexpr std::u16string_view kLanguageFileAnchor = u"VideoGames\\AskGame\\askGame.cef";

// The host executable's full path with everything after its last backslash replaced by
// `relative`. Empty when the executable's path cannot be read or the result would not fit a
// MAX_PATH buffer: a path is refused, never cut into another file's name.
std::u16string MakeHostRelativePath(std::u16string_view relative);

// Replaces everything after the last backslash of `path` by `name`, in place. A path without a
// backslash is left unchanged. A result that would not fit a MAX_PATH buffer empties `path`, so
// nothing is opened under a cut name. Returns whether `path` holds the replaced name.
bool ReplaceFileName(std::u16string_view name, std::u16string& path);

// The skin folder ("skin\", "skinCht\" or "skinEn\") and language file name for a locale id:
// English unless the primary language is Chinese; Simplified Chinese for 2052 alone.
const char16_t* GetSkinFolder(LCID lcid);
const char16_t* GetLanguageFileName(LCID lcid);

// The language file for a locale id, in the host's "VideoGames\AskGame\" folder; empty when it
// cannot be formed.
std::u16string GetLanguageFilePath(LCID lcid);
