// Font faces for GDI text: face files found through the host and fontconfig (with the table of Windows face
// names this platform lacks), FreeType faces opened once per file, and code-page characters turned into Unicode.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <string>

#include "platform/win32/types.h"

namespace gdi_text {

// The FreeType library shared by every font (made on first use).
FT_Library Library();
// The face in a file (opened once and kept); null when the file holds no usable face.
FT_Face OpenFace(const std::string& file, int index);
// The file of a face name given in the code page's bytes (empty: the system default) at a GDI weight. A name the
// platform does not know gets the system default face. Empty when not even that exists.
std::string FindFaceFile(const char* faceName, int weight, int codePage, int* index);
// The face that draws the characters a face lacks: a Japanese face (a Korean one under code page 949).
std::string FallbackFaceFile(int codePage, int* index);
// The code page of a GDI character set (DEFAULT_CHARSET: the system's own).
int CodePageOfCharSet(DWORD charSet);
// Whether a byte leads a double-byte character in the code page.
bool IsLeadByteOf(int codePage, uint8_t byte);
// A character code (byte, or lead x 256 + trail) as Unicode; 0 when the code page has no such character.
uint32_t CodeToUnicode(UINT code, int codePage);

}  // namespace gdi_text
