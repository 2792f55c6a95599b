#include "core/memory.h"

#include <cstdlib>
#include <cstring>

void* MemAlloc(int size) { return size < 0 ? nullptr : std::malloc(static_cast<size_t>(size)); }

void* MemAllocZeroed(int size) { return size < 0 ? nullptr : std::calloc(1, static_cast<size_t>(size)); }

void MemFree(void* pointer) { std::free(pointer); }

void CopyText(char* destination, const char* source) { std::strcpy(destination, source); }

void AppendText(char* destination, const char* source) { std::strcat(destination, source); }

// One thread only: the lock words give no exclusion, callers rely only on the result.
int SpinLockEnter(volatile int*) { return 0; }

int SpinLockEnterPair(volatile int*, volatile int*) { return 0; }
