// What a season keeps of a show (a scored answer or a gift), and where a host hands it: the
// recorder behind this interface decides how and when it reaches a file.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace season {

struct SeasonEvent {
    enum class Kind { Answer, Gift };
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

class SeasonEventSink {
public:
    // Takes one event; any thread, never blocks on a disk.
    virtual void Record(SeasonEvent event) = 0;

protected:
    ~SeasonEventSink() = default;
};

// Now, as seasons count time.
inline std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace season
