#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace sigrune {
namespace {

struct CommandResult {
  int status;
  std::string out;
  std::string err;
};

std::string ReadBack(std::FILE* stream) {
  std::rewind(stream);
  std::string text;
  char piece[4096];
  for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, stream)) > 0;) {
    text.append(piece, got);
  }
  std::fclose(stream);
  return text;
}

CommandResult RunCli(std::vector<std::string_view> arguments) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const int status = RunCommandLine(arguments, stdin, out, err);
  return {status, ReadBack(out), ReadBack(err)};
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

const std::string kExamples = SIGRUNE_SOURCE_DIR "/examples/";

TEST(CommandLine, ListPrintsTheSummaryLines) {
  const CommandResult plain = RunCli({"list", kExamples + "plain-trace.txt"});
  EXPECT_EQ(plain.status, kExitSuccess);
  EXPECT_EQ(plain.out, ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/plain-trace.list"));
  EXPECT_EQ(plain.err, "");
  const CommandResult tracelist = RunCli({"list", "--", kExamples + "tracelist-trace.xml"});
  EXPECT_EQ(tracelist.status, kExitSuccess);
  EXPECT_EQ(tracelist.out, ReadFile(SIGRUNE_SOURCE_DIR "/tests/data/tracelist-trace.list"));
}

TEST(CommandLine, FailuresNameTheFile) {
  const CommandResult missing = RunCli({"list", "/nonexistent/trace.txt"});
  EXPECT_EQ(missing.status, kExitFailure);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err,
            "sigrune-cli: cannot open /nonexistent/trace.txt: No such file or directory\n");

  const CommandResult empty = RunCli({"list", "/dev/null"});
  EXPECT_EQ(empty.status, kExitFailure);
  EXPECT_EQ(empty.err, "/dev/null does not contain Q931 Messages.\n");
}

TEST(CommandLine, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string_view>> misuses = {
      {}, {"frobnicate"}, {"list"}, {"list", "a", "b"}, {"list", "--bogus", "a"}};
  for (const auto& arguments : misuses) {
    const CommandResult result = RunCli(arguments);
    EXPECT_EQ(result.status, kExitUsage) << (arguments.empty() ? "" : arguments.back());
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("--help"), std::string::npos);
  }
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
  const CommandResult help = RunCli({"--help"});
  EXPECT_EQ(help.status, kExitSuccess);
  EXPECT_NE(help.out.find("list TRACE"), std::string::npos);
  const CommandResult version = RunCli({"--version"});
  EXPECT_EQ(version.status, kExitSuccess);
  EXPECT_EQ(version.out.rfind("sigrune-cli ", 0), 0u);
}

}  // namespace
}  // namespace sigrune
