// Where an export's bytes go: the program's own descriptors, devices, FIFOs and sockets written in
// place, and the temporary file beside a regular target removed on every way out, a failing
// system call or a signal included.

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "test_files.h"
#include "writers/replacing_file.h"

namespace sigrune {
namespace {

// The system calls that commit a file, failed on the test's word (linked with --wrap): a call
// on a temporary file (a name starting with a dot) fails with EIO, or first raises a signal.
enum class Call { None, Fsync, Close, Rename };
Call failingCall = Call::None;
int raisedSignal = 0;

bool IsTemporary(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  return name.size() > 2 && name.front() == '.';
}

std::string PathOf(int fd) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
}

int Strike() {
  if (raisedSignal != 0) {
    ::raise(raisedSignal);
  }
  errno = EIO;
  return -1;
}

}  // namespace
}  // namespace sigrune

extern "C" {
int __real_fsync(int fd);
int __real_close(int fd);
int __real_rename(const char* from, const char* to);

int __wrap_fsync(int fd) {
  using namespace sigrune;
  return failingCall == Call::Fsync && IsTemporary(PathOf(fd)) ? Strike() : __real_fsync(fd);
}

int __wrap_close(int fd) {
  using namespace sigrune;
  const bool strike = failingCall == Call::Close && IsTemporary(PathOf(fd));
  const int closed = __real_close(fd);  // a failed close frees the descriptor all the same
  return strike ? Strike() : closed;
}

int __wrap_rename(const char* from, const char* to) {
  using namespace sigrune;
  return failingCall == Call::Rename && IsTemporary(from) ? Strike() : __real_rename(from, to);
}
}

namespace sigrune {
namespace {

using Names = std::vector<std::string>;
const std::string kPlain = SourceFile("examples/plain-trace.txt");

struct CommandResult {
  int status;
  std::string err;
};

CommandResult RunCli(std::vector<std::string_view> arguments) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const int status = RunCommandLine(arguments, stdin, out, err);
  std::fclose(out);
  return {status, ReadBack(err)};
}

ino_t InodeOf(const std::string& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_ino;
}

// Waits for a child until a deadline, after which it is killed and the test fails.
int WaitFor(pid_t child) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      ADD_FAILURE() << "the child did not end within 60 s";
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return status;
}

bool EndedBy(int status, int signal) {
  return WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

// sigrune-cli itself, its standard output added to a file, its standard error to another, and
// the signals at their default actions whatever the test runner set.
pid_t StartCli(const std::vector<std::string>& arguments, const std::string& out,
               const std::string& err) {
  std::vector<char*> argv{const_cast<char*>(SIGRUNE_CLI_PROGRAM)};
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      std::signal(signal, SIG_DFL);
    }
    ::dup2(::open(out.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666), STDOUT_FILENO);
    ::dup2(::open(err.c_str(), O_WRONLY | O_TRUNC | O_CREAT, 0666), STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

class WriteTargets : public FolderTest {
 protected:
  // Writes the text through a ReplacingFile; its error, or empty.
  static std::string WriteThrough(const std::string& path, std::string_view text) {
    ReplacingFile file;
    if (file.Open(path) && file.Write(text) && file.Commit()) {
      return "";
    }
    return file.ErrorText();
  }
};

// `-o /dev/stdout >> app.log`: the shell's file gets the bytes where its descriptor writes, and
// stays the file it was.
TEST_F(WriteTargets, TheProgramsOwnDescriptorsAreWrittenThroughNeverReplaced) {
  const std::string log = Write("app.log", "earlier\n");
  const ino_t inode = InodeOf(log);
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  const std::string number = std::to_string(fd);
  std::filesystem::create_symlink("/dev/fd/" + number, folder_ / "link");
  std::filesystem::create_symlink("link", folder_ / "link-to-link");
  std::string expected = "earlier\n";
  for (const std::string& path :
       {"/dev/fd/" + number, "/proc/self/fd/" + number, "/proc/thread-self/fd/" + number,
        Path("link"), Path("link-to-link")}) {
    EXPECT_EQ(WriteThrough(path, path + "\n"), "");
    expected += path + "\n";
  }
  ::close(fd);
  EXPECT_EQ(ReadFile(log), expected);
  EXPECT_EQ(InodeOf(log), inode);
  EXPECT_EQ(WriteThrough("/dev/fd/" + number, "x"),
            "cannot write /dev/fd/" + number + ": Bad file descriptor");
  EXPECT_EQ(Entries(), (Names{"app.log", "link", "link-to-link"}));

  // The command line does the same for standard output, for either export.
  const std::string capture = Write("capture.log", "earlier\n");
  const std::pair<std::vector<std::string>, std::string> runs[] = {
      {{"export", kPlain, "-o", "/dev/stdout"}, log},
      {{"pcap", kPlain, "-o", "/dev/stdout"}, capture},
  };
  for (const auto& [arguments, target] : runs) {
    const std::string before = ReadFile(target);
    const ino_t targetInode = InodeOf(target);
    EXPECT_EQ(WaitFor(StartCli(arguments, target, Path("err.txt"))), 0) << arguments[0];
    EXPECT_EQ(InodeOf(target), targetInode);
    EXPECT_EQ(ReadFile(target).substr(0, before.size()), before);
    if (arguments[0] == "export") {
      EXPECT_EQ(ReadFile(target).substr(before.size()),
                ReadFile(SourceFile("tests/data/plain-trace.export")));
    } else {
      EXPECT_EQ(ReadFile(target).substr(before.size(), 4), "\x4d\x3c\xb2\xa1");
      EXPECT_EQ(ReadFile(Path("err.txt")), "sigrune-cli: 21 messages written to /dev/stdout\n");
    }
  }
}

// Device nodes are made in the test's folder (as root), never the machine's own: 1,3 and 1,7
// are the null and full devices; no driver answers the block device's numbers.
TEST_F(WriteTargets, OtherTargetsThatAreNotRegularFilesAreWrittenInPlaceOrRefused) {
  const std::string fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string read;
  std::thread reader([&] { read = ReadFile(fifo); });
  EXPECT_EQ(WriteThrough(fifo, "through the FIFO"), "");
  reader.join();
  EXPECT_EQ(read, "through the FIFO");
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));

  // Bound through the folder's descriptor: the folder's own path may be longer than an address.
  const std::string socketPath = Path("socket");
  const int folder = ::open(folder_.c_str(), O_PATH | O_DIRECTORY);
  const std::string bound = "/proc/self/fd/" + std::to_string(folder) + "/socket";
  const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  bound.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(listening);
  ::close(folder);
  EXPECT_EQ(WriteThrough(socketPath, "x"), "cannot write " + socketPath + ": it is a socket");
  EXPECT_TRUE(std::filesystem::is_socket(socketPath));

  std::filesystem::create_directory(folder_ / "folder");
  EXPECT_EQ(WriteThrough(Path("folder"), "x"),
            "cannot create " + Path("folder") + ": Is a directory");
  EXPECT_TRUE(std::filesystem::is_empty(folder_ / "folder"));
  if (::geteuid() != 0) {
    GTEST_SKIP() << "device nodes need root";
  }
  const struct {
    const char* name;
    mode_t type;
    dev_t device;
    const char* error;
  } nodes[] = {
      {"null", S_IFCHR, ::makedev(1, 3), ""},
      {"full", S_IFCHR, ::makedev(1, 7), "No space left on device"},
      {"block", S_IFBLK, ::makedev(4000, 0), "it is a block device"},
  };
  for (const auto& node : nodes) {
    const std::string path = Path(node.name);
    ASSERT_EQ(::mknod(path.c_str(), node.type | 0600, node.device), 0) << node.name;
    EXPECT_EQ(WriteThrough(path, "x"),
              *node.error != '\0' ? "cannot write " + path + ": " + node.error : "");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & S_IFMT, node.type) << node.name;
    EXPECT_EQ(status.st_rdev, node.device) << node.name;
  }
  // Through a link as well, and by the command line: `-o /dev/null` leaves a device.
  std::filesystem::create_symlink("null", folder_ / "to-null");
  const CommandResult exported = RunCli({"export", kPlain, "-o", Path("to-null")});
  EXPECT_EQ(exported.status, kExitSuccess);
  EXPECT_TRUE(std::filesystem::is_character_file(Path("null")));
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "to-null"));
  EXPECT_EQ(Entries(), (Names{"block", "fifo", "folder", "full", "null", "socket", "to-null"}));
}

class FailingCommit : public WriteTargets {
 protected:
  ~FailingCommit() override {
    failingCall = Call::None;
    raisedSignal = 0;
  }
  const std::string target_ = Write("out.txt", "old contents");
};

TEST_F(FailingCommit, AFailedSyncCloseOrRenameIsReportedAndLeavesTheTargetAsItWas) {
  for (const char* command : {"export", "pcap"}) {
    for (const Call call : {Call::Fsync, Call::Close, Call::Rename}) {
      failingCall = call;
      const CommandResult result = RunCli({command, kPlain, "-o", target_});
      failingCall = Call::None;
      const std::string where =
          std::string(command) + ", call " + std::to_string(static_cast<int>(call));
      EXPECT_EQ(result.status, kExitFailure) << where;
      EXPECT_EQ(result.err, "sigrune-cli: cannot write " + target_ + ": Input/output error\n")
          << where;
      EXPECT_EQ(ReadFile(target_), "old contents") << where;
      EXPECT_EQ(Entries(), Names{"out.txt"}) << where;
    }
  }
}

// The signal comes while the temporary file is complete and not yet renamed; the run in a child
// of its own then ends by it, as the program would.
TEST_F(FailingCommit, ASignalRemovesTheTemporaryFileAndEndsTheRunByItself) {
  for (const char* command : {"export", "pcap"}) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        std::signal(signal, SIG_DFL);
        failingCall = Call::Fsync;
        raisedSignal = signal;
        ::_exit(RunCli({command, kPlain, "-o", target_}).status);
      }
      const int status = WaitFor(child);
      EXPECT_TRUE(EndedBy(status, signal)) << command << ", signal " << signal << ": " << status;
      EXPECT_EQ(ReadFile(target_), "old contents");
      EXPECT_EQ(Entries(), Names{"out.txt"}) << command << ", signal " << signal;
    }
  }
  // An ignored signal (`nohup`) stays ignored: the run goes on to report the failed sync.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGHUP, SIG_IGN);
    failingCall = Call::Fsync;
    raisedSignal = SIGHUP;
    ::_exit(RunCli({"export", kPlain, "-o", target_}).status);
  }
  const int status = WaitFor(child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitFailure) << status;
  EXPECT_EQ(Entries(), Names{"out.txt"});
}

// The program itself, on a trace whose export takes seconds, signalled once the temporary file
// exists.
TEST_F(WriteTargets, SigruneCliEndsByTheSignalThatInterruptsItsExportLeavingNoTemporaryFile) {
  std::string trace;
  for (int message = 0; message < 100; ++message) {
    trace += "IsdnMsgData=08 01 01 05 " + std::string(80'000, '9') + "\n";
  }
  const std::string path = Write("many.txt", trace);
  const std::string target = Write("out.txt", "old contents");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = StartCli({"export", path, "-o", target}, Path("out.log"), Path("err.log"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto temporaryExists = [&] {
      const Names names = Entries();
      return std::any_of(names.begin(), names.end(),
                         [](const std::string& name) { return name.starts_with(".out.txt."); });
    };
    while (!temporaryExists() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(child, signal);
    EXPECT_TRUE(EndedBy(WaitFor(child), signal)) << signal;
    EXPECT_EQ(ReadFile(target), "old contents");
    EXPECT_EQ(Entries(), (Names{"err.log", "many.txt", "out.log", "out.txt"})) << signal;
    EXPECT_EQ(ReadFile(Path("err.log")), "");
  }
}

}  // namespace
}  // namespace sigrune
