#include "show/bank_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace show {

namespace fs = std::filesystem;

namespace {

// Names tried for one upload before it is given up.
constexpr int kUploadNameAttempts = 16;

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
    if (uploads_.empty()) {
        error = "this show has no folder to keep uploads in";
        return std::nullopt;
    }
    for (int attempt = 0; attempt < kUploadNameAttempts; ++attempt) {
        const fs::path path = uploads_ / ("upload-" + std::to_string(++uploadCount_) + ".txt");
        // Made here and now, never through a link nor over a file that is there already.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        const bool closed = ::close(fd) == 0;
        if (written == bytes.size() && closed) return path;
        std::error_code ignored;
        fs::remove(path, ignored);
        break;
    }
    error = "cannot write the uploaded bank in " + uploads_.string();
    return std::nullopt;
}

fs::path BankFolder::MakeUploadFolder() {
    std::error_code code;
    fs::path base = fs::temp_directory_path(code);
    if (code) base = "/tmp";
    std::string pattern = (base / "askgame-uploads-XXXXXX").string();
    // mkdtemp makes the folder itself, mode 0700, failing rather than taking one that exists.
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

} // namespace show
