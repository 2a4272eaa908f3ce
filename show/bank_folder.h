// The folder of question banks a presenter may choose from (`--banks DIR`): what it lists, the
// one file a chosen name may open, and where an uploaded bank is kept.
//
// Nothing outside the folder is ever named: a choice is a plain file name, resolved through the
// file system's canonical path and checked to lie directly in the folder.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace show {

// The largest bank file the page may upload.
inline constexpr std::size_t kMaxBankUploadBytes = 1 << 20;
// The most files a listing shows.
inline constexpr std::size_t kMaxListedBanks = 500;

class BankFolder {
public:
    // `folder` may be empty: nothing is listed or chosen, uploads still work.
    // `uploads` is where uploaded banks are written: a folder of this process's own (see
    // MakeUploadFolder); empty: uploads are refused.
    BankFolder(std::filesystem::path folder, std::filesystem::path uploads);

    // The regular files directly in the folder, by name, sorted; at most kMaxListedBanks.
    std::vector<std::string> List() const;
    // The canonical path of `name` in the folder, or nothing when `name` is not a plain file
    // name of a regular file there (no separators, no "..", no link leading out of the folder).
    std::optional<std::filesystem::path> Resolve(std::string_view name) const;
    // Writes an uploaded bank and answers its path; nothing, with the reason in `error`, when it
    // is empty, larger than kMaxBankUploadBytes or cannot be written. Each upload gets a file of
    // its own, named from a counter, never from what the page sent, and made afresh: a name
    // taken already (a file, a link) is passed over, never written through.
    std::optional<std::filesystem::path> SaveUpload(std::string_view bytes, std::string& error);

    const std::filesystem::path& Folder() const { return folder_; }

    // A new folder for one show's uploads under the temporary folder, made with a name nobody
    // can guess and readable by this user alone (0700); empty when none can be made.
    static std::filesystem::path MakeUploadFolder();

private:
    std::filesystem::path folder_; // canonical, or empty
    std::filesystem::path uploads_;
    unsigned uploadCount_ = 0;
};

} // namespace show
