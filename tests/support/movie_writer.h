// A small MPEG-1 movie made with FFmpeg's own encoder, for the movie tests and the movie fuzzer's seed.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace testing_support {

inline constexpr uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFF00FF, 0x00FFFF};

// Six frames at 25 frames a second, each one plain colour, encoded by libavcodec's own MPEG-1 encoder.
inline bool WriteMovie(const std::string& path) {
  av_log_set_level(AV_LOG_QUIET);
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, "mpeg", path.c_str()) < 0) return false;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  AVStream* stream = codec ? avformat_new_stream(out, nullptr) : nullptr;
  AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (stream == nullptr || context == nullptr) return false;
  context->width = 64;
  context->height = 48;
  context->time_base = AVRational{1, 25};
  context->framerate = AVRational{25, 1};
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
  for (int i = 0; i < 6; i++) {
    av_frame_make_writable(frame);
    int r = kColours[i] >> 16, g = (kColours[i] >> 8) & 0xFF, b = kColours[i] & 0xFF;
    int y = (66 * r + 129 * g + 25 * b + 128) / 256 + 16;
    int u = (-38 * r - 74 * g + 112 * b + 128) / 256 + 128, v = (112 * r - 94 * g - 18 * b + 128) / 256 + 128;
    for (int row = 0; row < 48; row++) memset(frame->data[0] + row * frame->linesize[0], y, 64);
    for (int row = 0; row < 24; row++) {
      memset(frame->data[1] + row * frame->linesize[1], u, 32);
      memset(frame->data[2] + row * frame->linesize[2], v, 32);
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

}  // namespace testing_support
