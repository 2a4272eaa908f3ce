// The Matroska an input's ffmpeg writes: read block by block, never past the bytes there are,
// no block above the cap, and a stream that ends early says why or simply ends.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "hosting/matroska.h"

namespace {
constexpr std::size_t kMaxBlock = 4096;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    hosting::MatroskaReader reader(
        [&](void* out, std::size_t wanted) {
            if (size - at < wanted) return false;
            std::copy_n(data + at, wanted, static_cast<std::uint8_t*>(out));
            at += wanted;
            return true;
        },
        kMaxBlock);
    hosting::MediaBlock block;
    while (reader.Next(block)) {
        FUZZ_CHECK(block.bytes.size() <= kMaxBlock);
        FUZZ_CHECK(at <= size);
    }
    FUZZ_CHECK(reader.Tracks().size() <= 16);
    return 0;
}
