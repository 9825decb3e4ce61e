#pragma once

// JPEG bytes written with libjpeg, or byte by byte, for the tests of the application and of the server
// alike.

#include <algorithm>
#include <cstdint>
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

// A progressive JPEG of `width` × `height` in three components and `scans` scans, every coefficient
// zero. Written byte by byte rather than through libjpeg, whose encoder would visit every block of
// the picture in every scan: here a scan over the blocks of one component costs a few runs of
// "nothing to the end of the band". Its first 2,647 scans are a progression a decoder takes without
// a warning (a DC scan, then every AC coefficient of every component sent at its coarsest and refined
// bit by bit); any further scan refines a component's whole AC band again, as a hostile file does:
// a decoder warns of the progression and passes over every coefficient of the component once more.
inline std::string progressiveJpegOfScans(int width, int height, int scans) {
    std::string out = "\xFF\xD8";
    auto marker = [&](unsigned char code, const std::string& body) {
        out += '\xFF';
        out += static_cast<char>(code);
        const std::size_t length = body.size() + 2;
        out += static_cast<char>(length >> 8);
        out += static_cast<char>(length & 0xFF);
        out += body;
    };
    marker(0xDB, std::string(1, '\0') + std::string(64, '\1')); // one quantisation table of ones
    std::string frame = {8,
                         static_cast<char>(height >> 8),
                         static_cast<char>(height & 0xFF),
                         static_cast<char>(width >> 8),
                         static_cast<char>(width & 0xFF),
                         3};
    for (char component = 1; component <= 3; ++component)
        frame += std::string{component, 0x11, 0};
    marker(0xC2, frame);
    // DC: one symbol (no difference) coded "0". AC: the fifteen end-of-band runs EOB0..EOB14, each in
    // four bits, its number of extra bits as its code.
    const std::string dc = std::string(1, '\x00') + '\1' + std::string(15, '\0') + '\0';
    std::string ac = std::string(1, '\x10') + std::string(3, '\0') + '\x0F' + std::string(12, '\0');
    for (int n = 0; n < 15; ++n)
        ac += static_cast<char>(n << 4);
    marker(0xC4, dc + ac);

    std::uint32_t bits = 0;
    int used = 0;
    auto put = [&](std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            bits = (bits << 1) | ((value >> i) & 1);
            if (++used == 8) {
                out += static_cast<char>(bits);
                if (bits == 0xFF) out += '\0';
                bits = 0;
                used = 0;
            }
        }
    };
    auto endScan = [&] {
        if (used) put(0x7F, 8 - used);
    };
    auto scanHeader = [&](const std::string& components, int ss, int se, int ah, int al) {
        std::string body(1, static_cast<char>(components.size()));
        for (char c : components)
            body += std::string{c, 0};
        body += std::string{static_cast<char>(ss), static_cast<char>(se), static_cast<char>(ah << 4 | al)};
        marker(0xDA, body);
    };
    const std::int64_t blocks = std::int64_t{(width + 7) / 8} * ((height + 7) / 8);
    // Nothing more in any of the component's blocks, in runs of end-of-band.
    auto nothingInAnyBlock = [&] {
        for (std::int64_t left = blocks; left > 0;) {
            const std::int64_t run = std::min<std::int64_t>(left, 32767);
            int n = 0;
            while ((std::int64_t{2} << n) <= run)
                ++n;
            put(static_cast<std::uint32_t>(n), 4);
            put(static_cast<std::uint32_t>(run - (std::int64_t{1} << n)), n);
            left -= run;
        }
        endScan();
    };

    scanHeader("\1\2\3", 0, 0, 0, 0);
    for (std::int64_t i = 0; i < blocks * 3; ++i)
        put(0, 1);
    endScan();
    int written = 1;
    for (char component = 1; component <= 3 && written < scans; ++component)
        for (int k = 1; k < 64 && written < scans; ++k)
            for (int al = 13; al >= 0 && written < scans; --al, ++written) {
                scanHeader(std::string(1, component), k, k, al == 13 ? 0 : al + 1, al);
                nothingInAnyBlock();
            }
    for (; written < scans; ++written) {
        scanHeader(std::string(1, static_cast<char>(1 + written % 3)), 1, 63, 1, 0);
        nothingInAnyBlock();
    }
    return out + "\xFF\xD9";
}

} // namespace cw::test
