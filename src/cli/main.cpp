#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/output_buffer.h"

int main(int argc, char** argv) {
  // Exports of hundreds of megabytes go to standard output in few, large writes.
  static char outputBuffer[1 << 20];
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const int status = sigrune::RunCommandLine(arguments, stdin, stdout, stderr);
  return sigrune::CloseOutput(stdout, stderr, status);
}
