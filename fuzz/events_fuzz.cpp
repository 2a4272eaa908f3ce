// Feeds arbitrary bytes to the live event reader's parsers as one event line and as each
// endpoint's body; every outcome must be an event or a one-line reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "show/live_events.h"

namespace {

void Check(const show::ParsedEvent& parsed) {
    if (parsed.event.has_value() == !parsed.error.empty()) std::abort();
    if (parsed.error.find('\n') != std::string::npos) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check(show::ParseEventLine(text, "/banks"));
    Check(show::ParseChat(text));
    Check(show::ParseGift(text));
    Check(show::ParsePanelAction(text, ""));
    return 0;
}
