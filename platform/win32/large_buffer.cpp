// Large buffers on Windows: huge pages need a privilege a plug-in does not have, so the advice
// is a no-op and buffers take ordinary pages.
#include "markup/large_buffer.h"

namespace markup {

void AdviseHugePages(void* /*data*/, std::size_t /*bytes*/) {}

} // namespace markup
