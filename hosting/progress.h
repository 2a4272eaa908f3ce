// Progress of a rendering stage on stderr: a bar redrawn in place when stderr is a terminal, a
// plain line when the stage starts and when it ends otherwise.
#pragma once

#include <string>

namespace hosting {

class Progress {
public:
    Progress(std::string stage, long total, bool quiet = false);
    ~Progress();
    void Update(long done);
    // Ends the stage with a short summary.
    void Done(const std::string& summary);

private:
    std::string stage_;
    long total_;
    bool terminal_;
    bool quiet_;
    bool done_ = false;
    int lastPercent_ = -1;
};

} // namespace hosting
