#include "host/transcript.h"

#include <cstdio>
#include <fstream>

namespace host {

void Transcript::SetClock(long frameIndex, double fps) {
    frame_ = frameIndex;
    if (fps > 0) fps_ = fps;
}

std::string Transcript::Stamp() const {
    const double seconds = static_cast<double>(frame_) / fps_;
    const long whole = static_cast<long>(seconds);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%02ld:%05.2f f%-5ld", whole / 60,
                  seconds - static_cast<double>(whole - whole % 60), frame_);
    return stamp;
}

void Transcript::Add(std::string_view category, std::string_view text) {
    std::string line = Stamp();
    line += ' ';
    line += category;
    if (category.size() < 6) line.append(6 - category.size(), ' ');
    line += ' ';
    line += text;
    lines_.push_back(std::move(line));
    entries_.emplace_back(std::string(category), std::string(text));
}

void Transcript::HostError(std::string_view text) {
    ++hostErrors_;
    Add("ERROR", text);
}

std::vector<std::string> Transcript::Texts(std::string_view category) const {
    std::vector<std::string> texts;
    for (const auto& [tag, text] : entries_)
        if (tag == category) texts.push_back(text);
    return texts;
}

std::string Transcript::ToString() const {
    std::string all;
    for (const auto& line : lines_) {
        all += line;
        all += '\n';
    }
    return all;
}

bool Transcript::WriteTo(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    out << ToString();
    return static_cast<bool>(out);
}

} // namespace host
