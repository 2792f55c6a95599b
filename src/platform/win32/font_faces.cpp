// Finding and opening font faces, and the code pages of GDI text.
#include "platform/win32/font_faces.h"

#include <fontconfig/fontconfig.h>
#include <iconv.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/host/platform.h"
#include "platform/win32/gdi_text.h"
#include "platform/win32/kernel.h"

namespace gdi_text {
namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

// Windows face names this platform lacks, and the family that stands in for each. The weight picks the style
// through fontconfig (URW Gothic: Book up to 500, Demi above).
struct Substitute {
  const char* windowsName;
  const char* family;
};
constexpr Substitute kSubstitutes[] = {
    {"", "IPAGothic"},
    {"Century Gothic", "URW Gothic"},
};
constexpr const char* kSystemDefaultFamily = "IPAGothic";

// The file fontconfig gives for a pattern; with exactFamily the match must be of that family.
std::string MatchFile(const char* family, const char* lang, int weight, bool exactFamily, int* index) {
  // Fontconfig's own configuration lives until the process ends.
  static const bool finishedAtExit = [] { return FcInit() && std::atexit(FcFini) == 0; }();
  (void)finishedAtExit;
  FcPattern* pattern = FcPatternCreate();
  if (family != nullptr) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  if (lang != nullptr) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  std::string file;
  if (match != nullptr) {
    bool familyMatches = !exactFamily;
    FcChar8* name = nullptr;
    for (int i = 0; !familyMatches && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
      familyMatches = strcasecmp(reinterpret_cast<const char*>(name), family) == 0;
    FcChar8* path = nullptr;
    int faceIndex = 0;
    if (familyMatches && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
      file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) != FcResultMatch) faceIndex = 0;
      *index = faceIndex;
    }
    FcPatternDestroy(match);
  }
  return file;
}

struct Converter {
  iconv_t handle = reinterpret_cast<iconv_t>(-1);
};

}  // namespace

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    if (FT_Init_FreeType(&made) != 0) made = nullptr;
    return made;
  }();
  return library;
}

FT_Face OpenFace(const std::string& file, int index) {
  static std::map<std::pair<std::string, int>, FT_Face> faces;
  std::lock_guard<std::mutex> guard(Lock());
  auto key = std::make_pair(file, index);
  auto found = faces.find(key);
  if (found != faces.end()) return found->second;
  FT_Face face = nullptr;
  if (Library() == nullptr || FT_New_Face(Library(), file.c_str(), index, &face) != 0) face = nullptr;
  if (face != nullptr && FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && face->num_charmaps > 0)
    FT_Set_Charmap(face, face->charmaps[0]);
  faces[key] = face;
  return face;
}

std::string FindFaceFile(const char* faceName, int weight, int codePage, int* index) {
  std::string name = faceName != nullptr ? host::ShiftJisToUtf8(faceName) : std::string();
  *index = 0;
  std::string file = host::Current().FontFile(name);
  if (!file.empty()) return file;
  const char* family = nullptr;
  for (const Substitute& s : kSubstitutes)
    if (strcasecmp(name.c_str(), s.windowsName) == 0) family = s.family;
  if (family == nullptr) {
    file = MatchFile(name.c_str(), nullptr, weight, true, index);
    if (!file.empty()) return file;
    family = kSystemDefaultFamily;
  }
  file = MatchFile(family, nullptr, weight, true, index);
  if (file.empty()) file = MatchFile(nullptr, codePage == 949 ? "ko" : "ja", weight, false, index);
  return file;
}

std::string FallbackFaceFile(int codePage, int* index) {
  *index = 0;
  std::string file = host::Current().FontFile(codePage == 949 ? "*fallback-ko" : "*fallback-ja");
  if (!file.empty()) return file;
  if (codePage != 949) {
    file = MatchFile(kSystemDefaultFamily, nullptr, 400, true, index);
    if (!file.empty()) return file;
  }
  return MatchFile(nullptr, codePage == 949 ? "ko" : "ja", 400, false, index);
}

int CodePageOfCharSet(DWORD charSet) {
  if (charSet == SHIFTJIS_CHARSET) return 932;
  if (charSet == HANGEUL_CHARSET) return 949;
  return GetOEMCP() == 949 ? 949 : 932;
}

bool IsLeadByteOf(int codePage, uint8_t byte) {
  if (codePage == 949) return byte >= 0x81 && byte <= 0xFE;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

uint32_t CodeToUnicode(UINT code, int codePage) {
  if (code < 0x80) return code;
  static Converter converters[2];
  std::lock_guard<std::mutex> guard(Lock());
  Converter& converter = converters[codePage == 949 ? 1 : 0];
  if (converter.handle == reinterpret_cast<iconv_t>(-1))
    converter.handle = iconv_open("UTF-32LE", codePage == 949 ? "CP949" : "CP932");
  if (converter.handle == reinterpret_cast<iconv_t>(-1)) return 0;
  char bytes[2];
  size_t count = 0;
  if (code > 0xFF) bytes[count++] = static_cast<char>((code >> 8) & 0xFF);
  bytes[count++] = static_cast<char>(code & 0xFF);
  uint8_t out[8] = {};
  char* in = bytes;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t inLeft = count, outLeft = sizeof out;
  iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
  size_t result = iconv(converter.handle, &in, &inLeft, &outPtr, &outLeft);
  if (result == static_cast<size_t>(-1) || inLeft != 0 || outLeft != sizeof out - 4) return 0;
  return out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24);
}

}  // namespace gdi_text
