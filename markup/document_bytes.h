// A document's bytes as read, before decoding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace markup {

// The bytes live in 16-bit storage, so that a UTF-16 document becomes the document text in
// place, without a second buffer of its size.
class DocumentBytes {
public:
    DocumentBytes() = default;
    explicit DocumentBytes(std::string_view bytes);

    // Makes room for exactly `size` bytes (their values unset) in an empty buffer.
    void Allocate(std::size_t size);
    void Append(const char* data, std::size_t size);
    void Shrink(std::size_t size) { size_ = size < size_ ? size : size_; }

    char* data() { return reinterpret_cast<char*>(storage_.data()); }
    std::size_t size() const { return size_; }
    std::string_view view() const {
        return {reinterpret_cast<const char*>(storage_.data()), size_};
    }

    // Hands over the first `units` 16-bit units as text; the buffer is empty afterwards.
    std::u16string TakeUnits(std::size_t units);

private:
    std::u16string storage_;
    std::size_t size_ = 0;
};

} // namespace markup
