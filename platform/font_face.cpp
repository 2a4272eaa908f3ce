#include "platform/font_face.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <tuple>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include "platform/font_load_flags.h"
#include "platform/utf.h"

namespace {

// The family behind "宋体" and its aliases, and the fallback for faces nobody knows.
constexpr const char* kCjkFamily = "AR PL UMing CN";
constexpr const char* kCjkLanguage = "zh-cn";
constexpr std::u16string_view kSongFaces[] = {u"宋体", u"simsun", u"新宋体", u"nsimsun"};
// Generic names fontconfig answers with its own choice; any answer counts as resolved.
constexpr std::string_view kGenericFamilies[] = {"sans-serif", "serif",   "monospace", "sans",
                                                 "mono",       "cursive", "fantasy",   "system-ui"};
// The cell height a font created with height 0 gets.
constexpr int kDefaultCellHeight = 16;
// Font instances kept alive without any HFONT using them, so that a sprite creating and deleting
// its font on every render does not set the size up again each time.
constexpr std::size_t kIdleInstancesKept = 64;

std::u16string AsciiLower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

bool IsSongFace(std::u16string_view face) {
    const std::u16string lower = AsciiLower(face);
    return std::find(std::begin(kSongFaces), std::end(kSongFaces), lower) != std::end(kSongFaces);
}

// All FreeType work runs under this one lock: faces are shared between fonts and threads, and
// the library object is not safe for concurrent use.
std::mutex& FreeTypeMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

FT_Library FreeTypeLibrary() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        return lib;
    }();
    return library;
}

struct FaceFile {
    std::string path;
    int index = 0;
    auto operator<=>(const FaceFile&) const = default;
};

// One parsed font file face, opened once and shared by every size and style drawn from it.
struct SharedFace {
    FT_Face face = nullptr;
    bool bold = false;
    bool italic = false;
    // Windows measures the cell from the OS/2 table's win ascent and descent.
    long ascentUnits = 0;
    long descentUnits = 0;
};

std::optional<SharedFace> ParseFace(const FaceFile& file) {
    SharedFace shared;
    FT_Library lib = FreeTypeLibrary();
    if (!lib || FT_New_Face(lib, file.path.c_str(), file.index, &shared.face) != 0)
        return std::nullopt;
    FT_Face f = shared.face;
    if (!FT_IS_SCALABLE(f) || f->units_per_EM == 0) {
        FT_Done_Face(f);
        return std::nullopt;
    }
    shared.bold = (f->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    shared.italic = (f->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        shared.ascentUnits = os2->usWinAscent;
        shared.descentUnits = os2->usWinDescent;
    } else {
        shared.ascentUnits = std::max<long>(f->ascender, 0);
        shared.descentUnits = std::max<long>(-f->descender, 0);
    }
    if (shared.ascentUnits + shared.descentUnits <= 0) {
        shared.ascentUnits = f->units_per_EM * 4 / 5;
        shared.descentUnits = f->units_per_EM - shared.ascentUnits;
    }
    return shared;
}

long RoundDiv(long long num, long long den) {
    return static_cast<long>((num + den / 2) / den);
}

// 256 FreeType coverage levels to GDI's 65: 0 stays 0, 255 becomes 64, rounding to nearest.
const std::array<BYTE, 256>& GrayToGdiLevels() {
    static const std::array<BYTE, 256> table = [] {
        std::array<BYTE, 256> t{};
        for (int v = 0; v < 256; ++v)
            t[v] = static_cast<BYTE>((v * 64 + 127) / 255);
        return t;
    }();
    return table;
}

// An outline copied out of FreeType's glyph slot, with the box it was measured in.
class FreeTypeOutline final : public GlyphOutline {
public:
    FreeTypeOutline(const FT_Outline& source, long left, long bottom)
        : points_(source.points, source.points + source.n_points),
          tags_(source.tags, source.tags + source.n_points),
          contours_(source.contours, source.contours + source.n_contours), flags_(source.flags),
          left_(left), bottom_(bottom) {}

    std::size_t Bytes() const override {
        return sizeof(*this) + points_.size() * (sizeof(FT_Vector) + 1) +
               contours_.size() * sizeof(short);
    }
    // A FreeType view of the copy; valid while this object lives.
    FT_Outline View() {
        FT_Outline o{};
        o.n_points = static_cast<short>(points_.size());
        o.n_contours = static_cast<short>(contours_.size());
        o.points = points_.data();
        o.tags = tags_.data();
        o.contours = contours_.data();
        o.flags = flags_;
        return o;
    }
    long left() const { return left_; }
    long bottom() const { return bottom_; }

private:
    std::vector<FT_Vector> points_;
    std::vector<char> tags_;
    std::vector<short> contours_;
    int flags_;
    long left_, bottom_;
};

class FreeTypeFont final : public FontInstance {
public:
    FreeTypeFont(std::uint32_t id, std::shared_ptr<SharedFace> face, FT_Size size,
                 TEXTMETRICW metrics, bool embolden, bool oblique)
        : FontInstance(id), face_(std::move(face)), size_(size), metrics_(metrics),
          embolden_(embolden), oblique_(oblique) {}
    ~FreeTypeFont() override {
        std::lock_guard lock(FreeTypeMutex());
        FT_Done_Size(size_);
    }

    TEXTMETRICW Metrics() const override { return metrics_; }

    bool LoadGlyph(char32_t ch, bool withCoverage, GlyphImage& out) override {
        std::lock_guard lock(FreeTypeMutex());
        if (withCoverage && out.outline) {
            auto* kept = static_cast<FreeTypeOutline*>(out.outline.get());
            FT_Outline view = kept->View();
            Rasterise(view, kept->left(), kept->bottom(), out);
            out.outline.reset();
            return true;
        }
        FT_Face f = face_->face;
        const FT_UInt index = FT_Get_Char_Index(f, ch);
        if (index == 0 || FT_Activate_Size(size_) != 0) return false;
        if (FT_Load_Glyph(f, index, kGlyphLoadFlags) != 0) return false;
        FT_GlyphSlot slot = f->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
        if (embolden_) FT_GlyphSlot_Embolden(slot);
        if (oblique_) FT_GlyphSlot_Oblique(slot);
        return Describe(slot, withCoverage, out);
    }

private:
    // Metrics from the outline's pixel-aligned bounding box; coverage rendered straight into
    // the padded GDI layout, or the outline kept for that.
    static bool Describe(FT_GlyphSlot slot, bool withCoverage, GlyphImage& out) {
        FT_Outline& outline = slot->outline;
        FT_BBox box{};
        FT_Outline_Get_CBox(&outline, &box);
        const long left = box.xMin >> 6, bottom = box.yMin >> 6;
        const long right = (box.xMax + 63) >> 6, top = (box.yMax + 63) >> 6;
        const long advance = (slot->advance.x + 32) >> 6;
        out = GlyphImage{};
        out.metrics.gmCellIncX = static_cast<short>(std::clamp<long>(advance, SHRT_MIN, SHRT_MAX));
        if (outline.n_points == 0 || right <= left || top <= bottom) {
            out.hasCoverage = true; // blank: nothing to draw
            return true;
        }
        const long boxWidth = right - left, boxHeight = top - bottom;
        if (boxWidth > 65535 || boxHeight > 65535 ||
            CoverageRowBytes(static_cast<UINT>(boxWidth)) >
                kMaxGlyphBytes / static_cast<std::size_t>(boxHeight))
            return false;
        out.metrics.gmBlackBoxX = static_cast<UINT>(boxWidth);
        out.metrics.gmBlackBoxY = static_cast<UINT>(boxHeight);
        out.metrics.gmptGlyphOrigin = {static_cast<LONG>(left), static_cast<LONG>(top)};
        if (withCoverage)
            Rasterise(outline, left, bottom, out);
        else
            out.outline = std::make_unique<FreeTypeOutline>(outline, left, bottom);
        return true;
    }

    static void Rasterise(FT_Outline& outline, long left, long bottom, GlyphImage& out) {
        const std::size_t rowBytes = CoverageRowBytes(out.metrics.gmBlackBoxX);
        out.coverage.assign(rowBytes * out.metrics.gmBlackBoxY, 0);
        FT_Bitmap target{};
        target.rows = out.metrics.gmBlackBoxY;
        target.width = out.metrics.gmBlackBoxX;
        target.pitch = static_cast<int>(rowBytes); // positive pitch: top row first
        target.buffer = out.coverage.data();
        target.num_grays = 256;
        target.pixel_mode = FT_PIXEL_MODE_GRAY;
        FT_Outline_Translate(&outline, -left * 64, -bottom * 64);
        FT_Outline_Get_Bitmap(FreeTypeLibrary(), &outline, &target);
        const auto& levels = GrayToGdiLevels();
        for (BYTE& b : out.coverage)
            b = levels[b];
        out.hasCoverage = true;
    }

    std::shared_ptr<SharedFace> face_;
    FT_Size size_;
    TEXTMETRICW metrics_;
    bool embolden_;
    bool oblique_;
};

// Cell metrics for a GDI height: a positive height is the cell (win ascent + win descent) and
// is kept exactly; a negative one is the em.
TEXTMETRICW CellMetrics(const SharedFace& shared, int height, bool bold, bool italic,
                        long* ppem26_6) {
    const FT_Face f = shared.face;
    const long long cellUnits = shared.ascentUnits + shared.descentUnits;
    TEXTMETRICW tm{};
    if (height == 0) height = kDefaultCellHeight;
    long long emPixels64;
    if (height > 0) {
        emPixels64 = RoundDiv(static_cast<long long>(height) * 64 * f->units_per_EM, cellUnits);
        tm.tmAscent = static_cast<LONG>(
            RoundDiv(static_cast<long long>(height) * shared.ascentUnits, cellUnits));
        tm.tmDescent = height - tm.tmAscent;
    } else {
        const long long em = -static_cast<long long>(height);
        emPixels64 = em * 64;
        tm.tmAscent = static_cast<LONG>(RoundDiv(em * shared.ascentUnits, f->units_per_EM));
        tm.tmDescent = static_cast<LONG>(RoundDiv(em * shared.descentUnits, f->units_per_EM));
    }
    *ppem26_6 = static_cast<long>(std::max<long long>(emPixels64, 1));
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - static_cast<LONG>(emPixels64 / 64));
    const auto scale = [&](long units) {
        return static_cast<LONG>(RoundDiv(static_cast<long long>(units) * emPixels64,
                                          static_cast<long long>(f->units_per_EM) * 64));
    };
    tm.tmMaxCharWidth = scale(f->max_advance_width);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    tm.tmAveCharWidth =
        os2 && os2->xAvgCharWidth > 0 ? scale(os2->xAvgCharWidth) : tm.tmMaxCharWidth / 2;
    tm.tmWeight = bold ? FW_BOLD : FW_NORMAL;
    tm.tmItalic = italic ? 1 : 0;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = u' ';
    tm.tmLastChar = 0xFFFF;
    tm.tmDefaultChar = u'?';
    tm.tmBreakChar = u' ';
    tm.tmCharSet = static_cast<BYTE>(DEFAULT_CHARSET);
    return tm;
}

// ---- Face names to files, through fontconfig ----

// Family names compare as fontconfig compares them: ASCII case and blanks do not count.
bool SameFamilyName(const FcChar8* a, const FcChar8* b) {
    const auto next = [](const FcChar8*& p) {
        while (*p == ' ')
            ++p;
        const int c = *p ? *p++ : 0;
        return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    };
    for (;;) {
        const int ca = next(a), cb = next(b);
        if (ca != cb) return false;
        if (ca == 0) return true;
    }
}

// fontconfig is set up on first use and torn down at exit, which frees the caches it keeps
// for the process (default languages, program name, configuration).
bool FcInitialised() {
    static const bool ok = [] {
        if (FcInit() != FcTrue) return false;
        std::atexit(FcFini);
        return true;
    }();
    return ok;
}

// The file fontconfig picks for a pattern, or nothing. With `requireFamily`, the pick must be
// one of the families the request named or fontconfig aliased strongly to it (e.g. a metric
// clone); fontconfig's last-resort default does not count.
std::optional<FaceFile> Match(FcPattern* pattern, bool requireFamily) {
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    if (!FcConfigSubstitute(nullptr, pattern, FcMatchPattern)) return std::nullopt;
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (!match) return std::nullopt;
    std::optional<FaceFile> file;
    FcBool outline = FcFalse;
    FcChar8* path = nullptr;
    int index = 0;
    bool named = !requireFamily;
    for (int i = 0; !named; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, i, &family) != FcResultMatch) break;
        for (int j = 0; !named; ++j) {
            FcValue wanted;
            FcValueBinding binding;
            if (FcPatternGetWithBinding(pattern, FC_FAMILY, j, &wanted, &binding) != FcResultMatch)
                break;
            named = binding != FcValueBindingWeak && wanted.type == FcTypeString &&
                    SameFamilyName(wanted.u.s, family);
        }
    }
    if (named && FcPatternGetBool(match, FC_OUTLINE, 0, &outline) == FcResultMatch && outline &&
        FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        file = FaceFile{reinterpret_cast<const char*>(path), index};
    }
    FcPatternDestroy(match);
    return file;
}

std::optional<FaceFile> MatchFamily(const std::string& family, bool bold, bool italic,
                                    bool requireFamily) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    auto file = Match(pattern, requireFamily);
    FcPatternDestroy(pattern);
    return file;
}

// The Song-style CJK font; failing that any font covering simplified Chinese; failing that any
// outline font at all.
std::optional<FaceFile> MatchCjk(bool bold, bool italic) {
    if (auto file = MatchFamily(kCjkFamily, bold, italic, true)) return file;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(kCjkLanguage));
    auto file = Match(pattern, false);
    FcPatternDestroy(pattern);
    return file ? file : MatchFamily("sans-serif", bold, italic, false);
}

std::optional<FaceFile> ResolveFace(std::u16string_view face, bool bold, bool italic) {
    if (!FcInitialised()) return std::nullopt;
    if (face.empty() || IsSongFace(face)) return MatchCjk(bold, italic);
    const std::string family = Utf16ToUtf8(face);
    std::string lower = family;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const bool generic = std::find(std::begin(kGenericFamilies), std::end(kGenericFamilies),
                                   lower) != std::end(kGenericFamilies);
    if (auto file = MatchFamily(family, bold, italic, !generic)) return file;
    return MatchCjk(bold, italic);
}

// ---- The registry: names resolved once, files parsed once, instances shared ----

class FontRegistry {
public:
    std::shared_ptr<FontInstance> Open(const FontRequest& request) {
        std::lock_guard lock(mutex_);
        const std::string style = "@" + std::to_string(request.height) + (request.bold ? "b" : "") +
                                  (request.italic ? "i" : "");
        if (auto it = factories_.find(request.face); it != factories_.end()) {
            const std::string key = "factory:" + Utf16ToUtf8(request.face) + style;
            return Share(key, [&](std::uint32_t id) { return it->second(request, id); });
        }
        const auto file = Resolve(request);
        if (!file) return nullptr;
        const std::string key = file->path + "#" + std::to_string(file->index) + style;
        return Share(key, [&](std::uint32_t id) { return OpenFreeType(*file, request, id); });
    }

    void Register(const std::u16string& face, FontFactory factory) {
        std::lock_guard lock(mutex_);
        if (factory)
            factories_[face] = factory;
        else
            factories_.erase(face);
    }

private:
    template <class Make>
    std::shared_ptr<FontInstance> Share(const std::string& key, Make make) {
        if (auto it = instances_.find(key); it != instances_.end()) return it->second;
        auto [idIt, added] = ids_.try_emplace(key, static_cast<std::uint32_t>(ids_.size() + 1));
        std::shared_ptr<FontInstance> instance = make(idIt->second);
        if (!instance) return nullptr;
        DropIdleInstances();
        instances_.emplace(key, instance);
        return instance;
    }

    void DropIdleInstances() {
        if (instances_.size() < kIdleInstancesKept) return;
        std::erase_if(instances_, [](const auto& entry) { return entry.second.use_count() == 1; });
    }

    std::optional<FaceFile> Resolve(const FontRequest& request) {
        const auto key = std::make_tuple(AsciiLower(request.face), request.bold, request.italic);
        if (auto it = resolved_.find(key); it != resolved_.end()) return it->second;
        auto file = ResolveFace(request.face, request.bold, request.italic);
        if (file) resolved_.emplace(key, *file);
        return file;
    }

    std::shared_ptr<FontInstance> OpenFreeType(const FaceFile& file, const FontRequest& request,
                                               std::uint32_t id) {
        std::lock_guard ftLock(FreeTypeMutex());
        std::shared_ptr<SharedFace>& shared = faces_[file];
        if (!shared) {
            auto parsed = ParseFace(file);
            if (!parsed) {
                faces_.erase(file);
                return nullptr;
            }
            shared = std::make_shared<SharedFace>(*parsed);
        }
        long ppem = 0;
        const TEXTMETRICW tm =
            CellMetrics(*shared, request.height, request.bold, request.italic, &ppem);
        FT_Size size = nullptr;
        if (FT_New_Size(shared->face, &size) != 0) return nullptr;
        if (FT_Activate_Size(size) != 0 || FT_Set_Char_Size(shared->face, 0, ppem, 72, 72) != 0) {
            FT_Done_Size(size);
            return nullptr;
        }
        return std::make_shared<FreeTypeFont>(id, shared, size, tm, request.bold && !shared->bold,
                                              request.italic && !shared->italic);
    }

    std::mutex mutex_;
    std::map<std::u16string, FontFactory> factories_;
    std::map<std::tuple<std::u16string, bool, bool>, FaceFile> resolved_;
    std::map<FaceFile, std::shared_ptr<SharedFace>> faces_; // parsed files, kept for good
    std::map<std::string, std::uint32_t> ids_;
    std::map<std::string, std::shared_ptr<FontInstance>> instances_;
};

// Never destroyed: fonts may still be in use while static objects are torn down at exit.
FontRegistry& Registry() {
    static FontRegistry* registry = new FontRegistry;
    return *registry;
}

} // namespace

std::shared_ptr<FontInstance> OpenFont(const FontRequest& request) {
    return Registry().Open(request);
}

void RegisterFontFace(const std::u16string& face, FontFactory factory) {
    Registry().Register(face, factory);
}

bool FindFontFile(std::u16string_view face, std::string* path, int* index) {
    const auto file = ResolveFace(face, false, false);
    if (!file) return false;
    *path = file->path;
    *index = file->index;
    return true;
}
