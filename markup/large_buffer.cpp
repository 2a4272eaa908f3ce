#include "markup/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace markup {
namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
constexpr std::size_t kWorthwhile = std::size_t{2} << 20;

} // namespace

void AdviseHugePages(void* data, std::size_t bytes) {
    if (bytes < kWorthwhile) return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    // Only a hint: where the system has no huge pages to give, nothing changes.
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace markup
