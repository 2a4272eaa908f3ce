#include "host/exit_status.h"

#include <unistd.h>

#include <filesystem>

namespace host {

int StatusForUnusableFile(const std::string& path) {
    std::error_code error;
    const bool readable =
        std::filesystem::is_regular_file(path, error) && access(path.c_str(), R_OK) == 0;
    return readable ? kExitBadData : kExitNoInput;
}

} // namespace host
