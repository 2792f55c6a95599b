#include "core/memory.h"

#include <cstdlib>
#include <cstring>

#include "core/system_state.h"

void* MemAlloc(int size) { return size < 0 ? nullptr : std::malloc(static_cast<size_t>(size)); }

void* MemAllocZeroed(int size) { return size < 0 ? nullptr : std::calloc(1, static_cast<size_t>(size)); }

void MemFree(void* pointer) { std::free(pointer); }

void CopyText(char* destination, const char* source) { std::strcpy(destination, source); }

void AppendText(char* destination, const char* source) { CopyText(destination + std::strlen(destination), source); }

bool IsLeadByteOfKind(unsigned char byte, int kind) {
  if (kind == 2) return byte >= 0x80;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

size_t TextPrefixLength(const char* text, size_t limit) {
  size_t i = 0;
  while (i < limit && text[i] != '\0') {
    size_t step = IsLeadByteOfKind(static_cast<unsigned char>(text[i]), SystemState.doubleByteKind) && text[i + 1] != '\0' ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

// One thread only: the lock words give no exclusion, callers rely only on the result.
int SpinLockEnter(volatile int*) { return 0; }

int SpinLockEnterPair(volatile int*, volatile int*) { return 0; }
