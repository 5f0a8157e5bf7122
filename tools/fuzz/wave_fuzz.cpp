// libFuzzer target for the wave reader: every input goes through a real file, as the
// programs read it.
#include "shared/wave/WaveFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string g_path;

void RemoveInput() {
  if (!g_path.empty()) unlink(g_path.c_str());
}

void WriteInput(const uint8_t* data, size_t size) {
  const int fd = open(g_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) {
    std::perror(g_path.c_str());
    std::abort();
  }
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* dir = std::getenv("WAVE_FUZZ_TMP");
  g_path = std::string(dir && *dir ? dir : "/tmp") + "/wave_fuzz_" + std::to_string(getpid()) + ".wav";
  std::atexit(RemoveInput);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteInput(data, size);

  WaveInfo info;
  std::memset(&info, 0x5A, sizeof info);
  WaveInfo before = info;
  void* block = ReadWaveFile(g_path.c_str(), &info);
  if (!block) {
    // A failed read leaves the caller's record as it was.
    if (std::memcmp(&info, &before, sizeof info) != 0) __builtin_trap();
    return 0;
  }
  // The samples follow at least a 12-byte header and two 8-byte chunk headers.
  if (info.dwDataLength < 0 || static_cast<size_t>(info.dwDataLength) + 28 > size) __builtin_trap();
  // Touch every byte read so that the sanitizer sees a short block.
  const auto* p = static_cast<const volatile unsigned char*>(block);
  unsigned sum = 0;
  for (int32_t i = 0; i < info.dwDataLength; ++i) sum += p[i];
  (void)sum;
  std::free(block);
  return 0;
}
