#include "server/video/VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace cw::server {

namespace {

std::string describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The file being written, in memory; the MP4 muxer goes back to fill in sizes.
struct MemoryOutput {
    std::vector<std::uint8_t> bytes;
    std::int64_t position = 0;

    static int write(void* opaque, std::uint8_t* data, int size) {
        auto* self = static_cast<MemoryOutput*>(opaque);
        const auto end = static_cast<std::size_t>(self->position) + static_cast<std::size_t>(size);
        if (end > self->bytes.size()) self->bytes.resize(end);
        std::memcpy(self->bytes.data() + self->position, data, static_cast<std::size_t>(size));
        self->position += size;
        return size;
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto* self = static_cast<MemoryOutput*>(opaque);
        const auto size = static_cast<std::int64_t>(self->bytes.size());
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            self->position = offset;
            break;
        case SEEK_CUR:
            self->position += offset;
            break;
        case SEEK_END:
            self->position = size + offset;
            break;
        default:
            return AVERROR(EINVAL);
        }
        return self->position < 0 ? AVERROR(EINVAL) : self->position;
    }
};

struct Encoding {
    MemoryOutput output;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVStream* stream = nullptr;

    ~Encoding() {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        if (format) avformat_free_context(format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    // Sends a picture (none: the end) and writes what the encoder gives back.
    int send(AVFrame* picture) {
        int r = avcodec_send_frame(codec, picture);
        if (r < 0) return r;
        for (;;) {
            r = avcodec_receive_packet(codec, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
            if (r < 0) return r;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            r = av_interleaved_write_frame(format, packet);
            if (r < 0) return r;
        }
    }
};

} // namespace

std::optional<std::vector<std::uint8_t>> encodeVideo(const VideoSpec& spec, const PaintFrame& paint,
                                                     std::string* error) {
    auto fail = [error](const std::string& why) -> std::optional<std::vector<std::uint8_t>> {
        if (error) *error = why;
        return std::nullopt;
    };
    // MPEG-4 pictures come in whole 2 × 2 blocks of chroma.
    if (spec.width < 2 || spec.height < 2 || spec.width % 2 || spec.height % 2 || spec.framesPerSecond < 1 ||
        spec.frameCount < 1)
        return fail("a video needs an even size, a frame rate and at least one picture");

    Encoding e;
    constexpr int kBufferSize = 64 * 1024;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    e.io = avio_alloc_context(buffer, kBufferSize, 1, &e.output, nullptr, &MemoryOutput::write, &MemoryOutput::seek);
    if (!e.io) return fail("out of memory");
    if (avformat_alloc_output_context2(&e.format, nullptr, "mp4", nullptr) < 0 || !e.format)
        return fail("no MP4 writer");
    e.format->pb = e.io;
    e.format->flags |= AVFMT_FLAG_CUSTOM_IO;

    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!encoder) return fail("no MPEG-4 encoder");
    e.stream = avformat_new_stream(e.format, nullptr);
    e.codec = avcodec_alloc_context3(encoder);
    if (!e.stream || !e.codec) return fail("out of memory");
    e.codec->width = spec.width;
    e.codec->height = spec.height;
    e.codec->time_base = {1, spec.framesPerSecond};
    e.codec->framerate = {spec.framesPerSecond, 1};
    e.codec->pix_fmt = AV_PIX_FMT_YUV420P;
    e.codec->gop_size = std::max(spec.keyFrameInterval, 1);
    e.codec->max_b_frames = 0;
    e.codec->thread_count = 1;
    // A fixed, fine quantiser: flat areas keep their colour within a few steps.
    e.codec->flags |= AV_CODEC_FLAG_QSCALE;
    e.codec->global_quality = FF_QP2LAMBDA * 3;
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER) e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int r = avcodec_open2(e.codec, encoder, nullptr); r < 0) return fail("encoder: " + describe(r));
    if (avcodec_parameters_from_context(e.stream->codecpar, e.codec) < 0) return fail("stream parameters");
    e.stream->time_base = e.codec->time_base;
    e.stream->avg_frame_rate = e.codec->framerate;
    if (const int r = avformat_write_header(e.format, nullptr); r < 0) return fail("header: " + describe(r));

    e.frame = av_frame_alloc();
    e.packet = av_packet_alloc();
    if (!e.frame || !e.packet) return fail("out of memory");
    e.frame->format = e.codec->pix_fmt;
    e.frame->width = spec.width;
    e.frame->height = spec.height;
    if (av_frame_get_buffer(e.frame, 0) < 0) return fail("out of memory");
    e.scaler = sws_getContext(spec.width, spec.height, AV_PIX_FMT_BGR0, spec.width, spec.height, AV_PIX_FMT_YUV420P,
                              SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!e.scaler) return fail("no colour conversion");

    const int stride = spec.width * 4;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * spec.height);
    for (int i = 0; i < spec.frameCount; ++i) {
        std::fill(pixels.begin(), pixels.end(), 0);
        paint(i, FramePixels{pixels.data(), spec.width, spec.height, stride});
        if (av_frame_make_writable(e.frame) < 0) return fail("out of memory");
        const std::uint8_t* planes[1] = {pixels.data()};
        const int strides[1] = {stride};
        sws_scale(e.scaler, planes, strides, 0, spec.height, e.frame->data, e.frame->linesize);
        e.frame->pts = i;
        if (const int r = e.send(e.frame); r < 0) return fail("encoding: " + describe(r));
    }
    if (const int r = e.send(nullptr); r < 0) return fail("encoding: " + describe(r));
    if (const int r = av_write_trailer(e.format); r < 0) return fail("trailer: " + describe(r));
    avio_flush(e.io);
    return std::move(e.output.bytes);
}

namespace {

void fillRect(const FramePixels& p, int x, int y, int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const int x0 = std::clamp(x, 0, p.width), x1 = std::clamp(x + w, 0, p.width);
    const int y0 = std::clamp(y, 0, p.height), y1 = std::clamp(y + h, 0, p.height);
    for (int row = y0; row < y1; ++row)
        for (int col = x0; col < x1; ++col) {
            std::uint8_t* px = p.at(col, row);
            px[0] = b;
            px[1] = g;
            px[2] = r;
        }
}

// Segments a–g of each digit, as bits 0–6.
constexpr std::uint8_t kSegments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

void drawDigit(const FramePixels& p, int digit, int x, int y, int w, int h) {
    const int t = std::max(w / 4, 2);
    const int half = h / 2;
    const std::uint8_t on = kSegments[digit];
    const struct {
        int x, y, w, h;
    } segment[7] = {
        {x + t, y, w - 2 * t, t},                    // a: top
        {x + w - t, y + t, t, half - t},             // b: top right
        {x + w - t, y + half, t, half - t},          // c: bottom right
        {x + t, y + h - t, w - 2 * t, t},            // d: bottom
        {x, y + half, t, half - t},                  // e: bottom left
        {x, y + t, t, half - t},                     // f: top left
        {x + t, y + half - t / 2, w - 2 * t, t},     // g: middle
    };
    for (int s = 0; s < 7; ++s)
        if (on & (1u << s)) fillRect(p, segment[s].x, segment[s].y, segment[s].w, segment[s].h, 255, 255, 255);
}

} // namespace

PaintFrame countingFrames(std::uint32_t colour) {
    return [colour](int index, const FramePixels& p) {
        const double shade = 0.8 + 0.2 * std::sin(index * 0.15);
        const auto channel = [&](int shift) {
            return static_cast<std::uint8_t>(std::lround(((colour >> shift) & 0xff) * shade));
        };
        fillRect(p, 0, 0, p.width, p.height, channel(16), channel(8), channel(0));
        // A bar sweeping across once every two seconds at 25 pictures a second.
        const int barWidth = std::max(p.width / 12, 2);
        const int barX = (index % 50) * (p.width + barWidth) / 50 - barWidth;
        fillRect(p, barX, 0, barWidth, p.height, 255, 255, 255);
        // The number, up to four digits, centred.
        const std::string digits = std::to_string(index % 10000);
        const int h = p.height / 2, w = h * 11 / 20, gap = w / 3;
        const int total = static_cast<int>(digits.size()) * (w + gap) - gap;
        int x = (p.width - total) / 2;
        const int y = (p.height - h) / 2;
        fillRect(p, x - gap, y - gap, total + 2 * gap, h + 2 * gap, 0, 0, 0);
        for (char c : digits) {
            drawDigit(p, c - '0', x, y, w, h);
            x += w + gap;
        }
    };
}

} // namespace cw::server
