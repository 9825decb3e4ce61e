#pragma once

// An MP4 file whose sample tables declare as many pictures as asked: one chunk of `samples` samples
// of one byte each (a fixed sample size, so no table lists them), followed by `dataBytes` bytes of
// media data. With a few bytes of data, a file of a few hundred bytes as a hostile server's video
// declares millions of pictures. Header only.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace cw::test {

inline std::string mp4DeclaringSamples(std::uint32_t samples, std::size_t dataBytes = 8) {
    auto u32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    auto u16 = [](std::uint32_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v)}; };
    auto box = [&](const char* type, std::initializer_list<std::string> parts) {
        std::string body;
        for (const auto& part : parts)
            body += part;
        return u32(static_cast<std::uint32_t>(body.size() + 8)) + type + body;
    };
    const std::string fullBoxHeader = u32(0);
    const std::string matrix = u32(0x10000) + u32(0) + u32(0) + u32(0) + u32(0x10000) + u32(0) + u32(0) + u32(0) +
                               u32(0x40000000);
    const std::string ftyp = box("ftyp", {"isom", u32(512), "isom", "iso2", "mp41"});
    const std::string mvhd = box("mvhd", {fullBoxHeader, u32(0), u32(0), u32(1000), u32(samples / 25 * 1000),
                                          u32(0x10000), u16(0x100), std::string(10, '\0'), matrix,
                                          std::string(24, '\0'), u32(2)});
    const std::string tkhd =
        box("tkhd", {u32(3), u32(0), u32(0), u32(1), u32(0), u32(samples / 25 * 1000), std::string(8, '\0'), u16(0),
                     u16(0), u16(0), u16(0), matrix, u32(64 << 16), u32(48 << 16)});
    const std::string mdhd =
        box("mdhd", {fullBoxHeader, u32(0), u32(0), u32(25), u32(samples), u16(0x55C4), u16(0)});
    const std::string hdlr = box("hdlr", {fullBoxHeader, u32(0), "vide", std::string(12, '\0'), "Video", std::string(1, '\0')});
    const std::string vmhd = box("vmhd", {u32(1), std::string(8, '\0')});
    const std::string dinf = box("dinf", {box("dref", {fullBoxHeader, u32(1), box("url ", {u32(1)})})});
    // A visual sample entry of 64 × 48 pictures in MPEG-4 Part 2, without its decoder's setup.
    const std::string mp4v = box("mp4v", {std::string(6, '\0'), u16(1), std::string(16, '\0'), u16(64), u16(48),
                                          u32(0x480000), u32(0x480000), u32(0), u16(1), std::string(32, '\0'),
                                          u16(24), u16(0xFFFF)});
    const std::string stsd = box("stsd", {fullBoxHeader, u32(1), mp4v});
    const std::string stts = box("stts", {fullBoxHeader, u32(1), u32(samples), u32(1)});
    const std::string stsc = box("stsc", {fullBoxHeader, u32(1), u32(1), u32(samples), u32(1)});
    const std::string stsz = box("stsz", {fullBoxHeader, u32(1), u32(samples)});
    const std::string data(dataBytes, '\0');
    // The chunk's offset: the moov below, then the mdat's header.
    auto moovWith = [&](std::uint32_t offset) {
        const std::string stco = box("stco", {fullBoxHeader, u32(1), u32(offset)});
        const std::string stbl = box("stbl", {stsd, stts, stsc, stsz, stco});
        const std::string minf = box("minf", {vmhd, dinf, stbl});
        const std::string mdia = box("mdia", {mdhd, hdlr, minf});
        return box("moov", {mvhd, box("trak", {tkhd, mdia})});
    };
    const std::size_t moovSize = moovWith(0).size();
    return ftyp + moovWith(static_cast<std::uint32_t>(ftyp.size() + moovSize + 8)) + box("mdat", {data});
}

} // namespace cw::test
