// What the user sets on an askgame source in OBS, read from its settings and checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/scenario.h"

namespace obs_adapter {

// Setting names as OBS stores them in the scene collection.
inline constexpr const char* kModeKey = "mode";
inline constexpr const char* kLanguageKey = "language";
inline constexpr const char* kBanksKey = "banks";
inline constexpr const char* kEndpointKey = "endpoint";
inline constexpr const char* kDefaultEndpoint = "127.0.0.1:8719";
// The language setting's value for the system's default language.
inline constexpr long long kSystemLanguage = 0;

struct SourceSettings {
    host::GameMode mode = host::GameMode::Free;
    std::uint32_t lcid = 0; // 0: the system's default language
    std::string banks;      // the presenter's bank folder; empty: uploads only
    std::string address = "127.0.0.1";
    int port = 8719;

    bool operator==(const SourceSettings&) const = default;
};

struct SettingsText {
    std::string mode, banks, endpoint;
    long long language = kSystemLanguage;
};

// The settings, or nothing with the reason in `error`: an unknown mode or language, or an
// endpoint that is not ADDRESS:PORT on this machine.
std::optional<SourceSettings> ReadSettings(const SettingsText& text, std::string& error);

} // namespace obs_adapter
