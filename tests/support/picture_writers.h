// Writers of small picture files in memory, for the decoder tests and the fuzzers' seed corpus: BMP, TGA, DDS and
// the raw BGRA format by hand, PNG and JPEG through libpng and libjpeg.
#pragma once
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>  // libjpeg's header needs FILE and size_t first
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace picture_writers {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes* b, uint32_t v) {
  b->push_back(static_cast<unsigned char>(v));
  b->push_back(static_cast<unsigned char>(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void PutText(Bytes* b, const char* text) {
  for (const char* c = text; *c != 0; ++c) b->push_back(static_cast<unsigned char>(*c));
}
inline void Set32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A deterministic byte pattern.
inline Bytes Pattern(size_t n, uint32_t seed) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    out[i] = static_cast<unsigned char>(seed >> 16);
  }
  return out;
}

struct BmpFile {
  BmpFile(int32_t w, int32_t h, int b, uint32_t c = 0) : width(w), height(h), bits(b), compression(c) {}
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top down
  int bits = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;
  uint32_t colorsUsed = 0;
  std::vector<uint32_t> palette;  // written as stored (B, G, R, reserved)
  std::vector<uint32_t> masks;    // red, green, blue (inside the header when it is long enough)
  Bytes data;                     // pixel data as stored
  uint32_t imageSize = 0;
};

inline Bytes Build(const BmpFile& f) {
  Bytes out;
  PutText(&out, "BM");
  Put32(&out, 0);
  Put32(&out, 0);
  Put32(&out, 0);  // data offset, set below
  Bytes info;
  Put32(&info, f.headerSize);
  Put32(&info, static_cast<uint32_t>(f.width));
  Put32(&info, static_cast<uint32_t>(f.height));
  Put16(&info, 1);
  Put16(&info, f.bits);
  Put32(&info, f.compression);
  Put32(&info, f.imageSize);
  Put32(&info, 2835);
  Put32(&info, 2835);
  Put32(&info, f.colorsUsed);
  Put32(&info, 0);
  for (uint32_t m : f.masks) {
    if (f.headerSize > 40) Put32(&info, m);
  }
  info.resize(f.headerSize, 0);
  out.insert(out.end(), info.begin(), info.end());
  if (f.headerSize == 40) {
    for (uint32_t m : f.masks) Put32(&out, m);
  }
  for (uint32_t p : f.palette) Put32(&out, p);
  Set32(&out, 10, static_cast<uint32_t>(out.size()));
  out.insert(out.end(), f.data.begin(), f.data.end());
  return out;
}

// Stores rows (given top down, each already packed) in the file's order with rows padded to 4 bytes.
inline Bytes StoreRows(const std::vector<Bytes>& rowsTopDown, bool bottomUp) {
  Bytes out;
  for (size_t i = 0; i < rowsTopDown.size(); ++i) {
    const Bytes& row = rowsTopDown[bottomUp ? rowsTopDown.size() - 1 - i : i];
    out.insert(out.end(), row.begin(), row.end());
    out.resize((out.size() + 3) & ~size_t{3}, 0);
  }
  return out;
}

struct TgaFile {
  TgaFile(int t, int w, int h, int d) : type(t), width(w), height(h), depth(d) {}
  int type;
  int width, height;
  int depth;              // pixel depth (index bits for colour-mapped files)
  int descriptor = 0x20;  // top down, left to right
  int mapFirst = 0, mapEntryBits = 0;
  Bytes map;   // colour map entries as stored
  Bytes data;  // pixel data as stored
  bool footer = false;
  int extensionAttributes = -1;  // -1: no extension area
  int idLength = 0, xOrigin = 0;
};

inline Bytes Build(const TgaFile& f) {
  Bytes out;
  out.push_back(static_cast<unsigned char>(f.idLength));
  out.push_back(f.map.empty() ? 0 : 1);
  out.push_back(static_cast<unsigned char>(f.type));
  int entryBytes = f.mapEntryBits / 8;
  Put16(&out, f.mapFirst);
  Put16(&out, entryBytes ? static_cast<uint32_t>(f.map.size()) / entryBytes : 0);
  out.push_back(static_cast<unsigned char>(f.mapEntryBits));
  Put16(&out, f.xOrigin);
  Put16(&out, 0);
  Put16(&out, f.width);
  Put16(&out, f.height);
  out.push_back(static_cast<unsigned char>(f.depth));
  out.push_back(static_cast<unsigned char>(f.descriptor));
  out.insert(out.end(), f.map.begin(), f.map.end());
  out.insert(out.end(), f.data.begin(), f.data.end());
  if (!f.footer) return out;
  uint32_t extension = 0;
  if (f.extensionAttributes >= 0) {
    extension = static_cast<uint32_t>(out.size());
    Bytes area(495, 0);
    area[0] = 0xEF;
    area[1] = 0x01;
    area[494] = static_cast<unsigned char>(f.extensionAttributes);
    out.insert(out.end(), area.begin(), area.end());
  }
  Put32(&out, extension);
  Put32(&out, 0);
  PutText(&out, "TRUEVISION-XFILE.");
  out.push_back(0);
  return out;
}

inline Bytes Bgra(uint32_t channels, int32_t width, int32_t height, const Bytes& pixels) {
  Bytes out;
  PutText(&out, "BGRA");
  Put32(&out, channels);
  Put32(&out, static_cast<uint32_t>(width));
  Put32(&out, static_cast<uint32_t>(height));
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

struct DdsFile {
  uint32_t flags = 0x1007;
  uint32_t width = 2, height = 2, pitch = 0;
  uint32_t formatFlags = 0x4, code = 21, bits = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  Bytes pixels;
};

inline Bytes Build(const DdsFile& f) {
  Bytes out;
  PutText(&out, "DDS ");
  Put32(&out, 124);
  Put32(&out, f.flags);
  Put32(&out, f.height);
  Put32(&out, f.width);
  Put32(&out, f.pitch);
  out.resize(4 + 72, 0);
  Put32(&out, 32);
  Put32(&out, f.formatFlags);
  Put32(&out, f.code);
  Put32(&out, f.bits);
  for (uint32_t m : f.masks) Put32(&out, m);
  out.resize(128, 0);
  out.insert(out.end(), f.pixels.begin(), f.pixels.end());
  return out;
}

inline void AppendToBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

struct PngFile {
  int width = 3, height = 2, depth = 8, type = PNG_COLOR_TYPE_RGB;
  bool interlace = false;
  std::vector<png_color> palette;
  Bytes transparentIndices;  // palette alpha values
  int transparentGrey = -1;
  std::vector<Bytes> rows;  // as PNG stores them (packed, big-endian samples)
};

inline Bytes WritePng(const PngFile& f) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, AppendToBytes, nullptr);
  png_set_IHDR(png, info, f.width, f.height, f.depth, f.type, f.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!f.palette.empty()) png_set_PLTE(png, info, f.palette.data(), static_cast<int>(f.palette.size()));
  if (!f.transparentIndices.empty()) {
    png_set_tRNS(png, info, f.transparentIndices.data(), static_cast<int>(f.transparentIndices.size()), nullptr);
  }
  if (f.transparentGrey >= 0) {
    png_color_16 grey{};
    grey.gray = static_cast<png_uint_16>(f.transparentGrey);
    png_set_tRNS(png, info, nullptr, 0, &grey);
  }
  std::vector<png_bytep> rows;
  for (const Bytes& r : f.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

inline Bytes WriteJpeg(int width, int height, int components, J_COLOR_SPACE space, bool progressive,
                       const Bytes& samples) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = width;
  c.image_height = height;
  c.input_components = components;
  c.in_color_space = space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + c.next_scanline * width * components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(buffer, buffer + size);
  free(buffer);
  return out;
}

// 8 x 8 blocks of flat colour, which JPEG keeps nearly exactly.
inline Bytes Blocks(int width, int height, int components) {
  Bytes out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c)
        out.push_back(static_cast<unsigned char>(((x / 8) * 90 + (y / 8) * 50 + c * 70) % 256));
    }
  }
  return out;
}

}  // namespace picture_writers
