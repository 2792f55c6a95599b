// Writes the fuzzers' seed corpus: a few small pictures of every kind each decoder takes, one folder per decoder.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/midi_writers.h"
#include "support/movie_writer.h"
#include "support/picture_writers.h"

using namespace picture_writers;

namespace {

std::filesystem::path root;

void Save(const std::string& decoder, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(root / decoder);
  std::ofstream out(root / decoder / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void BmpSeeds() {
  BmpFile rgb(5, -3, 24);
  rgb.data = Pattern(48, 1);
  Save("bmp", "rgb24", Build(rgb));
  BmpFile rle8(6, 3, 8, 1);
  rle8.colorsUsed = 4;
  rle8.palette = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
  rle8.data = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 1, 1, 2, 0, 1};
  Save("bmp", "rle8", Build(rle8));
  BmpFile rle4(8, 2, 4, 2);
  rle4.palette = rle8.palette;
  rle4.data = {5, 0x12, 0, 3, 0x31, 0x20, 0, 0, 4, 0x33, 0, 1};
  Save("bmp", "rle4", Build(rle4));
  BmpFile four(5, 2, 4);
  four.palette = std::vector<uint32_t>(16, 0x123456);
  four.data = Pattern(8, 2);
  Save("bmp", "pal4", Build(four));
  BmpFile one(10, 2, 1);
  one.palette = {0, 0xFFFFFF};
  one.data = Pattern(8, 3);
  Save("bmp", "mono", Build(one));
  BmpFile fields(3, 2, 16, 3);
  fields.headerSize = 124;
  fields.masks = {0xF800, 0x07E0, 0x001F};
  fields.data = Pattern(16, 4);
  Save("bmp", "fields16", Build(fields));
  BmpFile argb(2, 2, 32);
  argb.data = Pattern(16, 5);
  Save("bmp", "rgb32", Build(argb));
}

void TgaSeeds() {
  TgaFile rle(10, 4, 3, 32);
  rle.data = {0x83, 1, 2, 3, 4, 0x07, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  rle.footer = true;
  rle.extensionAttributes = 3;
  Save("tga", "rle32", Build(rle));
  TgaFile mapped(9, 3, 2, 8);
  mapped.mapEntryBits = 16;
  mapped.map = {1, 2, 3, 4};
  mapped.data = {0x82, 1, 0x02, 0, 1, 0};
  mapped.descriptor = 0x10;
  Save("tga", "mapped", Build(mapped));
  TgaFile plain(2, 3, 2, 24);
  plain.descriptor = 0;
  plain.data = Pattern(18, 6);
  Save("tga", "rgb24", Build(plain));
}

void DdsSeeds() {
  for (uint32_t code : {21u, 23u, 27u, 35u}) {
    DdsFile f;
    f.code = code;
    f.pixels = Pattern(16, code);
    Save("dds", "code" + std::to_string(code), Build(f));
  }
  DdsFile masks;
  masks.formatFlags = 0x41;
  masks.bits = 32;
  masks.masks[0] = 0xFF0000;
  masks.masks[1] = 0xFF00;
  masks.masks[2] = 0xFF;
  masks.masks[3] = 0xFF000000;
  masks.flags |= 0x8;
  masks.pitch = 12;
  masks.pixels = Pattern(24, 9);
  Save("dds", "masks", Build(masks));
}

void PngSeeds() {
  PngFile palette;
  palette.type = PNG_COLOR_TYPE_PALETTE;
  palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
  palette.transparentIndices = {128, 0};
  palette.rows = {{0, 1, 2}, {3, 3, 0}};
  Save("png", "palette", WritePng(palette));
  PngFile deep;
  deep.width = 2;
  deep.height = 1;
  deep.depth = 16;
  deep.type = PNG_COLOR_TYPE_RGB_ALPHA;
  deep.rows = {Pattern(16, 10)};
  Save("png", "rgba16", WritePng(deep));
  PngFile grey;
  grey.width = 10;
  grey.height = 2;
  grey.depth = 1;
  grey.type = PNG_COLOR_TYPE_GRAY;
  grey.rows = {{0xA0, 0xC0}, {0x55, 0x40}};
  Save("png", "grey1", WritePng(grey));
  PngFile laced;
  laced.width = 9;
  laced.height = 9;
  laced.type = PNG_COLOR_TYPE_GRAY_ALPHA;
  laced.interlace = true;
  for (int y = 0; y < 9; ++y) laced.rows.push_back(Pattern(18, 20 + y));
  Save("png", "interlaced", WritePng(laced));
}

void JpegSeeds() {
  Save("jpeg", "baseline", WriteJpeg(16, 8, 3, JCS_RGB, false, Blocks(16, 8, 3)));
  Save("jpeg", "progressive", WriteJpeg(16, 16, 3, JCS_RGB, true, Blocks(16, 16, 3)));
  Save("jpeg", "grey", WriteJpeg(9, 8, 1, JCS_GRAYSCALE, false, Blocks(9, 8, 1)));
}

void BgraSeeds() {
  Save("bgra", "eight", Bgra(0x08080808, 3, 2, Pattern(24, 11)));
  Save("bgra", "sixteen", Bgra(0x10101010, 2, 2, Pattern(32, 12)));
}

// Besides an ordinary movie: a width that is no multiple of 16 in a coarse time base, a header that claims a frame
// past the picture limit, and files that name other files or addresses, which the opener must refuse unread.
void MovieSeeds() {
  std::filesystem::create_directories(root / "movie");
  auto text = [](const std::string& name, const std::string& bytes) {
    Save("movie", name, Bytes(bytes.begin(), bytes.end()));
  };
  testing_support::WriteMovie((root / "movie" / "mpeg1.mpg").string());
  const std::string coarse = (root / "movie" / "coarse.avi").string();
  testing_support::WriteMovie(coarse, testing_support::CoarseAvi());
  std::string claimed = testing_support::FileBytes(coarse);
  if (testing_support::DeclareAviFrameSize(claimed, 8192, 8192)) text("claims8192.avi", claimed);
  text("manifest.mpd", testing_support::DashManifest("http://127.0.0.1:9/clip.mp4"));
  text("list.m3u8", testing_support::HlsPlaylist("mpeg1.mpg"));
  text("script.ffconcat", testing_support::ConcatScript("mpeg1.mpg"));
}

void MidiSeeds() {
  using testing_support::Track;
  Track conductor, notes;
  conductor.Tempo(0, 500000).Tempo(96, 250000).Event(0, {0xF0, 3, 0x7E, 0x09, 0xF7}).End(96);
  notes.Event(0, {0xC0, 1}).Event(0, {0x90, 60, 100}).Event(96, {60, 0}).Event(0, {0xE0, 0, 64}).End(96);
  Save("smf", "type1", testing_support::MidiFile(1, 96, {conductor, notes}));
  Save("smf", "type0-smpte", testing_support::MidiFile(0, 0xE728, {notes}));
  Save("smf", "rmid", testing_support::RmidFile(testing_support::MidiFile(0, 96, {notes})));
  Track years;  // 47 bytes or less that declare some 140 years: refused by the longest-song bound
  years.Tempo(0, 0xFFFFFF).Event(0, {0x90, 60, 100}).End(0x0FFFFFFF);
  Save("smf", "years", testing_support::MidiFile(0, 1, {years}));
}

// Shapes past the picture limit, which every decoder must refuse from its header: sides a surface cannot hold and
// small files that claim far too many pixels (run-length and deflate bombs).
void LimitSeeds() {
  PngFile wide{.width = 16385, .height = 1, .depth = 1, .type = PNG_COLOR_TYPE_GRAY, .rows = {Bytes(2049, 0)}};
  Save("png", "wide", WritePng(wide));
  PngFile bomb = wide;
  bomb.width = bomb.height = 8192;
  bomb.rows.assign(8192, Bytes(1024, 0));
  Save("png", "bomb", WritePng(bomb));
  Bytes tall = WriteJpeg(16, 8, 3, JCS_RGB, false, Blocks(16, 8, 3));
  const unsigned char frame[] = {0xFF, 0xC0, 0x00, 0x11, 0x08};
  auto at = std::search(tall.begin(), tall.end(), std::begin(frame), std::end(frame));
  if (at != tall.end()) at[5] = 0x40;  // height 16,392
  Save("jpeg", "tall", tall);
  BmpFile runs(16384, 16384, 8, 1);
  runs.palette = {0, 0xFFFFFF};
  runs.data = {255, 1, 255, 1, 0, 1};
  Save("bmp", "rle8bomb", Build(runs));
  Save("bgra", "huge", Bgra(0x08080808, 16384, 16384, Pattern(16, 13)));
  TgaFile wideTga(2, 4096, 4095, 24);
  wideTga.descriptor = 0;
  wideTga.data = Pattern(12, 14);
  Save("tga", "wide", Build(wideTga));
  DdsFile huge;
  huge.width = huge.height = 16384;
  huge.pixels = Pattern(16, 15);
  Save("dds", "huge", Build(huge));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  root = argv[1];
  BmpSeeds();
  TgaSeeds();
  DdsSeeds();
  PngSeeds();
  JpegSeeds();
  BgraSeeds();
  MovieSeeds();
  MidiSeeds();
  LimitSeeds();
  return 0;
}
