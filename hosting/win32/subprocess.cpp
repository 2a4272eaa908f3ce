// The Windows host runs no other programs: ffmpeg is the Linux host's encoder, and without it
// every host writes PNG frames instead.
#include "hosting/subprocess.h"

namespace hosting {

Subprocess::~Subprocess() = default;

bool Subprocess::Start(const std::vector<std::string>& argv, Pipe, std::string& error) {
    error = "cannot run " + (argv.empty() ? std::string("a program") : argv.front()) +
            ": this host runs no other programs on Windows";
    return false;
}

bool Subprocess::Write(const void*, std::size_t) {
    return false;
}

bool Subprocess::ReadExactly(void*, std::size_t) {
    return false;
}

std::size_t Subprocess::ReadSome(void*, std::size_t) {
    return 0;
}

int Subprocess::Finish() {
    return -1;
}

void Subprocess::Kill() {}

std::string Subprocess::ErrorText() const {
    return {};
}

bool ProgramAvailable(const std::string&) {
    return false;
}

} // namespace hosting
