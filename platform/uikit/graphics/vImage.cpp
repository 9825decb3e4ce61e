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
        // the source), then a sliding vertical sum of them, row by row.
        std::vector<std::uint32_t> sums(static_cast<std::size_t>(lastRow - firstRow + 1) *
                                        static_cast<std::size_t>(width) * 4);
        for (long y = firstRow; y <= lastRow; ++y) {
            const std::uint8_t* in = row(*src, static_cast<vImagePixelCount>(y));
            std::uint32_t* out = sums.data() + static_cast<std::size_t>(y - firstRow) * width * 4;
            std::uint32_t acc[4] = {0, 0, 0, 0};
            for (long k = -rx; k <= rx; ++k) {
                const std::uint8_t* p = in + clampX(ox + k) * 4;
                for (int c = 0; c < 4; ++c) acc[c] += p[c];
            }
            for (long x = 0; x < width; ++x) {
                for (int c = 0; c < 4; ++c) out[x * 4 + c] = acc[c];
                const std::uint8_t* add = in + clampX(ox + x + rx + 1) * 4;
                const std::uint8_t* drop = in + clampX(ox + x - rx) * 4;
                for (int c = 0; c < 4; ++c) acc[c] = acc[c] + add[c] - drop[c];
            }
        }
        auto sumsOf = [&](long sourceY) {
            return sums.data() + static_cast<std::size_t>(clampY(sourceY) - firstRow) * width * 4;
        };
        const std::uint64_t area = static_cast<std::uint64_t>(kernelWidth) * kernelHeight;
        std::vector<std::uint64_t> acc(static_cast<std::size_t>(width) * 4, 0);
        for (long k = -ry; k <= ry; ++k) {
            const std::uint32_t* s = sumsOf(oy + k);
            for (long i = 0; i < width * 4; ++i) acc[i] += s[i];
        }
        for (long y = 0; y < height; ++y) {
            std::uint8_t* out = mutableRow(*dest, static_cast<vImagePixelCount>(y));
            for (long i = 0; i < width * 4; ++i) out[i] = static_cast<std::uint8_t>((acc[i] + area / 2) / area);
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
    const std::int64_t half = divisor / 2;
    for (vImagePixelCount y = 0; y < src->height; ++y) {
        const std::uint8_t* in = row(*src, y);
        std::uint8_t* out = mutableRow(*dest, y);
        for (vImagePixelCount x = 0; x < src->width; ++x) {
            const std::int64_t s[4] = {in[x * 4] + pre[0], in[x * 4 + 1] + pre[1], in[x * 4 + 2] + pre[2],
                                       in[x * 4 + 3] + pre[3]};
            for (int i = 0; i < 4; ++i) {
                std::int64_t acc = post[i];
                for (int j = 0; j < 4; ++j) acc += s[j] * matrix[j * 4 + i];
                // Negative sums end at 0 whichever way they round, so only the others need care.
                const std::int64_t v = acc >= 0 ? (acc + half) / divisor : 0;
                out[x * 4 + i] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255));
            }
        }
    }
    return kvImageNoError;
}
