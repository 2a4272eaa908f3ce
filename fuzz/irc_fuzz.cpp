// A chat server's line: refused whole, or read into a command with its tags and params; what it
// tells of viewers is never worth more than an event may be, and the show's events made of it
// stay within the show's limits.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "show/chat/irc_events.h"
#include "show/chat/irc_line.h"
#include "show/live_events.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto line = show::chat::ParseIrcLine(text);
    if (!line) return 0;
    FUZZ_CHECK(!line->command.empty());
    for (const auto& event : show::chat::ViewerEventsOf(*line, "irc:fuzz", {})) {
        FUZZ_CHECK(event.worth <= show::chat::kMaxEventWorth);
        std::uint64_t worth = 0;
        for (const auto& shown : show::chat::ShowEventsOf(event, 1)) {
            FUZZ_CHECK(shown.viewer.name.size() <= show::kMaxNameUnits);
            FUZZ_CHECK(shown.text.size() <= show::kMaxTextUnits);
            worth += std::uint64_t{shown.giftCount} * shown.giftValue;
        }
        FUZZ_CHECK(worth ==
                   (event.kind == show::chat::PlatformEvent::Kind::Gift ? event.worth : 0));
    }
    return 0;
}
