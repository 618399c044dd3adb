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

// The folder of this process's own in the temporary folder, made when first asked for and removed
// with all it holds when the process ends: what a test writes there is never left behind (ctest
// runs each test as a process of its own). A child forked by a test leaves it to its parent.
class ProcessFolder {
 public:
  static ProcessFolder& Get() {
    static ProcessFolder folder;
    return folder;
  }
  const std::filesystem::path& Path() const { return path_; }
  // Also for a process about to end without running its destructors.
  void Remove() const {
    if (::getpid() == owner_) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }

 private:
  ProcessFolder()
      : owner_(::getpid()),
        path_(std::filesystem::path(::testing::TempDir()) /
              ("sigrune-tests-" + std::to_string(owner_))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ProcessFolder() { Remove(); }

  const pid_t owner_;
  const std::filesystem::path path_;
};

inline const std::filesystem::path& TemporaryFolder() {
  return ProcessFolder::Get().Path();
}

// A path in the process's temporary folder, for a file or folder that the test makes itself.
inline std::string TemporaryPath(std::string_view name) {
  return (TemporaryFolder() / name).string();
}

inline std::string WriteTemporary(std::string_view name, std::string_view text) {
  return WriteFile(TemporaryPath(name), text);
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
// Made in the constructor, so that a fixture's members may name files in it; it lies in the
// process's temporary folder, which goes too should the test end the process.
class FolderTest : public ::testing::Test {
 protected:
  FolderTest() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = TemporaryFolder() / (std::string(test->test_suite_name()) + "-" + test->name());
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
