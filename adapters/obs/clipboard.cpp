#include "adapters/obs/clipboard.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

extern char** environ;

namespace obs_adapter {

namespace {

// A program of that name on the PATH, or empty.
std::string OnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::filesystem::path candidate =
            std::filesystem::path(rest.substr(0, colon)) / std::string(name);
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

// The clipboard tool for this desktop and its arguments.
std::vector<std::string> ClipboardCommand() {
    const bool wayland = std::getenv("WAYLAND_DISPLAY") != nullptr;
    const bool x11 = std::getenv("DISPLAY") != nullptr;
    if (wayland)
        if (std::string tool = OnPath("wl-copy"); !tool.empty()) return {tool};
    if (x11) {
        if (std::string tool = OnPath("xclip"); !tool.empty())
            return {tool, "-selection", "clipboard"};
        if (std::string tool = OnPath("xsel"); !tool.empty())
            return {tool, "--clipboard", "--input"};
    }
    return {};
}

// Runs `command` with `text` on its standard input; its exit status, or -1.
int RunWithInput(const std::vector<std::string>& command, const std::string& text) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
    std::vector<char*> argv;
    for (const std::string& part : command)
        argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[0]);
    if (spawned != 0) {
        close(pipeEnds[1]);
        return -1;
    }
    std::string_view left = text;
    while (!left.empty()) {
        const ssize_t wrote = write(pipeEnds[1], left.data(), left.size());
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        left.remove_prefix(static_cast<std::size_t>(wrote));
    }
    close(pipeEnds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

bool CopyToClipboard(const std::string& text, std::string& error) {
    const std::vector<std::string> command = ClipboardCommand();
    if (command.empty()) {
        error = "no clipboard tool (install wl-clipboard, xclip or xsel)";
        return false;
    }
    if (RunWithInput(command, text) != 0) {
        error = command[0] + " did not take the text";
        return false;
    }
    return true;
}

} // namespace obs_adapter
