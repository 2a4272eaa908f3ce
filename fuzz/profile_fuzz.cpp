// A host profile's bytes: the language is read from it, or the fallback is kept.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "markup/markup_document.h"
#include "ui/host_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    constexpr LCID kFallback = 0xFEEDu;
    const LCID lcid = ReadProfileLCID(bytes, kFallback);
    FUZZ_CHECK(ReadProfileLCID(bytes, kFallback) == lcid); // no hidden state
    CMarkupDocument document;
    if (!document.LoadBytes(bytes)) FUZZ_CHECK(lcid == kFallback);
    // A fallback of another value shows whether the profile named the language itself.
    const LCID other = ReadProfileLCID(bytes, kFallback + 1);
    FUZZ_CHECK(other == lcid || (lcid == kFallback && other == kFallback + 1));
    return 0;
}
