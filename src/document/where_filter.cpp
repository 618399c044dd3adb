#include "document/where_filter.h"

namespace sigrune {

// Placeholder until the language is read: keeps every message, refuses every term.
struct WhereTerm {};

WhereExpression::WhereExpression() = default;
WhereExpression::~WhereExpression() = default;
WhereExpression::WhereExpression(WhereExpression&&) noexcept = default;
WhereExpression& WhereExpression::operator=(WhereExpression&&) noexcept = default;
WhereExpression::WhereExpression(const WhereExpression&) = default;
WhereExpression& WhereExpression::operator=(const WhereExpression&) = default;

WhereParse ParseWhere(std::string_view text) {
  WhereParse parse;
  parse.expression.text = std::string(text);
  if (text.find_first_not_of(' ') == std::string_view::npos) {
    parse.ok = true;
  } else {
    parse.error = "not read yet";
  }
  return parse;
}

bool WhereKeeps(const WhereExpression&, const MessageStore&, const CallTable&, std::size_t) {
  return true;
}

RowMap WhereRows(const WhereExpression&, const MessageStore& store, const CallTable&,
                 const std::function<bool()>&) {
  RowMap rows;
  for (std::size_t k = 0; k < store.msgCount; ++k)
    rows.push_back(NumberOf(MessageIndex{k}));
  return rows;
}

std::vector<CallNumber> CallsWhere(const WhereExpression&, const MessageStore&,
                                   const CallTable& calls) {
  std::vector<CallNumber> kept;
  for (std::uint32_t k = 1; k <= calls.calls.size(); ++k)
    kept.push_back({k});
  return kept;
}

}  // namespace sigrune
