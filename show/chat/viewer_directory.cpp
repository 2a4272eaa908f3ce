#include "show/chat/viewer_directory.h"

namespace show::chat {

ViewerDirectory::ViewerDirectory(const std::string& seasonPath) {
    if (seasonPath.empty()) return;
    try {
        store_ = std::make_unique<season::SeasonStore>(seasonPath);
    } catch (const season::SqliteError& e) {
        error_ = e.what();
    }
}

std::uint32_t ViewerDirectory::IdOf(std::string_view platform, std::string_view platformId) {
    std::pair<std::string, std::string> key{platform, platformId};
    std::lock_guard lock(mutex_);
    if (const auto known = known_.find(key); known != known_.end()) return known->second;
    if (store_) {
        try {
            const std::uint32_t id = store_->PlatformViewer(platform, platformId);
            known_.emplace(std::move(key), id);
            error_.clear();
            return id;
        } catch (const season::SqliteError& e) {
            error_ = e.what();
        }
    }
    return GiveInMemory(key);
}

std::uint32_t ViewerDirectory::GiveInMemory(const std::pair<std::string, std::string>& key) {
    // Past ids in the file are unknown here: count down from the top, away from them.
    const std::uint32_t id =
        store_ ? 0xFFFFFFFFu - static_cast<std::uint32_t>(known_.size()) : nextInMemory_++;
    known_.emplace(key, id);
    return id;
}

std::string ViewerDirectory::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

} // namespace show::chat
