// The filter's parameters as the video tool hands them over (all frei0r strings, so that every
// tool passes them alike: GStreamer and MLT clamp frei0r numbers to 0..1), and what they mean.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosting/scenario.h"
#include "show/season.h"

namespace frei0r_adapter {

enum class Setting { Scenario, Mode, Language, Endpoint, Banks, Season, Chat, Count };

struct SettingInfo {
    const char* name;
    const char* explanation;
};

// Name and one-line help of each parameter, in the order the tools number them.
const SettingInfo& InfoOf(Setting setting);

// The longest parameter value taken; anything longer is refused, not cut.
inline constexpr std::size_t kMaxSettingBytes = 4096;

struct FilterSettings {
    std::string values[static_cast<int>(Setting::Count)];

    std::string& operator[](Setting s) { return values[static_cast<int>(s)]; }
    const std::string& operator[](Setting s) const { return values[static_cast<int>(s)]; }
    bool operator==(const FilterSettings&) const = default;
};

// "free" or "challenge" (any letter case); nothing for anything else.
std::optional<hosting::GameMode> ParseGameMode(std::string_view text);
// The season parameter's value: "off" keeps none; empty keeps a live show (one with an endpoint)
// in the season "main" and a scenario played alone (a render, a rehearsal) in none; anything
// else names the season. The season file is the one askgame-host keeps by default.
show::SeasonOptions ParseSeason(std::string_view text, bool live);
// The chat parameter's sources, separated by spaces.
std::vector<std::string> SplitChatSources(std::string_view text);
// A language by name ("en", "zh-CN", "zh-TW", "zh-HK", "zh-SG", letter case and '_' for '-'
// free) or a Windows language id in decimal (1033, 2052, ...); nothing for anything else.
std::optional<std::uint32_t> ParseLanguage(std::string_view text);

} // namespace frei0r_adapter
