// `askgame-host` run as a separate program by a test: its output kept in files, its exit
// awaited with a bound, and the ffmpeg tools asked about what it wrote.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace live_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a command line and answers its standard output.
inline std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    pclose(pipe);
    return out;
}

// A video's length in seconds, as ffprobe reads its container; 0 when it cannot.
inline double DurationOf(const fs::path& video) {
    return std::atof(Capture("ffprobe -v error -show_entries format=duration -of csv=p=0 '" +
                             video.string() + "' 2>/dev/null")
                         .c_str());
}

// `askgame-host ARGS…` with stdout and stderr in `dir`, killed if it outlives the object.
class HostProcess {
public:
    HostProcess(const fs::path& dir, const std::vector<std::string>& arguments) : dir_(dir) {
        std::vector<std::string> argv = {std::string(ASKGAME_RUNTIME_DIR) + "/askgame-host"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (dir / "stdout.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        setenv("ASKGAME_ACP", "65001", 1); // the demo's bank is UTF-8
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;
    ~HostProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // The port from the "endpoint:" line, waiting up to 15 s for it; -1 without one.
    int Port() const {
        constexpr const char* kLine = "endpoint: http://127.0.0.1:";
        for (int i = 0; i < 300; ++i) {
            const std::string out = Stdout();
            const auto at = out.find(kLine);
            if (at != std::string::npos && out.find('\n', at) != std::string::npos)
                return std::atoi(out.c_str() + at + std::strlen(kLine));
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }
    // The exit status once it exits, waiting up to `most`: -1 when a signal ended it, -2 when
    // it still runs.
    int Wait(std::chrono::milliseconds most = 30s) {
        for (auto waited = 0ms; pid_ > 0 && waited <= most; waited += 20ms) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        return -2;
    }
    // Sends `signal` and answers the exit status, waiting up to 30 s.
    int Stop(int signal) {
        if (pid_ > 0) kill(pid_, signal);
        return Wait();
    }
    std::string Stdout() const { return ReadFile(dir_ / "stdout.txt"); }
    std::string Stderr() const { return ReadFile(dir_ / "stderr.txt"); }
    // The show's wall time on air, from its last line ("… in S s on air; …"); 0 without it.
    double OnAir() const {
        const std::string err = Stderr();
        const auto at = err.rfind(" s on air");
        if (at == std::string::npos) return 0;
        const auto start = err.rfind(' ', at - 1);
        return std::atof(err.c_str() + start + 1);
    }

private:
    fs::path dir_;
    pid_t pid_ = -1;
};

} // namespace live_test
