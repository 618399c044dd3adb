#include "trace/file_identity.h"

#include <sys/stat.h>

namespace sigrune {

FileIdentity IdentityOfFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return {};
  }
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace sigrune
