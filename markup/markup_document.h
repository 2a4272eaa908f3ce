// CMarkupDocument: reads an XML document into memory and walks its elements.
//
// The reader is lenient: it builds an element tree even from a document that is not
// well-formed, says so through the load's result and the result log, and every element that
// could be placed stays reachable. Navigation keeps three positions: the parent, the main
// (current) element, and the current child of the main element.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "markup/element_records.h"
#include "markup/result_log.h"

class CMarkupDocument {
public:
    // Replaces the document with the file at a Windows-shaped path, decoded whatever its
    // encoding. True only when the file was read and the document is well-formed.
    bool LoadFile(std::u16string_view path);
    // LoadFile on bytes already in memory: the same decoding, log and verdict.
    bool LoadBytes(std::string_view bytes);
    // Replaces the document with text already decoded (same verdict as LoadFile).
    bool SetDoc(std::u16string_view text);

    const std::u16string& GetDoc() const { return text_; }
    // Every loading and parsing event, as empty elements; capped at about 1,000 units.
    const std::u16string& GetResult() const { return log_.Text(); }

    // Keeps the parent position; clears the main and child positions.
    void ResetMainPosition();
    // The next element named `name` (any, when empty) among the parent's children after the
    // main position; it becomes the main position.
    bool FindElement(std::u16string_view name = {});
    // The next child of the main element named `name` after the child position; it becomes the
    // child position. Finds a main element first when there is none.
    bool FindChildElement(std::u16string_view name = {});
    // Steps in: the main element becomes the parent, the child the main position.
    bool EnterElement();
    // Steps out: the parent becomes the main position, the old main the child.
    bool LeaveElement();

    // The decoded value of attribute `name` of the main element; "" when missing.
    std::u16string GetAttribute(std::u16string_view name) const;
    // The main element's content verbatim; "" for an empty or unended element.
    std::u16string GetContent() const;
    // The main element's tag name; "" when there is none.
    std::u16string GetTagName() const;

private:
    bool Parse();
    void Clear();
    std::uint32_t FindSibling(std::uint32_t from, std::u16string_view name) const;
    std::u16string_view TagName(std::uint32_t index) const;
    std::u16string_view StartTag(std::uint32_t index) const;

    // Created 0 here: names match case-sensitively, attribute values are not normalised.
    [[maybe_unused]] std::uint32_t flags_ = 0;
    std::u16string text_;
    markup::ResultLog log_;
    markup::ElementRecords records_;
    std::uint32_t parent_ = 0;
    std::uint32_t main_ = 0;
    std::uint32_t child_ = 0;
};
