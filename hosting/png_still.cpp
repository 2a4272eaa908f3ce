#include "hosting/png_still.h"

#include <png.h>

#include <cstring>

namespace hosting {

bool WritePng(const Frame& frame, const std::string& path, std::string* error) {
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() != FrameBytes(frame.width, frame.height).value_or(0)) {
        if (error) *error = "the frame has no usable size";
        return false;
    }
    // Drop the fourth byte: libpng's simplified writer takes packed BGR rows. The buffer stays
    // with the thread, so a sequence of frames allocates it once.
    thread_local std::vector<png_byte> bgr;
    bgr.resize(static_cast<std::size_t>(frame.width) * frame.height * 3);
    for (std::size_t i = 0, o = 0; i < frame.pixels.size(); i += 4, o += 3)
        std::memcpy(&bgr[o], &frame.pixels[i], 3);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(frame.width);
    image.height = static_cast<png_uint_32>(frame.height);
    image.format = PNG_FORMAT_BGR;
    image.flags = PNG_IMAGE_FLAG_FAST;
    if (!png_image_write_to_file(&image, path.c_str(), 0, bgr.data(), 0, nullptr)) {
        if (error) *error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

std::optional<Frame> ReadPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
    image.format = PNG_FORMAT_BGRA;
    auto frame = MakeFrame(static_cast<int>(image.width), static_cast<int>(image.height));
    if (!frame || PNG_IMAGE_SIZE(image) != frame->pixels.size()) {
        png_image_free(&image);
        return std::nullopt;
    }
    if (!png_image_finish_read(&image, nullptr, frame->pixels.data(), 0, nullptr))
        return std::nullopt;
    return frame;
}

} // namespace hosting
