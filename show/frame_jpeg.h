// The output frame as the page's preview shows it: a JPEG of BGRA pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace show {

// Quality of the preview: small enough to poll several times a second on a phone.
inline constexpr int kPreviewJpegQuality = 70;

struct FramePixels {
    const std::uint8_t* firstRow = nullptr; // the top row
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // bytes from one row to the next one down; negative for bottom-up
};

// The frame as a baseline JPEG, or an empty string when the frame is unusable (no pixels, a side
// not positive or above 65500, a stride shorter than a row) or the encoder fails.
std::string EncodeJpeg(const FramePixels& frame, int quality = kPreviewJpegQuality);

} // namespace show
