#include "cli/text_table.h"

#include <algorithm>

namespace sigrune {

void WriteTextTable(OutputBuffer& output, const std::vector<TextRow>& rows,
                    std::string_view align) {
  if (rows.empty()) {
    return;
  }
  std::vector<std::size_t> widths(rows.front().size());
  for (const TextRow& row : rows) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string line;
  for (const TextRow& row : rows) {
    if (output.Failed()) {
      break;
    }
    line.clear();
    for (std::size_t column = 0; column < row.size(); ++column) {
      const std::size_t padding = widths[column] - row[column].size();
      if (column > 0) {
        line += "  ";
      }
      if (align[column] == 'r') {
        line.append(padding, ' ');
      }
      line += row[column];
      if (align[column] == 'l') {
        line.append(padding, ' ');
      }
    }
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    output.Write(line);
  }
}

}  // namespace sigrune
