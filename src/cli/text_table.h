#pragma once

// The readable tables of the commands: columns two blanks apart, each as wide as its widest text.

#include <string>
#include <string_view>
#include <vector>

#include "cli/output_buffer.h"

namespace sigrune {

using TextRow = std::vector<std::string>;

// The rows, the first of them the headings, aligned as `align` says of each column: 'l' to the
// left, 'r' (counts) to the right; blanks at a line's end are left out. Stops when the output
// failed.
void WriteTextTable(OutputBuffer& output, const std::vector<TextRow>& rows, std::string_view align);

}  // namespace sigrune
