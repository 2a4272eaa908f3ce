// A chat platform read by the show itself: its viewers' messages and gifts reach the game
// through the same queue the endpoint feeds. Each source runs on a thread of its own, says how it
// is doing (connecting, live, retrying, failed: why) and counts what it read and what it refused.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "show/chat/viewer_directory.h"
#include "show/chat/viewer_event.h"
#include "show/show_control.h"

namespace show::chat {

// The I/O context and TLS settings of a network source (show/chat/network_io.h).
struct NetworkIo;

struct SourceStatus {
    std::string source;               // as given: "twitch:channel", "irc://host/channel", ...
    std::string state = "connecting"; // connecting, live, retrying, failed
    std::string why;                  // what went wrong last; empty while all is well
    std::uint64_t messages = 0;       // chat messages handed to the show
    std::uint64_t gifts = 0;          // gifts handed to the show
    std::uint64_t bad = 0;            // lines or answers refused: malformed, too long, not UTF-8
};

nlohmann::json StatusJson(const SourceStatus& status);

class ChatSource {
public:
    virtual ~ChatSource() = default;
    // Begins reading on a thread of its own.
    virtual void Start() = 0;
    // Stops reading and joins the thread; quick whatever the network does.
    virtual void Stop() = 0;
    virtual SourceStatus Status() const = 0;
};

// What every source shares: the show to hand events to, the directory of viewer ids, and the
// status it keeps.
class SourceBase : public ChatSource {
public:
    SourceBase(std::string label, ShowControl& show, ViewerDirectory& viewers);
    SourceStatus Status() const override;

protected:
    void SetState(std::string state, std::string why = {});
    void CountBad(const std::string& why);
    // Hands `event` to the show, waiting while the viewers' queue is full, until `stopping`.
    void Deliver(const PlatformEvent& event, const std::atomic<bool>& stopping);

private:
    ShowControl& show_;
    ViewerDirectory& viewers_;
    mutable std::mutex mutex_;
    SourceStatus status_;
};

// A source reading the network on a thread of its own, with Asio: Start() runs Spawn() on the
// source's I/O context; Stop() ends every wait at once and joins the thread. A derived source's
// destructor calls Stop() first, as its coroutines use its members.
class NetworkSource : public SourceBase {
public:
    ~NetworkSource() override;
    void Start() override;
    void Stop() override;

protected:
    NetworkSource(std::string label, ShowControl& show, ViewerDirectory& viewers);
    // Starts the source's work on `io` (its coroutines); called on the source's thread.
    virtual void Spawn(NetworkIo& io) = 0;
    bool Stopping() const { return stopping_; }
    const std::atomic<bool>& StoppingFlag() const { return stopping_; }

private:
    std::atomic<bool> stopping_{false};
    std::unique_ptr<NetworkIo> io_;
    std::thread thread_;
};

} // namespace show::chat
