// One loaded language file: the localised texts of the panels and games, by string id.
#pragma once

#include <map>
#include <string>
#include <string_view>

class CLanguageTable {
public:
    // Replaces the table with the strings of the file at `path` (Windows-shaped). The old strings
    // are dropped even when this load fails. False when no file is there (the remembered path is
    // then kept) or when the file is not well-formed; the strings that could be read from a
    // document that is not well-formed are kept all the same.
    bool Load(std::u16string_view path);

    // The text of the first string with this id, or the empty string. Ids match exactly, case
    // included.
    std::u16string GetString(std::u16string_view id) const;

    // The path of the last file Load found on disk; empty at first.
    const std::u16string& GetPath() const { return path_; }

private:
    std::u16string path_;
    std::map<std::u16string, std::u16string, std::less<>> strings_;
};
