// Sizing the reader's large buffers (the file's bytes, the document text).
#pragma once

#include <cstddef>

namespace markup {

// Asks the system to back a buffer that has not been touched yet with huge pages. Fresh
// memory is paid for page by page; for a document of tens of megabytes those faults cost more
// than parsing does, and huge pages cut their number by 512. Small buffers are left alone.
void AdviseHugePages(void* data, std::size_t bytes);

// Resizes an empty string to `size` elements, asking for huge pages before the first touch.
template <typename String>
void ResizeLarge(String& buffer, std::size_t size) {
    buffer.reserve(size);
    AdviseHugePages(buffer.data(), size * sizeof(typename String::value_type));
    buffer.resize(size);
}

} // namespace markup
