#include "core/VideoFrameReader.h"

#include <QFile>
#include <QTransform>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {
struct FormatDeleter
{
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecDeleter
{
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter
{
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter
{
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;

QString describe(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// Failures reach the caller as error texts; FFmpeg's own chatter on stderr
// would only repeat them.
void quietenFFmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

// The display matrix maps source pixels the way QTransform does (x' = a·x +
// c·y, y' = b·x + d·y, y pointing down). Only rotation and mirroring are
// kept: a scale in the matrix says nothing about the pixels.
QTransform orientationFrom(const int32_t* matrix)
{
    if (!matrix)
        return {};
    double a = matrix[0] / 65536.0, b = matrix[1] / 65536.0;
    double c = matrix[3] / 65536.0, d = matrix[4] / 65536.0;
    const double determinant = a * d - b * c;
    if (std::abs(determinant) < 1e-6)
        return {};
    const double norm = std::sqrt(std::abs(determinant));
    // Right angles stay exact so that the turn moves pixels without resampling.
    const auto snap = [norm](double value) {
        const double scaled = value / norm;
        const double rounded = std::round(scaled);
        return std::abs(scaled - rounded) < 1e-3 ? rounded : scaled;
    };
    return QTransform(snap(a), snap(b), snap(c), snap(d), 0, 0);
}

QImage toImage(const AVFrame* frame)
{
    const auto format = AVPixelFormat(frame->format);
    ScalerPtr scaler(sws_getContext(frame->width, frame->height, format, frame->width, frame->height, AV_PIX_FMT_RGB32,
                                    SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return {};
    // YUV→RGB with the stream's own matrix and range (a no-op for RGB input).
    const int* coefficients = sws_getCoefficients(frame->colorspace);
    sws_setColorspaceDetails(scaler.get(), coefficients, frame->color_range == AVCOL_RANGE_JPEG,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);

    // AV_PIX_FMT_RGB32 is native-endian 0xAARRGGBB, the layout of Format_RGB32.
    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint8_t* destination[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int destinationStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, destination, destinationStride) <= 0)
        return {};
    return image;
}

int64_t frameDuration(const AVFrame* frame)
{
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame->duration;
#else
    return frame->pkt_duration;
#endif
}
} // namespace

struct VideoFrameReader::State
{
    FormatPtr format;
    CodecPtr codec;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    FramePtr kept{av_frame_alloc()};
    AVStream* stream = nullptr;
    QTransform orientation;
    int64_t startTime = 0;
    bool atStart = true;
    QString error;

    bool open(const QString& path);
    QImage frameAt(double seconds);
    std::optional<double> duration() const;

private:
    enum class Landing { Found, TooLate, Failed };

    bool fail(const QString& message)
    {
        error = message;
        return false;
    }
    bool openDecoder();
    int64_t toStreamTime(double seconds) const;
    bool seekTo(int64_t point);
    int readPacket();
    Landing decodeUpTo(int64_t target, bool fromStart);
    int64_t lengthOf(const AVFrame* decoded) const;
};

bool VideoFrameReader::State::open(const QString& path)
{
    quietenFFmpeg();
    if (!packet || !frame || !kept)
        return fail(u"Out of memory"_s);
    AVFormatContext* raw = nullptr;
    if (const int code = avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr); code < 0)
        return fail(u"Cannot open the recording (%1)"_s.arg(describe(code)));
    format.reset(raw);

    int index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    // Probing decodes a few packets; a plain MP4 header says enough, so probe
    // only when it does not (a fragmented MP4 names no start time).
    if (index < 0 || raw->streams[index]->codecpar->width <= 0 || raw->streams[index]->start_time == AV_NOPTS_VALUE) {
        if (const int code = avformat_find_stream_info(raw, nullptr); code < 0)
            return fail(u"Cannot read the recording's streams (%1)"_s.arg(describe(code)));
        index = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
    if (index < 0)
        return fail(u"The file holds no video stream"_s);
    stream = raw->streams[index];
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        raw->streams[i]->discard = int(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    startTime = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    orientation = orientationFrom(
        reinterpret_cast<const int32_t*>(av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)));
    return openDecoder();
}

bool VideoFrameReader::State::openDecoder()
{
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        return fail(u"No decoder for the video format %1"_s.arg(
            QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id))));
    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec)
        return fail(u"Out of memory"_s);
    if (const int code = avcodec_parameters_to_context(codec.get(), stream->codecpar); code < 0)
        return fail(u"Cannot set up the video decoder (%1)"_s.arg(describe(code)));
    codec->pkt_timebase = stream->time_base;
    codec->thread_count = 0;
    if (const int code = avcodec_open2(codec.get(), decoder, nullptr); code < 0) {
        codec.reset();
        return fail(u"Cannot open the video decoder (%1)"_s.arg(describe(code)));
    }
    return true;
}

std::optional<double> VideoFrameReader::State::duration() const
{
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return stream->duration * av_q2d(stream->time_base);
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        return format->duration / double(AV_TIME_BASE);
    return std::nullopt;
}

int64_t VideoFrameReader::State::toStreamTime(double seconds) const
{
    return startTime + std::llround(seconds / av_q2d(stream->time_base));
}

bool VideoFrameReader::State::seekTo(int64_t point)
{
    if (point <= startTime && atStart)
        return true;
    int code = av_seek_frame(format.get(), stream->index, point, AVSEEK_FLAG_BACKWARD);
    if (code < 0)
        code = avformat_seek_file(format.get(), stream->index, INT64_MIN, point, point, 0);
    if (code < 0)
        return fail(u"Cannot seek in the recording (%1)"_s.arg(describe(code)));
    avcodec_flush_buffers(codec.get());
    atStart = point <= startTime;
    return true;
}

// The next packet of the video stream (others are discarded by the demuxer).
int VideoFrameReader::State::readPacket()
{
    for (;;) {
        av_packet_unref(packet.get());
        const int code = av_read_frame(format.get(), packet.get());
        if (code < 0 || packet->stream_index == stream->index)
            return code;
    }
}

int64_t VideoFrameReader::State::lengthOf(const AVFrame* decoded) const
{
    if (const int64_t length = frameDuration(decoded); length > 0)
        return length;
    const AVRational rate = stream->avg_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        return av_rescale_q(1, av_inv_q(rate), stream->time_base);
    return 0;
}

// Decodes forward from the current position and keeps in `kept` the last
// frame that starts at or before `target`. TooLate: the first frame already
// lies past it, so the seek must start earlier.
VideoFrameReader::State::Landing VideoFrameReader::State::decodeUpTo(int64_t target, bool fromStart)
{
    atStart = false;
    av_frame_unref(kept.get());
    bool haveKept = false;
    bool first = true;
    bool draining = false;
    QString lastError;
    int64_t keptStart = 0;

    for (;;) {
        int code = avcodec_receive_frame(codec.get(), frame.get());
        if (code == AVERROR(EAGAIN) && !draining) {
            code = readPacket();
            if (code == AVERROR_EOF) {
                avcodec_send_packet(codec.get(), nullptr);
                draining = true;
            } else if (code < 0) {
                fail(u"Cannot read the recording (%1)"_s.arg(describe(code)));
                return Landing::Failed;
            } else if (code = avcodec_send_packet(codec.get(), packet.get()); code < 0) {
                // A damaged packet spoils a frame or two, not the recording.
                lastError = describe(code);
            }
            continue;
        }
        if (code == AVERROR_EOF || code == AVERROR(EAGAIN))
            break;
        if (code < 0) {
            lastError = describe(code);
            continue;
        }

        const int64_t start = frame->best_effort_timestamp == AV_NOPTS_VALUE ? keptStart : frame->best_effort_timestamp;
        if (first && start > target && !fromStart)
            return Landing::TooLate;
        first = false;
        if (start > target && haveKept) {
            av_frame_unref(frame.get());
            return Landing::Found;
        }
        av_frame_unref(kept.get());
        av_frame_move_ref(kept.get(), frame.get());
        haveKept = true;
        keptStart = start;
        if (start >= target)
            return Landing::Found;
    }

    if (!haveKept) {
        fail(lastError.isEmpty() ? u"The recording holds no decodable frame"_s
                                 : u"Cannot decode the video (%1)"_s.arg(lastError));
        return Landing::Failed;
    }
    if (keptStart + lengthOf(kept.get()) <= target) {
        fail(u"The requested time lies beyond the end of the recording"_s);
        return Landing::Failed;
    }
    return Landing::Found;
}

QImage VideoFrameReader::State::frameAt(double seconds)
{
    if (!codec)
        return {};
    if (!std::isfinite(seconds) || seconds < 0) {
        fail(u"The requested time is not a valid position"_s);
        return {};
    }
    if (const auto length = duration(); length && seconds > 0 && seconds >= *length) {
        fail(u"The requested time %1 s lies beyond the end of the recording (%2 s)"_s.arg(seconds).arg(*length));
        return {};
    }

    const int64_t target = toStreamTime(seconds);
    const int64_t oneSecond = std::max<int64_t>(1, toStreamTime(1.0) - startTime);
    // Key frames are found by decoding time, so with reordered frames the
    // key frame found may still show after the target: step back further.
    int64_t step = oneSecond;
    int64_t seekPoint = target;
    for (;;) {
        seekPoint = std::max(seekPoint, startTime);
        if (!seekTo(seekPoint))
            return {};
        const Landing landing = decodeUpTo(target, seekPoint <= startTime);
        if (landing == Landing::Failed)
            return {};
        if (landing == Landing::Found)
            break;
        seekPoint -= step;
        step *= 2;
    }

    QImage image = toImage(kept.get());
    av_frame_unref(kept.get());
    if (image.isNull()) {
        fail(u"Cannot convert the video frame to an image"_s);
        return {};
    }
    error.clear();
    return orientation.isIdentity() ? image : image.transformed(orientation, Qt::SmoothTransformation);
}

VideoFrameReader::VideoFrameReader(const QString& path)
    : m_state(std::make_unique<State>())
{
    m_state->open(path);
}

VideoFrameReader::~VideoFrameReader() = default;

bool VideoFrameReader::isOpen() const
{
    return m_state->codec != nullptr;
}

QString VideoFrameReader::errorString() const
{
    return m_state->error;
}

std::optional<double> VideoFrameReader::duration() const
{
    return isOpen() ? m_state->duration() : std::nullopt;
}

QSize VideoFrameReader::frameSize() const
{
    if (!isOpen())
        return {};
    const QSizeF stored(m_state->stream->codecpar->width, m_state->stream->codecpar->height);
    return m_state->orientation.mapRect(QRectF(QPointF(0, 0), stored)).size().toSize();
}

QImage VideoFrameReader::frameAt(double seconds)
{
    return m_state->frameAt(seconds);
}
