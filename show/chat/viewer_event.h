// A viewer's chat message or gift as a chat platform tells of it, before the viewer has the
// plug-in's 32-bit id, and its making into the show's events once it has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hosting/scenario.h"

namespace show::chat {

// The most one platform event may be worth, in points: what 16 gifts of the largest count hold.
// A platform saying more (a hostile server) is taken at this.
inline constexpr std::uint64_t kMaxEventWorth = 16 * 65535;

struct PlatformEvent {
    enum class Kind { Chat, Gift };
    Kind kind = Kind::Chat;
    std::string platform;    // "twitch", "youtube", "irc:HOST"
    std::string viewerId;    // the platform's own id for the viewer
    std::string name;        // the name shown, UTF-8
    std::string text;        // Chat, UTF-8
    std::uint64_t worth = 0; // Gift: points in all
};

// The show's events for `event` from the viewer the show knows as `viewer`: a chat message, or
// a gift of `worth` points (as many gifts of one point as fit a gift's count, and more gifts
// for a worth beyond that, up to kMaxEventWorth). Names and texts are cut to what the show takes;
// invalid UTF-8 turns into U+FFFD.
std::vector<hosting::ScenarioEvent> ShowEventsOf(const PlatformEvent& event, std::uint32_t viewer);

// Whether `text` is valid UTF-8.
bool IsUtf8(const std::string& text);

} // namespace show::chat
