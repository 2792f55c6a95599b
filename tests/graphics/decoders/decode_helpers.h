// Shared by the decoder tests: running a decoder over bytes, reading its result back, writing little files.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/memory.h"
#include "graphics/decoders/decoders.h"
#include "support/byte_stream.h"
#include "support/picture_writers.h"

namespace decoder_tests {

using namespace picture_writers;

// A decoded picture that frees its pixels.
struct Decoded {
  int result = -1;
  GraphImage image{};
  Decoded() = default;
  Decoded(const Decoded&) = delete;
  Decoded& operator=(const Decoded&) = delete;
  ~Decoded() { MemFree(image.pixels); }
  const unsigned char* Row(int y) const { return static_cast<const unsigned char*>(image.pixels) + y * image.pitch; }
  // The bytes of one row that hold pixels (without the padding up to the pitch).
  Bytes RowBytes(int y) const { return Bytes(Row(y), Row(y) + image.width * image.format.bytesPerPixel); }
};

// Runs the decoder from position 0 of a stream over the bytes. A refused picture must leave the image as it was.
inline void RunDecoder(ImageDecoder decoder, const Bytes& bytes, Decoded* out, bool fileLike = false) {
  testing_support::ByteStream stream;
  stream.data = bytes;
  stream.fileLike = fileLike;
  StreamSourceData source = stream.Source();
  GraphImage image;
  std::memset(&image, 0xA5, sizeof(image));
  out->result = decoder(&source, &image);
  if (out->result == 0) {
    out->image = image;
    return;
  }
  GraphImage untouched;
  std::memset(&untouched, 0xA5, sizeof(untouched));
  EXPECT_EQ(0, std::memcmp(&image, &untouched, sizeof(image))) << "a refusing decoder wrote into the image";
}

// The channel of a pixel at mask, shift and width brought to 8 bits: wide ones keep their top 8 bits, narrow ones
// repeat their bits.
inline uint32_t ChannelTo8(uint32_t pixel, uint32_t mask, int shift, int width) {
  if (width == 0) return 0;
  uint32_t c = (pixel & mask) >> shift;
  if (width >= 8) return c >> (width - 8);
  uint32_t out = 0;
  for (int i = 0; i < 8; ++i) out = (out << 1) | ((c >> (width - 1 - i % width)) & 1);
  return out;
}

// 0xAARRGGBB of a pixel, read through the format (8-bit pictures through their palette, alpha 0xFF when the
// format has none).
inline uint32_t PixelArgb(const Decoded& d, int x, int y) {
  const ColorFormat& f = d.image.format;
  const unsigned char* p = d.Row(y) + x * f.bytesPerPixel;
  uint32_t v = 0;
  for (int i = 0; i < f.bytesPerPixel; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  if (f.bitDepth == 8) return 0xFF000000u | f.palette[v];
  auto channel = [v](uint32_t mask, int shift, int width) { return ChannelTo8(v, mask, shift, width); };
  uint32_t a = f.alphaWidth ? channel(f.alphaMask, f.alphaShift, f.alphaWidth) : 0xFF;
  return (a << 24) | (channel(f.redMask, f.redShift, f.redWidth) << 16) |
         (channel(f.greenMask, f.greenShift, f.greenWidth) << 8) | channel(f.blueMask, f.blueShift, f.blueWidth);
}

inline std::vector<uint32_t> AllArgb(const Decoded& d) {
  std::vector<uint32_t> out;
  for (int y = 0; y < d.image.height; ++y) {
    for (int x = 0; x < d.image.width; ++x) out.push_back(PixelArgb(d, x, y));
  }
  return out;
}

// The Debian image tool that serves as an independent reference; tests that need it skip when it is absent.
inline const char* kReferenceTool = "/usr/bin/convert";

inline Bytes ReadAll(FILE* f) {
  Bytes out;
  unsigned char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) out.insert(out.end(), buffer, buffer + n);
  return out;
}

// Runs the reference tool with the arguments and answers what it wrote to its standard output.
inline Bytes RunReferenceTool(const std::string& arguments) {
  FILE* pipe = popen((std::string(kReferenceTool) + " " + arguments).c_str(), "r");
  if (pipe == nullptr) return {};
  Bytes out = ReadAll(pipe);
  pclose(pipe);
  return out;
}

inline Bytes ReadFileBytes(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return {};
  Bytes out = ReadAll(f);
  fclose(f);
  return out;
}

// Every decoder, in the table's order.
struct NamedDecoder {
  const char* name;
  ImageDecoder decode;
};
inline const std::vector<NamedDecoder>& AllDecoders() {
  static const std::vector<NamedDecoder> all = {{"bmp", DecodeBmpPicture}, {"jpeg", DecodeJpegPicture},
                                                {"png", DecodePngPicture}, {"bgra", DecodeBgraPicture},
                                                {"tga", DecodeTgaPicture}, {"dds", DecodeDdsPicture}};
  return all;
}

// Tried in the table's order, the picture is taken by the named decoder, and by none before it.
inline void ExpectTakenFirstBy(const Bytes& bytes, const std::string& name) {
  for (const NamedDecoder& d : AllDecoders()) {
    Decoded out;
    RunDecoder(d.decode, bytes, &out);
    if (out.result == 0) {
      EXPECT_EQ(d.name, name);
      return;
    }
  }
  ADD_FAILURE() << "no decoder took the " << name << " picture";
}

// A taken picture must be whole: sizes that agree and every byte of height x pitch readable (the sanitizer
// build catches a short block).
inline void ExpectConsistent(const Decoded& d, const char* name) {
  if (d.result != 0) return;
  const GraphImage& g = d.image;
  ASSERT_NE(g.pixels, nullptr) << name;
  ASSERT_GT(g.width, 0) << name;
  ASSERT_GT(g.height, 0) << name;
  ASSERT_TRUE(g.format.bytesPerPixel >= 1 && g.format.bytesPerPixel <= 4) << name;
  ASSERT_EQ(g.format.bitDepth, g.format.bytesPerPixel * 8) << name;
  ASSERT_GE(g.pitch, g.width * g.format.bytesPerPixel) << name;
  unsigned sum = 0;
  const unsigned char* p = static_cast<const unsigned char*>(g.pixels);
  for (int64_t i = 0; i < int64_t{g.pitch} * g.height; ++i) sum += p[i];
  (void)sum;
}

// Hands every prefix of the bytes and a set of damaged copies to every decoder: none may crash, and whatever
// a decoder takes must be a whole, consistent picture. Damage is deterministic.
inline void ExpectSafeOnDamage(const Bytes& good) {
  std::vector<Bytes> cases;
  for (size_t n = 0; n < good.size(); n += (n < 160 ? 1 : good.size() / 40 + 1)) {
    cases.emplace_back(good.begin(), good.begin() + n);
  }
  static const uint32_t extremes[] = {0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0xFFFFu, 0x10000u, 4096};
  for (size_t at = 0; at + 4 <= good.size() && at < 140; at += 2) {
    for (uint32_t v : extremes) {
      Bytes b = good;
      Set32(&b, at, v);
      cases.push_back(b);
    }
  }
  Bytes noise = Pattern(4096, 7);
  for (size_t i = 0; i < 60 && !good.empty(); ++i) {
    Bytes b = good;
    for (int k = 0; k < 4; ++k) b[(noise[i * 4 + k] * 131 + i * 977) % b.size()] ^= noise[i * 8 + k] | 1;
    cases.push_back(b);
  }
  for (const Bytes& b : cases) {
    for (const NamedDecoder& d : AllDecoders()) {
      for (bool fileLike : {false, true}) {
        Decoded out;
        RunDecoder(d.decode, b, &out, fileLike);
        ExpectConsistent(out, d.name);
      }
    }
  }
}

}  // namespace decoder_tests
