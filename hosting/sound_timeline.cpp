#include "hosting/sound_timeline.h"

#include <algorithm>
#include <cstdint>

namespace hosting {

namespace {

// Sound within this of where the timeline stands is taken as following on: the rounding of
// media times, not a gap.
constexpr std::int64_t kFollowOnMs = 10;
// Silence is handed on in blocks of at most this, so no block grows large after a long gap.
constexpr std::int64_t kLongestBlockMs = 100;
// Sound comes at or after its moment; what claims a moment further ahead of the wall clock than
// this comes from a source whose clock runs fast, and is cut, so the show's sound never runs
// ahead of its pictures or past its end.
constexpr std::int64_t kAheadMs = 20;

} // namespace

SoundTimeline::SoundTimeline(Clock::time_point start, int rate, int channels, Clock::duration delay,
                             Emit emit)
    : start_(start), delay_(delay), rate_(rate), frameBytes_(std::size_t(channels) * 2),
      samplesPerMs_(std::max(rate / 1000, 1)), emit_(std::move(emit)) {}

std::int64_t SoundTimeline::SampleAt(Clock::time_point at) const {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at - start_).count();
    return micros * rate_ / 1000000;
}

void SoundTimeline::Add(Clock::time_point at, std::span<const BYTE> pcm) {
    std::lock_guard lock(mutex_);
    const std::int64_t here = emitted_ + std::int64_t(pending_.size() / frameBytes_);
    const std::int64_t target = SampleAt(at + delay_);
    const std::int64_t limit =
        std::min(SampleAt(Clock::now() + delay_) + kAheadMs * samplesPerMs_,
                 end_ == Clock::time_point::max() ? INT64_MAX : SampleAt(end_));
    const std::int64_t slack = kFollowOnMs * samplesPerMs_;
    if (target >= limit) return; // wholly ahead of the wall clock
    if (target > here + slack) Silence(target - here);
    if (target < here - slack) {
        // Its start was given up to silence already: only what is still ahead is kept.
        const auto late = std::size_t(here - target) * frameBytes_;
        pcm = late >= pcm.size() ? std::span<const BYTE>() : pcm.subspan(late);
    }
    const std::int64_t room = limit - (emitted_ + std::int64_t(pending_.size() / frameBytes_));
    if (room < std::int64_t(pcm.size() / frameBytes_))
        pcm = pcm.first(std::size_t(std::max<std::int64_t>(room, 0)) * frameBytes_);
    pending_.insert(pending_.end(), pcm.begin(), pcm.end());
    EmitWholeMilliseconds();
}

void SoundTimeline::EndAt(Clock::time_point end) {
    std::lock_guard lock(mutex_);
    end_ = end;
}

void SoundTimeline::FillUntil(Clock::time_point until) {
    std::lock_guard lock(mutex_);
    until = std::min(until, end_);
    const std::int64_t here = emitted_ + std::int64_t(pending_.size() / frameBytes_);
    const std::int64_t target = SampleAt(until);
    if (target > here) Silence(target - here);
    EmitWholeMilliseconds();
}

void SoundTimeline::Silence(std::int64_t samples) {
    // Hand on whole blocks as they fill, so a long gap never sits in memory at once.
    while (samples > 0) {
        const std::int64_t room =
            kLongestBlockMs * samplesPerMs_ - std::int64_t(pending_.size() / frameBytes_);
        const std::int64_t piece = std::clamp<std::int64_t>(room, 1, samples);
        pending_.resize(pending_.size() + std::size_t(piece) * frameBytes_, 0);
        samples -= piece;
        EmitWholeMilliseconds();
    }
}

void SoundTimeline::EmitWholeMilliseconds() {
    const std::int64_t have = std::int64_t(pending_.size() / frameBytes_);
    const std::int64_t whole = have - have % samplesPerMs_;
    if (whole == 0) return;
    const std::size_t bytes = std::size_t(whole) * frameBytes_;
    emit_(emitted_ / samplesPerMs_, std::span<const BYTE>(pending_.data(), bytes));
    emitted_ += whole;
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(bytes));
}

} // namespace hosting
