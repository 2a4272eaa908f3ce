#include "show/chat/chat_source.h"

#include "show/chat/network_io.h"

#include <chrono>
#include <thread>

namespace show::chat {

namespace {

// How long a source waits before offering an event again to a full viewers' queue.
constexpr std::chrono::milliseconds kFullQueueWait{10};

} // namespace

nlohmann::json StatusJson(const SourceStatus& status) {
    return {{"source", status.source},     {"state", status.state}, {"why", status.why},
            {"messages", status.messages}, {"gifts", status.gifts}, {"bad", status.bad}};
}

SourceBase::SourceBase(std::string label, ShowControl& show, ViewerDirectory& viewers)
    : show_(show), viewers_(viewers) {
    status_.source = std::move(label);
}

SourceStatus SourceBase::Status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void SourceBase::SetState(std::string state, std::string why) {
    std::lock_guard lock(mutex_);
    status_.state = std::move(state);
    status_.why = std::move(why);
}

void SourceBase::CountBad(const std::string& why) {
    std::lock_guard lock(mutex_);
    ++status_.bad;
    status_.why = why;
}

void SourceBase::Deliver(const PlatformEvent& event, const std::atomic<bool>& stopping) {
    if (!IsUtf8(event.name) || !IsUtf8(event.text)) CountBad("a message that is not UTF-8");
    const std::uint32_t viewer = viewers_.IdOf(event.platform, event.viewerId);
    for (hosting::ScenarioEvent& shown : ShowEventsOf(event, viewer)) {
        Delivery delivery;
        while ((delivery = show_.OfferViewerEvent(shown)).result == Delivery::Result::Full &&
               !stopping)
            std::this_thread::sleep_for(kFullQueueWait);
        if (!delivery.Ok()) return;
    }
    std::lock_guard lock(mutex_);
    ++(event.kind == PlatformEvent::Kind::Gift ? status_.gifts : status_.messages);
}

NetworkSource::NetworkSource(std::string label, ShowControl& show, ViewerDirectory& viewers)
    : SourceBase(std::move(label), show, viewers), io_(std::make_unique<NetworkIo>()) {}

NetworkSource::~NetworkSource() {
    Stop();
}

void NetworkSource::Start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] {
        Spawn(*io_);
        io_->context.run();
    });
}

void NetworkSource::Stop() {
    stopping_ = true;
    if (!thread_.joinable()) return;
    boost::asio::post(io_->context, [this] { io_->context.stop(); });
    thread_.join();
}

} // namespace show::chat
