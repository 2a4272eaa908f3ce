#include "hosting/transcript.h"

#include <cstdio>
#include <fstream>

namespace hosting {

namespace {

// Unicode line breaks beyond the ASCII controls, as UTF-8: NEL, LINE and PARAGRAPH SEPARATOR.
constexpr std::string_view kNextLine = "\xC2\x85";
constexpr std::string_view kLineSeparator = "\xE2\x80\xA8";
constexpr std::string_view kParagraphSeparator = "\xE2\x80\xA9";

void AppendHex(std::string& out, unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += kDigits[(value >> shift) & 0xF];
}

} // namespace

std::string EscapeTranscriptText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::string_view rest = text.substr(i);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            AppendHex(out, byte, 2);
        } else if (rest.starts_with(kNextLine)) {
            out += "\\u0085";
            i += kNextLine.size() - 1;
        } else if (rest.starts_with(kLineSeparator) || rest.starts_with(kParagraphSeparator)) {
            out += "\\u";
            AppendHex(out, rest.starts_with(kLineSeparator) ? 0x2028 : 0x2029, 4);
            i += kLineSeparator.size() - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

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
    line += EscapeTranscriptText(text);
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

} // namespace hosting
