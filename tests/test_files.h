#pragma once

// Files for tests: read or written whole, and a folder of each test's own.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace sigrune {

// A file of the source tree, such as "examples/plain-trace.txt".
inline std::string SourceFile(std::string_view relative) {
  return SIGRUNE_SOURCE_DIR "/" + std::string(relative);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Returns the path, so that a test can write its input where it names it.
inline std::string WriteFile(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary)
      .write(text.data(), static_cast<std::streamsize>(text.size()));
  return path;
}

// The process id keeps runs of the tests side by side apart.
inline std::string WriteTemporary(std::string_view name, std::string_view text) {
  return WriteFile(::testing::TempDir() + "sigrune-" + std::to_string(::getpid()) + "-" +
                       std::string(name),
                   text);
}

// All that was written to the stream, from its start (where it has one); closes the stream.
inline std::string ReadBack(std::FILE* stream) {
  std::rewind(stream);
  std::string text;
  char piece[4096];
  for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, stream)) > 0;) {
    text.append(piece, got);
  }
  std::fclose(stream);
  return text;
}

// Each test gets a folder of its own, so that whatever it leaves behind can be seen.
// Made in the constructor, so that a fixture's members may name files in it; the process id
// keeps runs of the tests side by side apart.
class FolderTest : public ::testing::Test {
 protected:
  FolderTest() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ =
        std::filesystem::temp_directory_path() / ("sigrune-" + std::to_string(::getpid()) + "-" +
                                                  test->test_suite_name() + "-" + test->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directory(folder_);
  }
  ~FolderTest() override { std::filesystem::remove_all(folder_); }

  std::string Path(std::string_view name) const { return (folder_ / name).string(); }
  std::string Write(std::string_view name, std::string_view text) const {
    return WriteFile(Path(name), text);
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path folder_;
};

}  // namespace sigrune
