// Memory helpers, text copies and the no-op lock words of the library.
#pragma once
#include <cstddef>

void* MemAlloc(int size);
void* MemAllocZeroed(int size);
void MemFree(void* pointer);

void CopyText(char* destination, const char* source);
void AppendText(char* destination, const char* source);

// Length of the longest prefix of text of at most limit bytes that splits no double-byte character
// (lead bytes by the library's double-byte kind: Shift-JIS, or Hangeul when the OEM code page is 949).
size_t TextPrefixLength(const char* text, size_t limit);
bool IsLeadByteOfKind(unsigned char byte, int kind);

int SpinLockEnter(volatile int* lock);
int SpinLockEnterPair(volatile int* first, volatile int* second);
