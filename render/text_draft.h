// A text sprite's next text, rendered to one side so that whoever draws the live sprite never
// waits for the render: the live sprite's settings are captured under its owner's lock, the text
// is rendered with no lock held, and the picture is swapped in under the lock again, provided
// the live sprite's settings did not change in between (a relayout or a new colour means
// rendering again). A long text takes tens of milliseconds to lay out and rasterise; the swap
// takes none.
#pragma once

#include <string>
#include <utility>

#include "render/text_sprite.h"

template <class Sprite>
class TextDraft {
public:
    // Under the owner's lock: the settings the next render uses.
    void Capture(const Sprite& live) {
        sprite_.CopySettingsFrom(live);
        state_ = State::Captured;
    }
    // With no lock held: renders `text` with the captured settings through `render` (a callable
    // taking the draft sprite and answering whether its Render succeeded).
    template <class Render>
    void RenderWith(std::u16string text, Render&& render) {
        if (state_ == State::Empty) return;
        sprite_.SetText(std::move(text));
        state_ = render(sprite_) ? State::Rendered : State::Failed;
    }
    // Under the owner's lock: puts the rendered text into `live` when `live` still has the
    // captured settings, and answers true. A render that failed leaves `live`'s picture as it
    // was and gives it the new text, as a failed Render of the live sprite does. False, with
    // nothing changed, when nothing was rendered or the settings have changed since: render again.
    bool InstallInto(Sprite& live) {
        if (state_ != State::Rendered && state_ != State::Failed) return false;
        if (!live.HasSettingsOf(sprite_)) return false;
        if (state_ == State::Rendered)
            live.SwapRendering(sprite_); // the old picture leaves with the draft
        else
            live.SetText(std::move(sprite_.text));
        state_ = State::Empty;
        return true;
    }

private:
    enum class State { Empty, Captured, Rendered, Failed };
    Sprite sprite_;
    State state_ = State::Empty;
};
