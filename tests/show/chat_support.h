// Debian's ngircd started for a test on loopback, and a viewer who says one line there.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility> // before Asio, whose coroutine support needs std::exchange
#include <vector>

#include <boost/asio.hpp>

extern char** environ;

namespace chat_test {

namespace asio = boost::asio;
namespace fs = std::filesystem;
using asio::ip::tcp;
using namespace std::chrono_literals;

template <typename Done>
bool WaitFor(Done done, std::chrono::milliseconds most = 15s) {
    for (auto waited = 0ms; waited < most && !done(); waited += 50ms)
        std::this_thread::sleep_for(50ms);
    return done();
}

inline int FreePort() {
    asio::io_context io;
    tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    return acceptor.local_endpoint().port();
}

// Debian's ngircd on loopback, in the foreground, as long as the object lives.
class IrcServer {
public:
    IrcServer(const fs::path& dir, int port) : dir_(dir), port_(port) {
        std::ofstream(dir / "ngircd.conf")
            << "[Global]\nName = irc.askgame.test\nInfo = test\n"
               "Listen = 127.0.0.1\nPorts = "
            << port << "\n[Options]\nPAM = no\nIdent = no\nDNS = no\n";
        Start();
    }
    ~IrcServer() { Stop(); }

    void Start() {
        const std::string conf = (dir_ / "ngircd.conf").string();
        std::vector<std::string> argv = {"/usr/sbin/ngircd", "-n", "-f", conf};
        std::vector<char*> args;
        for (auto& arg : argv)
            args.push_back(arg.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (dir_ / "ngircd.log").c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        WaitFor([&] {
            asio::io_context io;
            tcp::socket probe(io);
            boost::system::error_code error;
            probe.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port_)},
                          error);
            return !error;
        });
    }
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    bool Running() const { return pid_ > 0; }

private:
    fs::path dir_;
    int port_;
    pid_t pid_ = -1;
};

// A viewer on the IRC server: logs in, joins #quiz and says `text`.
inline void SayOnIrc(int port, const std::string& nick, const std::string& text) {
    asio::io_context io;
    tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)});
    asio::write(socket, asio::buffer("NICK " + nick + "\r\nUSER " + nick + " 0 * :v\r\n"));
    std::string got;
    asio::read_until(socket, asio::dynamic_buffer(got), " 001 ");
    asio::write(socket, asio::buffer("JOIN #quiz\r\nPRIVMSG #quiz :" + text + "\r\nQUIT\r\n"));
    boost::system::error_code ended;
    asio::read(socket, asio::dynamic_buffer(got), ended); // until the server closes it
}

} // namespace chat_test
