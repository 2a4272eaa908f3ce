// Live events as they arrive from outside: a viewer's chat or gift and a presenter's action on
// the panel, each a small JSON object, read into the scenario's event record. Nothing here
// trusts its input: sizes are capped, numbers range-checked, unknown fields refused.
//
//   chat   {"id": 1001, "name": "王小明", "text": "B", "kind": "text"}     (kind optional)
//   gift   {"id": 1001, "name": "王小明", "count": 3, "value": 10}         (count optional)
//   panel  {"click": "BtnPush"} | {"type": "EditNum", "text": "3"}
//          | {"option": "OptShowQuestion", "selected": true} | {"bank": "PATH"}
//
//   round  {"seconds": N} | {"add": N} | {"close": true} | {"reveal": true}
//   moderate {"ignore": VIEWER_ID, "season": true} | {"unignore": VIEWER_ID}  (season optional)
//
// A line of an event stream wraps one of them: {"chat": {...}}, {"gift": {...}}, {"panel": {...}}.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "askgame/audience.h"
#include "hosting/scenario.h"
#include "show/show_control.h"

namespace show {

// The largest event body or event line read, in bytes.
inline constexpr std::size_t kMaxEventBytes = 16 * 1024;
// The longest viewer name: what fits the message record's field with its terminator.
inline constexpr std::size_t kMaxNameUnits = AudienceMessage::kSenderNameUnits - 1;
// The longest chat text or typed panel text, in UTF-16 units.
inline constexpr std::size_t kMaxTextUnits = 2000;
// The longest control name or bank path, in bytes.
inline constexpr std::size_t kMaxControlBytes = 256;
inline constexpr std::size_t kMaxPathBytes = 4096;

enum class EventSource { Viewer, Presenter };

struct ParsedEvent {
    std::optional<hosting::ScenarioEvent> event; // set on success
    std::string error;                           // one line, set on failure
};

ParsedEvent ParseChat(std::string_view body);
ParsedEvent ParseGift(std::string_view body);
// A relative bank path is taken from `baseDir` (empty: as it stands).
ParsedEvent ParsePanelAction(std::string_view body, std::string_view baseDir);
// One line of an event stream.
ParsedEvent ParseEventLine(std::string_view line, std::string_view baseDir);

// The presenter's hand on the question's clock, and on who reaches the game; nothing, with the
// reason in `error`, for a body that is neither.
std::optional<RoundAction> ParseRoundAction(std::string_view body, std::string& error);
std::optional<Moderation> ParseModeration(std::string_view body, std::string& error);

// Who an event comes from: viewers' events go to the audience, the presenter's to the panel.
EventSource SourceOf(const hosting::ScenarioEvent& event);

} // namespace show
