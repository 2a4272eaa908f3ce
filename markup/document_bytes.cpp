#include "markup/document_bytes.h"

#include <cstring>

#include "markup/large_buffer.h"

namespace markup {
namespace {

std::size_t UnitsFor(std::size_t bytes) {
    return bytes / 2 + bytes % 2;
}

} // namespace

DocumentBytes::DocumentBytes(std::string_view bytes) {
    Allocate(bytes.size());
    if (!bytes.empty()) std::memcpy(data(), bytes.data(), bytes.size());
}

DocumentBytes DocumentBytes::Borrow(std::string_view bytes) {
    DocumentBytes borrowed;
    borrowed.borrowed_ = bytes;
    borrowed.size_ = bytes.size();
    return borrowed;
}

char* DocumentBytes::data() {
    Own();
    return reinterpret_cast<char*>(storage_.data());
}

void DocumentBytes::Own() {
    if (!borrowed_) return;
    const std::string_view bytes = view();
    borrowed_.reset();
    Allocate(bytes.size());
    if (!bytes.empty()) std::memcpy(data(), bytes.data(), bytes.size());
}

void DocumentBytes::Allocate(std::size_t size) {
    borrowed_.reset();
    storage_.clear();
    ResizeLarge(storage_, UnitsFor(size));
    size_ = size;
}

void DocumentBytes::Append(const char* bytes, std::size_t size) {
    Own();
    storage_.resize(UnitsFor(size_ + size));
    std::memcpy(data() + size_, bytes, size);
    size_ += size;
}

std::u16string DocumentBytes::TakeUnits(std::size_t units) {
    Own();
    storage_.resize(units < storage_.size() ? units : storage_.size());
    size_ = 0;
    return std::move(storage_);
}

} // namespace markup
