#include "ui/localisation.h"

#include <string>

#include "platform/debug.h"
#include "platform/file.h"
#include "platform/utf.h"

namespace {

constexpr char16_t kSeparator = u'\\';

// True when a path of `length` units and its terminator fit the system's fixed path buffers.
bool FitsPathBuffer(std::size_t length) {
    return length < static_cast<std::size_t>(MAX_PATH);
}

// A data path that does not fit leaves the game without that file: say which and why.
void TraceTooLong(std::u16string_view path) {
    const std::string trace = "askgame: data path too long (" + std::to_string(path.size()) +
                              " units, at most " + std::to_string(MAX_PATH - 1) +
                              "): " + ToNativePath(path);
    OutputDebugStringA(trace.c_str());
}

bool IsChinese(LCID lcid) {
    return (lcid & 0xFF) == LANG_CHINESE;
}

} // namespace

std::u16string MakeHostRelativePath(std::u16string_view relative) {
    char16_t module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= static_cast<DWORD>(MAX_PATH)) return {};
    std::u16string path(module, length);
    const auto slash = path.rfind(kSeparator);
    if (slash == std::u16string::npos) return path;
    path.replace(slash + 1, std::u16string::npos, relative);
    if (FitsPathBuffer(path.size())) return path;
    TraceTooLong(path);
    return {};
}

bool ReplaceFileName(std::u16string_view name, std::u16string& path) {
    const auto slash = path.rfind(kSeparator);
    if (slash == std::u16string::npos) return false;
    if (!FitsPathBuffer(slash + 1 + name.size())) {
        TraceTooLong(path.substr(0, slash + 1) + std::u16string(name));
        path.clear();
        return false;
    }
    path.replace(slash + 1, std::u16string::npos, name);
    return true;
}

const char16_t* GetSkinFolder(LCID lcid) {
    if (!IsChinese(lcid)) return u"skinEn\\";
    return lcid == LCID_CHINESE_SIMPLIFIED ? u"skin\\" : u"skinCht\\";
}

const char16_t* GetLanguageFileName(LCID lcid) {
    if (!IsChinese(lcid)) return u"English.xml";
    return lcid == LCID_CHINESE_SIMPLIFIED ? u"ChineseSimplified.xml" : u"ChineseTraditional.xml";
}

std::u16string GetLanguageFilePath(LCID lcid) {
    std::u16string path = MakeHostRelativePath(kLanguageFileAnchor);
    if (path.empty() || !ReplaceFileName(GetLanguageFileName(lcid), path)) return {};
    return path;
}
