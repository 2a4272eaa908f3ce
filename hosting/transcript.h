// The run's record: what viewers sent, what the presenter did, what the plug-in called on the
// host, the message boxes it showed and the scores it produced, one line each, in order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hosting {

// `text` with every line break and other control character written as an escape (\n, \r, \t,
// \xHH, \u2028 ...) and a backslash doubled, so a viewer's name or message can never start a
// line of its own in the transcript.
std::string EscapeTranscriptText(std::string_view text);

class Transcript {
public:
    // Time stamps are taken from the frame being worked on.
    void SetClock(long frameIndex, double fps);

    // One line under a short category tag ("chat", "gift", "panel", "host", "box", ...); the
    // line holds `text` escaped, Texts() gives it back as it was.
    void Add(std::string_view category, std::string_view text);
    // A fault of the plug-in in dealing with the host (a message released twice, a leak...).
    // Recorded like any line, counted, and makes the run fail.
    void HostError(std::string_view text);

    int HostErrorCount() const { return hostErrors_; }
    const std::vector<std::string>& Lines() const { return lines_; }
    // Lines whose category is `category`, text only.
    std::vector<std::string> Texts(std::string_view category) const;
    std::string ToString() const;
    bool WriteTo(const std::string& path) const;

private:
    std::string Stamp() const;

    long frame_ = 0;
    double fps_ = 25.0;
    int hostErrors_ = 0;
    std::vector<std::string> lines_;
    std::vector<std::pair<std::string, std::string>> entries_;
};

} // namespace hosting
