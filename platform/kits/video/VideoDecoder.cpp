#include "kits/video/VideoDecoder.h"

#include "kits/video/SampleTables.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace cw::video {

namespace {

// A stream that keeps giving damaged packets is given up on after this many in a row.
constexpr int kMaximumDamagedInARow = 64;
constexpr int kReadBufferSize = 64 * 1024;

std::string describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The containers the players play: MP4 and QuickTime, which FFmpeg reads with one demuxer. Whatever
// else a server answers a video's address with is refused before FFmpeg acts on it: an SDP
// description would have it listen on network ports, a playlist or a concat list fetch the
// sources it names.
constexpr const char* kPlayableContainers = "mov,mp4,m4a,3gp,3g2,mj2";

// The file's bytes are all a video is: the player fetched them over its request's own protocol, and
// nothing a file names (a reference to another file, a segment) is opened from here.
int refuseNestedInput(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// FFmpeg prints what it thinks of damaged input on standard error; our callers report failures
// themselves, once, in their own words.
void quietLibraryLogging() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// The file's bytes as FFmpeg's input.
struct MemoryInput {
    std::shared_ptr<const Data> bytes;
    std::int64_t position = 0;

    static int read(void* opaque, std::uint8_t* buffer, int size) {
        auto* self = static_cast<MemoryInput*>(opaque);
        const auto total = static_cast<std::int64_t>(self->bytes->size());
        const std::int64_t left = total - self->position;
        if (left <= 0 || size <= 0) return AVERROR_EOF;
        const int n = static_cast<int>(std::min<std::int64_t>(left, size));
        std::memcpy(buffer, self->bytes->data() + self->position, static_cast<std::size_t>(n));
        self->position += n;
        return n;
    }

    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto* self = static_cast<MemoryInput*>(opaque);
        const auto total = static_cast<std::int64_t>(self->bytes->size());
        std::int64_t to = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return total;
        case SEEK_SET:
            to = offset;
            break;
        case SEEK_CUR:
            to = self->position + offset;
            break;
        case SEEK_END:
            to = total + offset;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (to < 0 || to > total) return AVERROR(EINVAL);
        self->position = to;
        return to;
    }
};

} // namespace

struct VideoDecoder::Impl {
    MemoryInput input;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* decoded = nullptr;
    // The last picture decoded and not yet handed out or dropped.
    AVFrame* held = nullptr;
    bool holding = false;
    double heldTime = 0;
    int stream = -1;
    double timeBase = 0;
    std::int64_t startTime = 0;
    double lastTime = -1;
    bool draining = false;
    int damagedInARow = 0;

    ~Impl() {
        sws_freeContext(scaler);
        av_frame_free(&held);
        av_frame_free(&decoded);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
    }

    double timeOf(const AVFrame& frame, double interval) {
        const std::int64_t pts = frame.best_effort_timestamp;
        double t = pts == AV_NOPTS_VALUE ? lastTime + interval : static_cast<double>(pts - startTime) * timeBase;
        if (!std::isfinite(t)) t = lastTime + interval;
        // Presentation order never goes back in time, whatever the stream says.
        t = std::max(t, std::max(lastTime, 0.0));
        lastTime = t;
        return t;
    }

    // The next picture into `decoded`; false at the end of the stream or when it cannot go on
    // (`error` then says why).
    bool decodeNext(std::optional<std::string>& error) {
        for (;;) {
            const int received = avcodec_receive_frame(codec, decoded);
            if (received == 0) {
                damagedInARow = 0;
                return true;
            }
            if (received == AVERROR_EOF) return false;
            if (received != AVERROR(EAGAIN)) {
                // A picture that cannot be decoded: the next key frame starts clean again.
                if (++damagedInARow > kMaximumDamagedInARow) {
                    error = "the video stream is damaged (" + describe(received) + ")";
                    return false;
                }
                continue;
            }
            if (draining) return false;
            const int read = av_read_frame(format, packet);
            if (read < 0) {
                if (read != AVERROR_EOF && read != AVERROR(EIO)) error = "the file ends early (" + describe(read) + ")";
                avcodec_send_packet(codec, nullptr);
                draining = true;
                continue;
            }
            if (packet->stream_index != stream) {
                av_packet_unref(packet);
                continue;
            }
            const int sent = avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
            if (sent < 0 && sent != AVERROR(EAGAIN) && ++damagedInARow > kMaximumDamagedInARow) {
                error = "the video stream is damaged (" + describe(sent) + ")";
                return false;
            }
        }
    }

    // The held picture as an image; none when it is too large or cannot be converted.
    std::shared_ptr<UIImage> convertHeld() {
        const int w = held->width, h = held->height;
        if (w <= 0 || h <= 0 || w > kMaximumSide || h > kMaximumSide || static_cast<long>(w) * h > kMaximumPixels)
            return nullptr;
        scaler = sws_getCachedContext(scaler, w, h, static_cast<AVPixelFormat>(held->format), w, h, AV_PIX_FMT_RGB32,
                                      SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scaler) return nullptr;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return nullptr;
        }
        cairo_surface_flush(surface);
        // Native-endian ARGB with opaque alpha is Cairo's premultiplied ARGB32 as it stands.
        std::uint8_t* planes[4] = {cairo_image_surface_get_data(surface), nullptr, nullptr, nullptr};
        int strides[4] = {cairo_image_surface_get_stride(surface), 0, 0, 0};
        const int rows = sws_scale(scaler, held->data, held->linesize, 0, h, planes, strides);
        if (rows != h) {
            cairo_surface_destroy(surface);
            return nullptr;
        }
        cairo_surface_mark_dirty(surface);
        // The image takes the surface over.
        return UIImage::fromSurface(surface, 1);
    }
};

VideoDecoder::VideoDecoder() : impl_(std::make_unique<Impl>()) {}
VideoDecoder::~VideoDecoder() = default;

std::unique_ptr<VideoDecoder> VideoDecoder::open(std::shared_ptr<const Data> bytes, std::string* error) {
    quietLibraryLogging();
    auto fail = [error](std::string why) -> std::unique_ptr<VideoDecoder> {
        if (error) *error = std::move(why);
        return nullptr;
    };
    if (!bytes || bytes->empty()) return fail("the file is empty");
    // Before the demuxer indexes what the headers declare, which it does in full whatever the file
    // holds.
    if (auto why = checkSampleTables(bytes->data(), bytes->size())) return fail(*why);

    std::unique_ptr<VideoDecoder> decoder(new VideoDecoder());
    Impl& d = *decoder->impl_;
    d.input.bytes = std::move(bytes);
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kReadBufferSize));
    if (!buffer) return fail("out of memory");
    d.io = avio_alloc_context(buffer, kReadBufferSize, 0, &d.input, &MemoryInput::read, nullptr, &MemoryInput::seek);
    if (!d.io) {
        av_free(buffer);
        return fail("out of memory");
    }
    d.format = avformat_alloc_context();
    if (!d.format) return fail("out of memory");
    d.format->pb = d.io;
    d.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    d.format->io_open = &refuseNestedInput;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kPlayableContainers, 0);
    const int r = avformat_open_input(&d.format, nullptr, nullptr, &options);
    av_dict_free(&options);
    if (r < 0) {
        // The context is freed by a failed open.
        d.format = nullptr;
        return fail("the file is not a video that can be read (" + describe(r) + ")");
    }
    if (const int r = avformat_find_stream_info(d.format, nullptr); r < 0)
        return fail("the file's streams cannot be read (" + describe(r) + ")");

    const AVCodec* codec = nullptr;
    d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (d.stream < 0 || !codec) return fail("the file holds no video that can be decoded");
    AVStream* stream = d.format->streams[d.stream];
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > kMaximumSide ||
        parameters->height > kMaximumSide || static_cast<long>(parameters->width) * parameters->height > kMaximumPixels)
        return fail("the video's pictures are " + std::to_string(parameters->width) + " × " +
                    std::to_string(parameters->height) + " pixels, which is not a size that can be shown");

    d.codec = avcodec_alloc_context3(codec);
    if (!d.codec) return fail("out of memory");
    if (avcodec_parameters_to_context(d.codec, parameters) < 0) return fail("the video's codec cannot be set up");
    // One thread: the player already decodes off the main thread, and one decoder per video keeps
    // the work of several videos from competing for every core.
    d.codec->thread_count = 1;
    if (const int r = avcodec_open2(d.codec, codec, nullptr); r < 0)
        return fail("the video's codec cannot be opened (" + describe(r) + ")");
    d.packet = av_packet_alloc();
    d.decoded = av_frame_alloc();
    d.held = av_frame_alloc();
    if (!d.packet || !d.decoded || !d.held) return fail("out of memory");

    d.timeBase = av_q2d(stream->time_base);
    if (!(d.timeBase > 0) || !std::isfinite(d.timeBase)) d.timeBase = 1.0 / 90000;
    d.startTime = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;

    Info& info = decoder->info_;
    info.width = parameters->width;
    info.height = parameters->height;
    AVRational rate = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0 ? stream->avg_frame_rate
                                                                                        : stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) info.frameInterval = std::clamp(1.0 / av_q2d(rate), 1.0 / 240, 1.0);
    double duration = -1;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        duration = static_cast<double>(stream->duration) * d.timeBase;
    else if (d.format->duration != AV_NOPTS_VALUE && d.format->duration > 0)
        duration = static_cast<double>(d.format->duration) / AV_TIME_BASE;
    // A day is far beyond any video this application shows: such a number is damage, not a length.
    if (std::isfinite(duration) && duration > 0 && duration < 24 * 3600) info.duration = duration;
    return decoder;
}

std::vector<VideoFrame> VideoDecoder::framesFrom(double target, double until, std::size_t maxFrames) {
    std::vector<VideoFrame> out;
    if (ended_ || maxFrames == 0) return out;
    Impl& d = *impl_;
    auto handOut = [&] {
        const double time = d.heldTime;
        auto image = d.convertHeld();
        av_frame_unref(d.held);
        d.holding = false;
        if (image) out.push_back({time, std::move(image)});
    };
    for (;;) {
        if (!d.decodeNext(error_)) {
            if (d.holding) handOut();
            ended_ = true;
            break;
        }
        const double time = d.timeOf(*d.decoded, info_.frameInterval);
        if (d.holding) {
            // A held picture that a later one replaces before `target` is never shown.
            if (time <= target + kSameMoment)
                av_frame_unref(d.held);
            else
                handOut();
        }
        av_frame_move_ref(d.held, d.decoded);
        d.holding = true;
        d.heldTime = time;
        if (!out.empty() && (out.back().time >= until - kSameMoment || out.size() >= maxFrames)) break;
    }
    return out;
}

} // namespace cw::video
