#include "show/presenter_channel.h"

#include <memory>

namespace show {

namespace {

// Invalid UTF-8 in a text the host passed becomes U+FFFD rather than an exception.
std::string Dump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Event(const char* name, const nlohmann::json& data) {
    return std::string("event: ") + name + "\ndata: " + Dump(data) + "\n\n";
}

} // namespace

void PresenterChannel::PublishPanel(nlohmann::json snapshot) {
    const std::uint64_t version = snapshot.value("version", std::uint64_t{0});
    std::lock_guard lock(mutex_);
    if (version <= panelVersion_ && !panel_.is_null()) return;
    panelVersion_ = version;
    panel_ = std::move(snapshot);
    ++panelSerial_;
    changed_.notify_all();
}

void PresenterChannel::PublishState(nlohmann::json state) {
    std::lock_guard lock(mutex_);
    if (state == state_) return;
    state_ = std::move(state);
    ++stateSerial_;
    changed_.notify_all();
}

DialogAnswer PresenterChannel::Ask(DialogKind kind, std::string caption, std::string text) {
    std::unique_lock lock(mutex_);
    const DialogAnswer unattended{kind == DialogKind::MessageBox, std::nullopt};
    if (closed_ || streams_ == 0) return unattended;
    // One dialog at a time: a second asker waits for the first to be answered.
    changed_.wait(lock, [&] { return closed_ || openDialogId_ == 0; });
    if (closed_) return unattended;
    const std::uint64_t id = nextDialogId_++;
    openDialogId_ = id;
    openKind_ = kind;
    openCaption_ = std::move(caption);
    openText_ = std::move(text);
    answer_.reset();
    ++dialogSerial_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return closed_ || answer_.has_value(); });
    DialogAnswer answer = answer_.value_or(unattended);
    openDialogId_ = 0;
    answer_.reset();
    ++dialogSerial_;
    changed_.notify_all();
    return answer;
}

bool PresenterChannel::Answer(std::uint64_t id, DialogAnswer answer) {
    std::lock_guard lock(mutex_);
    if (id == 0 || id != openDialogId_ || answer_) return false;
    if (openKind_ == DialogKind::MessageBox) answer.bank.reset();
    if (openKind_ == DialogKind::BankChooser && !answer.bank) answer.ok = false;
    answer_ = std::move(answer);
    changed_.notify_all();
    return true;
}

void PresenterChannel::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

nlohmann::json PresenterChannel::DialogJsonLocked() const {
    if (openDialogId_ == 0 || answer_) return nullptr;
    return {{"id", openDialogId_},
            {"kind", openKind_ == DialogKind::MessageBox ? "box" : "bank"},
            {"caption", openCaption_},
            {"text", openText_}};
}

nlohmann::json PresenterChannel::OpenDialog() const {
    std::lock_guard lock(mutex_);
    return DialogJsonLocked();
}

nlohmann::json PresenterChannel::Panel() const {
    std::lock_guard lock(mutex_);
    return panel_;
}

int PresenterChannel::Watching() const {
    std::lock_guard lock(mutex_);
    return streams_;
}

std::unique_ptr<PresenterChannel::Stream> PresenterChannel::OpenStream() {
    std::lock_guard lock(mutex_);
    if (closed_ || streams_ >= kMaxPageStreams) return nullptr;
    ++streams_;
    return std::unique_ptr<Stream>(new Stream(*this));
}

PresenterChannel::Stream::~Stream() {
    std::lock_guard lock(channel_.mutex_);
    --channel_.streams_;
}

std::optional<std::string> PresenterChannel::Stream::Next(std::chrono::milliseconds wait) {
    PresenterChannel& c = channel_;
    std::unique_lock lock(c.mutex_);
    const auto fresh = [&] {
        return c.panelSerial_ != panelSeen_ || c.stateSerial_ != stateSeen_ ||
               c.dialogSerial_ != dialogSeen_;
    };
    c.changed_.wait_for(lock, wait, [&] { return c.closed_ || fresh(); });
    if (c.closed_) return std::nullopt;
    std::string out;
    if (c.panelSerial_ != panelSeen_ && !c.panel_.is_null()) out += Event("panel", c.panel_);
    if (c.stateSerial_ != stateSeen_ && !c.state_.is_null()) out += Event("state", c.state_);
    if (c.dialogSerial_ != dialogSeen_) out += Event("dialog", c.DialogJsonLocked());
    panelSeen_ = c.panelSerial_;
    stateSeen_ = c.stateSerial_;
    dialogSeen_ = c.dialogSerial_;
    // A comment line keeps the connection open through proxies and shows a closed page.
    return out.empty() ? std::string(":\n\n") : out;
}

} // namespace show
