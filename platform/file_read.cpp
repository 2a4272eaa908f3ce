#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/file.h"

namespace {

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads until end of file, or until one byte more than `maxBytes` shows the file is too large
// (a file may grow after fstat has measured it).
FileReadStatus ReadAll(int fd, std::size_t maxBytes, std::string& bytes) {
    constexpr std::size_t kChunk = 64 * 1024;
    std::size_t used = bytes.size();
    for (;;) {
        if (used > maxBytes) return FileReadStatus::TooLarge;
        const std::size_t room = maxBytes - used + 1; // the extra byte detects growth
        const std::size_t want = room < kChunk ? room : kChunk;
        if (bytes.size() < used + want) bytes.resize(used + want);
        const ssize_t got = ::read(fd, bytes.data() + used, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            return FileReadStatus::ReadError;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return FileReadStatus::Ok;
}

} // namespace

FileReadStatus ReadRegularFile(LPCWSTR path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    if (!path) return FileReadStatus::Missing;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const Descriptor fd(
        ::open(ToNativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return FileReadStatus::Missing;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return FileReadStatus::ReadError;
    if (!S_ISREG(info.st_mode)) return FileReadStatus::NotRegular;
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > maxBytes)
        return FileReadStatus::TooLarge;
    // A regular file never blocks; reading it in blocking mode keeps the loop simple.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    bytes.reserve(static_cast<std::size_t>(info.st_size) + 1);
    const FileReadStatus status = ReadAll(fd.get(), maxBytes, bytes);
    if (status != FileReadStatus::Ok) bytes.clear();
    return status;
}

const char* FileReadStatusText(FileReadStatus status) {
    switch (status) {
    case FileReadStatus::Ok:
        return "read";
    case FileReadStatus::Missing:
        return "cannot be opened";
    case FileReadStatus::NotRegular:
        return "not a regular file";
    case FileReadStatus::TooLarge:
        return "too large";
    case FileReadStatus::ReadError:
        return "cannot be read";
    }
    return "unknown";
}
