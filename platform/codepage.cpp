#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Windows code pages and the glibc iconv names that convert them. Code pages without an iconv
// counterpart (the Mac, ISCII and teletext families, HZ, DOS-720, ...) are simply absent.
struct CodePageName {
    UINT codePage;
    const char* iconvName;
};
constexpr CodePageName kCodePageNames[] = {
    {154, "PT154"},
    {437, "CP437"},
    {708, "ASMO-708"},
    {737, "CP737"},
    {775, "CP775"},
    {850, "CP850"},
    {852, "CP852"},
    {855, "CP855"},
    {857, "CP857"},
    {858, "CP858"},
    {860, "CP860"},
    {861, "CP861"},
    {862, "CP862"},
    {863, "CP863"},
    {864, "CP864"},
    {865, "CP865"},
    {866, "CP866"},
    {869, "CP869"},
    {874, "WINDOWS-874"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1125, "CP1125"},
    {1133, "CP1133"},
    {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"},
    {10017, "MACUKRAINIAN"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},
    {20106, "ISO646-DE"},
    {20107, "ISO646-SE"},
    {20108, "ISO646-NO"},
    {20127, "ANSI_X3.4-1968"},
    {20261, "T.61-8BIT"},
    {20269, "ISO_6937"},
    {20866, "KOI8-R"},
    {20932, "EUC-JP"},
    {20936, "EUC-CN"},
    {20949, "EUC-KR"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},
    {51932, "EUC-JP"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
};

// Locale codesets (as nl_langinfo names them) and their Windows code pages.
struct CodesetCodePage {
    const char* codeset;
    UINT codePage;
};
constexpr CodesetCodePage kCodesets[] = {
    {"UTF-8", CP_UTF8},    {"GB2312", 936},       {"GBK", 936},          {"GB18030", 54936},
    {"BIG5", 950},         {"BIG5-HKSCS", 950},   {"EUC-JP", 20932},     {"SHIFT_JIS", 932},
    {"EUC-KR", 51949},     {"EUC-TW", 950},       {"ISO-8859-1", 28591}, {"ISO-8859-2", 28592},
    {"ISO-8859-5", 28595}, {"ISO-8859-7", 28597}, {"ISO-8859-9", 28599}, {"ISO-8859-15", 28605},
    {"KOI8-R", 20866},     {"KOI8-U", 21866},     {"CP1251", 1251},      {"CP1252", 1252},
    {"TIS-620", 874},
};

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::size_t kChunkUnits = 4096;

const char* IconvName(UINT codePage) {
    for (const auto& entry : kCodePageNames)
        if (entry.codePage == codePage) return entry.iconvName;
    return nullptr;
}

// Each table entry is tried once, in both directions, the first time anyone asks.
const std::vector<UINT>& ConvertibleCodePages() {
    static const std::vector<UINT> convertible = [] {
        std::vector<UINT> pages{CP_UTF8};
        for (const auto& entry : kCodePageNames) {
            iconv_t in = iconv_open("UTF-16LE", entry.iconvName);
            iconv_t out = iconv_open(entry.iconvName, "UTF-16LE");
            if (in != reinterpret_cast<iconv_t>(-1) && out != reinterpret_cast<iconv_t>(-1))
                pages.push_back(entry.codePage);
            if (in != reinterpret_cast<iconv_t>(-1)) iconv_close(in);
            if (out != reinterpret_cast<iconv_t>(-1)) iconv_close(out);
        }
        return pages;
    }();
    return convertible;
}

UINT CodePageOfCodeset(std::string_view codeset) {
    for (const auto& entry : kCodesets)
        if (codeset == entry.codeset) return entry.codePage;
    return 0;
}

// The codeset of the locale the environment names, read without touching the process's locale.
UINT LocaleCodePage() {
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return 0;
    const UINT codePage = CodePageOfCodeset(nl_langinfo_l(CODESET, locale));
    freelocale(locale);
    return codePage;
}

UINT ResolveCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP ? GetACP()
                                                                                   : codePage;
}

// Where converted units go: counted only, or copied into a caller's buffer of known size.
template <typename Unit>
class Sink {
public:
    Sink(Unit* dst, std::size_t capacity) : dst_(dst), capacity_(capacity) {}
    void Put(const Unit* units, std::size_t n) {
        if (dst_) {
            if (n > capacity_ - count_) {
                overflow_ = true;
                return;
            }
            std::memcpy(dst_ + count_, units, n * sizeof(Unit));
        }
        count_ += n;
    }
    void Put(Unit unit) { Put(&unit, 1); }
    bool Overflow() const { return overflow_; }
    std::size_t Count() const { return count_; }

private:
    Unit* dst_;
    std::size_t capacity_;
    std::size_t count_ = 0;
    bool overflow_ = false;
};

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The length of a well-formed UTF-8 sequence at `s`, or of its maximal invalid subpart
// (negated), so that each subpart becomes one U+FFFD as Windows and the Unicode standard do.
int Utf8Sequence(const unsigned char* s, std::size_t n, char32_t& c) {
    const unsigned char b = s[0];
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (b < 0x80) {
        c = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        length = 2, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, c = b & 0x0F;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F; // no encoded surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, c = b & 0x07;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<std::size_t>(i) >= n) return -i;
        const unsigned char t = s[i];
        if (i == 1 ? (t < low || t > high) : !IsContinuation(t)) return -i;
        c = (c << 6) | (t & 0x3F);
    }
    return length;
}

// Widens the ASCII bytes at `s` into `dst` sixteen at a time while there are `n` of them, and
// answers how many it took (a multiple of sixteen).
std::size_t WidenAscii(const unsigned char* s, std::size_t n, char16_t* dst) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        if (_mm_movemask_epi8(bytes) != 0) break; // a byte of a multi-byte sequence
        if (dst) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(bytes, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8),
                             _mm_unpackhi_epi8(bytes, zero));
        }
    }
#else
    (void)s, (void)n, (void)dst;
#endif
    return i;
}

// Decodes straight into `dst` (or only counts, when it is null), sixteen or eight ASCII bytes
// at a time where it can. False on an invalid sequence when `strict`, or when `dst` is too
// small.
bool DecodeUtf8(const unsigned char* s, std::size_t n, bool strict, char16_t* dst,
                std::size_t capacity, std::size_t& count) {
    std::size_t i = 0, out = 0;
    const bool write = dst != nullptr;
    while (i < n) {
        const std::size_t ascii = WidenAscii(s + i, std::min(n - i, write ? capacity - out : n - i),
                                             write ? dst + out : nullptr);
        i += ascii, out += ascii;
        if (i == n) break;
        if (i + 8 <= n && (!write || capacity - out >= 8)) {
            std::uint64_t word;
            std::memcpy(&word, s + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                if (write)
                    for (int k = 0; k < 8; ++k)
                        dst[out + k] = s[i + k];
                i += 8, out += 8;
                continue;
            }
        }
        char32_t c;
        const int length = Utf8Sequence(s + i, n - i, c);
        if (length < 0) {
            if (strict) return false;
            c = kReplacement;
            i += static_cast<std::size_t>(-length);
        } else {
            i += static_cast<std::size_t>(length);
        }
        const std::size_t units = c >= 0x10000 ? 2 : 1;
        if (write) {
            if (capacity - out < units) return false;
            if (units == 2) {
                c -= 0x10000;
                dst[out] = static_cast<char16_t>(0xD800 + (c >> 10));
                dst[out + 1] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            } else {
                dst[out] = static_cast<char16_t>(c);
            }
        }
        out += units;
    }
    count = out;
    return true;
}

bool EncodeUtf8(const char16_t* s, std::size_t n, bool strict, Sink<char>& out) {
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            if (strict) return false;
            c = kReplacement;
        }
        char bytes[4];
        std::size_t length;
        if (c < 0x80) {
            bytes[0] = static_cast<char>(c), length = 1;
        } else if (c < 0x800) {
            bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            bytes[1] = static_cast<char>(0x80 | (c & 0x3F)), length = 2;
        } else if (c < 0x10000) {
            bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | (c & 0x3F)), length = 3;
        } else {
            bytes[0] = static_cast<char>(0xF0 | (c >> 18));
            bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[3] = static_cast<char>(0x80 | (c & 0x3F)), length = 4;
        }
        out.Put(bytes, length);
    }
    return true;
}

// One iconv descriptor per conversion call: descriptors carry state and are not thread-safe.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (Valid()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts with iconv in chunks. On a sequence iconv rejects, `onInvalid` decides: it returns
// how many input bytes to skip (having put a replacement into the sink), or 0 to fail.
template <typename Unit, typename OnInvalid>
bool ConvertWithIconv(const char* to, const char* from, const char* src, std::size_t n,
                      Sink<Unit>& out, OnInvalid onInvalid) {
    IconvHandle cd(to, from);
    if (!cd.Valid()) return false;
    char* in = const_cast<char*>(src);
    std::size_t inLeft = n;
    Unit chunk[kChunkUnits];
    bool flushing = false;
    for (;;) {
        char* outPtr = reinterpret_cast<char*>(chunk);
        std::size_t outLeft = sizeof(chunk);
        // After the input, one call with no input flushes a stateful encoder's closing shift.
        const std::size_t result = flushing ? iconv(cd.Get(), nullptr, nullptr, &outPtr, &outLeft)
                                            : iconv(cd.Get(), &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.Put(chunk, (sizeof(chunk) - outLeft) / sizeof(Unit));
        if (result != static_cast<std::size_t>(-1)) {
            if (flushing) return true;
            if (inLeft == 0) flushing = true;
            continue;
        }
        if (error == E2BIG) continue;
        if (flushing) return true;
        // EILSEQ: an invalid or unconvertible sequence; EINVAL: one cut short by the end.
        const std::size_t skip = onInvalid(in, inLeft, error == EINVAL);
        if (skip == 0) return false;
        in += skip;
        inLeft -= skip;
        if (inLeft == 0) flushing = true;
    }
}

bool ValidArguments(const void* src, int srcLen, const void* dst, int dstLen) {
    return src && srcLen >= -1 && srcLen != 0 && dstLen >= 0 && (dstLen == 0 || dst);
}

int Finish(bool converted, std::size_t count, bool overflow) {
    if (!converted || overflow || count > static_cast<std::size_t>(INT_MAX)) return 0;
    return static_cast<int>(count);
}

} // namespace

UINT GetACP() {
    if (const char* value = std::getenv("ASKGAME_ACP")) {
        char* end = nullptr;
        const unsigned long codePage = std::strtoul(value, &end, 10);
        if (end != value && *end == '\0' && codePage <= UINT_MAX &&
            IsValidCodePage(static_cast<UINT>(codePage)))
            return static_cast<UINT>(codePage);
    }
    if (const UINT codePage = LocaleCodePage()) return codePage;
    return CP_UTF8;
}

BOOL IsValidCodePage(UINT codePage) {
    const auto& pages = ConvertibleCodePages();
    return std::find(pages.begin(), pages.end(), codePage) != pages.end() ? TRUE : FALSE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst,
                        int dstLen) {
    if (!ValidArguments(src, srcLen, dst, dstLen)) return 0;
    codePage = ResolveCodePage(codePage);
    if (!IsValidCodePage(codePage)) return 0;
    const std::size_t n = srcLen == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcLen);
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
    Sink<char16_t> out(dstLen ? dst : nullptr, static_cast<std::size_t>(dstLen));
    bool converted;
    if (codePage == CP_UTF8) {
        std::size_t count = 0;
        const bool decoded =
            DecodeUtf8(reinterpret_cast<const unsigned char*>(src), n, strict,
                       dstLen ? dst : nullptr, static_cast<std::size_t>(dstLen), count);
        return Finish(decoded, count, false);
    } else {
        converted =
            ConvertWithIconv("UTF-16LE", IconvName(codePage), src, n, out,
                             [&](const char*, std::size_t left, bool cutShort) -> std::size_t {
                                 if (strict) return 0;
                                 out.Put(kReplacement);
                                 return cutShort ? left : 1;
                             });
    }
    return Finish(converted, out.Count(), out.Overflow());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstLen,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    if (!ValidArguments(src, srcLen, dst, dstLen)) return 0;
    codePage = ResolveCodePage(codePage);
    if (!IsValidCodePage(codePage)) return 0;
    const bool unicode = codePage == CP_UTF8 || codePage == CP_UTF7;
    if (unicode && (defaultChar || usedDefault)) return 0;
    std::size_t n = 0;
    if (srcLen == -1) {
        while (src[n])
            ++n;
        ++n;
    } else {
        n = static_cast<std::size_t>(srcLen);
    }
    if (usedDefault) *usedDefault = FALSE;
    Sink<char> out(dstLen ? dst : nullptr, static_cast<std::size_t>(dstLen));
    bool converted;
    if (codePage == CP_UTF8) {
        converted = EncodeUtf8(src, n, (flags & WC_ERR_INVALID_CHARS) != 0, out);
    } else {
        const std::string_view fallback =
            defaultChar && *defaultChar ? std::string_view(defaultChar, strnlen(defaultChar, 2))
                                        : std::string_view("?");
        converted = ConvertWithIconv(
            IconvName(codePage), "UTF-16LE", reinterpret_cast<const char*>(src),
            n * sizeof(char16_t), out, [&](const char* at, std::size_t left, bool) -> std::size_t {
                out.Put(fallback.data(), fallback.size());
                if (usedDefault) *usedDefault = TRUE;
                if (left < sizeof(char16_t)) return left;
                char16_t units[2] = {};
                std::memcpy(units, at, std::min<std::size_t>(left, sizeof units));
                // A whole surrogate pair is one character the code page lacks.
                const bool pair = left >= sizeof units && units[0] >= 0xD800 && units[0] < 0xDC00 &&
                                  units[1] >= 0xDC00 && units[1] < 0xE000;
                return pair ? 4 : 2;
            });
    }
    return Finish(converted, out.Count(), out.Overflow());
}
