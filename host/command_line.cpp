#include "host/command_line.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace host {

namespace {

// Levenshtein distance: insertions, deletions and substitutions of one byte each.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

hosting::HostedGame::TraceSink TraceSinkFor(bool verbose) {
    if (!verbose) return {};
    return [](const std::string& line) { std::fprintf(stderr, "trace: %s\n", line.c_str()); };
}

std::string NearestCommand(std::string_view typed, const std::vector<std::string>& known) {
    std::string nearest;
    std::size_t best = std::string::npos;
    for (const std::string& name : known)
        if (const std::size_t distance = EditDistance(typed, name); distance < best) {
            best = distance;
            nearest = name;
        }
    return nearest;
}

std::string UnknownCommandMessage(std::string_view typed, const std::vector<std::string>& known) {
    std::string message = "askgame-host: \"" + std::string(typed) + "\" is not a command";
    const std::string nearest = NearestCommand(typed, known);
    if (!nearest.empty()) message += "; did you mean \"" + nearest + "\"?";
    message += " (commands:";
    for (const std::string& name : known)
        message += " " + name;
    return message + "; askgame-host --help tells more)";
}

} // namespace host
