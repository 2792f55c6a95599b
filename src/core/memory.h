// Memory helpers, text copies and the no-op lock words of the library.
#pragma once
#include <cstddef>

void* MemAlloc(int size);
void* MemAllocZeroed(int size);
void MemFree(void* pointer);

void CopyText(char* destination, const char* source);
void AppendText(char* destination, const char* source);

int SpinLockEnter(volatile int* lock);
int SpinLockEnterPair(volatile int* first, volatile int* second);
