// A regular file read whole, up to a cap. Its kind is asked before it is opened, so a FIFO (whose
// open waits for a writer) or a device such as /dev/zero (which never ends) is refused at once;
// a file larger than the cap is refused unread, and the read stops one byte beyond the cap
// should the file grow while it is read. Portable: std::filesystem and streams only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace hosting {

struct FileBytes {
    std::unique_ptr<char[]> data; // never filled with anything before the file's bytes
    std::size_t size = 0;

    std::string_view Text() const { return {data.get(), size}; }
};

struct FileRead {
    enum class Result { Read, Unopened, NotRegular, TooLarge, Unreadable };
    Result result = Result::Read;
    // Unopened: the system's reason, if any. NotRegular: what the file is ("a FIFO").
    // TooLarge: the file's size in bytes, when it was told before the reading.
    std::string detail;

    bool Ok() const { return result == Result::Read; }
};

namespace regular_file_detail {

// The room first made for a file whose size cannot be told beforehand.
inline constexpr std::size_t kUnsizedRoom = 1024 * 1024;

inline const char* KindOf(std::filesystem::file_type type) {
    using Type = std::filesystem::file_type;
    switch (type) {
    case Type::directory:
        return "a folder";
    case Type::fifo:
        return "a FIFO";
    case Type::character:
    case Type::block:
        return "a device";
    case Type::socket:
        return "a socket";
    default:
        return "a special file";
    }
}

// Reads `in` into a buffer of `room` bytes, which doubles (up to one byte beyond `cap`) while
// the file fills it. `room` is at most cap + 1, which a cap far below the size type's end keeps
// from overflowing.
inline void ReadUpTo(std::istream& in, std::size_t room, std::size_t cap, FileBytes& bytes) {
    for (;;) {
        std::unique_ptr<char[]> grown(new char[room]); // left unfilled: the file fills it
        std::copy_n(bytes.data.get(), bytes.size, grown.get());
        bytes.data = std::move(grown);
        in.read(bytes.data.get() + bytes.size, static_cast<std::streamsize>(room - bytes.size));
        bytes.size += static_cast<std::size_t>(in.gcount());
        if (bytes.size < room || room > cap) return;
        room = std::min(2 * room, cap + 1);
    }
}

} // namespace regular_file_detail

// Reads the whole of the regular file at `path` into `bytes`, at most `cap` bytes of it (a cap
// below half the size type's range, so that no room computed from it overflows).
inline FileRead ReadRegularFile(const std::string& path, std::size_t cap, FileBytes& bytes) {
    namespace detail = regular_file_detail;
    using Result = FileRead::Result;
    const std::filesystem::path file(path);
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(file, code);
    if (code) return {Result::Unopened, code.message()};
    if (!std::filesystem::is_regular_file(status))
        return {Result::NotRegular, detail::KindOf(status.type())};
    const std::uintmax_t size = std::filesystem::file_size(file, code);
    if (!code && size > cap) return {Result::TooLarge, std::to_string(size)};
    std::ifstream in(file, std::ios::binary);
    if (!in) return {Result::Unopened, {}};
    // One byte more than the file holds is asked for, to tell one that grew while it was read.
    const std::size_t room =
        code ? std::min(detail::kUnsizedRoom, cap + 1) : static_cast<std::size_t>(size) + 1;
    detail::ReadUpTo(in, room, cap, bytes);
    if (bytes.size > cap) return {Result::TooLarge, {}};
    if (in.bad()) return {Result::Unreadable, {}};
    return {};
}

} // namespace hosting
