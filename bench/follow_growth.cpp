// What following a growing trace costs: the first half of a trace's messages is loaded (its calls
// grouped, as the window does), then the second half is appended at a steady rate while a poll
// every half second reads the new messages and appends them to the document. Prints the CPU time
// of the polls as a share of one core. The writer's own time is not counted.
// Usage: follow_growth TRACE FOLDER [SECONDS] [MESSAGES-PER-SECOND]

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "document/trace_document.h"

namespace {

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The end of the line that holds the `count`th data line from `from` on (or the text's end).
std::size_t AfterMessages(std::string_view text, std::size_t from, std::size_t count) {
  std::size_t at = from;
  for (std::size_t found = 0; found < count; ++found) {
    const std::size_t data = text.find("IsdnMsgData", at);
    if (data == std::string_view::npos) {
      return text.size();
    }
    at = text.find('\n', data);
    at = at == std::string_view::npos ? text.size() : at + 1;
  }
  return at;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: follow_growth TRACE FOLDER [SECONDS] [MESSAGES-PER-SECOND]\n");
    return 2;
  }
  const double seconds = argc > 3 ? std::atof(argv[3]) : 10;
  const std::size_t rate = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1000;
  std::ifstream source(argv[1], std::ios::binary);
  const std::string text(std::istreambuf_iterator<char>(source), {});
  const std::size_t half = sigrune::LoadTraceFile(argv[1]).store.MessageCount() / 2;
  const std::string path = std::string(argv[2]) + "/growing.txt";
  std::size_t written = AfterMessages(text, 0, half);
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(written));

  sigrune::TraceDocument document;
  document.Adopt(sigrune::TraceDocument::ReadTrace({path}), sigrune::LoadKind::Open);
  std::string whyNot;
  std::optional<sigrune::TraceFollower> follower = document.StartFollowing(whyNot);
  if (!follower) {
    std::fprintf(stderr, "%s\n", whyNot.c_str());
    return 1;
  }

  // A piece every 10 ms, as a server's buffered writes come.
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  std::thread writer([&] {
    std::ofstream file(path, std::ios::binary | std::ios::app);
    const std::size_t piece = rate / 100;
    for (auto next = start; next < end && written < text.size();
         next += std::chrono::milliseconds(10)) {
      std::this_thread::sleep_until(next);
      const std::size_t after = AfterMessages(text, written, piece);
      file.write(text.data() + written, static_cast<std::streamsize>(after - written));
      file.flush();
      written = after;
    }
  });
  const std::size_t before = document.Store().MessageCount();
  double busy = 0;
  std::size_t polls = 0;
  for (auto next = start + std::chrono::milliseconds(500); next <= end;
       next += std::chrono::milliseconds(500)) {
    std::this_thread::sleep_until(next);
    const double pollStart = ThreadSeconds();
    document.AppendFollowed(follower->Poll());
    busy += ThreadSeconds() - pollStart;
    ++polls;
  }
  writer.join();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "following %zu messages/s on a trace of %zu: %zu polls, %zu messages appended, %zu calls; "
      "%.3f s of CPU in %.1f s: %.2f %% of a core\n",
      rate, before, polls, document.Store().MessageCount() - before, document.Calls().calls.size(),
      busy, wall, 100 * busy / wall);
  return 0;
}
