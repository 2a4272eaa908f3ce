#include "game/free_text_sprite.h"

CSpriteTextShow::CSpriteTextShow() {
    fontHeight = kDefaultFontHeight;
    verticalPercent = kDefaultVerticalPercent;
    backgroundColor = kDefaultBackgroundColor;
}
