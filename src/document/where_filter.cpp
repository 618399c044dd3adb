#include "document/where_filter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "calls/message_facts.h"
#include "q931/decoder.h"
#include "q931/message_types.h"
#include "trace/hex_digits.h"
#include "trace/list_filters.h"
#include "trace/summary_line.h"
#include "trace/text_utilities.h"

namespace sigrune {

enum class WhereField : std::uint8_t {
  Phrase,
  Type,
  Gateway,
  Protocol,
  Direction,
  CallReference,
  Call,
  Cause,
  Number,
  Outcome,
  From,
  To
};

struct WhereTerm {
  WhereField field = WhereField::Phrase;
  bool negated = false;
  // Phrase: in lower case; Type: the prefix in upper case; Gateway; Number: the digits; From,
  // To: the time as typed, read on the trace's day when matched; CallReference: the key's value.
  std::string text;
  std::string partner;       // CallReference: the value with the flag inverted
  std::uint32_t number = 0;  // Call, Cause
  Protocol protocol = Protocol::None;
  bool incoming = false;
  CallOutcome outcome = CallOutcome::None;
};

WhereExpression::WhereExpression() = default;
WhereExpression::~WhereExpression() = default;
WhereExpression::WhereExpression(WhereExpression&&) noexcept = default;
WhereExpression& WhereExpression::operator=(WhereExpression&&) noexcept = default;
WhereExpression::WhereExpression(const WhereExpression&) = default;
WhereExpression& WhereExpression::operator=(const WhereExpression&) = default;

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return LowerAscii(c); });
  return lower;
}
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// What separates terms: a tab or a line end pasted in separates as a blank does.
constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
bool IsWhiteSpace(char c) {
  return kWhiteSpace.find(c) != std::string_view::npos;
}
// Where the term or value from `at` ends: at the next white space, or at the end.
std::size_t TermEnd(std::string_view text, std::size_t at) {
  return std::min(text.find_first_of(kWhiteSpace, at), text.size());
}

struct FieldName {
  std::string_view name;
  WhereField field;
};
constexpr FieldName kFields[] = {{"type", WhereField::Type},
                                 {"gw", WhereField::Gateway},
                                 {"proto", WhereField::Protocol},
                                 {"dir", WhereField::Direction},
                                 {"crv", WhereField::CallReference},
                                 {"call", WhereField::Call},
                                 {"cause", WhereField::Cause},
                                 {"number", WhereField::Number},
                                 {"outcome", WhereField::Outcome},
                                 {"from", WhereField::From},
                                 {"to", WhereField::To}};

struct OutcomeName {
  std::string_view name;
  CallOutcome outcome;
};
constexpr OutcomeName kOutcomes[] = {{"answered", CallOutcome::Answered},
                                     {"busy", CallOutcome::Busy},
                                     {"no-answer", CallOutcome::NoAnswer},
                                     {"rejected", CallOutcome::Rejected},
                                     {"cancelled", CallOutcome::Cancelled},
                                     {"failed", CallOutcome::Failed},
                                     {"none", CallOutcome::None}};

// Reads a quoted text from `at` (on the opening quote); `\"` stands for a quote. False when no
// closing quote follows.
bool ReadQuoted(std::string_view text, std::size_t& at, std::string& unquoted) {
  for (++at; at < text.size(); ++at) {
    if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '"') {
      unquoted += '"';
      ++at;
    } else if (text[at] == '"') {
      ++at;
      return true;
    } else {
      unquoted += text[at];
    }
  }
  return false;
}

// The term's value read for its field; empty, or why it is not one.
std::string ReadValue(WhereTerm& term, std::string_view value) {
  const std::string quoted = '"' + std::string(value) + '"';
  const std::string lower = LowerAscii(value);
  switch (term.field) {
    case WhereField::Phrase:
      break;
    case WhereField::Type:
      term.text = value;
      std::transform(term.text.begin(), term.text.end(), term.text.begin(),
                     [](char c) { return UpperAscii(c); });
      break;
    case WhereField::Gateway:
      term.text = value;
      break;
    case WhereField::Protocol:
      if (lower != "pri" && lower != "h225") {
        return quoted + " is not a protocol (pri, h225)";
      }
      term.protocol = lower == "pri" ? Protocol::Pri : Protocol::H225;
      break;
    case WhereField::Direction:
      if (lower != "in" && lower != "out") {
        return quoted + " is not a direction (in, out)";
      }
      term.incoming = lower == "in";
      break;
    case WhereField::CallReference: {
      std::string_view digits = value;
      if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X")) {
        digits.remove_prefix(2);
      }
      if (digits.empty() || digits.find_first_not_of("0123456789abcdefABCDEF") != digits.npos) {
        return quoted + " is not a call reference (hexadecimal digits)";
      }
      const FilterKey key = SelectedCallKey("0x" + std::string(digits));
      term.text = key.callReference;
      term.partner = key.partner;
      break;
    }
    case WhereField::Call:
    case WhereField::Cause: {
      const bool call = term.field == WhereField::Call;
      const auto [end, error] =
          std::from_chars(value.data(), value.data() + value.size(), term.number);
      if (!IsDigits(value) || error != std::errc() || end != value.data() + value.size() ||
          (call ? term.number == 0 : term.number > 127)) {
        return quoted + (call ? " is not a call number" : " is not a cause value (0 to 127)");
      }
      break;
    }
    case WhereField::Number:
      if (!IsDigits(value)) {
        return quoted + " is not a number (digits only)";
      }
      term.text = value;
      break;
    case WhereField::Outcome: {
      const auto* found = std::find_if(std::begin(kOutcomes), std::end(kOutcomes),
                                       [&](const OutcomeName& each) { return each.name == lower; });
      if (found == std::end(kOutcomes)) {
        return quoted +
               " is not an outcome (answered, busy, no-answer, rejected, cancelled, failed, none)";
      }
      term.outcome = found->outcome;
      break;
    }
    case WhereField::From:
    case WhereField::To:
      // A time of day is read on the trace's own day when matched; any day tells its form.
      if (ParseTypedTime(value, 0) == kNoTime) {
        return quoted +
               " is not a time (HH:MM, HH:MM:SS, HH:MM:SS.fff or a date and time with seconds)";
      }
      term.text = value;
      break;
  }
  return {};
}

// Reads the term that starts at `at`; on a problem, says which term and why.
bool ReadTerm(std::string_view text, std::size_t& at, WhereTerm& term, std::string& error) {
  const std::size_t start = at;
  const auto fail = [&](std::string_view reason) {
    const std::size_t end = TermEnd(text, at);
    error = '"' + std::string(text.substr(start, std::max(end, at) - start)) + "\": ";
    error += reason;
    return false;
  };
  if (text[at] == '-') {
    term.negated = true;
    ++at;
    if (at == text.size() || IsWhiteSpace(text[at])) {
      return fail("a lone \"-\" negates nothing");
    }
  }
  std::size_t letters = at;
  while (letters < text.size() && IsLetter(text[letters])) {
    ++letters;
  }
  std::string value;
  if (letters > at && letters < text.size() && text[letters] == ':') {
    const std::string_view name = text.substr(at, letters - at);
    const auto* found = std::find_if(std::begin(kFields), std::end(kFields), [&](const auto& each) {
      return each.name == LowerAscii(name);
    });
    if (found == std::end(kFields)) {
      at = letters;
      return fail("unknown field \"" + std::string(name) + '"');
    }
    term.field = found->field;
    at = letters + 1;
  }
  if (at < text.size() && text[at] == '"') {
    if (!ReadQuoted(text, at, value)) {
      error = '"' + std::string(text.substr(start)) + "\": unclosed quote";
      return false;
    }
    if (at < text.size() && !IsWhiteSpace(text[at])) {
      return fail("a blank must follow the closing quote");
    }
  } else {
    const std::size_t end = TermEnd(text, at);
    value = text.substr(at, end - at);
    at = end;
  }
  if (value.empty()) {
    return fail(term.field == WhereField::Phrase ? "empty phrase" : "empty value");
  }
  if (term.field == WhereField::Phrase) {
    term.text = LowerAscii(value);
    return true;
  }
  const std::string problem = ReadValue(term, value);
  return problem.empty() || fail(problem);
}

// Terms that read only the typed columns come first, the summary line and the elements last: the
// first term that fails ends a message's test.
int Cost(WhereField field) {
  switch (field) {
    case WhereField::Phrase:
      return 2;
    case WhereField::Cause:
      return 3;
    default:
      return field == WhereField::Type || field == WhereField::CallReference ? 1 : 0;
  }
}

// The expression made ready for one store: what can be read once is.
class Matcher {
 public:
  Matcher(const WhereExpression& expression, const MessageStore& store, const CallTable& calls)
      : terms_(expression.terms), store_(store), calls_(calls) {
    std::stable_sort(terms_.begin(), terms_.end(), [](const WhereTerm& a, const WhereTerm& b) {
      return Cost(a.field) < Cost(b.field);
    });
    const MessageTime dayStart = TraceDayStart(store);
    for (WhereTerm& term : terms_) {
      Prepared& prepared = prepared_.emplace_back();
      switch (term.field) {
        case WhereField::Type:
          for (int code = 0; code < 256; ++code) {
            prepared.typeKeeps[static_cast<std::size_t>(code)] =
                TypeStartsWith(MessageTypeName(code), term.text);
          }
          break;
        case WhereField::Gateway: {
          const auto found = store.gatewayIpIndex.find(term.text);
          prepared.gatewayIndex =
              found != store.gatewayIpIndex.end() ? found->second : static_cast<std::uint32_t>(-1);
          break;
        }
        case WhereField::CallReference:
          prepared.callReference = SmallNumber(term.text);
          prepared.partner = SmallNumber(term.partner);
          break;
        case WhereField::From:
        case WhereField::To:
          prepared.time = ParseTypedTime(term.text, dayStart);
          break;
        default:
          break;
      }
    }
  }

  bool Keeps(std::size_t index) {
    haveLine_ = false;
    for (std::size_t k = 0; k < terms_.size(); ++k) {
      if (Holds(terms_[k], prepared_[k], index) == terms_[k].negated) {
        return false;
      }
    }
    return true;
  }

 private:
  struct Prepared {
    std::array<bool, 256> typeKeeps{};
    std::uint32_t gatewayIndex = 0;
    std::uint32_t callReference = 0;
    std::uint32_t partner = 0;
    MessageTime time = kNoTime;
  };

  static bool TypeStartsWith(std::string_view name, std::string_view prefix) {
    name = name.substr(0, name.find_last_not_of(' ') + 1);
    if (name.size() < prefix.size()) {
      return false;
    }
    for (std::size_t k = 0; k < prefix.size(); ++k) {
      if (UpperAscii(name[k]) != prefix[k]) {
        return false;
      }
    }
    return true;
  }

  // A value of more than four digits matches no stored call reference.
  static std::uint32_t SmallNumber(std::string_view value) {
    std::uint32_t number = 0;
    for (const char c : value) {
      number = number * 16 + static_cast<std::uint32_t>(HexDigitValue(c));
    }
    return value.size() > 4 ? 0xFFFFFFFF : number;
  }

  const CallRecord* CallOf(std::size_t index) const {
    const CallNumber call = calls_.CallOf(NumberOf(MessageIndex{index}));
    return call ? &calls_.Record(call) : nullptr;
  }

  // The summary line in lower case, made once per message however many phrases ask.
  std::string_view LowerLine(std::size_t index) {
    if (!haveLine_) {
      line_.clear();
      AppendSummaryLine(line_, store_, index);
      for (char& c : line_) {
        c = LowerAscii(c);
      }
      haveLine_ = true;
    }
    return line_;
  }

  bool Holds(const WhereTerm& term, const Prepared& prepared, std::size_t index) {
    const MessageColumns& columns = store_.msgColumns[index];
    switch (term.field) {
      case WhereField::Phrase:
        return LowerLine(index).find(term.text) != std::string_view::npos;
      case WhereField::Type:
        if (columns.protocolDiscriminator == 0x08 && !columns.callReferenceAsText) {
          return prepared.typeKeeps[columns.messageType];
        }
        return TypeStartsWith(BuildSummaryFields(store_, index).messageType, term.text);
      case WhereField::Gateway:
        return store_.msgGatewayIps[index] == prepared.gatewayIndex;
      case WhereField::Protocol:
        return store_.msgProtocols[index] == term.protocol;
      case WhereField::Direction:
        return store_.msgIsIncoming[index] == term.incoming;
      case WhereField::CallReference: {
        if (columns.protocolDiscriminator != 0x08) {
          return false;
        }
        if (!columns.callReferenceAsText) {
          const std::uint32_t shown = ShownCallReference(columns);
          return shown == prepared.callReference || shown == prepared.partner;
        }
        const CallReferenceValue value =
            ReadCallReferenceValue("0x" + BuildSummaryFields(store_, index).callReferenceDigits)
                .value;
        return value == term.text || value == term.partner;
      }
      case WhereField::Call:
        return calls_.CallOf(NumberOf(MessageIndex{index})).value == term.number;
      case WhereField::Cause:
        try {
          ReadPayloadBytesOfMessage(store_, index, bytes_);
          return HoldsCauseValue(bytes_, static_cast<int>(term.number));
        } catch (const SubscriptOutOfRange&) {
          return false;
        }
      case WhereField::Number: {
        const CallRecord* call = CallOf(index);
        return call != nullptr &&
               (Contains(call->calling, term.text) || Contains(call->called, term.text));
      }
      case WhereField::Outcome: {
        const CallRecord* call = CallOf(index);
        return call != nullptr && call->outcome == term.outcome;
      }
      case WhereField::From:
      case WhereField::To: {
        const MessageTime time = store_.msgTimes[index];
        if (time == kNoTime || prepared.time == kNoTime) {
          return false;
        }
        return term.field == WhereField::From ? time >= prepared.time : time <= prepared.time;
      }
    }
    return false;
  }

  std::vector<WhereTerm> terms_;
  std::vector<Prepared> prepared_;
  const MessageStore& store_;
  const CallTable& calls_;
  std::string line_;
  bool haveLine_ = false;
  PayloadBytes bytes_;
};

}  // namespace

WhereParse ParseWhere(std::string_view text) {
  WhereParse parse;
  parse.expression.text = std::string(text);
  for (std::size_t at = 0; at < text.size();) {
    if (IsWhiteSpace(text[at])) {
      ++at;
      continue;
    }
    WhereTerm& term = parse.expression.terms.emplace_back();
    if (!ReadTerm(text, at, term, parse.error)) {
      parse.expression.terms.clear();
      return parse;
    }
  }
  parse.ok = true;
  return parse;
}

bool WhereNeedsCalls(const WhereExpression& expression) {
  return std::any_of(expression.terms.begin(), expression.terms.end(), [](const WhereTerm& term) {
    return term.field == WhereField::Call || term.field == WhereField::Number ||
           term.field == WhereField::Outcome;
  });
}

bool WhereDependsOnLaterMessages(const WhereExpression& expression) {
  return std::any_of(expression.terms.begin(), expression.terms.end(), [](const WhereTerm& term) {
    return term.field == WhereField::Number || term.field == WhereField::Outcome;
  });
}

bool WhereKeeps(const WhereExpression& expression, const MessageStore& store,
                const CallTable& calls, std::size_t index) {
  return Matcher(expression, store, calls).Keeps(index);
}

void AppendWhereRows(RowMap& rows, const WhereExpression& expression, const MessageStore& store,
                     const CallTable& calls, std::size_t firstIndex,
                     const std::function<bool()>& keepGoing) {
  Matcher matcher(expression, store, calls);
  for (std::size_t index = firstIndex; index < store.msgCount; ++index) {
    if (keepGoing && index % kProgressInterval == 0 && !keepGoing()) {
      return;
    }
    if (matcher.Keeps(index)) {
      rows.push_back(NumberOf(MessageIndex{index}));
    }
  }
}

RowMap WhereRows(const WhereExpression& expression, const MessageStore& store,
                 const CallTable& calls, const std::function<bool()>& keepGoing) {
  RowMap rows;
  AppendWhereRows(rows, expression, store, calls, 0, keepGoing);
  return rows;
}

std::vector<CallNumber> CallsWhere(const WhereExpression& expression, const MessageStore& store,
                                   const CallTable& calls) {
  std::vector<bool> kept(calls.calls.size());
  Matcher matcher(expression, store, calls);
  for (std::size_t index = 0; index < store.msgCount && index < calls.callOfMessage.size();
       ++index) {
    const std::uint32_t call = calls.callOfMessage[index];
    if (call != 0 && !kept[call - 1] && matcher.Keeps(index)) {
      kept[call - 1] = true;
    }
  }
  std::vector<CallNumber> numbers;
  for (std::uint32_t k = 1; k <= kept.size(); ++k) {
    if (kept[k - 1]) {
      numbers.push_back({k});
    }
  }
  return numbers;
}

}  // namespace sigrune
