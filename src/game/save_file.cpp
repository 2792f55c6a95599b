// The high-score file "file.sav": ten little-endian 32-bit words, word i holding decimal digit i of the high score.
// Read once at start-up; written at the start of every game through a temporary file renamed over it, so that an
// interrupted write never loses the previous score. Only a regular file is read or written (a link to one is
// followed and kept): a FIFO would block the start, and a device or another file must never be replaced.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game_units.h"
#include "vomak.h"

namespace {

constexpr char kSaveName[] = "file.sav";
constexpr char kOpenFailed[] = "ファイルのオープンに失敗しました。\n";
constexpr char kCloseFailed[] = "ファイルのクローズに失敗しました。\n";
constexpr char kNotRegular[] = "not a regular file";

// perror for a Shift-JIS message, naming the file: the terminal reads UTF-8. The reason is errno's, or the one
// given.
void ReportError(const char* shiftJis, const std::string& path, const char* reason = nullptr) {
  int error = errno;
  std::string utf8;
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter != reinterpret_cast<iconv_t>(-1)) {
    std::string in(shiftJis);
    utf8.resize(in.size() * 3 + 1);
    char* source = in.data();
    size_t sourceLeft = in.size();
    char* target = utf8.data();
    size_t targetLeft = utf8.size();
    if (iconv(converter, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1)) {
      utf8 = shiftJis;
    } else {
      utf8.resize(utf8.size() - targetLeft);
    }
    iconv_close(converter);
  } else {
    utf8 = shiftJis;
  }
  std::fprintf(stderr, "%s%s: %s\n", utf8.c_str(), path.c_str(), reason ? reason : std::strerror(error));
}

// How a path stands: missing, a regular file, a directory, or something else (a device, a FIFO, a socket, a
// link where links are not followed).
enum class Kind { kMissing, kRegular, kDirectory, kOther };

Kind KindOf(const std::string& path, bool followLink) {
  struct stat info {};
  if ((followLink ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0) return Kind::kMissing;
  return S_ISREG(info.st_mode) ? Kind::kRegular : S_ISDIR(info.st_mode) ? Kind::kDirectory : Kind::kOther;
}

// Opens a stream on a regular file only. The kind is looked at before opening, so a FIFO or a device is never
// opened at all, and again on the open descriptor, in case the name changed in between; `notRegular` tells that
// refusal from an ordinary failure of the open.
std::FILE* OpenRegular(const std::string& path, int flags, const char* mode, bool& notRegular) {
  notRegular = false;
  const Kind kind = KindOf(path, (flags & O_NOFOLLOW) == 0);
  if (kind != Kind::kRegular && (kind != Kind::kMissing || (flags & O_CREAT) == 0)) {
    notRegular = kind != Kind::kMissing;
    return nullptr;
  }
  int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    notRegular = true;
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* stream = ::fdopen(fd, mode);
  if (!stream) ::close(fd);
  return stream;
}

// Writes the ten words; true when all 40 bytes were taken.
bool WriteWords(std::FILE* stream, const uint32_t words[10]) {
  unsigned char bytes[40];
  for (int i = 0; i < 10; ++i) {
    for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<unsigned char>(words[i] >> (8 * b));
  }
  return std::fwrite(bytes, 4, 10, stream) == 10;
}

// The save file's name on the host's file system, found as the library finds its own files.
std::string HostSaveName() {
  char buffer[PATH_MAX];
  int length = ConvertToHostPath(kSaveName, buffer, sizeof buffer);
  return length < 0 ? std::string(kSaveName) : std::string(buffer, static_cast<size_t>(length));
}

// The file the name stands for: a symbolic link is followed, so the temporary file lies beside the real one and
// the link stays. Empty when the name stands for no regular file (a missing name is made anew, as "wb" would).
std::string SaveTarget() {
  const std::string name = HostSaveName();
  struct stat info {};
  if (::lstat(name.c_str(), &info) != 0) return name;
  if (S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (!::realpath(name.c_str(), resolved)) return {};
    return KindOf(resolved, false) == Kind::kRegular ? std::string(resolved) : std::string();
  }
  return S_ISREG(info.st_mode) ? name : std::string();
}

}  // namespace

int ReadHighScore(GameLoop& game) {
  std::memset(game.saveReadBuffer, 0, sizeof game.saveReadBuffer);
  std::memset(game.saveWriteBuffer, 0, sizeof game.saveWriteBuffer);
  bool notRegular = false;
  const std::string name = HostSaveName();
  std::FILE* stream = OpenRegular(name, O_RDONLY, "rb", notRegular);
  if (!stream) {
    ReportError(kOpenFailed, name, notRegular ? kNotRegular : nullptr);
    return -1;
  }
  // A short file leaves its missing bytes at 0; a torn last word keeps the bytes it has.
  unsigned char bytes[40] = {};
  static_cast<void>(std::fread(bytes, 1, sizeof bytes, stream));
  for (size_t i = 0; i < 10; ++i) {
    game.saveReadBuffer[i] = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
                             static_cast<uint32_t>(bytes[4 * i + 3]) << 24;
  }
  uint32_t score = 0;
  uint32_t power = 1;
  for (int i = 0; i < 10; ++i) {
    score += game.saveReadBuffer[i] * power;
    power *= 10;
  }
  game.highScore = score;
  if (std::fclose(stream) != 0) ReportError(kCloseFailed, name);
  return 0;
}

int WriteHighScore(GameLoop& game) {
  uint32_t power = 1;
  for (int i = 0; i < 10; ++i) {
    game.saveWriteBuffer[i] = game.highScore / power % 10;
    power *= 10;
  }
  const std::string target = SaveTarget();
  if (target.empty()) {
    ReportError(kOpenFailed, HostSaveName(), kNotRegular);
    return -1;
  }
  // A file that exists but may not be written is refused before anything is made.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
    errno = EACCES;
    ReportError(kOpenFailed, target);
    return -1;
  }
  const std::string temporary = target + ".tmp";
  constexpr int kTemporaryFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW;
  bool notRegular = false;
  std::FILE* stream = OpenRegular(temporary, kTemporaryFlags, "wb", notRegular);
  // A temporary name that is taken by a link, a FIFO or a device is never written through: it is removed and the
  // temporary file made once more.
  if (!stream && notRegular && KindOf(temporary, false) != Kind::kDirectory && std::remove(temporary.c_str()) == 0)
    stream = OpenRegular(temporary, kTemporaryFlags, "wb", notRegular);
  if (!stream) {
    // No room for a temporary file beside it: write in place.
    stream = OpenRegular(target, O_WRONLY | O_CREAT | O_TRUNC, "wb", notRegular);
    if (!stream) {
      ReportError(kOpenFailed, target, notRegular ? kNotRegular : nullptr);
      return -1;
    }
    bool written = WriteWords(stream, game.saveWriteBuffer);
    if (std::fclose(stream) != 0 || !written) ReportError(kCloseFailed, target);
    return 0;
  }
  bool kept = WriteWords(stream, game.saveWriteBuffer) && std::fflush(stream) == 0 && ::fsync(::fileno(stream)) == 0;
  kept = std::fclose(stream) == 0 && kept;
  kept = kept && std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!kept) {
    int error = errno;
    std::remove(temporary.c_str());
    errno = error;
    ReportError(kCloseFailed, target);
  }
  return 0;
}
