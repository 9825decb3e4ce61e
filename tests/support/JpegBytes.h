#pragma once

// JPEG bytes written with libjpeg alone, for the tests of the application and of the server alike.

#include <cstdio> // before jpeglib.h, which uses FILE
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace cw::test {

// A picture of `width` × `height` in `components` (3: RGB, 4: CMYK), each row's samples written by
// `fill(y, samples)`, at libjpeg's usual quality; progressive (each scan covering the whole
// picture) when asked.
inline std::string jpegOf(int width, int height, int components, bool progressive,
                          const std::function<void(int y, unsigned char* samples)>& fill) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * components);
    JSAMPROW rows[] = {row.data()};
    while (info.next_scanline < info.image_height) {
        fill(static_cast<int>(info.next_scanline), row.data());
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return bytes;
}

} // namespace cw::test
