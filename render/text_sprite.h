// The text sprite: a wide string rasterised through glyph coverage bitmaps into an RGBA sprite
// under one text colour, with an optional background band of the sprite's height blended under
// it. The base draws one line; game sprites derive from it, override Render with their own
// layouts and reuse the font, glyph, measuring, buffer and band routines below.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/gdi.h"
#include "render/frame_view.h"
#include "render/sprite.h"

// The most memory one text sprite's pixel buffer or band may take; a text needing more is
// refused rather than drawn in part.
inline constexpr std::size_t kMaxTextSpriteBytes = std::size_t{256} << 20;

class CSpriteTextShowBase : public CQvSpriteRGBA {
public:
    static constexpr char16_t kDefaultFontFace[] = u"宋体";
    static constexpr std::uint32_t kDefaultBackgroundColor = 0x00008000; // green, alpha 0
    static constexpr int kDefaultFontHeight = 24;

    CSpriteTextShowBase() = default;
    ~CSpriteTextShowBase() override = default;

    // Setters store their value and nothing more; call Render afterwards.
    void SetFrameSize(std::uint16_t width, std::uint16_t height);
    void SetVisible(bool visible) { this->visible = visible; }
    bool IsVisible() const { return visible; }
    void SetTextColor(std::uint32_t color) { textColor = color; }
    void SetBackgroundColor(std::uint32_t color) { backgroundColor = color; }
    void SetFontHeight(int height) { fontHeight = height; }
    void SetFontFace(std::u16string face) { fontFace = std::move(face); }
    void SetText(std::u16string text) { this->text = std::move(text); }

    // Rasterises `text` (up to its first NUL) on one line into `pixels` and sets `width` and
    // `height`. Returns 1; 0 with the sprite unchanged while the frame size is unset, when the
    // font cannot be created or when the text is too large to hold.
    virtual BOOL Render();
    // Blends the band, then the text, onto `frame`, clipped to it: the sprite keeps the layout
    // made for frameWidth × frameHeight and its place from the frame's top-left corner. A text
    // wider than frameWidth shows its first frameWidth columns from the frame's left edge. 0
    // without drawing while hidden, else 1. Allocates nothing.
    virtual BOOL DrawOnFrame(const FrameView& frame);
    // The same on a packed bottom-up frame of frameWidth × frameHeight.
    BOOL DrawOnFrame(BYTE* frame) {
        return DrawOnFrame(BottomUpFrame(frame, frameWidth, frameHeight));
    }

    // ---- Rendering a new text to one side (no lock held) and swapping it in (under the lock)
    // Takes every setting Render reads from `other` (frame size, font, colours, visibility,
    // place), but not its text or picture.
    virtual void CopySettingsFrom(const CSpriteTextShowBase& other);
    // Whether Render reads the same settings from both sprites, so that a text rendered by
    // `other` looks here as it would had this sprite rendered it.
    virtual bool HasSettingsOf(const CSpriteTextShowBase& other) const;
    // Exchanges text, picture, band, size and place with `other`: a text rendered to one side
    // goes live without a copy or an allocation, and the old picture leaves with `other`.
    void SwapRendering(CSpriteTextShowBase& other) noexcept;

    std::uint16_t frameWidth = 0;
    std::uint16_t frameHeight = 0;
    std::unique_ptr<BYTE[]> background; // frameWidth × height pixels of backgroundColor
    std::u16string text;
    std::u16string fontFace = kDefaultFontFace;
    std::uint32_t backgroundColor = kDefaultBackgroundColor;
    int bufferPages = 0; // capacity of `pixels` in frameWidth × frameHeight pages
    int fontHeight = kDefaultFontHeight;
    std::uint32_t textColor = 0; // low three bytes: blue, green, red in memory order
    bool visible = false;

protected:
    // The device contexts and font a render needs, released on scope exit: the screen context,
    // a compatible memory context, the font created with the fixed arguments (weight 400, not
    // italic, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY)
    // selected into it, transparent background mode and the font's text metrics.
    class FontContext {
    public:
        FontContext(const std::u16string& face, int height);
        FontContext(const FontContext&) = delete;
        FontContext& operator=(const FontContext&) = delete;
        ~FontContext();

        explicit operator bool() const { return ready_; } // false: the font cannot be created
        HDC dc() const { return memory_; }
        const TEXTMETRICW& metrics() const { return metrics_; }

    private:
        HDC screen_ = nullptr;
        HDC memory_ = nullptr;
        HFONT font_ = nullptr;
        HGDIOBJ previous_ = nullptr;
        TEXTMETRICW metrics_{};
        bool ready_ = false;
    };

    // Draws one character into `pixels` with its box's top-left at (*penX + origin x, baseline +
    // origin y), overwriting what is there and clipped to the sprite, then advances *penX by the
    // glyph's advance. *baselineRow counts memory rows up from the sprite's bottom and is only
    // read. A character the font lacks changes nothing; a blank one only advances the pen.
    void RenderGlyph(HDC dc, char16_t ch, int* penX, int* baselineRow);
    // The sum of the advances of `text` up to its first NUL; missing characters add nothing.
    int MeasureText(HDC dc, std::u16string_view text);
    // MeasureText plus the margin column on each side; the text extent plus the margins where
    // the advances add up to less than nothing.
    long long WidthWithMargins(HDC dc, std::u16string_view text);
    // Rebuilds the band: frameWidth × height pixels of backgroundColor. Returns 1.
    BOOL FillBackground();
    // Makes `pixels` hold w × h pixels, replacing it (in whole frame pages) only when too small,
    // and leaves the whole capacity zero. False with nothing changed while the frame size is
    // unset or when w × h cannot be held. Pixels must be written only through RenderGlyph.
    bool PreparePixelBuffer(long long w, long long h);
    // Whether a w × h sprite and its band fit kMaxTextSpriteBytes; check before committing a
    // layout.
    bool CanHold(long long w, long long h) const;

private:
    std::size_t CapacityBytes() const;
    void UpdatePixelTable();

    std::vector<BYTE> glyphBitmap_;             // reused between glyphs
    std::array<std::uint32_t, 256> pixelFor_{}; // coverage level → pixel in textColor
    std::uint32_t pixelForColor_ = 0;
    bool pixelForReady_ = false;
    const BYTE* trackedPixels_ = nullptr; // the buffer the two counts below describe
    std::size_t trackedCapacity_ = 0;     // its size in bytes
    std::size_t dirtyBytes_ = 0;          // bytes from its start that may be non-zero
    std::size_t bandPixels_ = 0;          // pixels in `background`
};
