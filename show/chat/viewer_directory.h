// The plug-in knows a viewer by a 32-bit id; chat platforms by ids of their own (YouTube's are
// strings, and two platforms may share a number). The directory gives each (platform, platform
// id) one viewer id, kept in the season file when the show keeps one, so a viewer keeps their
// id, names and season score across shows.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "season/season_store.h"

namespace show::chat {

class ViewerDirectory {
public:
    // Keeps the ids in the season file at `seasonPath`; empty: in memory, for this show only.
    explicit ViewerDirectory(const std::string& seasonPath = {});

    // The viewer id of `platformId` on `platform`, given on first sight. Any thread. When the
    // season file cannot be used, the id is given for this show only and Error() says why.
    std::uint32_t IdOf(std::string_view platform, std::string_view platformId);
    // The season file's latest refusal; empty while all is well.
    std::string Error() const;

private:
    std::uint32_t GiveInMemory(const std::pair<std::string, std::string>& key);

    mutable std::mutex mutex_;
    std::unique_ptr<season::SeasonStore> store_;
    std::map<std::pair<std::string, std::string>, std::uint32_t, std::less<>> known_;
    std::uint32_t nextInMemory_ = season::kFirstPlatformViewer;
    std::string error_;
};

} // namespace show::chat
