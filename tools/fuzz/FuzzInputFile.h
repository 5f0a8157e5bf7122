// For fuzz targets whose code reads files: each input goes through a real file, one per
// process, in the folder the environment variable names (/tmp without it), removed at exit.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzfile {

inline std::string& Path() {
  static std::string path;
  return path;
}

inline void Remove() {
  if (!Path().empty()) unlink(Path().c_str());
}

// Called once, from LLVMFuzzerInitialize.
inline void Choose(const char* dirVariable, const char* stem, const char* extension) {
  const char* dir = std::getenv(dirVariable);
  Path() = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "_" + std::to_string(getpid()) + extension;
  std::atexit(Remove);
}

inline void Write(const uint8_t* data, size_t size) {
  const int fd = open(Path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) {
    std::perror(Path().c_str());
    std::abort();
  }
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
}

}  // namespace fuzzfile
