#include "platform/gdi.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "platform/font_face.h"
#include "platform/glyph_cache.h"

// The objects behind the handles. A context holds its font by reference count, so a font
// deleted while selected stays valid for that context.
struct HFONT__ {
    std::shared_ptr<FontInstance> font;
    bool stock = false;
};

struct HDC__ {
    HFONT selected = nullptr;
    std::shared_ptr<FontInstance> font;
    int bkMode = OPAQUE;
};

namespace {

// The font a new context starts with.
constexpr int kStockFontHeight = 16;
constexpr char16_t kStockFontFace[] = u"宋体";

// Live handles, so that a stale or foreign handle is refused instead of dereferenced.
class Handles {
public:
    HDC NewContext() {
        auto dc = std::make_unique<HDC__>();
        if (HFONT stock = StockFont()) {
            dc->selected = stock;
            dc->font = stock->font;
        }
        std::lock_guard lock(mutex_);
        return *contexts_.insert(dc.release()).first;
    }

    bool DeleteContext(HDC dc) {
        std::lock_guard lock(mutex_);
        if (contexts_.erase(dc) == 0) return false;
        delete dc;
        return true;
    }

    HFONT NewFont(std::shared_ptr<FontInstance> font) {
        auto object = std::make_unique<HFONT__>();
        object->font = std::move(font);
        std::lock_guard lock(mutex_);
        return *fonts_.insert(object.release()).first;
    }

    bool DeleteFont(HFONT font) {
        std::lock_guard lock(mutex_);
        if (fonts_.count(font) == 0) return false;
        if (font->stock) return true; // stock objects are never deleted
        fonts_.erase(font);
        delete font;
        return true;
    }

    // Runs `f(dc)` under the handle lock when `dc` is live; returns false otherwise.
    template <class F>
    bool WithContext(HDC dc, F&& f) {
        std::lock_guard lock(mutex_);
        if (contexts_.count(dc) == 0) return false;
        f(*dc);
        return true;
    }

    std::shared_ptr<FontInstance> FontOf(HDC dc) {
        std::lock_guard lock(mutex_);
        return contexts_.count(dc) ? dc->font : nullptr;
    }

    HGDIOBJ Select(HDC dc, HGDIOBJ object) {
        std::lock_guard lock(mutex_);
        auto* font = static_cast<HFONT>(object);
        if (contexts_.count(dc) == 0 || fonts_.count(font) == 0) return nullptr;
        HFONT previous = dc->selected;
        dc->selected = font;
        dc->font = font->font;
        return previous;
    }

private:
    HFONT StockFont() {
        std::call_once(stockOnce_, [this] {
            auto font = OpenFont({kStockFontFace, kStockFontHeight, false, false});
            if (!font) return;
            stock_ = NewFont(std::move(font));
            stock_->stock = true;
        });
        return stock_;
    }

    std::mutex mutex_;
    std::unordered_set<HDC> contexts_;
    std::unordered_set<HFONT> fonts_;
    std::once_flag stockOnce_;
    HFONT stock_ = nullptr;
};

Handles& Objects() {
    static Handles* handles = new Handles; // never destroyed: handles may outlive static teardown
    return *handles;
}

bool IsIdentity(const MAT2& m) {
    const auto is = [](FIXED f, short value) { return f.fract == 0 && f.value == value; };
    return is(m.eM11, 1) && is(m.eM12, 0) && is(m.eM21, 0) && is(m.eM22, 1);
}

} // namespace

HDC GetDC(HWND) {
    return Objects().NewContext();
}

int ReleaseDC(HWND, HDC dc) {
    return Objects().DeleteContext(dc) ? 1 : 0;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !Objects().WithContext(dc, [](HDC__&) {})) return nullptr;
    return Objects().NewContext();
}

BOOL DeleteDC(HDC dc) {
    return Objects().DeleteContext(dc) ? TRUE : FALSE;
}

HFONT CreateFontW(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD, DWORD,
                  DWORD, DWORD, DWORD, LPCWSTR face) {
    if (height < -kMaxFontHeight || height > kMaxFontHeight) return nullptr;
    FontRequest request;
    request.face = face ? std::u16string(face) : std::u16string();
    request.height = height;
    request.bold = weight >= FW_SEMIBOLD;
    request.italic = italic != 0;
    auto font = OpenFont(request);
    return font ? Objects().NewFont(std::move(font)) : nullptr;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    return Objects().Select(dc, object);
}

BOOL DeleteObject(HGDIOBJ object) {
    return Objects().DeleteFont(static_cast<HFONT>(object)) ? TRUE : FALSE;
}

int SetBkMode(HDC dc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    int previous = 0;
    Objects().WithContext(dc, [&](HDC__& context) {
        previous = context.bkMode;
        context.bkMode = mode;
    });
    return previous;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
    if (!metrics) return FALSE;
    const auto font = Objects().FontOf(dc);
    if (!font) return FALSE;
    *metrics = font->Metrics();
    return TRUE;
}

DWORD GetGlyphOutlineW(HDC dc, UINT ch, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize,
                       LPVOID buffer, const MAT2* matrix) {
    if (!metrics || !matrix || !IsIdentity(*matrix)) return GDI_ERROR;
    if (format != GGO_METRICS && format != GGO_GRAY8_BITMAP) return GDI_ERROR;
    if (ch > 0x10FFFF) return GDI_ERROR;
    const auto font = Objects().FontOf(dc);
    if (!font) return GDI_ERROR;
    const bool wantsBitmap = format == GGO_GRAY8_BITMAP && buffer && bufferSize > 0;
    return FetchGlyph(*font, ch, wantsBitmap, [&](const GlyphImage* glyph) -> DWORD {
        if (!glyph) return GDI_ERROR;
        *metrics = glyph->metrics;
        if (format == GGO_METRICS) return 1;
        const std::size_t size = CoverageBytes(glyph->metrics);
        if (wantsBitmap) {
            if (bufferSize < size) return GDI_ERROR;
            if (size > 0) std::memcpy(buffer, glyph->coverage.data(), size);
        }
        return static_cast<DWORD>(size);
    });
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
    if (!size || count < 0 || (!text && count > 0)) return FALSE;
    const auto font = Objects().FontOf(dc);
    if (!font) return FALSE;
    long long width = 0;
    for (int i = 0; i < count; ++i) {
        FetchGlyph(*font, text[i], false, [&](const GlyphImage* glyph) -> DWORD {
            if (glyph) width += glyph->metrics.gmCellIncX;
            return 0;
        });
    }
    size->cx = static_cast<LONG>(std::clamp<long long>(width, INT_MIN, INT_MAX));
    size->cy = font->Metrics().tmHeight;
    return TRUE;
}
