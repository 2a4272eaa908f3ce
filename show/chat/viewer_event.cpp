#include "show/chat/viewer_event.h"

#include <algorithm>
#include <limits>

#include "askgame/audience.h"
#include "platform/utf.h"
#include "show/live_events.h"

namespace show::chat {

namespace {

std::u16string CutTo(std::u16string text, std::size_t units) {
    if (text.size() <= units) return text;
    // Never leave half a surrogate pair at the cut.
    if (units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) --units;
    text.resize(units);
    return text;
}

} // namespace

bool IsUtf8(const std::string& text) {
    return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
}

std::vector<hosting::ScenarioEvent> ShowEventsOf(const PlatformEvent& event, std::uint32_t viewer) {
    hosting::ScenarioEvent shown;
    shown.viewer = {viewer, CutTo(Utf8ToUtf16(event.name), kMaxNameUnits)};
    if (event.kind == PlatformEvent::Kind::Chat) {
        shown.kind = hosting::ActionKind::Chat;
        shown.chatKind = AudienceKind::Text; // read by both games
        shown.text = CutTo(Utf8ToUtf16(event.text), kMaxTextUnits);
        return {std::move(shown)};
    }
    shown.kind = hosting::ActionKind::Gift;
    shown.giftValue = 1;
    constexpr std::uint64_t kMostInOne = std::numeric_limits<std::uint16_t>::max();
    std::vector<hosting::ScenarioEvent> gifts;
    for (std::uint64_t left = std::min(event.worth, kMaxEventWorth); left > 0;) {
        const std::uint64_t count = std::min(left, kMostInOne);
        shown.giftCount = static_cast<std::uint16_t>(count);
        gifts.push_back(shown);
        left -= count;
    }
    return gifts;
}

} // namespace show::chat
