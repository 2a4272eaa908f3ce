// The free-mode game's text sprite: wrapped, centred text placed at a percentage of the frame's
// free height, drawn in the fixed face. The layout is CWrappedTextSprite's; this class only gives
// the sprite its own defaults, which the game overrides before the first Render.
#pragma once

#include <cstdint>

#include "render/wrapped_text_sprite.h"

class CSpriteTextShow : public CWrappedTextSprite {
public:
    static constexpr int kDefaultFontHeight = 76;
    static constexpr int kDefaultVerticalPercent = 100; // bottom edge on the frame's
    static constexpr std::uint32_t kDefaultBackgroundColor = 0x30008000; // translucent green

    CSpriteTextShow();
};
