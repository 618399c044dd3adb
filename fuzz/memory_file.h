#pragma once

// The fuzzers' input as a file that the readers open by path, without touching the disk.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace sigrune {

// A memory file holding `data`, at its start; -1 when it cannot be made or written.
inline int MemoryFileOf(const char* name, const std::uint8_t* data, std::size_t size) {
  const int file = ::memfd_create(name, 0);
  if (file < 0) {
    return -1;
  }
  for (std::size_t written = 0; written < size;) {
    const ssize_t got = ::write(file, data + written, size - written);
    if (got <= 0) {
      ::close(file);
      return -1;
    }
    written += static_cast<std::size_t>(got);
  }
  ::lseek(file, 0, SEEK_SET);
  return file;
}

}  // namespace sigrune
