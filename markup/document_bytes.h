// A document's bytes as read, before decoding.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace markup {

// The bytes live in 16-bit storage, so that a UTF-16 document becomes the document text in
// place, without a second buffer of its size. Bytes already in memory can be borrowed instead:
// they are copied only when something asks to change them (data(), TakeUnits), which decoding
// does only for UTF-16 and UTF-32 documents and text with NULs in it.
class DocumentBytes {
public:
    DocumentBytes() = default;
    explicit DocumentBytes(std::string_view bytes);
    // Refers to `bytes` without copying them; they must outlive every use of the result.
    static DocumentBytes Borrow(std::string_view bytes);

    // Makes room for exactly `size` bytes (their values unset) in an empty buffer.
    void Allocate(std::size_t size);
    void Append(const char* data, std::size_t size);
    void Shrink(std::size_t size) { size_ = size < size_ ? size : size_; }

    // The bytes, to change in place (borrowed bytes are copied first).
    char* data();
    std::size_t size() const { return size_; }
    std::string_view view() const {
        return borrowed_ ? borrowed_->substr(0, size_)
                         : std::string_view{reinterpret_cast<const char*>(storage_.data()), size_};
    }

    // Hands over the first `units` 16-bit units as text; the buffer is empty afterwards.
    std::u16string TakeUnits(std::size_t units);

private:
    // Copies borrowed bytes into the buffer.
    void Own();

    std::u16string storage_;
    std::optional<std::string_view> borrowed_;
    std::size_t size_ = 0;
};

} // namespace markup
