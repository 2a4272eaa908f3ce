#include "show/bank_folder.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace show {

namespace fs = std::filesystem;

namespace {

fs::path CanonicalFolder(const fs::path& folder) {
    if (folder.empty()) return {};
    std::error_code code;
    fs::path canonical = fs::canonical(folder, code);
    if (code || !fs::is_directory(canonical, code)) return {};
    return canonical;
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

} // namespace

BankFolder::BankFolder(fs::path folder, fs::path uploads)
    : folder_(CanonicalFolder(folder)), uploads_(std::move(uploads)) {}

std::vector<std::string> BankFolder::List() const {
    std::vector<std::string> names;
    if (folder_.empty()) return names;
    std::error_code code;
    for (fs::directory_iterator it(folder_, code), end; !code && it != end; it.increment(code)) {
        const std::string name = it->path().filename().string();
        if (Resolve(name)) names.push_back(name);
        if (names.size() >= kMaxListedBanks) break;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<fs::path> BankFolder::Resolve(std::string_view name) const {
    if (folder_.empty() || !IsPlainFileName(name)) return std::nullopt;
    std::error_code code;
    const fs::path canonical = fs::canonical(folder_ / fs::path(name), code);
    if (code || canonical.parent_path() != folder_) return std::nullopt;
    if (!fs::is_regular_file(canonical, code)) return std::nullopt;
    return canonical;
}

std::optional<fs::path> BankFolder::SaveUpload(std::string_view bytes, std::string& error) {
    if (bytes.empty()) {
        error = "the uploaded bank is empty";
        return std::nullopt;
    }
    if (bytes.size() > kMaxBankUploadBytes) {
        error =
            "the uploaded bank is larger than " + std::to_string(kMaxBankUploadBytes) + " bytes";
        return std::nullopt;
    }
    std::error_code code;
    fs::create_directories(uploads_, code);
    const fs::path path = uploads_ / ("upload-" + std::to_string(++uploadCount_) + ".txt");
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = "cannot write the uploaded bank to " + path.string();
        return std::nullopt;
    }
    return path;
}

} // namespace show
