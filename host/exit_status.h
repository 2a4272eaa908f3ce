// The exit statuses of askgame-host, from <sysexits.h>, so that a script or a service manager can
// tell a wrong command line from unusable data, a missing input, a missing tool, a fault of the
// plug-in and a failed write.
#pragma once

#include <string>

namespace host {

// The numbers of <sysexits.h>, which Windows lacks; checked against it where it is.
inline constexpr int kExitUsage = 64;       // the command line is wrong
inline constexpr int kExitBadData = 65;     // a bank or scenario is unusable
inline constexpr int kExitNoInput = 66;     // an input cannot be read, or was lost
inline constexpr int kExitUnavailable = 69; // ffmpeg, the plug-in or an address
inline constexpr int kExitSoftware = 70;    // the plug-in broke the host's rules
inline constexpr int kExitIo = 74;          // an output, transcript or season file

// What a file that could not be used as a scenario calls for: bad data when it is a regular file
// that can be read, no input otherwise.
int StatusForUnusableFile(const std::string& path);

// The statuses as --help and the README list them.
inline constexpr const char* kExitStatusHelp = R"(Exit status:
  0   done
  64  wrong command line
  65  unusable bank or scenario
  66  an input missing, unreadable or lost
  69  ffmpeg, the plug-in or the endpoint's address unavailable
  70  the plug-in broke the host's rules
  74  an output, the transcript or the season file could not be written
)";

} // namespace host

#if __has_include(<sysexits.h>)
#include <sysexits.h>
static_assert(host::kExitUsage == EX_USAGE && host::kExitBadData == EX_DATAERR &&
              host::kExitNoInput == EX_NOINPUT && host::kExitUnavailable == EX_UNAVAILABLE &&
              host::kExitSoftware == EX_SOFTWARE && host::kExitIo == EX_IOERR);
#endif
