#include "hosting/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "askgame/audience.h"
#include "hosting/regular_file.h"
#include "platform/utf.h"

namespace hosting {

namespace {

using nlohmann::json;

constexpr int kMinSide = 16;
constexpr int kMaxSide = 7680;
constexpr double kMaxFps = 120;
constexpr double kMaxDuration = 3600;
// Frames of quiet after the last event when a scenario gives no duration.
constexpr double kTailSeconds = 2;

// A fault in the scenario's content: where (a JSON path) and what.
struct ContentError {
    std::string where;
    std::string what;
};

[[noreturn]] void Fail(std::string where, std::string what) {
    throw ContentError{std::move(where), std::move(what)};
}

std::string Quote(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

void RejectUnknownKeys(const json& object, const std::set<std::string>& known,
                       const std::string& where) {
    for (const auto& [key, value] : object.items())
        if (!known.contains(key)) Fail(where, "unknown field " + Quote(key));
}

const json& Require(const json& object, const char* key, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end()) Fail(where, std::string("missing field ") + Quote(key));
    return *found;
}

std::string String(const json& value, const std::string& where, const char* key) {
    if (!value.is_string()) Fail(where, Quote(key) + " must be a string");
    return value.get<std::string>();
}

double Number(const json& value, const std::string& where, const char* key) {
    if (!value.is_number()) Fail(where, Quote(key) + " must be a number");
    return value.get<double>();
}

template <typename T>
T Whole(const json& value, const std::string& where, const char* key, std::uint64_t max) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max)
        Fail(where, Quote(key) + " must be a whole number from 0 to " + std::to_string(max));
    return static_cast<T>(value.get<std::uint64_t>());
}

std::u16string Text16(const std::string& utf8) {
    return Utf8ToUtf16(utf8);
}

std::uint32_t ChatKind(const json& value, const std::string& where) {
    if (value.is_number_unsigned()) return Whole<std::uint32_t>(value, where, "kind", 0xFFFFFFFF);
    if (value.is_number())
        Fail(where, "\"kind\" must be a whole number from 0 to 4294967295 or a kind name");
    static const std::map<std::string, std::uint32_t, std::less<>> kinds = {
        {"text", AudienceKind::Text},
        {"challenge", AudienceKind::ChallengeText},
        {"free", AudienceKind::FreeText},
        {"gift", AudienceKind::Gift},
    };
    const std::string name = String(value, where, "kind");
    const auto found = kinds.find(name);
    if (found == kinds.end())
        Fail(where, "unknown chat kind " + Quote(name) +
                        "; expected text, challenge, free, gift or a number");
    return found->second;
}

std::map<std::string, Viewer> ParseViewers(const json& root) {
    std::map<std::string, Viewer> viewers;
    const auto found = root.find("viewers");
    if (found == root.end()) return viewers;
    if (!found->is_object()) Fail("viewers", "must be an object of viewers by handle");
    for (const auto& [handle, entry] : found->items()) {
        const std::string where = "viewers." + handle;
        if (!entry.is_object()) Fail(where, "must be an object with \"id\" and \"name\"");
        RejectUnknownKeys(entry, {"id", "name", "comment"}, where);
        Viewer viewer;
        viewer.id = Whole<std::uint32_t>(Require(entry, "id", where), where, "id", 0xFFFFFFFF);
        viewer.name = Text16(String(Require(entry, "name", where), where, "name"));
        viewers.emplace(handle, std::move(viewer));
    }
    return viewers;
}

std::string JoinPath(std::string_view base, const std::string& path) {
    if (path.empty() || path.front() == '/' || base.empty()) return path;
    std::string joined(base);
    if (joined.back() != '/') joined += '/';
    return joined + path;
}

// The action key an event carries; exactly one is allowed.
const std::map<std::string, ActionKind, std::less<>>& ActionKeys() {
    static const std::map<std::string, ActionKind, std::less<>> keys = {
        {"gift", ActionKind::Gift},   {"chat", ActionKind::Chat},     {"click", ActionKind::Click},
        {"type", ActionKind::Type},   {"option", ActionKind::Option}, {"bank", ActionKind::Bank},
        {"still", ActionKind::Still}, {"note", ActionKind::Note},
    };
    return keys;
}

std::string StillName(const std::string& name, const std::string& where) {
    if (name.empty() || name.size() > 100)
        Fail(where, "a still needs a name of 1 to 100 characters");
    const bool pathLike = name == "." || name == ".." ||
                          name.find_first_of(std::string("/\\\0", 3)) != std::string::npos;
    if (pathLike) Fail(where, "still name " + Quote(name) + " must be a plain file name");
    return name;
}

ScenarioEvent ParseEvent(const json& entry, const std::string& where,
                         const std::map<std::string, Viewer>& viewers, std::string_view baseDir) {
    if (!entry.is_object()) Fail(where, "an event must be an object");
    ScenarioEvent event;
    event.at = Number(Require(entry, "at", where), where, "at");
    if (!(event.at >= 0) || event.at > kMaxDuration)
        Fail(where, "\"at\" must be seconds from 0 to " + std::to_string(int(kMaxDuration)));

    std::string action;
    for (const auto& [key, value] : entry.items()) {
        if (!ActionKeys().contains(key)) continue;
        if (!action.empty()) Fail(where, "two actions in one event: " + action + " and " + key);
        action = key;
    }
    if (action.empty()) {
        for (const auto& [key, value] : entry.items())
            if (key != "at" && key != "comment")
                Fail(where, "unknown action " + Quote(key) +
                                "; expected gift, chat, click, type, option, bank, still or note");
        Fail(where, "the event has no action");
    }
    event.kind = ActionKeys().find(action)->second;
    const json& subject = entry.at(action);

    auto viewer = [&]() {
        const std::string handle = String(subject, where, action.c_str());
        const auto found = viewers.find(handle);
        if (found == viewers.end())
            Fail(where, "unknown viewer " + Quote(handle) + "; declare it under \"viewers\"");
        return found->second;
    };

    switch (event.kind) {
    case ActionKind::Gift:
        RejectUnknownKeys(entry, {"at", "gift", "count", "value", "comment"}, where);
        event.viewer = viewer();
        event.giftCount = entry.contains("count")
                              ? Whole<std::uint16_t>(entry["count"], where, "count", 65535)
                              : 1;
        event.giftValue =
            Whole<std::uint16_t>(Require(entry, "value", where), where, "value", 65535);
        break;
    case ActionKind::Chat:
        RejectUnknownKeys(entry, {"at", "chat", "text", "kind", "comment"}, where);
        event.viewer = viewer();
        event.text = Text16(String(Require(entry, "text", where), where, "text"));
        event.chatKind =
            entry.contains("kind") ? ChatKind(entry["kind"], where) : AudienceKind::Text;
        break;
    case ActionKind::Click:
        RejectUnknownKeys(entry, {"at", "click", "comment"}, where);
        event.control = String(subject, where, "click");
        break;
    case ActionKind::Type:
        RejectUnknownKeys(entry, {"at", "type", "text", "comment"}, where);
        event.control = String(subject, where, "type");
        event.text = Text16(String(Require(entry, "text", where), where, "text"));
        break;
    case ActionKind::Option:
        RejectUnknownKeys(entry, {"at", "option", "selected", "comment"}, where);
        event.control = String(subject, where, "option");
        if (!Require(entry, "selected", where).is_boolean())
            Fail(where, "\"selected\" must be true or false");
        event.selected = entry["selected"].get<bool>();
        break;
    case ActionKind::Bank:
        RejectUnknownKeys(entry, {"at", "bank", "comment"}, where);
        event.path = JoinPath(baseDir, String(subject, where, "bank"));
        break;
    case ActionKind::Still:
        RejectUnknownKeys(entry, {"at", "still", "comment"}, where);
        event.path = StillName(String(subject, where, "still"), where);
        break;
    case ActionKind::Note:
        RejectUnknownKeys(entry, {"at", "note", "comment"}, where);
        event.path = String(subject, where, "note");
        break;
    }
    return event;
}

Scenario ParseRoot(const json& root, std::string_view baseDir) {
    if (!root.is_object()) Fail("top level", "a scenario is a JSON object");
    RejectUnknownKeys(
        root, {"mode", "title", "size", "fps", "duration", "lcid", "viewers", "events", "comment"},
        "top level");
    Scenario scenario;
    const std::string mode = String(Require(root, "mode", "top level"), "top level", "mode");
    if (mode == "free") {
        scenario.mode = GameMode::Free;
    } else if (mode == "challenge") {
        scenario.mode = GameMode::Challenge;
    } else {
        Fail("mode", "unknown mode " + Quote(mode) + "; expected free or challenge");
    }
    if (root.contains("title")) scenario.title = String(root["title"], "title", "title");
    if (root.contains("size") &&
        !ParseFrameSize(String(root["size"], "size", "size"), scenario.width, scenario.height))
        Fail("size", "must be WIDTHxHEIGHT, both even, from 16 to 7680");
    if (root.contains("fps")) {
        scenario.fps = Number(root["fps"], "fps", "fps");
        if (!ValidFps(scenario.fps)) Fail("fps", "must be from 1 to 120");
    }
    if (root.contains("duration")) {
        scenario.duration = Number(root["duration"], "duration", "duration");
        if (!(scenario.duration > 0) || scenario.duration > kMaxDuration)
            Fail("duration", "must be seconds above 0 and at most 3600");
    }
    if (root.contains("lcid"))
        scenario.lcid = Whole<std::uint32_t>(root["lcid"], "lcid", "lcid", 0xFFFFFFFF);

    const auto viewers = ParseViewers(root);
    const json& events = Require(root, "events", "top level");
    if (!events.is_array()) Fail("events", "must be an array of events");
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::string where = "events[" + std::to_string(i) + "]";
        scenario.events.push_back(ParseEvent(events[i], where, viewers, baseDir));
    }
    if (scenario.duration == 0) {
        double last = 0;
        for (const auto& event : scenario.events)
            last = std::max(last, event.at);
        scenario.duration = last + kTailSeconds;
    }
    scenario.SetFps(scenario.fps);
    return scenario;
}

// Watches the parser for an object that names one field twice: the JSON library would keep the
// last value silently, so {"mode": "free", "mode": "challenge"} would run a challenge. Tracks
// the path of the value being read, for the message.
class DuplicateKeyCheck {
public:
    bool operator()(int /*depth*/, json::parse_event_t event, const json& parsed) {
        using Event = json::parse_event_t;
        switch (event) {
        case Event::object_start:
            levels_.push_back({true});
            break;
        case Event::array_start:
            levels_.push_back({false});
            break;
        case Event::key:
            Key(parsed.get_ref<const std::string&>());
            break;
        case Event::object_end:
        case Event::array_end:
            levels_.pop_back();
            ValueDone();
            break;
        case Event::value:
            ValueDone();
            break;
        }
        return true;
    }

private:
    struct Level {
        bool object;
        std::set<std::string> keys = {};
        std::string key = {};
        std::size_t index = 0;
    };

    void Key(const std::string& key) {
        Level& level = levels_.back();
        if (!level.keys.insert(key).second)
            Fail(Where(), "duplicate field " + Quote(key) + "; each field may appear once");
        level.key = key;
    }
    void ValueDone() {
        if (!levels_.empty() && !levels_.back().object) ++levels_.back().index;
    }
    // "events[2]" for the object being read; "top level" at the root.
    std::string Where() const {
        std::string where;
        for (std::size_t i = 0; i + 1 < levels_.size(); ++i) {
            const Level& level = levels_[i];
            if (level.object) {
                if (!where.empty()) where += '.';
                where += level.key;
            } else {
                where += "[" + std::to_string(level.index) + "]";
            }
        }
        return where.empty() ? "top level" : where;
    }

    std::vector<Level> levels_;
};

// Line and column (both from 1) of the byte at `offset` (0-based).
std::pair<std::size_t, std::size_t> LineAndColumn(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

// The library's message without its "[json.exception...] parse error at ...:" prefix.
// The library's messages read "[json.exception.KIND.N] parse error at line L, column C: WHAT" or
// "[json.exception.KIND.N] WHAT"; the reader is told the place already, so only WHAT is kept.
std::string ParseErrorDescription(const char* what) {
    std::string_view message(what);
    if (message.starts_with('[')) {
        if (const auto close = message.find("] "); close != std::string_view::npos)
            message.remove_prefix(close + 2);
    }
    if (message.starts_with("parse error")) {
        if (const auto colon = message.find(": "); colon != std::string_view::npos)
            message.remove_prefix(colon + 2);
    }
    return std::string(message);
}

// Why a scenario file could not be read, in a line for its user.
std::string FileFault(const FileRead& read) {
    using Result = FileRead::Result;
    switch (read.result) {
    case Result::Read:
        break;
    case Result::Unopened:
        return "cannot open the scenario file" +
               (read.detail.empty() ? "" : " (" + read.detail + ")");
    case Result::NotRegular:
        return "the scenario is " + read.detail +
               ", not a regular file; give a scenario file (JSON)";
    case Result::TooLarge:
        return "the scenario file is larger than the " +
               std::to_string(kMaxScenarioBytes / (1024 * 1024)) + " MiB a scenario may have" +
               (read.detail.empty() ? "" : " (" + read.detail + " bytes)");
    case Result::Unreadable:
        return "cannot read the scenario file";
    }
    return {};
}

} // namespace

long Scenario::FrameCount() const {
    return std::max(1L, std::lround(duration * fps));
}

void Scenario::SetFps(double newFps) {
    fps = newFps;
    for (auto& event : events)
        event.frame = std::lround(event.at * fps);
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.frame < b.frame; });
}

ScenarioResult ParseScenario(std::string_view text, std::string_view fileName,
                             std::string_view baseDir) {
    ScenarioResult result;
    json root;
    try {
        root = json::parse(text.begin(), text.end(), DuplicateKeyCheck());
    } catch (const ContentError& e) {
        result.error = std::string(fileName) + ": " + e.where + ": " + e.what;
        return result;
    } catch (const json::parse_error& e) {
        // `byte` counts from 1 and points at the character that could not be read.
        const auto [line, column] = LineAndColumn(text, e.byte > 0 ? e.byte - 1 : 0);
        result.error = std::string(fileName) + ":" + std::to_string(line) + ":" +
                       std::to_string(column) + ": " + ParseErrorDescription(e.what());
        return result;
    } catch (const json::exception& e) {
        // A number too large for any type ("1e999") is reported as out of range, not as a
        // parse error, and carries no position.
        result.error = std::string(fileName) + ": " + ParseErrorDescription(e.what());
        return result;
    }
    try {
        result.scenario = ParseRoot(root, baseDir);
    } catch (const ContentError& e) {
        result.error = std::string(fileName) + ": " + e.where + ": " + e.what;
    } catch (const json::exception& e) {
        result.error = std::string(fileName) + ": " + ParseErrorDescription(e.what());
    }
    return result;
}

ScenarioResult LoadScenarioFile(const std::string& path) {
    FileBytes bytes;
    const FileRead read = ReadRegularFile(path, kMaxScenarioBytes, bytes);
    if (!read.Ok()) return {std::nullopt, path + ": " + FileFault(read)};
    const auto slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? "." : path.substr(0, slash);
    return ParseScenario(bytes.Text(), path, base);
}

bool ValidFrameSize(int width, int height) {
    auto ok = [](int side) { return side >= kMinSide && side <= kMaxSide && side % 2 == 0; };
    return ok(width) && ok(height);
}

bool ValidFps(double fps) {
    return fps >= 1 && fps <= kMaxFps;
}

bool ApplyFrameOptions(Scenario& scenario, const std::optional<std::string>& size,
                       std::optional<double> fps, std::string& error) {
    if (size && !ParseFrameSize(*size, scenario.width, scenario.height)) {
        error = "--size \"" + *size + "\": expected WIDTHxHEIGHT, both even, 16 to 7680";
        return false;
    }
    if (fps && !ValidFps(*fps)) {
        error = "--fps must be from 1 to 120";
        return false;
    }
    if (fps) scenario.SetFps(*fps);
    return true;
}

bool ParseFrameSize(std::string_view text, int& width, int& height) {
    const auto x = text.find('x');
    if (x == std::string_view::npos) return false;
    int w = 0, h = 0;
    const auto* wEnd = text.data() + x;
    const auto* hEnd = text.data() + text.size();
    if (std::from_chars(text.data(), wEnd, w).ptr != wEnd) return false;
    if (std::from_chars(wEnd + 1, hEnd, h).ptr != hEnd) return false;
    if (!ValidFrameSize(w, h)) return false;
    width = w;
    height = h;
    return true;
}

const char* GameModeName(GameMode mode) {
    return mode == GameMode::Free ? "free" : "challenge";
}

} // namespace hosting
