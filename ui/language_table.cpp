#include "ui/language_table.h"

#include "markup/markup_document.h"
#include "platform/file.h"

namespace {

// A language file: a root element "language" holding "string" elements, each with an "ID"
// attribute and its text as verbatim content.
constexpr std::u16string_view kRootElement = u"language";
constexpr std::u16string_view kStringElement = u"string";
constexpr std::u16string_view kIdAttribute = u"ID";

} // namespace

bool CLanguageTable::Load(std::u16string_view path) {
    strings_.clear();
    const std::u16string file(path);
    if (!PathFileExistsW(file.c_str())) return false;
    path_ = file;

    CMarkupDocument document;
    const bool wellFormed = document.LoadFile(file);
    document.ResetMainPosition();
    if (document.FindElement(kRootElement) && document.EnterElement()) {
        // The first string with an id wins; emplace keeps it.
        while (document.FindElement(kStringElement))
            strings_.emplace(document.GetAttribute(kIdAttribute), document.GetContent());
    }
    return wellFormed;
}

std::u16string CLanguageTable::GetString(std::u16string_view id) const {
    const auto found = strings_.find(id);
    return found == strings_.end() ? std::u16string() : found->second;
}
