#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/core_test_support.h"
#include "core/file_access.h"

namespace {

class FileAccessTest : public CoreTest {
 protected:
  void Write(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
};

int opens = 0;
FileHandle CountingOpen(const char* path, int a, int b) {
  ++opens;
  return HostFileOpen(path, a, b);
}
int NotReady(FileHandle) { return 0; }

}  // namespace

TEST_F(FileAccessTest, DefaultTableReadsHostFilesThroughTheFileStream) {
  ASSERT_EQ(::mkdir("CG", 0755), 0);
  Write("CG/J0001.gph", "0123456789");
  EXPECT_EQ(IsDefaultFileAccess(), 1);
  // Backslashes separate and each component matches without regard to case.
  FileHandle file = FileAccessOpen("cg\\j0001.GPH", 0, 1);
  ASSERT_NE(file, 0);
  const StreamSourceFunctions& f = *GetFileStreamFunctions();
  char buffer[8] = {};
  EXPECT_EQ(f.seek(file, 0, 2), 0);
  EXPECT_EQ(f.tell(file), 10);
  EXPECT_EQ(f.seek(file, 2, 0), 0);
  EXPECT_EQ(f.read(buffer, 4, 1, file), 1u);
  EXPECT_EQ(std::string(buffer, 4), "2345");
  EXPECT_EQ(f.eof(file), 0);
  EXPECT_EQ(f.read(buffer, 3, 2, file), 1u);  // whole elements only
  EXPECT_NE(f.eof(file), 0);
  EXPECT_EQ(f.seek(file, 0, 0), 0);
  EXPECT_EQ(f.eof(file), 0);
  EXPECT_EQ(f.isReady(file), 1);
  EXPECT_EQ(f.close(file), 0);
  EXPECT_EQ(FileAccessOpen("CG\\missing.gph", 0, 1), 0);
  EXPECT_EQ(FileAccessOpen("nofolder\\j0001.gph", 0, 1), 0);
}

TEST_F(FileAccessTest, DirectoriesThroughTheTable) {
  ASSERT_EQ(::mkdir("Save", 0755), 0);
  char buffer[kDirectoryBufferSize];
  EXPECT_EQ(FileAccessGetDir(buffer), static_cast<int>(workDir().size()));
  EXPECT_EQ(std::string(buffer), workDir());
  EXPECT_NE(FileAccessSetDir("save"), 0);
  EXPECT_EQ(FileAccessGetDirString(), workDir() + "/Save");
  EXPECT_NE(FileAccessSetDir(".."), 0);
  EXPECT_EQ(FileAccessSetDir("absent"), 0);
}

TEST_F(FileAccessTest, DirectoriesLongerThanTheOldLimitAreKeptWhole) {
  std::string deep = workDir();
  for (int i = 0; i < 12; ++i) {
    std::string part = std::string(30, static_cast<char>('a' + i));
    ASSERT_EQ(::mkdir(part.c_str(), 0755), 0);
    ASSERT_EQ(::chdir(part.c_str()), 0);
    deep += "/" + part;
  }
  EXPECT_EQ(FileAccessGetDirString(), deep);
  // The fixed-size entry refuses rather than overflowing its 260 characters.
  char buffer[kDirectoryBufferSize];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(FileAccessGetDir(buffer), 0);
  EXPECT_EQ(buffer[0], '\0');
}

TEST_F(FileAccessTest, ReplacedTableAndRestoringItWithNull) {
  Write("data.bin", "abc");
  FileAccessFunctions table = *GetHostFileAccessFunctions();
  EXPECT_EQ(table.open("data.bin", 0, 1) != 0, true);
  table.open = CountingOpen;
  EXPECT_EQ(SetFileAccessFunctions(&table), 0);
  EXPECT_EQ(IsDefaultFileAccess(), 0);
  FileHandle file = FileAccessOpen("data.bin", 0, 1);
  EXPECT_EQ(opens, 1);
  ASSERT_NE(file, 0);
  FileAccessClose(file);

  // Only the is-ready entry differs: still the default table.
  FileAccessFunctions almost{HostFileOpen, HostFileClose, HostFileTell,      HostFileSeek,     HostFileRead,
                             HostFileEof,  NotReady,      HostSetCurrentDir, HostGetCurrentDir};
  SetFileAccessFunctions(&almost);
  EXPECT_EQ(IsDefaultFileAccess(), 1);
  EXPECT_EQ(FileAccessIsReady(0), 0);

  SetFileAccessFunctions(nullptr);
  EXPECT_EQ(IsDefaultFileAccess(), 1);
  EXPECT_EQ(FileAccessIsReady(0), 1);
  file = FileAccessOpen("data.bin", 0, 1);
  EXPECT_EQ(opens, 1);
  FileAccessClose(file);
}
