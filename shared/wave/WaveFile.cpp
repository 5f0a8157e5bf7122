#include "shared/wave/WaveFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The runtime's byte-stream file calls, under one set of names on both platforms.
#ifdef _WIN32
int FileOpen(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }
int FileRead(int fd, void* buf, unsigned n) { return _read(fd, buf, n); }
long FileSeek(int fd, long off, int whence) { return _lseek(fd, off, whence); }
long FileTell(int fd) { return _tell(fd); }
void FileClose(int fd) { _close(fd); }
#else
int FileOpen(const char* path) { return open(path, O_RDONLY); }
int FileRead(int fd, void* buf, unsigned n) { return static_cast<int>(read(fd, buf, n)); }
long FileSeek(int fd, long off, int whence) { return static_cast<long>(lseek(fd, off, whence)); }
long FileTell(int fd) { return static_cast<long>(lseek(fd, 0, SEEK_CUR)); }
void FileClose(int fd) { close(fd); }
#endif

// Offsets are kept below 2 GiB so that they fit the runtime's 32-bit long everywhere.
constexpr uint32_t kMaxOffset = 0x7FFFFFFFu;
// The budget: a block reaches at most this far past the bytes the file holds, so that a
// short (cut) file still gets its declared block while a huge declared size costs nothing.
constexpr uint32_t kMaxShortfall = 64u * 1024u;
constexpr uint32_t kFormatFields = 16;

class File {
 public:
  explicit File(const char* path) : m_fd(FileOpen(path)) {}
  ~File() {
    if (m_fd >= 0) FileClose(m_fd);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool IsOpen() const { return m_fd >= 0; }

  // Reads until n bytes arrived or the file ends; returns the count read.
  uint32_t Read(void* buf, uint32_t n) const {
    auto* p = static_cast<unsigned char*>(buf);
    uint32_t done = 0;
    while (done < n) {
      uint32_t chunk = n - done;
      if (chunk > 0x40000000u) chunk = 0x40000000u;
      const int got = FileRead(m_fd, p + done, chunk);
      if (got <= 0) break;
      done += static_cast<uint32_t>(got);
    }
    return done;
  }

  // Position, or -1 when it cannot be told.
  long Tell() const { return FileTell(m_fd); }

  // Bytes from the position to the end (at most kMaxOffset); the position is kept.
  uint32_t Remaining() const {
    const long here = Tell();
    const long end = here < 0 ? -1 : FileSeek(m_fd, 0, SEEK_END);
    if (here < 0 || end < here || !SeekTo(static_cast<uint32_t>(here))) return 0;
    return static_cast<uint32_t>(end - here);
  }

  bool SeekTo(uint32_t pos) const {
    return pos <= kMaxOffset && FileSeek(m_fd, static_cast<long>(pos), SEEK_SET) == static_cast<long>(pos);
  }

  // Moves forward by an unsigned count; false when the target lies beyond 2 GiB.
  bool Skip(uint32_t count) const {
    const long here = Tell();
    if (here < 0 || static_cast<uint64_t>(here) + count > kMaxOffset) return false;
    return SeekTo(static_cast<uint32_t>(here) + count);
  }

 private:
  int m_fd;
};

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
bool IdIs(const unsigned char* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

}  // namespace

void* ReadWaveFile(const char* path, WaveInfo* info) {
  if (path == nullptr || info == nullptr) return nullptr;
  File file(path);
  if (!file.IsOpen()) return nullptr;

  unsigned char header[12] = {};
  uint32_t got = file.Read(header, sizeof header);
  while (got == sizeof header) {
    if (!IdIs(header + 8, "WAVE")) {
      // A foreign form: skip it whole and look at the next block.
      if (!file.Skip(Le32(header + 4))) break;
      got = file.Read(header, sizeof header);
      continue;
    }

    unsigned char chunk[8] = {};
    if (file.Read(chunk, sizeof chunk) != sizeof chunk || !IdIs(chunk, "fmt ")) break;
    const uint32_t fmtSize = Le32(chunk + 4);
    // A shorter chunk would lend its missing fields from the next chunk's header.
    if (fmtSize < kFormatFields) break;
    const long fmtStart = file.Tell();
    if (fmtStart < 0) break;
    unsigned char fmt[16] = {};
    file.Read(fmt, sizeof fmt);
    // No pad byte after an odd-sized fmt chunk: the files we read are written that way.
    if (static_cast<uint64_t>(fmtStart) + fmtSize > kMaxOffset ||
        !file.SeekTo(static_cast<uint32_t>(fmtStart) + fmtSize))
      break;

    if (file.Read(chunk, sizeof chunk) != sizeof chunk || !IdIs(chunk, "data")) break;
    const uint32_t dataSize = Le32(chunk + 4);
    // The count read must fit the record's signed length.
    if (dataSize > 0x7FFFFFFFu) break;
    const uint32_t held = file.Remaining();
    const uint32_t blockSize = dataSize > held && dataSize - held > kMaxShortfall ? held + kMaxShortfall : dataSize;
    // An empty data chunk still yields a block: malloc(0) may return null.
    WaveBlock block(std::malloc(blockSize == 0 ? 1 : blockSize));
    if (!block) break;
    const uint32_t read = file.Read(block.get(), blockSize);

    info->wFormatTag = Le16(fmt + 0);
    info->nChannels = Le16(fmt + 2);
    info->nSamplesPerSec = Le32(fmt + 4);
    info->nAvgBytesPerSec = Le32(fmt + 8);
    info->nBlockAlign = Le16(fmt + 12);
    info->wBitsPerSample = Le16(fmt + 14);
    info->dwDataLength = static_cast<int32_t>(read);
    // The first fmt/data pair is the file's sound; a second pair after it is not read,
    // so no earlier block can be dropped on the way.
    return block.release();
  }
  return nullptr;
}
