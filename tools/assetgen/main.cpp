// The asset generator: writes every picture, sound and the music the game loads into its working directory, and
// an empty save file when there is none.
//
//   qelt_assetgen OUTPUT_DIR [--font FILE] [--seed N] [--sheet FILE]   the whole set (and file.sav if missing)
//   qelt_assetgen --save-only OUTPUT_DIR                              only file.sav, if missing
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>

#include "assets.h"
#include "sound_set.h"

namespace {

const uint64_t kDefaultSeed = 0x51E17;

// A 40-byte zeroed save file (ten zero digits), created only where none exists: a player's scores are never lost.
bool EnsureSaveFile(const std::string& dir) {
  std::string path = dir + "/file.sav";
  FILE* file = std::fopen(path.c_str(), "wbx");
  if (!file) return std::filesystem::exists(path);
  unsigned char zeros[40] = {};
  bool ok = std::fwrite(zeros, 1, sizeof zeros, file) == sizeof zeros;
  return std::fclose(file) == 0 && ok;
}

// A look at every sprite at three times its size over a checked grey ground, for people tuning the looks.
bool WriteSheet(const std::vector<assetgen::Picture>& sprites, const std::string& path) {
  using namespace assetgen;
  const int scale = 3, width = 1100;
  int x = 8, y = 8, rowHeight = 0;
  struct Place {
    const Picture* picture;
    int x, y;
  };
  std::vector<Place> places;
  for (const Picture& p : sprites) {
    int w = p.canvas.width() * scale, h = p.canvas.height() * scale;
    if (x + w > width) x = 8, y += rowHeight + 8, rowHeight = 0;
    places.push_back({&p, x, y});
    x += w + 8;
    rowHeight = std::max(rowHeight, h);
  }
  Canvas sheet(width, y + rowHeight + 8);
  for (int sy = 0; sy < sheet.height(); ++sy)
    for (int sx = 0; sx < sheet.width(); ++sx) sheet.at(sx, sy) = ((sx / 12 + sy / 12) % 2) ? Rgb8(60, 60, 70) : Rgb8(90, 90, 100);
  for (const Place& place : places)
    for (int py = 0; py < place.picture->canvas.height() * scale; ++py)
      for (int px = 0; px < place.picture->canvas.width() * scale; ++px)
        sheet.Blend(place.x + px, place.y + py, place.picture->canvas.at(px / scale, py / scale), 1);
  return sheet.WritePng(path, false);
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "qelt_assetgen: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace assetgen;
  if (argc == 3 && std::strcmp(argv[1], "--save-only") == 0)
    return EnsureSaveFile(argv[2]) ? 0 : Fail(std::string("cannot write ") + argv[2] + "/file.sav");
  if (argc < 2 || argc % 2 != 0) return Fail("usage: qelt_assetgen OUTPUT_DIR [--font FILE] [--seed N] [--sheet FILE]");
  std::string dir = argv[1], sheetPath, fontPath = QELT_ASSET_FONT;
  uint64_t seed = kDefaultSeed;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--font") == 0) fontPath = argv[i + 1];
    else if (std::strcmp(argv[i], "--seed") == 0) seed = std::strtoull(argv[i + 1], nullptr, 0);
    else if (std::strcmp(argv[i], "--sheet") == 0) sheetPath = argv[i + 1];
    else return Fail(std::string("unknown option ") + argv[i]);
  }
  Lettering font(fontPath);
  if (!font.ok()) return Fail("cannot open the font " + fontPath);
  std::error_code error;
  std::filesystem::create_directories(dir + "/CG", error);
  std::filesystem::create_directories(dir + "/SE", error);
  if (error) return Fail("cannot make the output directories in " + dir);

  // The music and the backdrop take longest: they run beside the rest.
  auto music = std::async(std::launch::async, [seed] { return MakeStageMusic(seed); });
  auto scenery = std::async(std::launch::async, [&font, seed] { return MakeScenery(font, seed); });
  std::vector<Picture> sprites = MakeSprites(font, seed);
  for (const Picture& p : sprites)
    if (!p.canvas.WritePng(dir + "/CG/" + p.name, p.alpha)) return Fail("cannot write CG/" + p.name);
  for (const Effect& e : MakeEffects(seed))
    if (!WriteWav(dir + "/SE/" + e.name, e.samples, 1)) return Fail("cannot write SE/" + e.name);
  if (!WriteFanfare(dir + "/SE/mi0101.snd")) return Fail("cannot write SE/mi0101.snd");
  if (!sheetPath.empty() && !WriteSheet(sprites, sheetPath)) return Fail("cannot write " + sheetPath);
  for (const Picture& p : scenery.get())
    if (!p.canvas.WritePng(dir + "/CG/" + p.name, p.alpha)) return Fail("cannot write CG/" + p.name);
  if (!WriteOgg(dir + "/SE/m30001.snd", music.get(), 2, 0.3f, static_cast<uint32_t>(seed)))
    return Fail("cannot write SE/m30001.snd");
  if (!EnsureSaveFile(dir)) return Fail("cannot write " + dir + "/file.sav");
  return 0;
}
