// Reading a whole untrusted data file through the system's file handles.
#include "platform/file_read.h"

#include <cstdint>

#include "platform/win32/native.h"

namespace {

// Closes the handle on every way out.
class FileHandle {
public:
    explicit FileHandle(void* file) : file_(file) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (file_) native::CloseFile(file_);
    }
    void* get() const { return file_; }

private:
    void* file_;
};

// Reads until end of file, or until one byte more than `maxBytes` shows the file is too large
// (a file may grow after its size was measured).
FileReadStatus ReadAll(void* file, std::size_t maxBytes, std::string& bytes) {
    constexpr std::size_t kChunk = 64 * 1024;
    std::size_t used = bytes.size();
    for (;;) {
        if (used > maxBytes) return FileReadStatus::TooLarge;
        const std::size_t room = maxBytes - used + 1; // the extra byte detects growth
        const std::size_t want = room < kChunk ? room : kChunk;
        if (bytes.size() < used + want) bytes.resize(used + want);
        std::uint32_t got = 0;
        if (!native::ReadFile(file, bytes.data() + used, static_cast<std::uint32_t>(want), got))
            return FileReadStatus::ReadError;
        if (got == 0) break;
        used += got;
    }
    bytes.resize(used);
    return FileReadStatus::Ok;
}

} // namespace

FileReadStatus ReadRegularFile(LPCWSTR path, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    if (!path) return FileReadStatus::Missing;
    const FileHandle file(native::OpenForReading(path));
    if (!file.get()) return FileReadStatus::Missing;
    // The kind is checked on the opened handle, so a path swapped after the check cannot slip in.
    if (!native::IsRegularFile(file.get())) return FileReadStatus::NotRegular;
    std::uint64_t size = 0;
    if (!native::GetFileSize(file.get(), size)) return FileReadStatus::ReadError;
    if (size > maxBytes) return FileReadStatus::TooLarge;
    bytes.reserve(static_cast<std::size_t>(size) + 1);
    const FileReadStatus status = ReadAll(file.get(), maxBytes, bytes);
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
