#pragma once

#include "tests/support/JpegBytes.h"
#include "uikit/graphics/UIImage.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

namespace cw::test {

// PNG bytes of a picture of one colour (ARGB, opaque unless the alpha byte says otherwise).
inline Data pngOfColor(int width, int height, std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, argb);
    return *UIImage::fromPixels(width, height, 1, pixels.data())->pngData();
}

// PNG bytes of an opaque picture whose left half is `left` and right half `right` (RGB), written a
// row at a time: a picture of many megapixels in a few hundred kilobytes, as a camera's flat
// picture or a hostile server sends it, without the test holding its pixels.
inline Data pngOfTwoHalves(int width, int height, std::uint32_t left, std::uint32_t right, bool interlaced = false) {
    Data out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            auto* bytes = static_cast<Data*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t c = x < width / 2 ? left : right;
        row[x * 3] = (c >> 16) & 0xFF, row[x * 3 + 1] = (c >> 8) & 0xFF, row[x * 3 + 2] = c & 0xFF;
    }
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y)
            png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// `size` bytes that start as a PNG does, then zeros, gzip-compressed (a few kilobytes per
// megabyte).
inline std::string gzippedPNGStart(std::size_t size) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string in(size, '\0');
    const char signature[] = "\x89PNG\r\n\x1a\n";
    in.replace(0, 8, signature, 8);
    std::string out(deflateBound(&z, size), '\0');
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// JPEG bytes of a progressive picture of one colour (each of its scans covers the whole picture, so
// a decoder keeps every coefficient until the last): in colour with its chroma halved each way
// (three components), or CMYK at full size (four). Encoding a large one takes the encoder's memory
// too: tests that only need the size declared use withDeclaredSize().
inline Data progressiveJPEG(int width, int height, int components) {
    const std::string bytes = jpegOf(width, height, components, true, [&](int, unsigned char* samples) {
        std::fill_n(samples, static_cast<std::size_t>(width) * components, 0xA0);
    });
    return Data(bytes.begin(), bytes.end());
}

// The same JPEG declaring another size in its frame header: a file of a few hundred bytes that a
// decoder reads as a picture of `width` × `height`, as a hostile server sends one (its scans end
// early; a decoder fills the rest).
inline Data withDeclaredSize(Data jpeg, int width, int height) {
    for (std::size_t at = 2; at + 9 <= jpeg.size(); ++at) {
        if (jpeg[at] != 0xFF || (jpeg[at + 1] != 0xC0 && jpeg[at + 1] != 0xC2)) continue;
        jpeg[at + 5] = static_cast<std::uint8_t>(height >> 8), jpeg[at + 6] = static_cast<std::uint8_t>(height);
        jpeg[at + 7] = static_cast<std::uint8_t>(width >> 8), jpeg[at + 8] = static_cast<std::uint8_t>(width);
        break;
    }
    return jpeg;
}

inline std::string asText(const Data& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace cw::test
