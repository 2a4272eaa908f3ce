#include "render/wrapped_text_sprite.h"

#include <algorithm>
#include <cstdint>

namespace {

// How many frame-wide lines a text of the given width estimates: its width over the frame's,
// rounded up.
long long EstimatedLines(long long textWidth, int frameWidth) {
    if (textWidth <= 0) return 0;
    return textWidth / frameWidth + (textWidth % frameWidth > 0 ? 1 : 0);
}

// The top edge, in pixels from the frame's top, that leaves `percent` of the frame's free height
// above the sprite. The free height and the product are unsigned 32-bit, as the placement has
// always been computed; a sprite taller than the frame has no free height and sits at the top.
int VerticalPlace(int percent, unsigned frameHeight, unsigned spriteHeight) {
    if (spriteHeight > frameHeight) return 0;
    const auto below = static_cast<std::uint32_t>(100 - std::clamp(percent, 0, 100));
    const std::uint32_t free = frameHeight - spriteHeight;
    return static_cast<int>(frameHeight - (below * free) / 100 - spriteHeight);
}

} // namespace

std::vector<int> CWrappedTextSprite::Advances(HDC dc, std::u16string_view text) {
    std::vector<int> advances(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        advances[i] = MeasureText(dc, text.substr(i, 1));
    return advances;
}

std::vector<CWrappedTextSprite::Line>
CWrappedTextSprite::WrapLines(const std::vector<int>& advances) const {
    std::vector<Line> lines;
    std::size_t next = 0;
    while (next < advances.size()) {
        Line line{next, 0};
        // The line's width so far is MeasureText of its units: the sum of their advances.
        long long lineWidth = 0, lookAhead = 0;
        while (lineWidth + lookAhead <= frameWidth && next < advances.size()) {
            lineWidth += advances[next++];
            ++line.length;
            if (next == advances.size()) break;
            lookAhead = advances[next];
        }
        lines.push_back(line);
    }
    return lines;
}

BOOL CWrappedTextSprite::Render() {
    if (frameWidth == 0 || frameHeight == 0) return FALSE;
    FontContext font(kWrappedFontFace, fontHeight);
    if (!font) return FALSE;
    const std::u16string_view all = text;
    const std::vector<int> advances = Advances(font.dc(), all);
    const std::vector<Line> lines = WrapLines(advances);

    // The sprite holds every wrapped line: wrapping by whole units can need more lines than the
    // width estimate, and those would otherwise be lost below the sprite's bottom edge.
    long long textWidth = 0;
    for (int advance : advances)
        textWidth += advance;
    const long long lineCount = std::max<long long>(EstimatedLines(textWidth, frameWidth),
                                                    static_cast<long long>(lines.size()));
    const long long lineStep = fontHeight / 2 + static_cast<long long>(font.metrics().tmHeight);
    const long long newWidth = lineCount > 1 ? frameWidth : WidthWithMargins(font.dc(), all);
    const long long newHeight = all.empty() ? 0 : lineStep * lineCount;
    if (!CanHold(newWidth, newHeight) || !PreparePixelBuffer(newWidth, newHeight)) return FALSE;
    width = static_cast<int>(newWidth);
    height = static_cast<int>(newHeight);
    FillBackground();

    x = (frameWidth - width) / 2;
    y = VerticalPlace(verticalPercent, frameHeight, static_cast<unsigned>(height));

    // Baselines count memory rows up from the sprite's bottom: the first line is the top one.
    for (std::size_t k = 0; k < lines.size(); ++k) {
        int baselineRow = static_cast<int>(fontHeight / 4 + font.metrics().tmDescent +
                                           (lineCount - 1 - static_cast<long long>(k)) * lineStep);
        int penX = 1;
        for (char16_t ch : all.substr(lines[k].start, lines[k].length))
            RenderGlyph(font.dc(), ch, &penX, &baselineRow);
    }
    return TRUE;
}

void CWrappedTextSprite::CopySettingsFrom(const CSpriteTextShowBase& other) {
    CSpriteTextShowBase::CopySettingsFrom(other);
    if (const auto* wrapped = dynamic_cast<const CWrappedTextSprite*>(&other))
        verticalPercent = wrapped->verticalPercent;
}

bool CWrappedTextSprite::HasSettingsOf(const CSpriteTextShowBase& other) const {
    const auto* wrapped = dynamic_cast<const CWrappedTextSprite*>(&other);
    return wrapped && wrapped->verticalPercent == verticalPercent &&
           CSpriteTextShowBase::HasSettingsOf(other);
}
