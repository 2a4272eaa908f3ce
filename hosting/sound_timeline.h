// The show's sound, continuous from its start: the input's sound placed at the moments it
// belongs to, silence wherever none came in time, handed on in blocks of whole milliseconds
// (so every block's timestamp is exact). Sound that comes after its moment has been filled
// with silence is cut to what is still ahead; a gap before sound is filled with silence; sound
// claiming a moment ahead of the wall clock (a source whose clock runs fast) is cut there.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "platform/wintypes.h"

namespace hosting {

class SoundTimeline {
public:
    using Clock = std::chrono::steady_clock;
    // A block of interleaved 16-bit PCM at `ms` from the start.
    using Emit = std::function<void(std::int64_t ms, std::span<const BYTE> pcm)>;

    // Sound is placed `delay` after its moment: the time the pictures beside it take to reach
    // the outputs.
    SoundTimeline(Clock::time_point start, int rate, int channels, Clock::duration delay,
                  Emit emit);

    // Sound whose first sample belongs at `at`. Any thread.
    void Add(Clock::time_point at, std::span<const BYTE> pcm);
    // Silence up to `until` where no sound is there yet. Any thread.
    void FillUntil(Clock::time_point until);
    // Nothing beyond `end` (the show's end, when it is known) is handed on.
    void EndAt(Clock::time_point end);

private:
    std::int64_t SampleAt(Clock::time_point at) const;
    void Silence(std::int64_t samples);
    void EmitWholeMilliseconds();

    const Clock::time_point start_;
    const Clock::duration delay_;
    const int rate_;
    const std::size_t frameBytes_; // bytes of one sample on every channel
    const std::int64_t samplesPerMs_;
    Emit emit_;
    std::mutex mutex_;
    Clock::time_point end_ = Clock::time_point::max();
    std::int64_t emitted_ = 0;  // samples handed on
    std::vector<BYTE> pending_; // less than a millisecond's samples after them
};

} // namespace hosting
