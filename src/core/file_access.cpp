#include "core/file_access.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/host_path.h"
#include "core/memory.h"
#include "core/win32_calls.h"

namespace {

// Lock word of the default entries; SpinLockEnter gives no exclusion (one thread).
volatile int fileAccessLock = 0;

FILE* AsFile(FileHandle handle) { return reinterpret_cast<FILE*>(handle); }
BufferStreamRecord* AsRecord(FileHandle handle) { return reinterpret_cast<BufferStreamRecord*>(handle); }

const FileAccessFunctions kDefaultTable = {HostFileOpen, HostFileClose, HostFileTell,     HostFileSeek,     HostFileRead,
                                           HostFileEof,  HostFileIsReady, HostSetCurrentDir, HostGetCurrentDir};

// The stand-alone set: the same host operations, without the lock.
FileHandle PlainOpen(const char* path, int, int) {
  return reinterpret_cast<FileHandle>(std::fopen(ResolveHostPath(path).c_str(), "rb"));
}
int PlainClose(FileHandle handle) { return std::fclose(AsFile(handle)); }
int32_t PlainTell(FileHandle handle) { return static_cast<int32_t>(std::ftell(AsFile(handle))); }
int PlainSeek(FileHandle handle, int32_t offset, int origin) { return std::fseek(AsFile(handle), offset, origin); }
size_t PlainRead(void* buffer, size_t size, size_t count, FileHandle handle) {
  return std::fread(buffer, size, count, AsFile(handle));
}
int PlainEof(FileHandle handle) { return std::feof(AsFile(handle)); }

const FileAccessFunctions kHostTable = {PlainOpen, PlainClose,      PlainTell,         PlainSeek,        PlainRead,
                                        PlainEof,  HostFileIsReady, HostSetCurrentDir, HostGetCurrentDir};

FileAccessFunctions FileAccessTable = kDefaultTable;

constexpr StreamSourceFunctions kFileStreamEntries = {FileAccessTell, FileAccessSeek,    FileAccessRead,
                                                      FileAccessEof,  FileAccessIsReady, FileAccessClose};
constexpr StreamSourceFunctions kBufferStreamEntries = {BufferStreamTell, BufferStreamSeek,    BufferStreamRead,
                                                        BufferStreamEof,  BufferStreamIsReady, CloseBufferStream};
StreamSourceFunctions FileStreamFunctions = kFileStreamEntries;
StreamSourceFunctions BufferStreamFunctions = kBufferStreamEntries;

}  // namespace

FileHandle HostFileOpen(const char* path, int a, int b) {
  SpinLockEnter(&fileAccessLock);
  return PlainOpen(path, a, b);
}

int HostFileClose(FileHandle handle) {
  SpinLockEnter(&fileAccessLock);
  return PlainClose(handle);
}

int32_t HostFileTell(FileHandle handle) {
  SpinLockEnter(&fileAccessLock);
  return PlainTell(handle);
}

int HostFileSeek(FileHandle handle, int32_t offset, int origin) {
  SpinLockEnter(&fileAccessLock);
  return PlainSeek(handle, offset, origin);
}

size_t HostFileRead(void* buffer, size_t size, size_t count, FileHandle handle) {
  SpinLockEnter(&fileAccessLock);
  return PlainRead(buffer, size, count, handle);
}

int HostFileEof(FileHandle handle) {
  SpinLockEnter(&fileAccessLock);
  return PlainEof(handle);
}

int HostFileIsReady(FileHandle) { return 1; }

int HostSetCurrentDir(const char* path) { return SetCurrentDirectoryA(ResolveHostPath(path).c_str()); }

// Writes the directory only when it fits the 260-character buffer; a longer one gives 0 and an empty text.
int HostGetCurrentDir(char* buffer) {
  DWORD length = GetCurrentDirectoryA(kDirectoryBufferSize, buffer);
  if (length >= kDirectoryBufferSize) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<int>(length);
}

const FileAccessFunctions* GetHostFileAccessFunctions() { return &kHostTable; }

int ConvertToHostPath(const char* path, char* buffer, int bufferSize) {
  const std::string host = ResolveHostPath(path);
  if (buffer == nullptr || bufferSize <= 0 || host.size() >= static_cast<size_t>(bufferSize)) return -1;
  std::memcpy(buffer, host.c_str(), host.size() + 1);
  return static_cast<int>(host.size());
}

int SetFileAccessFunctions(const FileAccessFunctions* table) {
  FileAccessTable = table ? *table : kDefaultTable;
  return 0;
}

int IsDefaultFileAccess() {
  const FileAccessFunctions& t = FileAccessTable;
  const FileAccessFunctions& d = kDefaultTable;
  return t.open == d.open && t.close == d.close && t.tell == d.tell && t.seek == d.seek && t.read == d.read &&
         t.eof == d.eof && t.setDir == d.setDir && t.getDir == d.getDir;
}

FileHandle FileAccessOpen(const char* path, int a, int b) { return FileAccessTable.open(path, a, b); }
int FileAccessClose(FileHandle handle) { return FileAccessTable.close(handle); }
int32_t FileAccessTell(FileHandle handle) { return FileAccessTable.tell(handle); }
int FileAccessSeek(FileHandle handle, int32_t offset, int origin) { return FileAccessTable.seek(handle, offset, origin); }
size_t FileAccessRead(void* buffer, size_t size, size_t count, FileHandle handle) {
  return FileAccessTable.read(buffer, size, count, handle);
}
int FileAccessEof(FileHandle handle) { return FileAccessTable.eof(handle); }
int FileAccessIsReady(FileHandle handle) { return FileAccessTable.isReady(handle); }
int FileAccessSetDir(const char* path) { return FileAccessTable.setDir(path); }
int FileAccessGetDir(char* buffer) { return FileAccessTable.getDir(buffer); }

std::string FileAccessGetDirString() {
  if (FileAccessTable.getDir == HostGetCurrentDir) {
    std::vector<char> buffer(kDirectoryBufferSize);
    for (;;) {
      DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
      if (length == 0) return {};
      if (length < buffer.size()) return std::string(buffer.data(), length);
      buffer.resize(length + 1);
    }
  }
  // A replaced table promises a buffer of 260 characters; give it room to spare.
  std::vector<char> buffer(4096, '\0');
  FileAccessTable.getDir(buffer.data());
  buffer.back() = '\0';
  return buffer.data();
}

const StreamSourceFunctions* GetFileStreamFunctions() { return &FileStreamFunctions; }
const StreamSourceFunctions* GetBufferStreamFunctions() { return &BufferStreamFunctions; }

void FillStreamFunctionSets() {
  FileStreamFunctions = kFileStreamEntries;
  BufferStreamFunctions = kBufferStreamEntries;
}

BufferStreamRecord* OpenBufferStream(const void* data, int32_t size) {
  if (size < 0 || (data == nullptr && size > 0)) return nullptr;
  auto* record = static_cast<BufferStreamRecord*>(MemAlloc(sizeof(BufferStreamRecord)));
  if (record == nullptr) return nullptr;
  record->data = static_cast<const unsigned char*>(data);
  record->size = size;
  record->position = 0;
  record->endFlag = 0;
  return record;
}

int CloseBufferStream(FileHandle record) {
  MemFree(AsRecord(record));
  return 0;
}

int32_t BufferStreamTell(FileHandle record) { return AsRecord(record)->position; }

int BufferStreamSeek(FileHandle handle, int32_t offset, int origin) {
  BufferStreamRecord* record = AsRecord(handle);
  int64_t target;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = static_cast<int64_t>(record->position) + offset; break;
    case 2: target = static_cast<int64_t>(record->size) + offset; break;
    default: return -1;  // unknown origin: nothing moves
  }
  if (target > record->size) target = record->size;
  if (target < 0) target = 0;
  record->position = static_cast<int32_t>(target);
  record->endFlag = 0;
  return 0;
}

size_t BufferStreamRead(void* buffer, size_t size, size_t count, FileHandle handle) {
  BufferStreamRecord* record = AsRecord(handle);
  if (record->position >= record->size) {
    record->endFlag = 1;
    return 0;
  }
  auto* out = static_cast<unsigned char*>(buffer);
  const unsigned char* from = record->data + record->position;
  uint64_t remaining = static_cast<uint64_t>(record->size - record->position);
  size_t result;
  // 128-bit product: size times count never wraps into a small number.
  unsigned __int128 wanted = static_cast<unsigned __int128>(size) * count;
  // A request beyond the address space cannot describe a caller's buffer.
  if (wanted > SIZE_MAX) return 0;
  if (wanted <= remaining) {
    std::memcpy(out, from, static_cast<size_t>(wanted));
    record->position += static_cast<int32_t>(wanted);
    result = count;
  } else if (uint64_t whole = remaining / size; whole > 0) {
    std::memcpy(out, from, static_cast<size_t>(whole * size));
    record->position += static_cast<int32_t>(whole * size);
    result = static_cast<size_t>(whole);
  } else {
    // Fewer bytes than one element: they count as one element, the rest of it reads as zero.
    std::memcpy(out, from, static_cast<size_t>(remaining));
    std::memset(out + remaining, 0, size - static_cast<size_t>(remaining));
    record->position = record->size;
    result = 1;
  }
  record->endFlag = 0;
  return result;
}

int BufferStreamEof(FileHandle record) { return AsRecord(record)->endFlag; }

int BufferStreamIsReady(FileHandle) { return 1; }
