#include "hosting/progress.h"

#include <unistd.h>

#include <cstdio>

namespace hosting {

namespace {
constexpr int kBarWidth = 30;
}

Progress::Progress(std::string stage, long total, bool quiet)
    : stage_(std::move(stage)), total_(total > 0 ? total : 1), terminal_(isatty(2) != 0),
      quiet_(quiet) {
    if (!quiet_ && !terminal_)
        std::fprintf(stderr, "%s: rendering %ld frames\n", stage_.c_str(), total_);
    Update(0);
}

Progress::~Progress() {
    if (!done_) Done("stopped");
}

void Progress::Update(long done) {
    if (quiet_ || !terminal_) return;
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r%-16s [%.*s%*s] %3d%%  %ld/%ld frames", stage_.c_str(), filled,
                 "##############################", kBarWidth - filled, "", percent, done, total_);
    std::fflush(stderr);
}

void Progress::Done(const std::string& summary) {
    done_ = true;
    if (quiet_) return;
    if (terminal_) std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "%s: %s\n", stage_.c_str(), summary.c_str());
}

} // namespace hosting
