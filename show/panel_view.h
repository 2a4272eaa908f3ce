// The presenter's panel as the page sees it: the control tree the skin built, as JSON, with a
// version that changes only when something the page shows has changed.
//
// The view reads the tree; it never changes it. Presenter actions reach the panel through the
// host's panel actions (click, type, option, bank), the same road scenario events take.
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

namespace DuiLib {
class CControlUI;
}

namespace show {

// Deeper controls than this are left out of the view (the skin builder refuses deeper skins).
inline constexpr int kMaxPanelViewDepth = 256;

// One control and everything it holds:
//   {"id": "0.3.1", "kind": "button", "name": "BtnGo", "text": "...", "tooltip": "...",
//    "enabled": true, "visible": true, "width": 80, "height": 0, "color": "#RRGGBB",
//    "selected": false, "group": "...", "readonly": false, "caption": "...", "children": [...]}
// `id` is the control's position in the tree (child indexes from the root); `kind` is one of
// window, vertical, horizontal, container, richedit, edit, option, button, text, label, control.
// Only the members that apply to the kind are present; `name` only when the control has one.
nlohmann::json PanelTreeJson(DuiLib::CControlUI& root);

class PanelView {
public:
    // `root` is the panel, owned by the host; null gives an empty view. Nothing is read until
    // the first Refresh, so the view may be made on any thread.
    explicit PanelView(DuiLib::CControlUI* root) : root_(root) {}

    // Reads the tree again. True, and the version goes up by one, when it differs from the last
    // reading. Run it on the thread that owns the panel.
    bool Refresh();
    // 0 before the first reading; every change adds one.
    std::uint64_t Version() const { return version_; }
    // {"version": N, "root": <tree or null>} as of the last reading.
    nlohmann::json Snapshot() const;

private:
    DuiLib::CControlUI* root_;
    nlohmann::json tree_;
    std::uint64_t version_ = 0;
};

} // namespace show
