// Small movies made with FFmpeg's own encoders, for the movie tests and the movie fuzzer's seeds.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace testing_support {

inline constexpr uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFF00FF, 0x00FFFF};

// What to write: the container (a muxer name), the codec, the frame size and the frame rate; frame i is one
// plain colour, kColours[i % 6].
struct MovieShape {
  const char* container = "mpeg";
  AVCodecID codec = AV_CODEC_ID_MPEG1VIDEO;
  int width = 64, height = 48;
  int framesPerSecond = 25;
  int frames = 6;
};

// Six frames of 64 x 48 at 25 frames a second in MPEG-1, unless the shape says otherwise.
inline bool WriteMovie(const std::string& path, const MovieShape& shape = {}) {
  av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, shape.container, path.c_str()) < 0) return false;
  const AVCodec* codec = avcodec_find_encoder(shape.codec);
  AVStream* stream = codec ? avformat_new_stream(out, nullptr) : nullptr;
  AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (stream == nullptr || context == nullptr) return false;
  context->width = shape.width;
  context->height = shape.height;
  context->time_base = AVRational{1, shape.framesPerSecond};
  context->framerate = AVRational{shape.framesPerSecond, 1};
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->gop_size = 1;
  context->bit_rate = 2000000;
  if (avcodec_open2(context, codec, nullptr) < 0) return false;
  avcodec_parameters_from_context(stream->codecpar, context);
  stream->time_base = context->time_base;
  if (avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(out, nullptr) < 0) return false;
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  frame->format = context->pix_fmt;
  frame->width = context->width;
  frame->height = context->height;
  av_frame_get_buffer(frame, 0);
  auto drain = [&] {
    while (avcodec_receive_packet(context, packet) == 0) {
      av_packet_rescale_ts(packet, context->time_base, stream->time_base);
      packet->stream_index = stream->index;
      av_interleaved_write_frame(out, packet);
    }
  };
  const int chromaWidth = (shape.width + 1) / 2, chromaHeight = (shape.height + 1) / 2;
  for (int i = 0; i < shape.frames; i++) {
    av_frame_make_writable(frame);
    uint32_t colour = kColours[i % 6];
    int r = colour >> 16, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
    int y = (66 * r + 129 * g + 25 * b + 128) / 256 + 16;
    int u = (-38 * r - 74 * g + 112 * b + 128) / 256 + 128, v = (112 * r - 94 * g - 18 * b + 128) / 256 + 128;
    for (int row = 0; row < shape.height; row++) memset(frame->data[0] + row * frame->linesize[0], y, shape.width);
    for (int row = 0; row < chromaHeight; row++) {
      memset(frame->data[1] + row * frame->linesize[1], u, chromaWidth);
      memset(frame->data[2] + row * frame->linesize[2], v, chromaWidth);
    }
    frame->pts = i;
    avcodec_send_frame(context, frame);
    drain();
  }
  avcodec_send_frame(context, nullptr);
  drain();
  av_write_trailer(out);
  avio_closep(&out->pb);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  avformat_free_context(out);
  return true;
}

// A 40 x 30 MPEG-4 movie in AVI at ten frames a second: a width that is no multiple of 16, and a time base of
// 1/10 s.
inline MovieShape CoarseAvi() {
  MovieShape shape;
  shape.container = "avi";
  shape.codec = AV_CODEC_ID_MPEG4;
  shape.width = 40;
  shape.height = 30;
  shape.framesPerSecond = 10;
  return shape;
}

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Rewrites the frame size an AVI states in its main header and in its video format, as a crafted file would; the
// codec's own headers keep theirs. False when the chunks are not there.
inline bool DeclareAviFrameSize(std::string& bytes, uint32_t width, uint32_t height) {
  auto put = [&](size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); };
  size_t header = bytes.find("avih"), format = bytes.find("strf");
  if (header == std::string::npos || format == std::string::npos || format + 20 > bytes.size()) return false;
  put(header + 8 + 32, width);
  put(header + 8 + 36, height);
  put(format + 8 + 4, width);
  put(format + 8 + 8, height);
  return true;
}

// Files that name other files or addresses, which a movie may not open: a DASH manifest, an HLS playlist and a
// concat script.
inline std::string DashManifest(const std::string& url) {
  return "<?xml version=\"1.0\"?>\n"
         "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" mediaPresentationDuration=\"PT1S\" "
         "minBufferTime=\"PT1S\" profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\">\n"
         "<Period><AdaptationSet mimeType=\"video/mp4\"><Representation id=\"1\" bandwidth=\"1000\" width=\"64\" "
         "height=\"48\"><BaseURL>" + url + "</BaseURL></Representation></AdaptationSet></Period></MPD>\n";
}

inline std::string HlsPlaylist(const std::string& name) {
  return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:0\n#EXTINF:1.0,\n" + name +
         "\n#EXT-X-ENDLIST\n";
}

inline std::string ConcatScript(const std::string& name) { return "ffconcat version 1.0\nfile " + name + "\n"; }

}  // namespace testing_support
