#include "show/live_events.h"

#include <set>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/utf.h"
#include "show/round.h"

namespace show {

namespace {

using hosting::ActionKind;
using hosting::ScenarioEvent;
using nlohmann::json;

// A fault in an event's content; caught at the edge of this file and turned into the reason.
struct Refusal {
    std::string reason;
};

[[noreturn]] void Refuse(std::string reason) {
    throw Refusal{std::move(reason)};
}

// A name from the body as JSON writes it: quoted, with line breaks and other control
// characters escaped, so that a reason stays one line whatever a sender put in a key.
std::string Quote(std::string_view s) {
    return json(std::string(s)).dump(-1, ' ', false, json::error_handler_t::replace);
}

void RejectUnknownKeys(const json& object, const std::set<std::string, std::less<>>& known) {
    for (const auto& [key, value] : object.items())
        if (!known.contains(key)) Refuse("unknown field " + Quote(key));
}

const json& Require(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) Refuse(std::string("missing field ") + Quote(key));
    return *found;
}

std::uint64_t Whole(const json& value, const char* key, std::uint64_t max) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max)
        Refuse(Quote(key) + " must be a whole number from 0 to " + std::to_string(max));
    return value.get<std::uint64_t>();
}

std::string Utf8(const json& value, const char* key, std::size_t maxBytes) {
    if (!value.is_string()) Refuse(Quote(key) + " must be a string");
    std::string text = value.get<std::string>();
    if (text.size() > maxBytes)
        Refuse(Quote(key) + " is longer than " + std::to_string(maxBytes) + " bytes");
    return text;
}

std::u16string Utf16(const json& value, const char* key, std::size_t maxUnits) {
    if (!value.is_string()) Refuse(Quote(key) + " must be a string");
    // No UTF-16 unit takes more than three UTF-8 bytes: a longer text is too long unconverted.
    const std::string& utf8 = value.get_ref<const std::string&>();
    if (utf8.size() > maxUnits * 3)
        Refuse(Quote(key) + " is longer than " + std::to_string(maxUnits) + " characters");
    std::u16string text = Utf8ToUtf16(utf8);
    if (text.size() > maxUnits)
        Refuse(Quote(key) + " is longer than " + std::to_string(maxUnits) + " characters");
    if (text.find(u'\0') != std::u16string::npos) Refuse(Quote(key) + " holds a NUL character");
    return text;
}

std::uint32_t ChatKind(const json& value) {
    if (value.is_number_unsigned())
        return static_cast<std::uint32_t>(Whole(value, "kind", 0xFFFFFFFF));
    if (!value.is_string()) Refuse("\"kind\" must be text, challenge, free, gift or a number");
    const std::string& name = value.get_ref<const std::string&>();
    if (name == "text") return AudienceKind::Text;
    if (name == "challenge") return AudienceKind::ChallengeText;
    if (name == "free") return AudienceKind::FreeText;
    if (name == "gift") return AudienceKind::Gift;
    Refuse("\"kind\" must be text, challenge, free, gift or a number");
}

hosting::Viewer ViewerOf(const json& body) {
    hosting::Viewer viewer;
    viewer.id = static_cast<std::uint32_t>(Whole(Require(body, "id"), "id", 0xFFFFFFFF));
    viewer.name = Utf16(Require(body, "name"), "name", kMaxNameUnits);
    return viewer;
}

ScenarioEvent ChatFrom(const json& body) {
    if (!body.is_object()) Refuse("a chat message is a JSON object");
    RejectUnknownKeys(body, {"id", "name", "text", "kind"});
    ScenarioEvent event;
    event.kind = ActionKind::Chat;
    event.viewer = ViewerOf(body);
    event.text = Utf16(Require(body, "text"), "text", kMaxTextUnits);
    event.chatKind = body.contains("kind") ? ChatKind(body["kind"]) : AudienceKind::Text;
    return event;
}

ScenarioEvent GiftFrom(const json& body) {
    if (!body.is_object()) Refuse("a gift is a JSON object");
    RejectUnknownKeys(body, {"id", "name", "count", "value"});
    ScenarioEvent event;
    event.kind = ActionKind::Gift;
    event.viewer = ViewerOf(body);
    event.giftCount = body.contains("count")
                          ? static_cast<std::uint16_t>(Whole(body["count"], "count", 65535))
                          : 1;
    event.giftValue = static_cast<std::uint16_t>(Whole(Require(body, "value"), "value", 65535));
    return event;
}

std::string JoinPath(std::string_view base, std::string path) {
    if (path.front() == '/' || base.empty()) return path;
    std::string joined(base);
    if (joined.back() != '/') joined += '/';
    return joined + path;
}

ScenarioEvent PanelFrom(const json& body, std::string_view baseDir) {
    if (!body.is_object()) Refuse("a panel action is a JSON object");
    ScenarioEvent event;
    if (body.contains("click")) {
        RejectUnknownKeys(body, {"click"});
        event.kind = ActionKind::Click;
        event.control = Utf8(body["click"], "click", kMaxControlBytes);
    } else if (body.contains("type")) {
        RejectUnknownKeys(body, {"type", "text"});
        event.kind = ActionKind::Type;
        event.control = Utf8(body["type"], "type", kMaxControlBytes);
        event.text = Utf16(Require(body, "text"), "text", kMaxTextUnits);
    } else if (body.contains("option")) {
        RejectUnknownKeys(body, {"option", "selected"});
        event.kind = ActionKind::Option;
        event.control = Utf8(body["option"], "option", kMaxControlBytes);
        const json& selected = Require(body, "selected");
        if (!selected.is_boolean()) Refuse("\"selected\" must be true or false");
        event.selected = selected.get<bool>();
    } else if (body.contains("bank")) {
        RejectUnknownKeys(body, {"bank"});
        event.kind = ActionKind::Bank;
        const std::string path = Utf8(body["bank"], "bank", kMaxPathBytes);
        if (path.empty()) Refuse("\"bank\" must name a file");
        event.path = JoinPath(baseDir, path);
    } else {
        Refuse("a panel action needs one of \"click\", \"type\", \"option\" or \"bank\"");
    }
    if (event.kind != ActionKind::Bank && event.control.empty())
        Refuse("the control name is empty");
    return event;
}

ScenarioEvent LineFrom(const json& line, std::string_view baseDir) {
    if (!line.is_object() || line.size() != 1)
        Refuse("an event line is an object with one of \"chat\", \"gift\" or \"panel\"");
    const auto only = line.begin();
    const std::string& key = only.key();
    const json& body = only.value();
    if (key == "chat") return ChatFrom(body);
    if (key == "gift") return GiftFrom(body);
    if (key == "panel") return PanelFrom(body, baseDir);
    Refuse("unknown event " + Quote(key) + "; expected chat, gift or panel");
}

// Reads `text` as JSON and builds a `T` with `build`; every fault becomes the reason.
template <typename T, typename Build>
std::optional<T> ReadJson(std::string_view text, Build build, std::string& error) {
    if (text.size() > kMaxEventBytes) {
        error = "the event is larger than " + std::to_string(kMaxEventBytes) + " bytes";
        return std::nullopt;
    }
    try {
        const json root = json::parse(text.begin(), text.end());
        return build(root);
    } catch (const Refusal& refusal) {
        error = refusal.reason;
    } catch (const json::parse_error& e) {
        error = "not valid JSON (at byte " + std::to_string(e.byte) + ")";
    } catch (const json::exception& e) {
        error = "not a usable event";
    }
    return std::nullopt;
}

template <typename Build>
ParsedEvent Parse(std::string_view text, Build build) {
    ParsedEvent result;
    result.event = ReadJson<ScenarioEvent>(text, build, result.error);
    return result;
}

// The one field of a presenter's request that names what to do.
std::pair<std::string, const json*> OnlyField(const json& root, const char* expected) {
    if (!root.is_object() || root.size() != 1)
        Refuse(std::string("the body is an object with one of ") + expected);
    return {root.begin().key(), &root.begin().value()};
}

void RequireTrue(const json& value, const std::string& key) {
    if (value != json(true)) Refuse(Quote(key) + " must be true");
}

RoundAction RoundFrom(const json& root) {
    constexpr const char* kFields = "\"seconds\", \"add\", \"close\" or \"reveal\"";
    const auto [key, value] = OnlyField(root, kFields);
    RoundAction action;
    if (key == "seconds" || key == "add") {
        action.kind = key == "seconds" ? RoundAction::Kind::Seconds : RoundAction::Kind::Add;
        action.seconds = static_cast<int>(Whole(*value, key.c_str(), kMaxAnswerSeconds));
    } else if (key == "close" || key == "reveal") {
        RequireTrue(*value, key);
        action.kind = key == "close" ? RoundAction::Kind::Close : RoundAction::Kind::Reveal;
    } else {
        Refuse("unknown field " + Quote(key) + "; expected " + kFields);
    }
    return action;
}

Moderation ModerationFrom(const json& root) {
    if (!root.is_object()) Refuse("the body is an object with \"ignore\" or \"unignore\"");
    RejectUnknownKeys(root, {"ignore", "unignore", "season"});
    const bool ignore = root.contains("ignore");
    if (ignore == root.contains("unignore"))
        Refuse("the body has one of \"ignore\" or \"unignore\"");
    const char* key = ignore ? "ignore" : "unignore";
    Moderation moderation{ignore, static_cast<std::uint32_t>(Whole(root[key], key, 0xFFFFFFFF))};
    if (const auto season = root.find("season"); season != root.end()) {
        if (!ignore || !season->is_boolean())
            Refuse("\"season\" goes with \"ignore\", as true or false");
        moderation.season = season->get<bool>();
    }
    return moderation;
}

} // namespace

ParsedEvent ParseChat(std::string_view body) {
    return Parse(body, ChatFrom);
}

ParsedEvent ParseGift(std::string_view body) {
    return Parse(body, GiftFrom);
}

ParsedEvent ParsePanelAction(std::string_view body, std::string_view baseDir) {
    return Parse(body, [baseDir](const json& root) { return PanelFrom(root, baseDir); });
}

ParsedEvent ParseEventLine(std::string_view line, std::string_view baseDir) {
    return Parse(line, [baseDir](const json& root) { return LineFrom(root, baseDir); });
}

std::optional<RoundAction> ParseRoundAction(std::string_view body, std::string& error) {
    return ReadJson<RoundAction>(body, RoundFrom, error);
}

std::optional<Moderation> ParseModeration(std::string_view body, std::string& error) {
    return ReadJson<Moderation>(body, ModerationFrom, error);
}

EventSource SourceOf(const hosting::ScenarioEvent& event) {
    const bool viewer = event.kind == ActionKind::Chat || event.kind == ActionKind::Gift;
    return viewer ? EventSource::Viewer : EventSource::Presenter;
}

} // namespace show
