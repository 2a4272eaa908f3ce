// The season as text for people and for spreadsheets: the table, one viewer's standing, and the
// dates a user types to pick a range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "season/season_store.h"

namespace season {

// "YYYY-MM-DD" as the Unix time in milliseconds of that day's start (UTC), or "YYYY-MM" as
// its month's first day. Nothing for anything else, an impossible date included.
std::optional<std::int64_t> ParseDay(std::string_view text);

// A table with aligned numbers and the name last (names have any width).
std::string FormatTable(const std::vector<Standing>& table);
// One header line and a line per row, fields quoted where they need it.
std::string FormatCsv(const std::vector<Standing>& table);
// "name (id): rank R, P points ..." and the other names the viewer went by.
std::string FormatStanding(const Standing& standing, const std::vector<std::string>& names);

} // namespace season
