// What a season keeps of a show (a scored answer, a gift, a viewer the presenter ignores for the
// season or hears again), and where a host hands it: the
// recorder behind this interface decides how and when it reaches a file.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace season {

struct SeasonEvent {
    enum class Kind { Answer, Gift, Ignore, Unignore };
    Kind kind = Kind::Answer;
    std::int64_t atMs = 0; // Unix time in milliseconds
    std::uint32_t viewer = 0;
    std::string name;       // the display name the viewer had at the time
    int questionNumber = 0; // answers: the question's number in the bank, 0 when unknown
    std::string question;   // answers: its first line
    int points = 0;         // answers
    int giftCount = 0;      // gifts
    int giftValue = 0;      // gifts: the value of one
};

// A viewer the presenter ignores for a whole season.
struct IgnoredViewer {
    std::uint32_t viewer = 0;
    std::string name; // as the presenter saw them
};

// How the events handed to a sink fare.
struct SinkHealth {
    std::size_t waiting = 0; // refused by the file, waiting to be tried again
    std::size_t lost = 0;    // never to reach the file
    std::string error;       // the file's latest refusal while it refuses; empty while all is well
    bool Troubled() const { return waiting > 0 || lost > 0; }
};

class SeasonEventSink {
public:
    // Takes one event; any thread, never blocks on a disk.
    virtual void Record(SeasonEvent event) = 0;
    // Any thread.
    virtual SinkHealth Health() const = 0;

protected:
    ~SeasonEventSink() = default;
};

// Now, as seasons count time.
inline std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace season
