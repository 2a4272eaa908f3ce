// What the user sets on an askgame source in OBS, read from its settings and checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hosting/scenario.h"
#include "show/season.h"

namespace obs_adapter {

// Setting names as OBS stores them in the scene collection.
inline constexpr const char* kModeKey = "mode";
inline constexpr const char* kLanguageKey = "language";
inline constexpr const char* kBanksKey = "banks";
inline constexpr const char* kEndpointKey = "endpoint";
inline constexpr const char* kSeasonKey = "season";
inline constexpr const char* kSeasonOffKey = "season_off";
inline constexpr const char* kChatKey = "chat";
// The endpoint's token, made once per source and kept with its settings, so the presenter's
// address stays the same across restarts of OBS.
inline constexpr const char* kTokenKey = "token";
// The properties that show the presenter's address and copy or open it.
inline constexpr const char* kAddressKey = "address";
inline constexpr const char* kCopyAddressKey = "copy_address";
inline constexpr const char* kOpenPageKey = "open_page";
inline constexpr const char* kDefaultEndpoint = "127.0.0.1:8719";
inline constexpr const char* kDefaultSeason = "main";
// The language setting's value for the system's default language.
inline constexpr long long kSystemLanguage = 0;

struct SourceSettings {
    hosting::GameMode mode = hosting::GameMode::Free;
    std::uint32_t lcid = 0; // 0: the system's default language
    std::string banks;      // the presenter's bank folder; empty: uploads only
    std::string address = "127.0.0.1";
    int port = 8719;
    // The season the show counts for, in the file askgame-host keeps by default.
    show::SeasonOptions season;
    std::vector<std::string> chat; // chat sources the show reads by itself

    bool operator==(const SourceSettings&) const = default;
};

struct SettingsText {
    std::string mode{}, banks{}, endpoint{};
    long long language = kSystemLanguage;
    std::string season{}; // empty: the default season
    bool seasonOff = false;
    std::string chat{}; // sources separated by spaces
};

// The settings, or nothing with the reason in `error`: an unknown mode or language, or an
// endpoint that is not ADDRESS:PORT on this machine, or a chat source it cannot read. An empty
// season is the default one.
std::optional<SourceSettings> ReadSettings(const SettingsText& text, std::string& error);

} // namespace obs_adapter
