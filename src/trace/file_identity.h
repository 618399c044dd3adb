#pragma once

#include <cstdint>
#include <string>

namespace sigrune {

// What names a file whatever path leads to it.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file a path names now; all zero when it names none.
FileIdentity IdentityOfFile(const std::string& path);

}  // namespace sigrune
