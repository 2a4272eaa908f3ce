#include "hosting/subprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace hosting {

namespace {

constexpr int kPipeBytes = 1 << 20;

constexpr std::size_t kErrorTextLimit = 2000;

// Writing to a child that has died must fail with EPIPE, not end the host.
void IgnoreBrokenPipes() {
    static const bool once = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)once;
}

std::string TempFilePath() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/askgame-host-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) return {};
    close(fd);
    return buffer.data();
}

} // namespace

Subprocess::~Subprocess() {
    Finish();
    if (!stderrPath_.empty()) unlink(stderrPath_.c_str());
}

bool Subprocess::Start(const std::vector<std::string>& argv, Pipe pipe, std::string& error) {
    IgnoreBrokenPipes();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
#ifdef F_SETPIPE_SZ
    // A raw 1080p picture is 3 MB: in 64 KB (the default) it takes the two sides some fifty
    // wake-ups each. Where the system allows no more, the default stays.
    ::fcntl(fds[0], F_SETPIPE_SZ, kPipeBytes);
#endif
    stderrPath_ = TempFilePath();
    const int childEnd = pipe == Pipe::ToChild ? fds[0] : fds[1];
    const int hostEnd = pipe == Pipe::ToChild ? fds[1] : fds[0];

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd, pipe == Pipe::ToChild ? 0 : 1);
    if (pipe == Pipe::FromChild)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!stderrPath_.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath_.c_str(), O_WRONLY | O_TRUNC, 0);

    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // The child gets a process group of its own, so a Ctrl-C at the terminal reaches the host
    // alone; the host then ends the child in order by closing its pipe, and a video being
    // written is finished rather than cut off.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(childEnd);
    if (spawned != 0) {
        close(hostEnd);
        error = "cannot start " + argv[0] + ": " + std::strerror(spawned);
        return false;
    }
    fd_ = hostEnd;
    pid_ = pid;
    return true;
}

bool Subprocess::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0 && fd_ >= 0) {
        const ssize_t written = ::write(fd_, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return size == 0;
}

bool Subprocess::ReadExactly(void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0 && fd_ >= 0) {
        const ssize_t got = ::read(fd_, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return size == 0;
}

std::size_t Subprocess::ReadSome(void* data, std::size_t size) {
    for (;;) {
        if (fd_ < 0 || size == 0) return 0;
        const ssize_t got = ::read(fd_, data, size);
        if (got < 0 && errno == EINTR) continue;
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

int Subprocess::Finish() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    const pid_t pid = pid_;
    if (pid < 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Subprocess::Kill() {
    const pid_t pid = pid_;
    if (pid > 0) ::kill(pid, SIGKILL);
}

std::string Subprocess::ErrorText() const {
    std::ifstream in(stderrPath_);
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    while (!all.empty() && (all.back() == '\n' || all.back() == ' '))
        all.pop_back();
    if (all.size() > kErrorTextLimit) all = "..." + all.substr(all.size() - kErrorTextLimit);
    return all;
}

bool ProgramAvailable(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

} // namespace hosting
