// One loaded language file: the localised texts of the panels and games, by string id.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

// The largest language file read; real ones are a few kilobytes.
inline constexpr std::size_t kMaxLanguageFileBytes = 16u * 1024 * 1024;

class CLanguageTable {
public:
    // Replaces the table with the strings of the file at `path` (Windows-shaped). The old strings
    // are dropped even when this load fails. False when no file is there (the remembered path is
    // then kept) or when the file is not well-formed; the strings that could be read from a
    // document that is not well-formed are kept all the same.
    // Only a regular file of at most kMaxLanguageFileBytes is read. Every failure leaves a trace
    // naming the file and the reason.
    bool Load(std::u16string_view path);
    // Load on the bytes of a language file already in memory (no path is remembered).
    bool LoadBytes(std::string_view bytes);

    // The text of the first string with this id, or the empty string. Ids match exactly, case
    // included.
    std::u16string GetString(std::u16string_view id) const;

    // The path of the last file Load found on disk; empty at first.
    const std::u16string& GetPath() const { return path_; }

private:
    static void TraceFailure(std::u16string_view file, std::string_view reason);

    std::u16string path_;
    std::map<std::u16string, std::u16string, std::less<>> strings_;
};
