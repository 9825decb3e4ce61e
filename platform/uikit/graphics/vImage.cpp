#include "uikit/graphics/vImage.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

bool valid(const vImage_Buffer* b) {
    return b && b->data && b->rowBytes >= b->width * 4;
}

const std::uint8_t* row(const vImage_Buffer& b, vImagePixelCount y) {
    return static_cast<const std::uint8_t*>(b.data) + y * b.rowBytes;
}

std::uint8_t* mutableRow(const vImage_Buffer& b, vImagePixelCount y) {
    return static_cast<std::uint8_t*>(b.data) + y * b.rowBytes;
}

} // namespace

vImage_Error vImageBoxConvolve_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest, void*,
                                        vImagePixelCount offsetX, vImagePixelCount offsetY,
                                        std::uint32_t kernelHeight, std::uint32_t kernelWidth, const std::uint8_t*,
                                        vImage_Flags flags) {
    if (!valid(src) || !valid(dest)) return kvImageNullPointerArgument;
    if ((flags & (kvImageCopyInPlace | kvImageBackgroundColorFill | kvImageEdgeExtend | kvImageTruncateKernel)) !=
        kvImageEdgeExtend)
        return kvImageInvalidEdgeStyle;
    if (kernelWidth % 2 == 0 || kernelHeight % 2 == 0) return kvImageInvalidKernelSize;
    if (offsetX >= src->width && dest->width > 0) return kvImageInvalidOffset_X;
    if (offsetY >= src->height && dest->height > 0) return kvImageInvalidOffset_Y;
    if (offsetX + dest->width > src->width || offsetY + dest->height > src->height)
        return kvImageRoiLargerThanInputBuffer;
    const long width = static_cast<long>(dest->width), height = static_cast<long>(dest->height);
    if (width == 0 || height == 0) return kvImageNoError;

    const long sw = static_cast<long>(src->width), sh = static_cast<long>(src->height);
    const long rx = kernelWidth / 2, ry = kernelHeight / 2;
    const long ox = static_cast<long>(offsetX), oy = static_cast<long>(offsetY);
    auto clampX = [sw](long x) { return std::clamp(x, 0L, sw - 1); };
    auto clampY = [sh](long y) { return std::clamp(y, 0L, sh - 1); };
    // Source rows the vertical sums reach, after edge extension.
    const long firstRow = clampY(oy - ry), lastRow = clampY(oy + height - 1 + ry);

    try {
        // Horizontal sums of every needed source row (kept whole, so that the destination may be
        // the source), then a sliding vertical sum of them, row by row. Each source row is first
        // copied with its edge pixels repeated on both sides, so the sliding needs no bounds checks.
        std::vector<std::uint32_t> sums(static_cast<std::size_t>(lastRow - firstRow + 1) *
                                        static_cast<std::size_t>(width) * 4);
        std::vector<std::uint8_t> padded(static_cast<std::size_t>(width + 2 * rx + 1) * 4);
        for (long y = firstRow; y <= lastRow; ++y) {
            const std::uint8_t* in = row(*src, static_cast<vImagePixelCount>(y));
            for (long x = 0; x < width + 2 * rx + 1; ++x)
                std::copy_n(in + clampX(ox + x - rx) * 4, 4, padded.data() + x * 4);
            std::uint32_t* out = sums.data() + static_cast<std::size_t>(y - firstRow) * width * 4;
            std::uint32_t acc[4] = {0, 0, 0, 0};
            for (long k = 0; k < 2 * rx + 1; ++k)
                for (int c = 0; c < 4; ++c) acc[c] += padded[k * 4 + c];
            const std::uint8_t* drop = padded.data();
            const std::uint8_t* add = padded.data() + (2 * rx + 1) * 4;
            for (long i = 0; i < width * 4; i += 4) {
                for (int c = 0; c < 4; ++c) {
                    out[i + c] = acc[c];
                    acc[c] = acc[c] + add[i + c] - drop[i + c];
                }
            }
        }
        auto sumsOf = [&](long sourceY) {
            return sums.data() + static_cast<std::size_t>(clampY(sourceY) - firstRow) * width * 4;
        };
        const std::uint64_t area = static_cast<std::uint64_t>(kernelWidth) * kernelHeight;
        // Dividing by the area is a multiplication and a shift: with 2^40 / area rounded up, the
        // quotient is exact for every sum these boxes make while 256 × area² < 2^40.
        const bool reciprocal = area < 65536;
        const std::uint64_t multiplier = ((std::uint64_t{1} << 40) + area - 1) / area;
        std::vector<std::uint64_t> acc(static_cast<std::size_t>(width) * 4, 0);
        for (long k = -ry; k <= ry; ++k) {
            const std::uint32_t* s = sumsOf(oy + k);
            for (long i = 0; i < width * 4; ++i) acc[i] += s[i];
        }
        for (long y = 0; y < height; ++y) {
            std::uint8_t* out = mutableRow(*dest, static_cast<vImagePixelCount>(y));
            if (reciprocal) {
                for (long i = 0; i < width * 4; ++i)
                    out[i] = static_cast<std::uint8_t>(((acc[i] + area / 2) * multiplier) >> 40);
            } else {
                for (long i = 0; i < width * 4; ++i) out[i] = static_cast<std::uint8_t>((acc[i] + area / 2) / area);
            }
            const std::uint32_t* add = sumsOf(oy + y + ry + 1);
            const std::uint32_t* drop = sumsOf(oy + y - ry);
            for (long i = 0; i < width * 4; ++i) acc[i] = acc[i] + add[i] - drop[i];
        }
    } catch (const std::bad_alloc&) {
        return kvImageMemoryAllocationError;
    }
    return kvImageNoError;
}

vImage_Error vImageMatrixMultiply_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           const std::int16_t matrix[16], std::int32_t divisor,
                                           const std::int16_t* preBias, const std::int32_t* postBias,
                                           vImage_Flags) {
    if (!valid(src) || !valid(dest) || !matrix) return kvImageNullPointerArgument;
    if (divisor <= 0) return kvImageInvalidParameter;
    if (src->width != dest->width || src->height != dest->height) return kvImageRoiLargerThanInputBuffer;
    std::int32_t pre[4] = {0, 0, 0, 0}, post[4] = {0, 0, 0, 0};
    for (int c = 0; c < 4; ++c) {
        if (preBias) pre[c] = preBias[c];
        if (postBias) post[c] = postBias[c];
    }
    std::int64_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = matrix[i];
    const std::int64_t half = divisor / 2;
    // A divisor that is a power of two (256 for the saturation matrix) divides by shifting.
    int shift = -1;
    if ((divisor & (divisor - 1)) == 0)
        for (shift = 0; (1 << shift) != divisor; ++shift) {}
    auto scaled = [&](std::int64_t acc) -> std::uint8_t {
        // Negative sums end at 0 whichever way they round, so only the others need care.
        if (acc <= 0) return 0;
        const std::int64_t v = shift >= 0 ? (acc + half) >> shift : (acc + half) / divisor;
        return static_cast<std::uint8_t>(std::min<std::int64_t>(v, 255));
    };
    for (vImagePixelCount y = 0; y < src->height; ++y) {
        const std::uint8_t* in = row(*src, y);
        std::uint8_t* out = mutableRow(*dest, y);
        for (vImagePixelCount x = 0; x < src->width; ++x) {
            const std::int64_t s0 = in[x * 4] + pre[0], s1 = in[x * 4 + 1] + pre[1], s2 = in[x * 4 + 2] + pre[2],
                               s3 = in[x * 4 + 3] + pre[3];
            for (int i = 0; i < 4; ++i)
                out[x * 4 + i] = scaled(post[i] + s0 * m[i] + s1 * m[4 + i] + s2 * m[8 + i] + s3 * m[12 + i]);
        }
    }
    return kvImageNoError;
}
