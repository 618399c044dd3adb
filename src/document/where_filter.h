#pragma once

// The filter bar's language: one line that says which messages to keep, as terms that must all
// hold, separated by white space (blank, tab, CR, LF, VT, FF):
// `type:setup gw:10.1.1.5 -outcome:answered "user busy"`. Parsed once into plain terms, then
// matched against the store's typed columns and the calls, one pass over the messages.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "calls/call_table.h"
#include "trace/message_number.h"
#include "trace/message_store.h"

namespace sigrune {

struct WhereTerm;  // what one term asks of a message

struct WhereExpression {
  WhereExpression();
  ~WhereExpression();
  WhereExpression(WhereExpression&&) noexcept;
  WhereExpression& operator=(WhereExpression&&) noexcept;
  WhereExpression(const WhereExpression&);
  WhereExpression& operator=(const WhereExpression&);

  std::string text;  // as typed, Latin-1
  std::vector<WhereTerm> terms;
};

struct WhereParse {
  bool ok = false;
  WhereExpression expression;  // when ok
  // When not ok: names the term and the reason, e.g. `"tpye:setup": unknown field "tpye"`.
  std::string error;
};

// Reads an expression (Latin-1); an empty one, or one of white space only, keeps every message.
WhereParse ParseWhere(std::string_view text);

// Whether the expression reads the calls (call:, number:, outcome:); the others may be given an
// empty table.
bool WhereNeedsCalls(const WhereExpression& expression);

// Whether a term reads what later messages of a call may change (outcome:, and number: through
// the digits of overlap sending): the messages of a call are judged for good once it has ended.
bool WhereDependsOnLaterMessages(const WhereExpression& expression);

// Whether the expression keeps the message (index from 0). `calls` gives call:, number: and
// outcome: their calls.
bool WhereKeeps(const WhereExpression& expression, const MessageStore& store,
                const CallTable& calls, std::size_t index);

// The numbers of the messages the expression keeps, in store order. When `keepGoing`, asked now
// and then, says no, the rows are left unfinished, for the caller to drop.
RowMap WhereRows(const WhereExpression& expression, const MessageStore& store,
                 const CallTable& calls, const std::function<bool()>& keepGoing = {});

// Appends to `rows` the numbers of the messages from `firstIndex` on that the expression keeps:
// those a followed trace appended.
void AppendWhereRows(RowMap& rows, const WhereExpression& expression, const MessageStore& store,
                     const CallTable& calls, std::size_t firstIndex,
                     const std::function<bool()>& keepGoing = {});

// The calls of which the expression keeps at least one message, in call order.
std::vector<CallNumber> CallsWhere(const WhereExpression& expression, const MessageStore& store,
                                   const CallTable& calls);

}  // namespace sigrune
