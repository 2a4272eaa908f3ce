#include "show/frame_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>

namespace show {

namespace {

// The largest side a baseline JPEG can carry.
constexpr int kMaxJpegSide = 65500;

// libjpeg reports fatal errors through a callback that must not return; it jumps back here.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void OnFatalError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

bool Usable(const FramePixels& frame) {
    if (!frame.firstRow || frame.width <= 0 || frame.height <= 0) return false;
    if (frame.width > kMaxJpegSide || frame.height > kMaxJpegSide) return false;
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(frame.width) * 4;
    return frame.stride >= rowBytes || -frame.stride >= rowBytes;
}

// Everything libjpeg allocates is released on every path, the jump included; the function
// keeps no C++ object with a destructor alive across setjmp.
bool Compress(const FramePixels& frame, int quality, unsigned char** out, unsigned long* size) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnFatalError;
    errors.base.output_message = IgnoreMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = static_cast<JDIMENSION>(frame.width);
    info.image_height = static_cast<JDIMENSION>(frame.height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* row =
            frame.firstRow + frame.stride * static_cast<std::ptrdiff_t>(info.next_scanline);
        JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::string EncodeJpeg(const FramePixels& frame, int quality) {
    if (!Usable(frame)) return {};
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    const bool done = Compress(frame,
                               quality < 1     ? 1
                               : quality > 100 ? 100
                                               : quality,
                               &bytes, &size);
    std::unique_ptr<unsigned char, decltype(&std::free)> owned(bytes, &std::free);
    if (!done || !bytes) return {};
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

} // namespace show
