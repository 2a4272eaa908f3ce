// A YouTube Data API answer: read as a chat page or refused, never trusted; what it tells of
// viewers is never worth more than an event may be and always names a viewer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "show/chat/youtube_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)show::chat::ActiveLiveChatId(text);
    (void)show::chat::ApiErrorReason(text);
    const auto page = show::chat::ReadChatPage(text);
    if (!page) return 0;
    FUZZ_CHECK(page->pollingIntervalMillis <= 3'600'000);
    for (const auto& event : page->events) {
        FUZZ_CHECK(event.worth <= show::chat::kMaxEventWorth);
        FUZZ_CHECK(!event.viewerId.empty() && event.platform == "youtube");
    }
    return 0;
}
