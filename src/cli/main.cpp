#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/output_buffer.h"
#include "cli/terminal_output.h"

int main(int argc, char** argv) {
  // The find text comes in the locale's encoding, and a terminal shows it.
  std::setlocale(LC_ALL, "");
  std::FILE* out = stdout;
  if (isatty(STDOUT_FILENO)) {
    // A trace must not drive the terminal; files and pipes get the bytes unchanged.
    if (std::FILE* terminal = sigrune::OpenTerminalStream(STDOUT_FILENO, sigrune::LocaleIsUtf8())) {
      out = terminal;
    }
  } else {
    // Exports of hundreds of megabytes go to standard output in few, large writes.
    static char outputBuffer[1 << 20];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  }
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  int status = sigrune::RunCommandLine(arguments, stdin, out, stderr);
  if (out != stdout) {
    status = sigrune::CloseOutput(out, stderr, status);
  }
  status = sigrune::CloseOutput(stdout, stderr, status);
  if (status > sigrune::kExitSignalBase) {
    // Ended by a signal, after its last words: ends by it, as whoever started it expects.
    const int signal = status - sigrune::kExitSignalBase;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
  return status;
}
