// Reading a whole data file whose size and kind are not trusted: a bank or a language file may be
// a device, a FIFO, a folder or something far larger than any real one.
#pragma once

#include <cstddef>
#include <string>

#include "platform/wintypes.h"

enum class FileReadStatus {
    Ok,
    Missing,    // nothing can be opened at the path
    NotRegular, // a folder, device, FIFO or socket: never read, never waited on
    TooLarge,   // more bytes than the caller's cap
    ReadError,  // opened but the read failed
};

// Reads the regular file at `path` (Windows-shaped) into `bytes`, at most `maxBytes` of them.
// The file is opened without waiting (a FIFO does not block) and its kind is checked on the
// opened descriptor, so a path swapped between check and read cannot slip through. `bytes` is
// left empty unless the answer is Ok.
FileReadStatus ReadRegularFile(LPCWSTR path, std::size_t maxBytes, std::string& bytes);

// A short English reason for a status ("not a regular file", ...), for traces and reports.
const char* FileReadStatusText(FileReadStatus status);
