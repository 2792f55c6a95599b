// Movies through FFmpeg's libraries: the container read through the caller's callbacks, the first video stream
// decoded forward to the frame a time asks for (seeking only when time goes back), scaled into X8R8G8B8.
// A movie is one local file: only containers that hold everything in one file are taken, and no container may
// open another file or address.
#include "platform/media/movie_stream.h"

#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace media {

namespace {
constexpr int kIoBufferSize = 32768;
// Containers that hold the whole movie in the one file; playlists, manifests, concat scripts and image sequences,
// which name other files or addresses, are not among them.
constexpr const char* kSingleFileContainers =
    "avi,mov,matroska,mpeg,mpegts,mpegvideo,m4v,h261,h263,h264,hevc,asf,flv,ogg,nut,ivf,yuv4mpegpipe,dv,rm,gif,"
    "bink,smk,flic";
// The scaler stores whole vector blocks past a row's last pixel: its rows get this much alignment, and one spare row.
constexpr int kScaledRowAlign = 64;
// Frames decoded in one call at most, so a damaged file that never reaches the asked time cannot hang a draw.
constexpr int kMaxFramesPerCall = 4096;
}  // namespace

class MovieStream {
 public:
  MovieSource source{};
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwsContext* scaler = nullptr;
  AVFrame* current = nullptr;  // the frame whose time has come
  AVFrame* pending = nullptr;  // decoded ahead, its time not yet come
  AVPacket* packet = nullptr;
  uint8_t* scaled = nullptr;  // the scaler's own output, copied out row by row
  int scaledPitch = 0;
  int videoIndex = -1;
  int width = 0, height = 0;
  int64_t shownPts = INT64_MIN;  // the frame now in the caller's pixels, in stream time base
  bool hasCurrent = false, hasPending = false;
  bool ended = false;

  ~MovieStream() {
    sws_freeContext(scaler);
    av_free(scaled);
    av_frame_free(&current);
    av_frame_free(&pending);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    if (format != nullptr) avformat_close_input(&format);
    if (io != nullptr) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
  }

  int64_t PtsOf(const AVFrame* f) const {
    return f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
  }
  int64_t ToPts(int64_t milliseconds) const {
    const AVStream* stream = format->streams[videoIndex];
    int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    // Rounded down: a frame shows from its own time on, never from half a frame before it.
    return start + av_rescale_q_rnd(milliseconds, AVRational{1, 1000}, stream->time_base, AV_ROUND_DOWN);
  }

  // The next decoded frame into `pending`; false at the end or on an error.
  bool DecodeNext() {
    while (true) {
      int result = avcodec_receive_frame(codec, pending);
      hasPending = result == 0;
      if (result == 0) return true;
      if (result != AVERROR(EAGAIN)) return false;
      if (ended) return false;
      int read = av_read_frame(format, packet);
      if (read < 0) {
        ended = true;
        avcodec_send_packet(codec, nullptr);  // drain what the decoder still holds
        continue;
      }
      if (packet->stream_index == videoIndex) avcodec_send_packet(codec, packet);
      av_packet_unref(packet);
    }
  }

  bool Rewind() {
    if (av_seek_frame(format, videoIndex, 0, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(codec);
    ended = false;
    hasCurrent = hasPending = false;
    shownPts = INT64_MIN;
    return true;
  }
};

namespace {

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  const MovieSource& source = static_cast<MovieStream*>(opaque)->source;
  int got = source.read(source.user, buffer, size);
  return got > 0 ? got : (got == 0 ? AVERROR_EOF : AVERROR(EIO));
}

// Nested files and addresses (segments, playlist entries, references) are never opened.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

bool SizeAllowed(const MovieLimits& limits, int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
         width * height <= limits.maxPixels;
}

// Every video stream whose container states its size keeps within the limits.
bool DeclaredSizesAllowed(const AVFormatContext* format, const MovieLimits& limits) {
  for (unsigned i = 0; i < format->nb_streams; i++) {
    const AVCodecParameters* parameters = format->streams[i]->codecpar;
    if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && (parameters->width > 0 || parameters->height > 0) &&
        !SizeAllowed(limits, parameters->width, parameters->height))
      return false;
  }
  return true;
}

// The stream information is found with every decoder bounded to the picture limit, so no probe decodes a frame
// larger than it.
bool FindStreamInfo(AVFormatContext* format, const MovieLimits& limits) {
  const unsigned count = format->nb_streams;
  auto** options = static_cast<AVDictionary**>(av_calloc(count == 0 ? 1 : count, sizeof(AVDictionary*)));
  if (options == nullptr) return false;
  for (unsigned i = 0; i < count; i++) av_dict_set_int(&options[i], "max_pixels", limits.maxPixels, 0);
  bool found = avformat_find_stream_info(format, options) >= 0;
  for (unsigned i = 0; i < count; i++) av_dict_free(&options[i]);
  av_free(options);
  return found;
}

int64_t SeekStream(void* opaque, int64_t offset, int whence) {
  const MovieSource& source = static_cast<MovieStream*>(opaque)->source;
  if (whence & AVSEEK_SIZE) return source.size(source.user);
  int origin = (whence & ~AVSEEK_FORCE) == SEEK_CUR ? 1 : (whence & ~AVSEEK_FORCE) == SEEK_END ? 2 : 0;
  return source.seek(source.user, offset, origin);
}

}  // namespace

MovieStream* OpenMovieStream(const MovieSource& source, const MovieLimits& limits) {
  av_log_set_level(AV_LOG_QUIET);
  auto stream = std::make_unique<MovieStream>();
  stream->source = source;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  stream->io = buffer == nullptr ? nullptr
                                 : avio_alloc_context(buffer, kIoBufferSize, 0, stream.get(), ReadPacket, nullptr,
                                                      SeekStream);
  if (stream->io == nullptr) {
    av_free(buffer);
    return nullptr;
  }
  stream->format = avformat_alloc_context();
  if (stream->format == nullptr) return nullptr;
  stream->format->pb = stream->io;
  stream->format->flags |= AVFMT_FLAG_CUSTOM_IO;
  stream->format->io_open = RefuseNestedOpen;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  av_dict_set(&options, "format_whitelist", kSingleFileContainers, 0);
  // A failed open frees the context itself.
  int opened = avformat_open_input(&stream->format, nullptr, nullptr, &options);
  av_dict_free(&options);
  if (opened < 0 || !DeclaredSizesAllowed(stream->format, limits) || !FindStreamInfo(stream->format, limits))
    return nullptr;
  const AVCodec* decoder = nullptr;
  stream->videoIndex = av_find_best_stream(stream->format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (stream->videoIndex < 0 || decoder == nullptr) return nullptr;
  const AVCodecParameters* parameters = stream->format->streams[stream->videoIndex]->codecpar;
  stream->width = parameters->width;
  stream->height = parameters->height;
  if (!SizeAllowed(limits, stream->width, stream->height)) return nullptr;
  stream->scaledPitch = FFALIGN(stream->width * 4, kScaledRowAlign);
  stream->scaled = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(stream->scaledPitch) * (stream->height + 1)));
  stream->codec = avcodec_alloc_context3(decoder);
  stream->current = av_frame_alloc();
  stream->pending = av_frame_alloc();
  stream->packet = av_packet_alloc();
  if (stream->scaled == nullptr || stream->codec == nullptr || stream->current == nullptr ||
      stream->pending == nullptr || stream->packet == nullptr ||
      avcodec_parameters_to_context(stream->codec, parameters) < 0)
    return nullptr;
  stream->codec->max_pixels = limits.maxPixels;
  if (avcodec_open2(stream->codec, decoder, nullptr) < 0) return nullptr;
  // The first frame must decode, or the file is no movie this library can show.
  if (!stream->DecodeNext() || stream->pending->width != stream->width || stream->pending->height != stream->height)
    return nullptr;
  return stream.release();
}

void CloseMovieStream(MovieStream* stream) { delete stream; }
int MovieWidth(const MovieStream* stream) { return stream->width; }
int MovieHeight(const MovieStream* stream) { return stream->height; }

int64_t MovieDurationMs(const MovieStream* stream) {
  return stream->format->duration > 0 ? stream->format->duration / (AV_TIME_BASE / 1000) : 0;
}

int MovieFrameAt(MovieStream* stream, int64_t milliseconds, uint8_t* pixels, int pitch) {
  int64_t wanted = stream->ToPts(milliseconds < 0 ? 0 : milliseconds);
  if (stream->hasCurrent && stream->PtsOf(stream->current) > wanted && !stream->Rewind()) return -1;
  for (int count = 0; count < kMaxFramesPerCall; count++) {
    if (!stream->hasPending && !stream->DecodeNext()) break;
    if (stream->hasCurrent && stream->PtsOf(stream->pending) > wanted) break;
    std::swap(stream->current, stream->pending);
    stream->hasCurrent = true;
    stream->hasPending = false;
  }
  if (!stream->hasCurrent) return -1;
  const AVFrame* frame = stream->current;
  if (frame->width != stream->width || frame->height != stream->height) return -1;
  int64_t pts = stream->PtsOf(frame);
  if (pts == stream->shownPts) return 0;
  stream->scaler = sws_getCachedContext(stream->scaler, frame->width, frame->height,
                                        static_cast<AVPixelFormat>(frame->format), stream->width, stream->height,
                                        AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
  if (stream->scaler == nullptr) return -1;
  uint8_t* planes[4] = {stream->scaled, nullptr, nullptr, nullptr};
  int pitches[4] = {stream->scaledPitch, 0, 0, 0};
  sws_scale(stream->scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
  for (int row = 0; row < stream->height; row++)
    std::memcpy(pixels + static_cast<ptrdiff_t>(row) * pitch,
                stream->scaled + static_cast<ptrdiff_t>(row) * stream->scaledPitch,
                static_cast<size_t>(stream->width) * 4);
  stream->shownPts = pts;
  return 1;
}

void ForgetShownFrame(MovieStream* stream) { stream->shownPts = INT64_MIN; }

}  // namespace media
