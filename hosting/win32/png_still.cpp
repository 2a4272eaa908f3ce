// PNG stills through stb's single-file writer (Debian has no libpng for Windows). Only the
// Linux build reads PNGs back (its tests), so ReadPng has no Windows definition.
#include "hosting/png_still.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/file.h"
#include "platform/win32/native.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace hosting {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenFile(const std::string& path, const char16_t* mode) {
    return File(native::_wfopen(FromNativePath(path).c_str(), mode));
}

struct Output {
    std::FILE* file;
    bool ok = true;
};

void WriteBytes(void* context, void* data, int size) {
    auto* out = static_cast<Output*>(context);
    if (out->ok && size > 0)
        out->ok = std::fwrite(data, 1, static_cast<std::size_t>(size), out->file) ==
                  static_cast<std::size_t>(size);
}

} // namespace

bool WritePng(const Frame& frame, const std::string& path, std::string* error) {
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() != FrameBytes(frame.width, frame.height).value_or(0)) {
        if (error) *error = "the frame has no usable size";
        return false;
    }
    // RGB from BGRA: the fourth byte is not a picture channel in the frames the plug-in draws on.
    thread_local std::vector<unsigned char> rgb;
    rgb.resize(static_cast<std::size_t>(frame.width) * frame.height * 3);
    for (std::size_t i = 0, o = 0; i < frame.pixels.size(); i += 4, o += 3) {
        rgb[o] = frame.pixels[i + 2];
        rgb[o + 1] = frame.pixels[i + 1];
        rgb[o + 2] = frame.pixels[i];
    }
    const File file = OpenFile(path, u"wb");
    Output out{file.get()};
    if (!file ||
        !stbi_write_png_to_func(WriteBytes, &out, frame.width, frame.height, 3, rgb.data(),
                                frame.width * 3) ||
        !out.ok || std::fflush(file.get()) != 0) {
        if (error) *error = path + ": cannot be written";
        return false;
    }
    return true;
}

} // namespace hosting
