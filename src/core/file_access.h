// The replaceable file-access table and the two stream sources (file and memory).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "vomak.h"

// File and stream handles are pointer-sized; 0 means no file.
using FileHandle = intptr_t;

struct FileAccessFunctions {
  FileHandle (*open)(const char* path, int a, int b);
  int (*close)(FileHandle handle);
  int32_t (*tell)(FileHandle handle);
  int (*seek)(FileHandle handle, int32_t offset, int origin);
  size_t (*read)(void* buffer, size_t size, size_t count, FileHandle handle);
  int (*eof)(FileHandle handle);
  int (*isReady)(FileHandle handle);
  int (*setDir)(const char* path);
  int (*getDir)(char* buffer);
};

struct StreamSourceFunctions {
  int32_t (*tell)(FileHandle handle);
  int (*seek)(FileHandle handle, int32_t offset, int origin);
  size_t (*read)(void* buffer, size_t size, size_t count, FileHandle handle);
  int (*eof)(FileHandle handle);
  int (*isReady)(FileHandle handle);
  int (*close)(FileHandle handle);
};

struct StreamSourceData {
  StreamSourceFunctions functions;
  FileHandle handle;
};

struct BufferStreamRecord {
  const unsigned char* data;
  int32_t size;
  int32_t position;
  int32_t endFlag;
};

// Buffer size the get-directory entry writes into (at least this many characters).
constexpr size_t kDirectoryBufferSize = 260;

int SetFileAccessFunctions(const FileAccessFunctions* table);
int IsDefaultFileAccess();

FileHandle FileAccessOpen(const char* path, int a, int b);
int FileAccessClose(FileHandle handle);
int32_t FileAccessTell(FileHandle handle);
int FileAccessSeek(FileHandle handle, int32_t offset, int origin);
size_t FileAccessRead(void* buffer, size_t size, size_t count, FileHandle handle);
int FileAccessEof(FileHandle handle);
int FileAccessIsReady(FileHandle handle);
int FileAccessSetDir(const char* path);
int FileAccessGetDir(char* buffer);
// The current directory whole, whatever its length (the default table reads it without the 260-character limit).
std::string FileAccessGetDirString();

// The default host entries, and the stand-alone set of the same operations that nothing installs.
FileHandle HostFileOpen(const char* path, int a, int b);
int HostFileClose(FileHandle handle);
int32_t HostFileTell(FileHandle handle);
int HostFileSeek(FileHandle handle, int32_t offset, int origin);
size_t HostFileRead(void* buffer, size_t size, size_t count, FileHandle handle);
int HostFileEof(FileHandle handle);
int HostFileIsReady(FileHandle handle);
int HostSetCurrentDir(const char* path);
int HostGetCurrentDir(char* buffer);
const FileAccessFunctions* GetHostFileAccessFunctions();

const StreamSourceFunctions* GetFileStreamFunctions();
const StreamSourceFunctions* GetBufferStreamFunctions();
// Writes both stream sets again (library start-up).
void FillStreamFunctionSets();

BufferStreamRecord* OpenBufferStream(const void* data, int32_t size);
int CloseBufferStream(FileHandle record);
int32_t BufferStreamTell(FileHandle record);
int BufferStreamSeek(FileHandle record, int32_t offset, int origin);
size_t BufferStreamRead(void* buffer, size_t size, size_t count, FileHandle record);
int BufferStreamEof(FileHandle record);
int BufferStreamIsReady(FileHandle record);
