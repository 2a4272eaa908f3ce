#include "adapters/frei0r/filter_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "platform/shell.h"

namespace frei0r_adapter {

namespace {

constexpr SettingInfo kSettings[] = {
    {"scenario", "The scenario file to play (JSON, as askgame-host run reads it)"},
    {"mode", "Game mode: free or challenge (default: the scenario's)"},
    {"language", "Language of the game: en, zh-CN, zh-TW or a language id such as 2052 "
                 "(default: the scenario's, else the system's)"},
    {"endpoint", "ADDRESS:PORT on this machine (such as 127.0.0.1:8719) where the show takes "
                 "viewers' chat and gifts and the presenter's actions (default: none)"},
    {"banks", "The folder of question banks the presenter may choose from by name over the "
              "endpoint (default: the scenario's folder)"},
    {"season", "The season the show's right answers and gifts count for in askgame-host's "
               "season file, or off (default: main for a live show with an endpoint, none for "
               "a scenario played alone)"},
    {"chat", "Chat the live show reads by itself, sources separated by spaces: twitch:CHANNEL, "
             "irc://HOST[:PORT]/CHANNEL, ircs://HOST[:PORT]/CHANNEL or youtube:VIDEO_ID (with "
             "ASKGAME_YOUTUBE_KEY set; needs an endpoint)"},
};
static_assert(std::size(kSettings) == static_cast<std::size_t>(Setting::Count));

constexpr std::string_view kSeasonOff = "off";

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
        return c == '_' ? '-' : static_cast<char>(std::tolower(c));
    });
    return lowered;
}

} // namespace

const SettingInfo& InfoOf(Setting setting) {
    return kSettings[static_cast<int>(setting)];
}

std::optional<hosting::GameMode> ParseGameMode(std::string_view text) {
    const std::string mode = Lowered(text);
    if (mode == "free") return hosting::GameMode::Free;
    if (mode == "challenge") return hosting::GameMode::Challenge;
    return std::nullopt;
}

show::SeasonOptions ParseSeason(std::string_view text, bool live) {
    show::SeasonOptions season;
    if (text == kSeasonOff || (text.empty() && !live))
        season.off = true;
    else if (!text.empty())
        season.season = text;
    return season;
}

std::optional<std::uint32_t> ParseLanguage(std::string_view text) {
    struct Named {
        std::string_view name;
        std::uint32_t lcid;
    };
    static constexpr Named kNames[] = {
        {"en", LCID_ENGLISH_US},
        {"en-us", LCID_ENGLISH_US},
        {"english", LCID_ENGLISH_US},
        {"zh-cn", LCID_CHINESE_SIMPLIFIED},
        {"zh-hans", LCID_CHINESE_SIMPLIFIED},
        {"zh-tw", LCID_CHINESE_TRADITIONAL},
        {"zh-hant", LCID_CHINESE_TRADITIONAL},
        {"zh-hk", LCID_CHINESE_HONG_KONG},
        {"zh-sg", LCID_CHINESE_SINGAPORE},
    };
    const std::string name = Lowered(text);
    for (const Named& known : kNames)
        if (name == known.name) return known.lcid;
    std::uint32_t lcid = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, lcid);
    if (text.empty() || error != std::errc() || stop != end || lcid == 0) return std::nullopt;
    return lcid;
}

std::vector<std::string> SplitChatSources(std::string_view text) {
    std::vector<std::string> sources;
    while (!text.empty()) {
        const std::size_t start = text.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        text.remove_prefix(start);
        const std::size_t end = std::min(text.find(' '), text.size());
        sources.emplace_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return sources;
}

} // namespace frei0r_adapter
