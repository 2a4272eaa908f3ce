#include "season/season_report.h"

#include <charconv>
#include <chrono>
#include <cstdio>

namespace season {

namespace {

bool ReadNumber(std::string_view text, int& value) {
    const auto* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string ViewerLabel(const Standing& s) {
    return s.name + " (" + std::to_string(s.viewer) +
           (s.platform.empty() ? "" : ", " + s.platform) + ")";
}

} // namespace

std::optional<std::int64_t> ParseDay(std::string_view text) {
    int year = 0, month = 0, day = 1;
    if (text.size() != 7 && text.size() != 10) return std::nullopt;
    if (text[4] != '-' || !ReadNumber(text.substr(0, 4), year) ||
        !ReadNumber(text.substr(5, 2), month))
        return std::nullopt;
    if (text.size() == 10 && (text[7] != '-' || !ReadNumber(text.substr(8, 2), day)))
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year),
                              std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) return std::nullopt;
    return duration_cast<milliseconds>(sys_days(date).time_since_epoch()).count();
}

std::string FormatTable(const std::vector<Standing>& table) {
    if (table.empty()) return "No scored answers in this range.\n";
    std::string text = "Rank  Points  Answers  Shows  Gifts  Viewer\n";
    char line[96];
    for (const auto& s : table) {
        std::snprintf(line, sizeof line, "%4d  %6lld  %7lld  %5lld  %5lld  ", s.rank,
                      static_cast<long long>(s.points), static_cast<long long>(s.answers),
                      static_cast<long long>(s.shows), static_cast<long long>(s.giftValue));
        text += line + ViewerLabel(s) + '\n';
    }
    return text;
}

std::string FormatCsv(const std::vector<Standing>& table) {
    std::string text = "rank,viewer_id,name,points,answers,shows,gift_value,platform\n";
    for (const auto& s : table)
        text += std::to_string(s.rank) + ',' + std::to_string(s.viewer) + ',' + CsvField(s.name) +
                ',' + std::to_string(s.points) + ',' + std::to_string(s.answers) + ',' +
                std::to_string(s.shows) + ',' + std::to_string(s.giftValue) + ',' +
                CsvField(s.platform) + '\n';
    return text;
}

std::string FormatStanding(const Standing& s, const std::vector<std::string>& names) {
    std::string text = ViewerLabel(s) + ": rank " + std::to_string(s.rank) + ", " +
                       std::to_string(s.points) + " point(s) from " + std::to_string(s.answers) +
                       " answer(s) in " + std::to_string(s.shows) + " show(s), gifts worth " +
                       std::to_string(s.giftValue) + '\n';
    std::string others;
    for (const auto& name : names)
        if (name != s.name) others += (others.empty() ? "" : ", ") + name;
    if (!others.empty()) text += "Also seen as: " + others + '\n';
    return text;
}

} // namespace season
