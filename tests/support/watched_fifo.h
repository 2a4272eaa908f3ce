// A FIFO no writer opens, for checking that a reader refuses it rather than waiting for a writer.
// Should a reader open it all the same, a watcher opens it for writing at once and lets go, so
// the reader reads an empty file instead of waiting forever, and Opened() tells.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

namespace test_support {

class WatchedFifo {
public:
    explicit WatchedFifo(std::string path) : path_(std::move(path)) {
        ::unlink(path_.c_str());
        made_ = ::mkfifo(path_.c_str(), 0600) == 0;
        if (made_) watcher_ = std::thread([this] { Watch(); });
    }
    WatchedFifo(const WatchedFifo&) = delete;
    WatchedFifo& operator=(const WatchedFifo&) = delete;
    ~WatchedFifo() {
        stop_ = true;
        if (watcher_.joinable()) watcher_.join();
        ::unlink(path_.c_str());
    }

    bool Made() const { return made_; }
    const std::string& Path() const { return path_; }
    // True when something opened the FIFO for reading.
    bool Opened() const { return opened_; }

private:
    void Watch() {
        while (!stop_) {
            // Opening for writing without waiting fails while no one has it open for reading.
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                opened_ = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::string path_;
    bool made_ = false;
    std::atomic<bool> opened_{false};
    std::atomic<bool> stop_{false};
    std::thread watcher_;
};

} // namespace test_support
