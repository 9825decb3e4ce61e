#pragma once

// The two image-processing passes of the platform's vImage that picture effects use, on buffers
// of four 8-bit channels per pixel (any channel order: every channel is treated alike, and the
// matrix's rows and columns follow the order in memory).
//
// - Box convolution: each destination pixel is the rounded mean of a kernel_width × kernel_height
//   box of source pixels centred on it, per channel. Only edge extension is offered (pixels
//   beyond the source's edges repeat the nearest edge pixel); the kernel's sides must be odd.
//   The destination is the region of interest, placed at the given offset in the source.
// - Matrix multiplication: each destination channel i is
//   (Σ_j (source channel j + pre_bias[j]) × matrix[4 j + i] + post_bias[i]) / divisor,
//   rounded and clamped to 0...255 (rows of the matrix are source channels, columns destination
//   channels).
//
// Source and destination may be the same buffer. Errors are returned, never thrown; a failed
// call leaves the destination untouched. Safe on any thread for buffers no other thread touches.

#include <cstddef>
#include <cstdint>

using vImagePixelCount = unsigned long;
using vImage_Error = long;
using vImage_Flags = std::uint32_t;

struct vImage_Buffer {
    void* data = nullptr;
    vImagePixelCount height = 0;
    vImagePixelCount width = 0;
    std::size_t rowBytes = 0;
};

inline constexpr vImage_Flags kvImageNoFlags = 0;
inline constexpr vImage_Flags kvImageCopyInPlace = 2;
inline constexpr vImage_Flags kvImageBackgroundColorFill = 4;
inline constexpr vImage_Flags kvImageEdgeExtend = 8;
inline constexpr vImage_Flags kvImageTruncateKernel = 64;

inline constexpr vImage_Error kvImageNoError = 0;
inline constexpr vImage_Error kvImageRoiLargerThanInputBuffer = -21766;
inline constexpr vImage_Error kvImageInvalidKernelSize = -21767;
inline constexpr vImage_Error kvImageInvalidEdgeStyle = -21768;
inline constexpr vImage_Error kvImageInvalidOffset_X = -21769;
inline constexpr vImage_Error kvImageInvalidOffset_Y = -21770;
inline constexpr vImage_Error kvImageMemoryAllocationError = -21771;
inline constexpr vImage_Error kvImageNullPointerArgument = -21772;
inline constexpr vImage_Error kvImageInvalidParameter = -21773;

// `tempBuffer` and `backgroundColor` are accepted for the platform's signature and not used.
vImage_Error vImageBoxConvolve_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest, void* tempBuffer,
                                        vImagePixelCount srcOffsetToROI_X, vImagePixelCount srcOffsetToROI_Y,
                                        std::uint32_t kernel_height, std::uint32_t kernel_width,
                                        const std::uint8_t* backgroundColor, vImage_Flags flags);

// `pre_bias` (4 values) and `post_bias` (4 values) may be null for none; `divisor` must be positive.
vImage_Error vImageMatrixMultiply_ARGB8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                           const std::int16_t matrix[16], std::int32_t divisor,
                                           const std::int16_t* pre_bias, const std::int32_t* post_bias,
                                           vImage_Flags flags);
