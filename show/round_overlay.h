// What viewers see of the round beside the game: the question's clock, a box in the picture's top
// right corner with the whole seconds left over a bar that empties as they run out (0 and an
// empty bar once the question is closed), and a short moment in the middle of the picture for a
// challenge player who answered right. Dark boxes under light text: readable on any picture.
//
// Drawn on BGRA frames after the game drew, only over its own boxes; texts are rasterised only
// when they change. Video thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wintypes.h"

namespace show {

// A moment lasts this long on the picture, in seconds.
inline constexpr double kMomentSeconds = 3.0;

// A text rasterised as coverage, 0 to 64 per pixel, rows top first.
struct TextCoverage {
    int width = 0;
    int height = 0;
    std::vector<BYTE> levels;
};

// `text` in a bold sans face whose cell is `cellHeight` pixels; a character that face lacks
// comes from the CJK face. Characters neither face has are left out.
TextCoverage RasteriseText(std::u16string_view text, int cellHeight);

struct ClockView {
    bool shown = false; // the question has a clock
    double left = 0;    // seconds
    int seconds = 0;    // what the clock was given
    bool open = false;
};

class RoundOverlay {
public:
    // Draws on width × |height| BGRA pixels, bottom-up for a positive height.
    void Draw(BYTE* pixels, int width, int height, const ClockView& clock,
              const std::u16string& moment);

private:
    struct Picture {
        BYTE* pixels;
        int width, height;
    };
    void DrawClock(const Picture& picture, const ClockView& clock);
    void DrawMoment(const Picture& picture, const std::u16string& moment);

    int cellHeight_ = 0; // of the texts below, for the picture they were made for
    std::u16string digitsShown_;
    TextCoverage digits_;
    int boxDigits_ = 0;    // the clock's longest number, in digits
    int boxTextWidth_ = 0; // that many digits' width: the box does not jump as seconds go
    std::u16string momentShown_;
    TextCoverage moment_;
};

} // namespace show
