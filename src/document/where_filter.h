#pragma once

// The filter bar's language: one line that says which messages to keep, as terms that must all
// hold, separated by white space (blank, tab, CR, LF, VT, FF):
// `type:setup gw:10.1.1.5 -outcome:answered cause:17`. Parsed once into plain terms, then
// matched against the store's typed columns and the calls, one pass over the messages.
//
// It is the one matcher of the list's rows: the Filter menu's entries are terms of it too
// (FilterKey), so that the rows of a menu filter and the bar's expression are one expression's.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calls/call_table.h"
#include "trace/list_filters.h"
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

  std::size_t TermCount() const;

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

// A Filter menu entry as a term of the language: This Gateway is gw: (of the gateway's index in
// the store, fixed when the key is made), PRI Only and H225 Only proto:, This Call call:. Selected
// Call is a term of its own that no typed text reaches: it keeps the messages whose list line
// holds the key's value or its partner, the line read as ReadCallReferenceValue reads it, where
// crv: reads the call reference column (the two differ on a line without that column and on a
// "0x" in the timestamp).
struct FilterKey {
  ListFilter filter = ListFilter::PriOnly;
  WhereExpression term;  // one term; its text is empty
};
// Selected Call's key from the selected message's list line.
FilterKey SelectedCallKey(std::string_view selectedLine);
FilterKey GatewayKey(std::uint32_t gatewayIpIndex);
// This Gateway's key from the selected message (index from 0).
FilterKey ThisGatewayKey(const MessageStore& store, MessageIndex selectedIndex);
// PRI Only or H225 Only.
FilterKey ProtocolKey(ListFilter filter);
FilterKey CallKey(CallNumber call);

// What both keep: the terms of `first`, then those of `second`; the text is `second`'s.
WhereExpression WhereBoth(const WhereExpression& first, const WhereExpression& second);
// The terms from `first` on, up to `count` of them, with the expression's text.
WhereExpression WhereTerms(const WhereExpression& expression, std::size_t first,
                           std::size_t count = static_cast<std::size_t>(-1));

// The calls table for an expression that reads no calls: they need not be grouped for it.
extern const CallTable kNoCalls;

// Whether the expression reads the calls (call:, number:, channel:, outcome:, callid:, codec:);
// the others may be given an empty table.
bool WhereNeedsCalls(const WhereExpression& expression);

// Whether a term reads what later messages of a call may change (outcome:, number: through the
// digits of overlap sending, channel: from a later Channel ID, callid: and codec: from a later
// body): the messages of a call are judged for good once it has ended.
bool WhereDependsOnLaterMessages(const WhereExpression& expression);

// Whether the expression keeps the message (index from 0). `calls` gives call:, number:,
// channel: and outcome: their calls.
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

// Keeps of `rows` (in store order) the messages the expression keeps as well: the rows of a
// narrower expression, found without reading again what `rows` already passed.
void KeepWhere(RowMap& rows, const WhereExpression& expression, const MessageStore& store,
               const CallTable& calls);

// The calls of which the expression keeps at least one message, in call order.
std::vector<CallNumber> CallsWhere(const WhereExpression& expression, const MessageStore& store,
                                   const CallTable& calls);

// The calls of the messages of `rows`, in call order, each once: the calls of an expression
// whose rows they are, found without matching the messages again.
std::vector<CallNumber> CallsOfRows(std::span<const MessageNumber> rows, const CallTable& calls);

}  // namespace sigrune
