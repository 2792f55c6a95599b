// The allocation dump. It runs exactly when a header may be damaged, so every field is printed with a bound: the
// file name to its 16 bytes, the line to its 260-byte buffer.
#include "core/alloc_dump.h"

#include <cstdio>
#include <cstring>

#include "core/system_state.h"
#include "vomak.h"

int LogAllocTotals() {
  const LibrarySystemState& s = SystemState;
  return AppLogWriteFormat("\tTotal size:%d(%.3fkb)  Alloc num:%d", s.allocTotalSize, s.allocTotalSize / 1024.0,
                           s.allocBlockCount);
}

void SealAllocHeader(AllocBlockHeader* header) { std::memcpy(header->guard, header, sizeof header->guard); }

int CheckAllocHeader(const AllocBlockHeader* header) {
  if (std::memcmp(header, header->guard, sizeof header->guard) == 0) return 0;
  AppLogWrite("以下のメモリ確保情報が破損しました");
  DumpAllocBlock(header);
  return -1;
}

void DumpAllocBlock(const AllocBlockHeader* header) {
  char line[260];
  size_t used = 0;
  auto append = [&](const char* format, auto... values) {
    if (used >= sizeof line) return;
    int written = std::snprintf(line + used, sizeof line - used, format, values...);
    if (written > 0) used += static_cast<size_t>(written);
    if (used >= sizeof line) used = sizeof line - 1;
  };
  const int size = static_cast<int>(header->size);
  append("\tsize:%d(%.3fkb)  file:%.*s  line:%d  ID:%d  data:<", size, header->size / 1024.0,
         static_cast<int>(sizeof header->fileName), header->fileName, header->line, header->id);
  const uint8_t* data = reinterpret_cast<const uint8_t*>(header + 1);
  const int count = header->size < 16 ? static_cast<int>(header->size) : 16;
  for (int i = 0; i < count; ++i) append("%c", (data[i] < 0x20 || data[i] >= 0x80) ? '.' : data[i]);
  append("> [");
  for (int i = 0; i < count; ++i) append("%02x ", data[i]);
  // The last character written (the blank after the last byte, or the "[" of an empty block) becomes "]\n".
  if (used > 0) --used;
  append("]\n");
  AppLogWrite(line);
}
