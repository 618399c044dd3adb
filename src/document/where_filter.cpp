#include "document/where_filter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "calls/call_texts.h"
#include "calls/message_facts.h"
#include "q931/decoder.h"
#include "trace/hex_digits.h"
#include "trace/list_filters.h"
#include "trace/message_types.h"
#include "trace/q931_codes.h"
#include "trace/summary_line.h"
#include "util/text_utilities.h"

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
  Channel,
  Outcome,
  CallIdentifier,
  Codec,
  From,
  To,
  // Selected Call's (FilterKey), which no typed field names.
  SelectedCall
};

struct WhereTerm {
  WhereField field = WhereField::Phrase;
  bool negated = false;
  // Phrase: in lower case; Type: the prefix in upper case; Gateway; Number: the digits; From,
  // To: the time as typed, read on the trace's day when matched; CallReference, SelectedCall: the
  // key's value.
  std::string text;
  std::string partner;  // CallReference, SelectedCall: the value with the flag inverted
  std::uint32_t number =
      0;  // Call, Cause, Channel; Gateway when `indexed`: the store's gateway index
  bool indexed = false;
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
std::size_t WhereExpression::TermCount() const {
  return terms.size();
}

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
                                 {"channel", WhereField::Channel},
                                 {"outcome", WhereField::Outcome},
                                 {"callid", WhereField::CallIdentifier},
                                 {"codec", WhereField::Codec},
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
      const CallReferenceReading reading = ReadCallReferenceValue("0x" + std::string(digits));
      term.text = reading.value;
      term.partner = PartnerCallReference(reading);
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
    case WhereField::Channel: {
      const auto [end, error] =
          std::from_chars(value.data(), value.data() + value.size(), term.number);
      if (!IsDigits(value) || error != std::errc() || end != value.data() + value.size()) {
        return quoted + " is not a channel number";
      }
      break;
    }
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
    case WhereField::CallIdentifier:
      // Dashes may stand anywhere: a GUID is copied with or without them.
      for (const char c : value) {
        if (HexDigitValue(c) >= 0) {
          term.text += static_cast<char>(HexDigitValue(c));
        } else if (c != '-') {
          term.text.clear();
          break;
        }
      }
      if (term.text.empty()) {
        return quoted + " is not a call identifier (hexadecimal digits, dashes ignored)";
      }
      break;
    case WhereField::Codec:
      term.text = lower;
      break;
    case WhereField::From:
    case WhereField::To:
      // A time of day is read on the trace's own day when matched; any day tells its form.
      if (ParseTypedTime(value, 0) == kNoTime) {
        return quoted +
               " is not a time (HH:MM, HH:MM:SS, HH:MM:SS.fff or a date and time with seconds)";
      }
      term.text = value;
      break;
    case WhereField::SelectedCall:
      break;  // not typed
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
      return field == WhereField::Type || field == WhereField::CallReference ||
                     field == WhereField::SelectedCall
                 ? 1
                 : 0;
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
          prepared.gatewayIndex = term.indexed ? term.number
                                  : found != store.gatewayIpIndex.end()
                                      ? found->second
                                      : static_cast<std::uint32_t>(-1);
          break;
        }
        case WhereField::CallReference:
        case WhereField::SelectedCall:
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

  bool Keeps(std::size_t index) { return KeepsFrom(0, index); }

  // Appends the numbers of the messages from `begin` to `end` (indexes) that every term keeps.
  // False, the rows unfinished, when `keepGoing` said no.
  bool AppendRows(RowMap& rows, std::size_t begin, std::size_t end,
                  const std::function<bool()>& keepGoing) {
    NarrowToCalls(begin, end);
    if (terms_.empty()) {
      return Scan(rows, begin, end, keepGoing, [](std::size_t) { return true; });
    }
    return ScanFirstTerm(rows, begin, end, keepGoing);
  }

  // Keeps of the rows those that every term keeps.
  void KeepRows(RowMap& rows) {
    std::size_t kept = 0;
    for (const MessageNumber message : rows) {
      if (Keeps(IndexOf(message).value)) {
        rows[kept++] = message;
      }
    }
    rows.resize(kept);
  }

 private:
  struct Prepared {
    std::array<bool, 256> typeKeeps{};
    std::uint32_t gatewayIndex = 0;
    std::uint32_t callReference = 0;
    std::uint32_t partner = 0;
    MessageTime time = kNoTime;
  };

  bool KeepsFrom(std::size_t firstTerm, std::size_t index) {
    haveLine_ = false;
    for (std::size_t k = firstTerm; k < terms_.size(); ++k) {
      if (Holds(terms_[k], prepared_[k], index) == terms_[k].negated) {
        return false;
      }
    }
    return true;
  }

  // A call: term keeps nothing outside its call's first and last messages.
  void NarrowToCalls(std::size_t& begin, std::size_t& end) const {
    for (const WhereTerm& term : terms_) {
      if (term.field != WhereField::Call || term.negated) {
        continue;
      }
      if (term.number == 0 || term.number > calls_.calls.size()) {
        end = begin;
        return;
      }
      const CallRecord& call = calls_.Record(CallNumber{term.number});
      begin = std::max(begin, IndexOf(call.firstMessage).value);
      end = std::min(end, std::max(begin, static_cast<std::size_t>(call.lastMessage.value)));
    }
  }

  // The messages from `begin` to `end` that `keeps`, asking `keepGoing` once a block.
  template <class Keeps>
  static bool Scan(RowMap& rows, std::size_t begin, std::size_t end,
                   const std::function<bool()>& keepGoing, Keeps&& keeps) {
    for (std::size_t block = begin; block < end; block += kMessagesPerProgress) {
      if (keepGoing && !keepGoing()) {
        return false;
      }
      const std::size_t blockEnd = std::min(end, block + kMessagesPerProgress);
      for (std::size_t index = block; index < blockEnd; ++index) {
        if (keeps(index)) {
          rows.push_back(NumberOf(MessageIndex{index}));
        }
      }
    }
    return true;
  }

  // The scan with the first term read straight from its column where it has one, the others
  // asked only for the messages it keeps: a menu filter alone is one test of a column.
  bool ScanFirstTerm(RowMap& rows, std::size_t begin, std::size_t end,
                     const std::function<bool()>& keepGoing) {
    const WhereTerm& term = terms_.front();
    const Prepared& prepared = prepared_.front();
    const bool negated = term.negated;
    const bool alone = terms_.size() == 1;
    // The columns and keys are read into locals, which the rows written cannot alias.
    const auto scan = [&](auto&& holds) {
      return Scan(rows, begin, end, keepGoing, [&, negated, alone](std::size_t index) {
        return holds(index) != negated && (alone || KeepsFrom(1, index));
      });
    };
    switch (term.field) {
      case WhereField::Gateway: {
        const std::uint32_t* const gateways = store_.msgGatewayIps.data();
        const std::uint32_t gateway = prepared.gatewayIndex;
        return scan([=](std::size_t index) { return gateways[index] == gateway; });
      }
      case WhereField::Protocol: {
        const Protocol* const protocols = store_.msgProtocols.data();
        const Protocol protocol = term.protocol;
        return scan([=](std::size_t index) { return protocols[index] == protocol; });
      }
      case WhereField::Direction: {
        const LargeVector<bool>& incoming = store_.msgIsIncoming;
        const bool wanted = term.incoming;
        return scan([&, wanted](std::size_t index) { return incoming[index] == wanted; });
      }
      case WhereField::Call: {
        const std::uint32_t* const callOf = calls_.callOfMessage.data();
        const std::size_t grouped = calls_.callOfMessage.size();
        const std::uint32_t call = term.number;
        // Messages not grouped yet are in no call.
        return scan([=](std::size_t index) { return index < grouped && callOf[index] == call; });
      }
      case WhereField::SelectedCall: {
        const MessageColumns* const columns = store_.msgColumns.data();
        const std::uint32_t value = prepared.callReference;
        const std::uint32_t partner = prepared.partner;
        return scan([&, columns, value, partner](std::size_t index) {
          if (SelectedCallIsStored(columns[index])) {
            const std::uint32_t shown = ShownCallReference(columns[index]);
            return shown == value || shown == partner;
          }
          return LineHoldsSelectedCall(term, index);
        });
      }
      default:
        return Scan(rows, begin, end, keepGoing,
                    [this](std::size_t index) { return Keeps(index); });
    }
  }

  // Selected Call reads the digits after the list line's first "0x". They are the stored ones
  // unless the message has no call reference column, its digits are kept as text, or an earlier
  // "0x" stands in the timestamp; then the line itself is read.
  static bool SelectedCallIsStored(const MessageColumns& columns) {
    return columns.protocolDiscriminator == q931::kQ931Discriminator &&
           !columns.callReferenceAsText && !columns.timestampHoldsHexMarker;
  }

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
      AppendSummaryLine(line_, store_, MessageIndex{index});
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
        if (columns.protocolDiscriminator == q931::kQ931Discriminator &&
            !columns.callReferenceAsText) {
          return prepared.typeKeeps[columns.messageType];
        }
        return TypeStartsWith(BuildSummaryFields(store_, MessageIndex{index}).messageType,
                              term.text);
      case WhereField::Gateway:
        return store_.msgGatewayIps[index] == prepared.gatewayIndex;
      case WhereField::Protocol:
        return store_.msgProtocols[index] == term.protocol;
      case WhereField::Direction:
        return store_.msgIsIncoming[index] == term.incoming;
      case WhereField::CallReference: {
        if (columns.protocolDiscriminator != q931::kQ931Discriminator) {
          return false;
        }
        if (!columns.callReferenceAsText) {
          const std::uint32_t shown = ShownCallReference(columns);
          return shown == prepared.callReference || shown == prepared.partner;
        }
        const CallReferenceValue value =
            ReadCallReferenceValue(
                "0x" + BuildSummaryFields(store_, MessageIndex{index}).callReferenceDigits)
                .value;
        return value == term.text || value == term.partner;
      }
      case WhereField::Call:
        return calls_.CallOf(NumberOf(MessageIndex{index})).value == term.number;
      case WhereField::Cause:
        try {
          ReadPayloadBytesOfMessage(store_, MessageIndex{index}, bytes_);
          return HoldsCauseValue(bytes_, static_cast<int>(term.number));
        } catch (const SubscriptOutOfRange&) {
          return false;
        }
      case WhereField::Number: {
        const CallRecord* call = CallOf(index);
        return call != nullptr && (Contains(calls_.Calling(*call), term.text) ||
                                   Contains(calls_.Called(*call), term.text));
      }
      case WhereField::Channel: {
        const CallRecord* call = CallOf(index);
        return call != nullptr && call->channel >= 0 &&
               static_cast<std::uint32_t>(call->channel) == term.number;
      }
      case WhereField::Outcome: {
        const CallRecord* call = CallOf(index);
        return call != nullptr && call->outcome == term.outcome;
      }
      case WhereField::CallIdentifier: {
        const CallRecord* call = CallOf(index);
        const H225CallFacts* facts = call != nullptr ? calls_.H225Of(*call) : nullptr;
        return facts != nullptr && facts->hasCallIdentifier &&
               GuidStartsWith(facts->callIdentifier, term.text);
      }
      case WhereField::Codec: {
        const CallRecord* call = CallOf(index);
        const H225CallFacts* facts = call != nullptr ? calls_.H225Of(*call) : nullptr;
        return facts != nullptr && IsPresent(facts->media) && CodecIs(*facts, term.text);
      }
      case WhereField::From:
      case WhereField::To: {
        const MessageTime time = store_.msgTimes[index];
        if (time == kNoTime || prepared.time == kNoTime) {
          return false;
        }
        return term.field == WhereField::From ? time >= prepared.time : time <= prepared.time;
      }
      case WhereField::SelectedCall: {
        if (SelectedCallIsStored(columns)) {
          const std::uint32_t shown = ShownCallReference(columns);
          return shown == prepared.callReference || shown == prepared.partner;
        }
        return LineHoldsSelectedCall(term, index);
      }
    }
    return false;
  }

  // `nibbles` holds one digit's value per character.
  static bool GuidStartsWith(const Guid& guid, std::string_view nibbles) {
    if (nibbles.size() > 2 * guid.size()) {
      return false;
    }
    for (std::size_t k = 0; k < nibbles.size(); ++k) {
      const std::uint8_t octet = guid[k / 2];
      if ((k % 2 == 0 ? octet >> 4 : octet & 0x0F) != nibbles[k]) {
        return false;
      }
    }
    return true;
  }

  // The codec's name is made once per kind of media, not once per message.
  bool CodecIs(const H225CallFacts& facts, std::string_view lower) {
    const std::uint32_t key =
        std::uint32_t{facts.dataType} << 16 | static_cast<std::uint16_t>(facts.audio);
    for (const auto& [known, matches] : codecs_) {
      if (known == key) {
        return matches;
      }
    }
    const bool matches = LowerAscii(CodecText(facts)) == lower;
    codecs_.emplace_back(key, matches);
    return matches;
  }

  // Selected Call on a message whose list line is read itself.
  bool LineHoldsSelectedCall(const WhereTerm& term, std::size_t index) {
    rawLine_.clear();
    AppendSummaryLine(rawLine_, store_, MessageIndex{index});
    const CallReferenceValue value = ReadCallReferenceValue(rawLine_).value;
    return value == term.text || value == term.partner;
  }

  std::vector<WhereTerm> terms_;
  std::vector<Prepared> prepared_;
  const MessageStore& store_;
  const CallTable& calls_;
  std::string line_;
  bool haveLine_ = false;
  PayloadBytes bytes_;
  std::string rawLine_;  // Selected Call's, as shown
  std::vector<std::pair<std::uint32_t, bool>> codecs_;
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

namespace {

FilterKey KeyOf(ListFilter filter, WhereTerm term) {
  FilterKey key;
  key.filter = filter;
  key.term.terms.push_back(std::move(term));
  return key;
}

}  // namespace

FilterKey SelectedCallKey(std::string_view selectedLine) {
  const CallReferenceReading reading = ReadCallReferenceValue(selectedLine);
  WhereTerm term;
  term.field = WhereField::SelectedCall;
  term.text = reading.value;
  term.partner = PartnerCallReference(reading);
  return KeyOf(ListFilter::SelectedCall, std::move(term));
}

FilterKey GatewayKey(std::uint32_t gatewayIpIndex) {
  WhereTerm term;
  term.field = WhereField::Gateway;
  term.number = gatewayIpIndex;
  term.indexed = true;
  return KeyOf(ListFilter::ThisGateway, std::move(term));
}

FilterKey ThisGatewayKey(const MessageStore& store, MessageIndex selected) {
  const std::size_t selectedIndex = selected.value;
  return GatewayKey(store.msgGatewayIps[selectedIndex]);
}

FilterKey ProtocolKey(ListFilter filter) {
  WhereTerm term;
  term.field = WhereField::Protocol;
  term.protocol = filter == ListFilter::H225Only ? Protocol::H225 : Protocol::Pri;
  return KeyOf(filter, std::move(term));
}

FilterKey CallKey(CallNumber call) {
  WhereTerm term;
  term.field = WhereField::Call;
  term.number = call.value;
  return KeyOf(ListFilter::ThisCall, std::move(term));
}

WhereExpression WhereBoth(const WhereExpression& first, const WhereExpression& second) {
  WhereExpression both;
  both.text = second.text;
  both.terms.reserve(first.terms.size() + second.terms.size());
  both.terms.insert(both.terms.end(), first.terms.begin(), first.terms.end());
  both.terms.insert(both.terms.end(), second.terms.begin(), second.terms.end());
  return both;
}

WhereExpression WhereTerms(const WhereExpression& expression, std::size_t first,
                           std::size_t count) {
  WhereExpression part;
  part.text = expression.text;
  const std::size_t begin = std::min(first, expression.terms.size());
  const std::size_t end = begin + std::min(count, expression.terms.size() - begin);
  part.terms.assign(expression.terms.begin() + static_cast<std::ptrdiff_t>(begin),
                    expression.terms.begin() + static_cast<std::ptrdiff_t>(end));
  return part;
}

const CallTable kNoCalls;

bool WhereNeedsCalls(const WhereExpression& expression) {
  return std::any_of(expression.terms.begin(), expression.terms.end(), [](const WhereTerm& term) {
    return term.field == WhereField::Call || term.field == WhereField::Number ||
           term.field == WhereField::Channel || term.field == WhereField::Outcome ||
           term.field == WhereField::CallIdentifier || term.field == WhereField::Codec;
  });
}

bool WhereDependsOnLaterMessages(const WhereExpression& expression) {
  return std::any_of(expression.terms.begin(), expression.terms.end(), [](const WhereTerm& term) {
    return term.field == WhereField::Number || term.field == WhereField::Channel ||
           term.field == WhereField::Outcome || term.field == WhereField::CallIdentifier ||
           term.field == WhereField::Codec;
  });
}

bool WhereKeeps(const WhereExpression& expression, const MessageStore& store,
                const CallTable& calls, std::size_t index) {
  return Matcher(expression, store, calls).Keeps(index);
}

void AppendWhereRows(RowMap& rows, const WhereExpression& expression, const MessageStore& store,
                     const CallTable& calls, std::size_t firstIndex,
                     const std::function<bool()>& keepGoing) {
  Matcher(expression, store, calls).AppendRows(rows, firstIndex, store.MessageCount(), keepGoing);
}

void KeepWhere(RowMap& rows, const WhereExpression& expression, const MessageStore& store,
               const CallTable& calls) {
  Matcher(expression, store, calls).KeepRows(rows);
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
  for (std::size_t index = 0; index < store.MessageCount() && index < calls.callOfMessage.size();
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

std::vector<CallNumber> CallsOfRows(std::span<const MessageNumber> rows, const CallTable& calls) {
  std::vector<bool> kept(calls.calls.size());
  for (const MessageNumber message : rows) {
    if (const CallNumber call = calls.CallOf(message); call && call.value <= kept.size()) {
      kept[call.value - 1] = true;
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
