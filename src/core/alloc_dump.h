// The allocation dump: debug allocation headers checked against their guard copy and written to the log.
#pragma once
#include <cstdint>

// The 64 bytes in front of each debug-tracked block; its data follows.
struct AllocBlockHeader {
  char fileName[16];     // source file name, zero-terminated when it fits
  uint16_t id;           // allocation id
  uint16_t line;         // source line
  uint32_t size;         // data size in bytes
  uint8_t reserved[8];
  uint8_t guard[32];     // a copy of bytes 0 to 31
};
static_assert(sizeof(AllocBlockHeader) == 64, "AllocBlockHeader layout");

// Logs the allocation totals (bytes, kilobytes, blocks); -1, the log writer's answer.
int LogAllocTotals();
// Copies the header's first 32 bytes over its guard.
void SealAllocHeader(AllocBlockHeader* header);
// 0 when the first 32 bytes equal the guard; else logs the damage and the block, and answers -1.
int CheckAllocHeader(const AllocBlockHeader* header);
// Logs one line describing the block: size, file, line, id and its first 16 data bytes as text and hexadecimal.
void DumpAllocBlock(const AllocBlockHeader* header);
