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

std::vector<CWrappedTextSprite::Line> CWrappedTextSprite::Paragraphs(std::u16string_view text) {
    // A line break is a LF, with the CR right before it if there is one.
    const auto inBreak = [text](std::size_t i) {
        return text[i] == u'\n' ||
               (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n');
    };
    std::size_t first = 0, last = text.size();
    while (first < last && inBreak(first))
        ++first;
    while (last > first && inBreak(last - 1))
        --last;
    std::vector<Line> paragraphs;
    if (first == last) return paragraphs;
    std::size_t start = first;
    for (std::size_t i = first; i <= last; ++i) {
        if (i < last && text[i] != u'\n') continue;
        const std::size_t end = i > start && i < last && text[i - 1] == u'\r' ? i - 1 : i;
        paragraphs.push_back({start, end - start});
        start = i + 1;
    }
    return paragraphs;
}

std::vector<CWrappedTextSprite::Line>
CWrappedTextSprite::WrapLines(const std::vector<int>& advances, Line paragraph) const {
    std::vector<Line> lines;
    std::size_t next = paragraph.start;
    const std::size_t end = paragraph.start + paragraph.length;
    while (next < end) {
        Line line{next, 0};
        // The line's width so far is MeasureText of its units: the sum of their advances.
        long long lineWidth = 0, lookAhead = 0;
        while (lineWidth + lookAhead <= frameWidth && next < end) {
            lineWidth += advances[next++];
            ++line.length;
            if (next == end) break;
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

    // Each paragraph takes its wrapped lines, or more where the width estimate says so: wrapping
    // by whole units can need more lines than the estimate, and those would otherwise be lost
    // below the sprite's bottom edge. An empty paragraph between two others is a blank line.
    struct PlacedLine {
        Line line;
        long long row;
    };
    std::vector<PlacedLine> lines;
    long long lineCount = 0, widest = 0;
    bool wrapped = false;
    for (const Line& paragraph : Paragraphs(all)) {
        long long paragraphWidth = 0;
        for (std::size_t i = 0; i < paragraph.length; ++i)
            paragraphWidth += advances[paragraph.start + i];
        const std::vector<Line> pieces = WrapLines(advances, paragraph);
        for (std::size_t k = 0; k < pieces.size(); ++k)
            lines.push_back({pieces[k], lineCount + static_cast<long long>(k)});
        const long long rows = std::max<long long>(
            {EstimatedLines(paragraphWidth, frameWidth), static_cast<long long>(pieces.size()), 1});
        wrapped = wrapped || rows > 1;
        lineCount += rows;
        if (!wrapped)
            widest = std::max(
                widest, WidthWithMargins(font.dc(), all.substr(paragraph.start, paragraph.length)));
    }
    const long long lineStep = fontHeight / 2 + static_cast<long long>(font.metrics().tmHeight);
    const long long newWidth = wrapped         ? frameWidth
                               : lineCount > 0 ? widest
                                               : WidthWithMargins(font.dc(), {});
    const long long newHeight = lineStep * lineCount;
    if (!CanHold(newWidth, newHeight) || !PreparePixelBuffer(newWidth, newHeight)) return FALSE;
    width = static_cast<int>(newWidth);
    height = static_cast<int>(newHeight);
    FillBackground();

    x = (frameWidth - width) / 2;
    y = VerticalPlace(verticalPercent, frameHeight, static_cast<unsigned>(height));

    // Baselines count memory rows up from the sprite's bottom: row 0 is the top line.
    for (const auto& [line, row] : lines) {
        int baselineRow = static_cast<int>(fontHeight / 4 + font.metrics().tmDescent +
                                           (lineCount - 1 - row) * lineStep);
        int penX = 1;
        for (char16_t ch : all.substr(line.start, line.length))
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
