// Maps an input's media times to the wall clock. Blocks arrive at or after their moment, each
// held up by a different amount (the pipe, the muxer's interleaving, a loaded machine), so the
// block that came soonest after its media time shows the true offset best: the clock keeps the
// least offset seen over the last two windows. Windows let it follow a source whose clock runs
// a little slow; a jump (an input that stalled or started again) sets it afresh.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace hosting {

class MediaClock {
public:
    using Clock = std::chrono::steady_clock;

    // The wall-clock moment of media time `micros`, for a block that arrived `now`.
    Clock::time_point Place(std::int64_t micros, Clock::time_point now) {
        const Clock::time_point offered = now - std::chrono::microseconds(micros);
        if (!anchored_ || offered - Anchor() > kJump || Anchor() - offered > kJump) {
            anchored_ = true;
            current_ = previous_ = offered;
            windowStart_ = now;
        } else if (now - windowStart_ >= kWindow) {
            previous_ = current_;
            current_ = offered;
            windowStart_ = now;
        } else {
            current_ = std::min(current_, offered);
        }
        return Anchor() + std::chrono::microseconds(micros);
    }

    // Forgets the mapping: the next block starts a new one (a new run of the input).
    void Reset() { anchored_ = false; }

private:
    static constexpr auto kWindow = std::chrono::seconds(2);
    static constexpr auto kJump = std::chrono::milliseconds(500);

    Clock::time_point Anchor() const { return std::min(current_, previous_); }

    bool anchored_ = false;
    Clock::time_point current_, previous_, windowStart_;
};

} // namespace hosting
