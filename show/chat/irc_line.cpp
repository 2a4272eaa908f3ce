#include "show/chat/irc_line.h"

#include <algorithm>
#include <cctype>

namespace show::chat {

namespace {

// IRCv3 tag values escape ';', ' ', '\', CR and LF; a lone trailing backslash is dropped.
std::string UnescapeTagValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) break;
        switch (value[i]) {
        case ':':
            out += ';';
            break;
        case 's':
            out += ' ';
            break;
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        default:
            out += value[i];
            break; // "\\" and any other escaped character stand for it
        }
    }
    return out;
}

std::string_view NextWord(std::string_view& rest) {
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return word;
}

bool ValidCommand(std::string_view command) {
    if (command.empty()) return false;
    if (std::isdigit(static_cast<unsigned char>(command[0])))
        return command.size() == 3 && std::all_of(command.begin(), command.end(), [](char c) {
                   return std::isdigit(static_cast<unsigned char>(c));
               });
    return std::all_of(command.begin(), command.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

} // namespace

std::optional<std::string_view> IrcLine::Tag(std::string_view key) const {
    for (const auto& [name, value] : tags)
        if (name == key) return value;
    return std::nullopt;
}

std::string_view IrcLine::Nick() const {
    const std::string_view prefix = this->prefix;
    return prefix.substr(0, std::min(prefix.find('!'), prefix.size()));
}

std::optional<IrcLine> ParseIrcLine(std::string_view rest) {
    if (rest.size() > kMaxIrcLineBytes) return std::nullopt;
    if (rest.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return std::nullopt;
    IrcLine line;
    if (!rest.empty() && rest.front() == '@') {
        rest.remove_prefix(1);
        std::string_view tags = NextWord(rest);
        while (!tags.empty()) {
            const std::size_t end = std::min(tags.find(';'), tags.size());
            const std::string_view tag = tags.substr(0, end);
            tags.remove_prefix(std::min(end + 1, tags.size()));
            if (tag.empty()) continue;
            const std::size_t equals = tag.find('=');
            line.tags.emplace_back(std::string(tag.substr(0, equals)),
                                   equals == std::string_view::npos
                                       ? std::string()
                                       : UnescapeTagValue(tag.substr(equals + 1)));
        }
    }
    if (!rest.empty() && rest.front() == ':') {
        rest.remove_prefix(1);
        line.prefix = NextWord(rest);
    }
    line.command = NextWord(rest);
    if (!ValidCommand(line.command)) return std::nullopt;
    std::transform(line.command.begin(), line.command.end(), line.command.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    while (!rest.empty()) {
        if (rest.front() == ':') {
            line.params.emplace_back(rest.substr(1));
            break;
        }
        line.params.emplace_back(NextWord(rest));
    }
    return line;
}

} // namespace show::chat
