#include "show/http_server.h"

#include <cctype>

namespace show::http {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "a%20b+c" as "a b c"; a broken escape stays as written.
std::string Decoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                   HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Calls `found` with each name and value of a query until it returns true.
template <typename Found>
void ForEachParam(std::string_view query, Found found) {
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        const std::size_t equals = std::min(pair.find('='), pair.size());
        const std::string_view value =
            equals < pair.size() ? pair.substr(equals + 1) : std::string_view();
        if (found(Decoded(pair.substr(0, equals)), value)) return;
        query.remove_prefix(std::min(end + 1, query.size()));
    }
}

} // namespace

std::string_view Request::Header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (SameLetters(key, name)) return value;
    return {};
}

bool Request::HasParam(std::string_view name) const {
    bool has = false;
    ForEachParam(query,
                 [&](const std::string& key, std::string_view) { return has = key == name; });
    return has;
}

std::string Request::Param(std::string_view name) const {
    std::string found;
    ForEachParam(query, [&](const std::string& key, std::string_view value) {
        if (key != name) return false;
        found = Decoded(value);
        return true;
    });
    return found;
}

void Response::SetContent(std::string text, std::string type) {
    body = std::move(text);
    contentType = std::move(type);
}

void Response::SetHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
}

void Response::Text(int code, std::string_view line) {
    status = code;
    SetContent(std::string(line) + "\n", "text/plain; charset=utf-8");
}

void Response::Redirect(std::string location) {
    status = 302;
    body.clear();
    SetHeader("Location", std::move(location));
}

} // namespace show::http
