#include "adapters/obs/source_settings.h"

#include <algorithm>
#include <array>

#include "show/chat/chat_sources.h"
#include "show/endpoint.h"

namespace obs_adapter {

namespace {

// The languages the plug-in has files for: English, Simplified and Traditional Chinese.
constexpr std::array<std::uint32_t, 5> kLanguages = {1033, 2052, 1028, 3076, 4100};

} // namespace

std::optional<SourceSettings> ReadSettings(const SettingsText& text, std::string& error) {
    SourceSettings settings;
    if (text.mode == "free" || text.mode.empty()) {
        settings.mode = hosting::GameMode::Free;
    } else if (text.mode == "challenge") {
        settings.mode = hosting::GameMode::Challenge;
    } else {
        error = "game mode \"" + text.mode + "\": expected free or challenge";
        return std::nullopt;
    }
    if (text.language != kSystemLanguage) {
        bool known = false;
        for (const std::uint32_t lcid : kLanguages)
            known = known || lcid == text.language;
        if (!known) {
            error = "language " + std::to_string(text.language) + ": not one the game speaks";
            return std::nullopt;
        }
        settings.lcid = static_cast<std::uint32_t>(text.language);
    }
    const std::string& where = text.endpoint.empty() ? kDefaultEndpoint : text.endpoint;
    if (!show::ParseListenAddress(where, settings.address, settings.port) ||
        !show::IsLoopbackAddress(settings.address)) {
        error = "endpoint \"" + where + "\": expected ADDRESS:PORT on this machine, such as " +
                kDefaultEndpoint;
        return std::nullopt;
    }
    settings.banks = text.banks;
    settings.season.season = text.season.empty() ? kDefaultSeason : text.season;
    settings.season.off = text.seasonOff;
    for (std::size_t at = 0; at < text.chat.size();) {
        const std::size_t start = text.chat.find_first_not_of(' ', at);
        if (start == std::string::npos) break;
        const std::size_t end = std::min(text.chat.find(' ', start), text.chat.size());
        settings.chat.push_back(text.chat.substr(start, end - start));
        at = end;
        if (!show::chat::ReadableChatSource(settings.chat.back(), error)) {
            error = "chat: " + error;
            return std::nullopt;
        }
    }
    return settings;
}

} // namespace obs_adapter
