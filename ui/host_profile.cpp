#include "ui/host_profile.h"

#include <climits>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "markup/markup_document.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/file_read.h"
#include "platform/shell.h"

namespace {

constexpr std::u16string_view kVendorFolder = u"Velt";
constexpr std::u16string_view kProductFolder = u"Zorvo";
constexpr std::u16string_view kProfileFile = u"ZorvoProfile.xml";
constexpr std::u16string_view kLanguageElement = u"Language";
constexpr std::u16string_view kLcidAttribute = u"LCID";

// Appends `\name` to `folder` and creates that folder when it is missing.
bool AppendFolder(std::u16string& folder, std::u16string_view name) {
    folder += u'\\';
    folder += name;
    if (folder.size() >= static_cast<std::size_t>(MAX_PATH)) return false;
    return PathFileExistsW(folder.c_str()) || CreateDirectoryW(folder.c_str(), nullptr);
}

// What atoi makes of the text once it is in the ANSI code page: leading white space and a sign,
// then the leading decimal digits; 0 when there are none. Out-of-range values saturate.
long ParseLeadingNumber(const std::u16string& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return 0;
    std::vector<char> ansi(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), size, nullptr, nullptr);
    const long value = std::strtol(ansi.data(), nullptr, 10);
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value;
}

// The last profile path formed, kept while the file exists. Built on first use: the library's
// load hook asks for it before namespace-scope objects are sure to be constructed.
struct ProfilePathCache {
    std::mutex lock;
    std::u16string path;
};

ProfilePathCache& Cache() {
    static ProfilePathCache cache;
    return cache;
}

} // namespace

std::u16string GetProfileFolder() {
    char16_t appData[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE) || appData[0] == 0)
        return {};
    std::u16string folder = appData;
    if (!AppendFolder(folder, kVendorFolder) || !AppendFolder(folder, kProductFolder)) return {};
    folder += u'\\';
    return folder;
}

std::u16string GetProfilePath() {
    ProfilePathCache& cache = Cache();
    const std::lock_guard lock(cache.lock);
    if (!cache.path.empty() && PathFileExistsW(cache.path.c_str())) return cache.path;
    const std::u16string folder = GetProfileFolder();
    if (folder.empty() || folder.size() + kProfileFile.size() >= static_cast<std::size_t>(MAX_PATH))
        return {};
    cache.path = folder + std::u16string(kProfileFile);
    return cache.path;
}

LCID GetProfileLCID() {
    const LCID fallback = GetSystemDefaultLCID();
    const std::u16string path = GetProfilePath();
    if (path.empty() || !PathFileExistsW(path.c_str())) return fallback;

    std::string bytes;
    if (ReadRegularFile(path.c_str(), kMaxProfileBytes, bytes) != FileReadStatus::Ok)
        return fallback;
    return ReadProfileLCID(bytes, fallback);
}

LCID ReadProfileLCID(std::string_view bytes, LCID fallback) {
    CMarkupDocument profile;
    if (!profile.LoadBytes(bytes)) return fallback;
    profile.ResetMainPosition();
    if (!profile.FindChildElement(kLanguageElement) || !profile.EnterElement()) return fallback;
    return static_cast<LCID>(ParseLeadingNumber(profile.GetAttribute(kLcidAttribute)));
}
