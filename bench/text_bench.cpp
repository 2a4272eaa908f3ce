// Text sprite rendering at font height 24 on a 1280 × 720 frame, for a 30-unit and a 2,000-unit
// mixed Chinese/Latin text: the first render with a cold glyph cache, a new sprite of a text
// whose glyphs are cached (.../warm) and a re-render of the same sprite, each beside two
// references from the same run: FreeType rasterising every unit of the same text once
// (FT_Load_Char with FT_LOAD_RENDER, same font file and size), with the font layer's own load
// flags (.../reference) and unhinted (.../reference_unhinted: FT_LOAD_NO_HINTING, embedded
// bitmaps off as in the font layer, so that the same outlines are rasterised).
#include <benchmark/benchmark.h>

#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "platform/font_face.h"
#include "platform/font_load_flags.h"
#include "platform/glyph_cache.h"
#include "render/text_sprite.h"

namespace {

constexpr int kFontHeight = 24;
constexpr std::uint16_t kFrameWidth = 1280, kFrameHeight = 720;

// Mostly distinct ideographs in runs of three, between Latin words: "一丁七 abc 万丈三 ...".
std::u16string MixedText(int units) {
    static const char16_t latin[] = u"Quiz answer player score";
    std::u16string text;
    int ideograph = 0, letter = 0;
    while (static_cast<int>(text.size()) < units) {
        if (text.size() % 8 < 3)
            text += static_cast<char16_t>(0x4E00 + 3 * ideograph++);
        else
            text += latin[letter++ % (std::size(latin) - 1)];
    }
    return text;
}

class Sprite : public CSpriteTextShowBase {
public:
    explicit Sprite(const std::u16string& text) {
        SetFrameSize(kFrameWidth, kFrameHeight);
        SetFontHeight(kFontHeight);
        SetTextColor(0x00FFFFFF);
        SetText(text);
    }
};

void FirstRender(benchmark::State& state, int units) {
    const std::u16string text = MixedText(units);
    Sprite sprite(text);
    for (auto _ : state) {
        state.PauseTiming();
        ClearGlyphCache();
        state.ResumeTiming();
        benchmark::DoNotOptimize(sprite.Render());
    }
    state.SetItemsProcessed(state.iterations() * units);
}

void ReRender(benchmark::State& state, int units) {
    const std::u16string text = MixedText(units);
    Sprite sprite(text);
    sprite.Render();
    for (auto _ : state)
        benchmark::DoNotOptimize(sprite.Render());
    state.SetItemsProcessed(state.iterations() * units);
}

constexpr FT_Int32 kUnhintedLoadFlags = FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

// A new question whose characters earlier questions brought into the glyph cache: a fresh
// sprite every time, so that nothing but the glyph cache is reused.
void WarmRender(benchmark::State& state, int units) {
    const std::u16string text = MixedText(units);
    Sprite(text).Render();
    for (auto _ : state) {
        Sprite sprite(text);
        benchmark::DoNotOptimize(sprite.Render());
    }
    state.SetItemsProcessed(state.iterations() * units);
}

// FreeType alone: the same face, sized as the GDI layer sizes a cell height of 24.
void FreeTypeReference(benchmark::State& state, int units, FT_Int32 loadFlags) {
    const std::u16string text = MixedText(units);
    std::string path;
    int index = 0;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (!FindFontFile(CSpriteTextShowBase::kDefaultFontFace, &path, &index) ||
        FT_Init_FreeType(&library) != 0 || FT_New_Face(library, path.c_str(), index, &face) != 0) {
        state.SkipWithError("no CJK font");
        return;
    }
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const long cellUnits = os2 ? os2->usWinAscent + os2->usWinDescent : face->units_per_EM;
    const long ppem26_6 = (kFontHeight * 64L * face->units_per_EM + cellUnits / 2) / cellUnits;
    FT_Set_Char_Size(face, 0, ppem26_6, 72, 72);
    for (auto _ : state) {
        for (char16_t ch : text) {
            FT_Load_Char(face, ch, loadFlags | FT_LOAD_RENDER);
            benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * units);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

void Register(int units) {
    const std::string prefix = "Text/" + std::to_string(units) + "units/";
    benchmark::RegisterBenchmark((prefix + "reference").c_str(), FreeTypeReference, units,
                                 kGlyphLoadFlags)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((prefix + "reference_unhinted").c_str(), FreeTypeReference, units,
                                 kUnhintedLoadFlags)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((prefix + "first").c_str(), FirstRender, units)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((prefix + "warm").c_str(), WarmRender, units)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((prefix + "rerender").c_str(), ReRender, units)
        ->Unit(benchmark::kMicrosecond);
}

} // namespace

int main(int argc, char** argv) {
    Register(30);
    Register(2000);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
