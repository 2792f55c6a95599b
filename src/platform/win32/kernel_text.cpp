// Code-page conversion of the kernel (multibyte to UTF-16 and back) and file deletion, both over the host's iconv and
// file system.
#include <errno.h>
#include <iconv.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/win32/file_paths.h"
#include "platform/win32/kernel.h"

namespace {

// Converts bytes between two iconv encodings; false for text that is not valid in the source encoding.
bool Convert(const char* to, const char* from, const char* in, size_t inSize, std::vector<char>* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out->assign(inSize * 4 + 8, 0);
  char* input = const_cast<char*>(in);
  char* output = out->data();
  size_t inLeft = inSize, outLeft = out->size();
  size_t result = iconv(cd, &input, &inLeft, &output, &outLeft);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1)) return false;
  out->resize(out->size() - outLeft);
  return true;
}

// The iconv name of a code page (CP_ACP: the system's).
const char* EncodingOf(UINT codePage) {
  if (codePage == CP_ACP) codePage = GetACP();
  return codePage == 949 ? "CP949" : codePage == 65001 ? "UTF-8" : "CP932";
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR out, int outLength) {
  if (!text || length < -1 || outLength < 0 || (outLength > 0 && !out)) return 0;
  size_t size = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
  std::vector<char> units;
  if (!Convert("UTF-16LE", EncodingOf(codePage), text, size, &units)) return 0;
  int count = static_cast<int>(units.size() / 2);
  if (outLength == 0) return count;
  if (count > outLength) return 0;
  std::memcpy(out, units.data(), units.size());
  return count;
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int length, LPSTR out, int outLength, LPCSTR,
                        BOOL* usedDefault) {
  if (usedDefault) *usedDefault = FALSE;
  if (!text || length < -1 || outLength < 0 || (outLength > 0 && !out)) return 0;
  size_t units = 0;
  if (length == -1) {
    while (text[units]) ++units;
    ++units;
  } else {
    units = static_cast<size_t>(length);
  }
  std::vector<char> bytes;
  if (!Convert(EncodingOf(codePage), "UTF-16LE", reinterpret_cast<const char*>(text), units * 2, &bytes)) return 0;
  const int count = static_cast<int>(bytes.size());
  if (outLength == 0) return count;
  if (count > outLength) return 0;
  std::memcpy(out, bytes.data(), bytes.size());
  return count;
}

std::string WideToNarrow(LPCWSTR text) {
  if (!text) return {};
  size_t length = 0;
  while (text[length]) ++length;
  std::vector<char> bytes;
  if (!Convert(EncodingOf(CP_ACP), "UTF-16LE", reinterpret_cast<const char*>(text), length * 2, &bytes)) return {};
  return std::string(bytes.begin(), bytes.end());
}

BOOL DeleteFileA(LPCSTR path) {
  if (!path) return FALSE;
  return ::unlink(host::ResolvePath(path).c_str()) == 0 ? TRUE : FALSE;
}
