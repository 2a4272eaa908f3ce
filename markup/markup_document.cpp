#include "markup/markup_document.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "markup/char_refs.h"
#include "markup/markup_decode.h"
#include "markup/markup_parser.h"
#include "markup/markup_syntax.h"
#include "platform/file.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// The whole file, or false when it cannot be opened or read, or is too large to load.
bool ReadWholeFile(std::u16string_view path, markup::DocumentBytes& bytes) {
    const std::u16string terminated(path);
    std::unique_ptr<FILE, FileCloser> file(_wfopen(terminated.c_str(), u"rb"));
    if (!file) return false;
    // A regular file is read in one go into a buffer of its size; anything else in chunks.
    struct stat info {};
    if (::fstat(::fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode)) {
        if (static_cast<std::uint64_t>(info.st_size) > markup::kMaxDocumentBytes) return false;
        bytes.Allocate(static_cast<std::size_t>(info.st_size));
        bytes.Shrink(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    }
    char chunk[1 << 14];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (got > markup::kMaxDocumentBytes - bytes.size()) return false;
        bytes.Append(chunk, got);
    }
    return !std::ferror(file.get());
}

} // namespace

bool CMarkupDocument::LoadFile(std::u16string_view path) {
    Clear();
    markup::DocumentBytes bytes;
    if (!ReadWholeFile(path, bytes)) {
        log_.Add(u"file_error", {{u"msg", u"cannot read"}});
        return false;
    }
    text_ = markup::DecodeMarkupBytes(std::move(bytes), log_);
    return Parse();
}

bool CMarkupDocument::LoadBytes(std::string_view bytes) {
    Clear();
    text_ = markup::DecodeMarkupBytes(markup::DocumentBytes::Borrow(bytes), log_);
    return Parse();
}

bool CMarkupDocument::SetDoc(std::u16string_view text) {
    Clear();
    if (text.size() > markup::kMaxDocumentBytes) {
        log_.Add(u"file_error", {{u"msg", u"too large"}});
        return false;
    }
    text_ = text;
    return Parse();
}

void CMarkupDocument::Clear() {
    text_.clear();
    log_.Clear();
    records_.Reset(1);
    parent_ = main_ = child_ = 0;
}

bool CMarkupDocument::Parse() {
    parent_ = main_ = child_ = 0;
    return markup::ParseMarkup(text_, records_, log_);
}

void CMarkupDocument::ResetMainPosition() {
    main_ = child_ = 0;
}

std::uint32_t CMarkupDocument::FindSibling(std::uint32_t from, std::u16string_view name) const {
    std::uint32_t index = from;
    while (index != 0 && !name.empty() && TagName(index) != name)
        index = records_[index].nextSibling;
    return index;
}

bool CMarkupDocument::FindElement(std::u16string_view name) {
    const std::uint32_t from = main_ ? records_[main_].nextSibling : records_[parent_].firstChild;
    const std::uint32_t found = FindSibling(from, name);
    if (found == 0) return false;
    main_ = found;
    child_ = 0;
    return true;
}

bool CMarkupDocument::FindChildElement(std::u16string_view name) {
    if (main_ == 0 && !FindElement()) return false;
    const std::uint32_t from = child_ ? records_[child_].nextSibling : records_[main_].firstChild;
    const std::uint32_t found = FindSibling(from, name);
    if (found == 0) return false;
    child_ = found;
    return true;
}

bool CMarkupDocument::EnterElement() {
    if (main_ == 0) return false;
    parent_ = main_;
    main_ = child_;
    child_ = 0;
    return true;
}

bool CMarkupDocument::LeaveElement() {
    if (parent_ == 0) return false;
    child_ = main_;
    main_ = parent_;
    parent_ = records_[parent_].parent;
    return true;
}

std::u16string_view CMarkupDocument::StartTag(std::uint32_t index) const {
    return std::u16string_view(text_).substr(records_[index].start, records_.StartTagLength(index));
}

std::u16string_view CMarkupDocument::TagName(std::uint32_t index) const {
    const std::u16string_view tag = StartTag(index);
    return tag.substr(1, markup::TagNameEnd(tag, 1) - 1);
}

std::u16string CMarkupDocument::GetAttribute(std::u16string_view name) const {
    if (main_ == 0) return {};
    const auto value = markup::FindAttributeValue(StartTag(main_), name);
    std::u16string decoded;
    if (value) markup::AppendDecodedValue(decoded, *value);
    return decoded;
}

std::u16string CMarkupDocument::GetContent() const {
    if (main_ == 0) return {};
    const markup::ElementRecord& element = records_[main_];
    const std::uint32_t endTag = records_.EndTagLength(main_);
    if (endTag == 0) return {};
    const std::uint32_t begin = element.start + records_.StartTagLength(main_);
    const std::uint32_t end = element.start + element.length - endTag;
    return std::u16string(text_, begin, end - begin);
}

std::u16string CMarkupDocument::GetTagName() const {
    return main_ ? std::u16string(TagName(main_)) : std::u16string();
}
