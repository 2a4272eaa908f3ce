#include "hosting/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "askgame/audience.h"
#include "hosting/json_stream.h"
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

void RejectUnknownKeys(const json& object, std::initializer_list<std::string_view> known,
                       const std::string& where) {
    for (const auto& [key, value] : object.items())
        if (std::find(known.begin(), known.end(), key) == known.end())
            Fail(where, "unknown field " + Quote(key));
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

// The viewers by handle, in the order they were read, found through a table of places probed
// in turn (open addressing) that doubles as it fills: one allocation per doubling rather than
// one per viewer, and events, which mostly name viewers in the order they were declared, find
// them close together.
class ViewerTable {
public:
    // The new viewer for `handle`; null when the handle is taken already.
    Viewer* Add(const std::string& handle) {
        if (2 * (viewers_.size() + 1) > places_.size()) Grow();
        const std::size_t hash = std::hash<std::string_view>{}(handle);
        std::uint32_t& place = places_[PlaceOf(handle, hash)];
        if (place != 0) return nullptr;
        handles_.push_back(handle);
        hashes_.push_back(hash);
        viewers_.emplace_back();
        place = static_cast<std::uint32_t>(viewers_.size());
        return &viewers_.back();
    }
    const Viewer* Find(std::string_view handle) const {
        if (places_.empty()) return nullptr;
        const std::uint32_t place = places_[PlaceOf(handle, std::hash<std::string_view>{}(handle))];
        return place == 0 ? nullptr : &viewers_[place - 1];
    }

private:
    // Where in places_ `handle`'s viewer is (1 + its index), or the empty place (0) it would go.
    std::size_t PlaceOf(std::string_view handle, std::size_t hash) const {
        const std::size_t mask = places_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const std::uint32_t place = places_[at];
            if (place == 0 || (hashes_[place - 1] == hash && handles_[place - 1] == handle))
                return at;
        }
    }
    void Grow() {
        // A scenario within its byte cap holds far fewer viewers than 2^32.
        places_.assign(std::max<std::size_t>(kFirstViewerPlaces, 2 * places_.size()), 0);
        for (std::size_t i = 0; i < viewers_.size(); ++i)
            places_[PlaceOf(handles_[i], hashes_[i])] = static_cast<std::uint32_t>(i + 1);
    }

    static constexpr std::size_t kFirstViewerPlaces = 64; // a power of two, as every size after
    std::vector<std::string> handles_;
    std::vector<std::size_t> hashes_;
    std::vector<Viewer> viewers_;
    std::vector<std::uint32_t> places_;
};

void ReadViewer(const std::string& handle, const json& entry, ViewerTable& viewers) {
    Viewer* viewer = viewers.Add(handle);
    if (!viewer)
        Fail("viewers", "duplicate field " + Quote(handle) + "; each field may appear once");
    const std::string where = "viewers." + handle;
    if (!entry.is_object()) Fail(where, "must be an object with \"id\" and \"name\"");
    RejectUnknownKeys(entry, {"id", "name", "comment"}, where);
    viewer->id = Whole<std::uint32_t>(Require(entry, "id", where), where, "id", 0xFFFFFFFF);
    viewer->name = Text16(String(Require(entry, "name", where), where, "name"));
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

ScenarioEvent ParseEvent(const json& entry, const std::string& where, const ViewerTable& viewers,
                         std::string_view baseDir) {
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
        const Viewer* found = viewers.Find(handle);
        if (!found)
            Fail(where, "unknown viewer " + Quote(handle) + "; declare it under \"viewers\"");
        return *found;
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

// The top level's own fields; the viewers and events were read as the text was.
Scenario ReadTopLevel(const json& root) {
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

    if (root.contains("viewers") && !root["viewers"].is_object())
        Fail("viewers", "must be an object of viewers by handle");
    return scenario;
}

// About how many events `text` holds, to make room for them at once: every event has an "at"
// field. Never more than the text could hold, however it reads: a string of many "at"s in
// quotes makes no more room than a file of the smallest events would need.
std::size_t EventsIn(std::string_view text) {
    static constexpr std::string_view kAt = "\"at\"";
    static constexpr std::size_t kSmallestEventBytes = sizeof R"({"at":0,"note":""})" - 1;
    std::size_t count = 0;
    for (auto at = text.find(kAt); at != std::string_view::npos; at = text.find(kAt, at + 1))
        ++count;
    return std::min(count, text.size() / kSmallestEventBytes);
}

std::string EventPlace(std::size_t index) {
    return "events[" + std::to_string(index) + "]";
}

// What a scenario's viewers and events become as its text is read.
struct ScenarioParts {
    ViewerTable viewers;
    std::vector<ScenarioEvent> events;
    // Events met before the viewers had all been read; read once the text has been.
    std::vector<std::pair<std::size_t, json>> waiting;
    // The first fault in a viewer and in an event. Told only once the text proved well-formed
    // and the top level sound, whose faults come first.
    std::optional<ContentError> viewerFault;
    std::optional<ContentError> eventFault;
};

// Runs `read`, keeping its fault in `fault` rather than letting it end the reading.
template <typename Read>
void Record(std::optional<ContentError>& fault, Read read) {
    try {
        read();
    } catch (ContentError& e) {
        fault = std::move(e);
    }
}

// Has `stream` hand each viewer and event to `parts` as it is read. Events met before the
// viewers wait for them; after the first fault in either, the rest is only read on.
void ReadPartsFrom(JsonStream& stream, ScenarioParts& parts, std::string_view baseDir) {
    stream.Stream("viewers", json::value_t::object,
                  [&parts](const std::string& handle, std::size_t, json& entry) {
                      if (parts.viewerFault) return;
                      Record(parts.viewerFault, [&] { ReadViewer(handle, entry, parts.viewers); });
                  });
    stream.Stream("events", json::value_t::array,
                  [&parts, &stream, baseDir](const std::string&, std::size_t index, json& entry) {
                      if (!stream.Ended("viewers")) {
                          parts.waiting.emplace_back(index, std::move(entry));
                          return;
                      }
                      if (parts.viewerFault || parts.eventFault) return;
                      Record(parts.eventFault, [&] {
                          parts.events.push_back(
                              ParseEvent(entry, EventPlace(index), parts.viewers, baseDir));
                      });
                  });
}

Scenario FinishScenario(const json& root, ScenarioParts& parts, std::string_view baseDir) {
    Scenario scenario = ReadTopLevel(root);
    if (parts.viewerFault) throw *parts.viewerFault;
    const json& events = Require(root, "events", "top level");
    if (!events.is_array()) Fail("events", "must be an array of events");
    if (parts.eventFault) throw *parts.eventFault;
    for (const auto& [index, entry] : parts.waiting)
        parts.events.push_back(ParseEvent(entry, EventPlace(index), parts.viewers, baseDir));
    scenario.events = std::move(parts.events);
    if (scenario.duration == 0) {
        double last = 0;
        for (const auto& event : scenario.events)
            last = std::max(last, event.at);
        scenario.duration = last + kTailSeconds;
    }
    scenario.SetFps(scenario.fps);
    return scenario;
}

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

// What stopped the reading of a scenario's text: ":LINE:COLUMN: what" for malformed text,
// ": WHERE: duplicate field ..." for a field named twice, ": what" for a fault with no place
// (a number too large for any type, "1e999").
std::string StreamFaultText(std::string_view text, const std::optional<JsonStream::Fault>& fault) {
    if (!fault) return ": the text could not be read as JSON";
    if (fault->repeated)
        return ": " + fault->where + ": duplicate field " + Quote(fault->what) +
               "; each field may appear once";
    const std::string what = ParseErrorDescription(fault->what.c_str());
    if (fault->byte == 0) return ": " + what;
    // `byte` counts from 1 and points at the character that could not be read.
    const auto [line, column] = LineAndColumn(text, fault->byte - 1);
    return ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what;
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
    const auto earlier = [](const auto& a, const auto& b) { return a.frame < b.frame; };
    // Most scenarios list their events in order already; sorting them would copy every one.
    if (!std::is_sorted(events.begin(), events.end(), earlier))
        std::stable_sort(events.begin(), events.end(), earlier);
}

ScenarioResult ParseScenario(std::string_view text, std::string_view fileName,
                             std::string_view baseDir) {
    ScenarioResult result;
    const std::string file(fileName);
    ScenarioParts parts;
    JsonStream stream;
    ReadPartsFrom(stream, parts, baseDir);
    try {
        parts.events.reserve(EventsIn(text));
        if (!stream.Read(text)) {
            result.error = file + StreamFaultText(text, stream.Failure());
            return result;
        }
        result.scenario = FinishScenario(stream.Document(), parts, baseDir);
    } catch (const ContentError& e) {
        result.error = file + ": " + e.where + ": " + e.what;
    } catch (const json::exception& e) {
        result.error = file + ": " + ParseErrorDescription(e.what());
    } catch (const std::bad_alloc&) {
        result.error = file + ": the scenario needs more memory than there is";
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
