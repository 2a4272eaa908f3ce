#include "ui/language_table.h"

#include "markup/markup_document.h"
#include "platform/debug.h"
#include "platform/file.h"
#include "platform/file_read.h"
#include "platform/utf.h"

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
    if (!PathFileExistsW(file.c_str())) {
        TraceFailure(file, "missing");
        return false;
    }
    path_ = file;
    std::string bytes;
    const FileReadStatus status = ReadRegularFile(file.c_str(), kMaxLanguageFileBytes, bytes);
    if (status != FileReadStatus::Ok) {
        TraceFailure(file, FileReadStatusText(status));
        return false;
    }
    const bool wellFormed = LoadBytes(bytes);
    if (!wellFormed)
        TraceFailure(file, "not well-formed XML (cut short?); " + std::to_string(strings_.size()) +
                               " strings read");
    else if (strings_.empty())
        TraceFailure(file, "no <language> root holding <string> elements");
    return wellFormed;
}

bool CLanguageTable::LoadBytes(std::string_view bytes) {
    strings_.clear();
    CMarkupDocument document;
    const bool wellFormed = document.LoadBytes(bytes);
    document.ResetMainPosition();
    if (document.FindElement(kRootElement) && document.EnterElement()) {
        // The first string with an id wins; emplace keeps it.
        while (document.FindElement(kStringElement))
            strings_.emplace(document.GetAttribute(kIdAttribute), document.GetContent());
    }
    return wellFormed;
}

void CLanguageTable::TraceFailure(std::u16string_view file, std::string_view reason) {
    const std::string trace =
        "askgame: language file " + ToNativePath(file) + ": " + std::string(reason);
    OutputDebugStringA(trace.c_str());
}

std::u16string CLanguageTable::GetString(std::u16string_view id) const {
    const auto found = strings_.find(id);
    return found == strings_.end() ? std::u16string() : found->second;
}
