// Writes a benchmark trace with the shape of a real one: up to a dozen call legs interleaved in
// time on four PRI gateways and two H.225 peers, their messages with the usual elements, a share
// of failed calls, a few RESTARTs and SERVICEs, and many more server lines than message lines,
// also between a message's own lines. The same seed gives the same bytes on every machine.
// Usage: make_trace [--tracelist] [--seed S] MESSAGES FILE

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "trace_calls.h"
#include "trace_random.h"
#include "trace_server_lines.h"

namespace {

using bench::CallLeg;
using bench::kGatewayCount;
using bench::kGateways;
using bench::Random;

constexpr std::size_t kMaxConcurrentLegs = 12;
// Of the incoming calls, those the server places onward on another gateway.
constexpr std::uint64_t kOnwardPerMille = 400;
constexpr std::uint64_t kMeanArrivalGapMs = 6000;

struct Counts {
  std::uint64_t messages = 0;
  std::uint64_t octets = 0;
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;
  std::uint64_t h225 = 0;
  std::uint64_t oneOctetReference = 0;
  std::uint64_t linesInside = 0;  // messages with server lines between their own lines
  std::uint64_t restarts = 0;
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilDate(std::int64_t days, unsigned& year, unsigned& month, unsigned& day) {
  days += 719468;
  const std::int64_t era = days / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  year = static_cast<unsigned>(yearOfEra + era * 400) + (month <= 2 ? 1 : 0);
}

class TraceWriter {
 public:
  TraceWriter(std::FILE* file, bool tracelist, Counts& counts)
      : file_(file), tracelist_(tracelist), counts_(counts) {
    buffer_.reserve(kFlushSize + 4096);
    if (tracelist_) {
      Raw("<Tracelist>\n");
    }
  }

  bool Tracelist() const { return tracelist_; }

  // One line: the timestamp, then the text (escaped as XML character data in a Tracelist).
  void Line(std::uint64_t ms, std::string_view text) {
    const std::string_view stamp = Stamp(ms);
    if (tracelist_) {
      buffer_ += "<Trace><Date>";
      buffer_ += stamp;
      buffer_ += "</Date><Host>mrv-ccp-01</Host><info>";
      for (const char c : text) {
        switch (c) {
          case '<':
            buffer_ += "&lt;";
            break;
          case '>':
            buffer_ += "&gt;";
            break;
          case '&':
            buffer_ += "&amp;";
            break;
          default:
            buffer_ += c;
        }
      }
      buffer_ += "</info></Trace>\n";
    } else {
      buffer_ += stamp;
      buffer_ += ' ';
      buffer_ += text;
      buffer_ += '\n';
    }
    ++counts_.lines;
    if (buffer_.size() >= kFlushSize) {
      Flush();
    }
  }

  bool Finish() {
    if (tracelist_) {
      Raw("</Tracelist>\n");
    }
    Flush();
    return !failed_;
  }

 private:
  static constexpr std::size_t kFlushSize = 1 << 20;

  void Raw(std::string_view text) { buffer_ += text; }

  void Flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      failed_ = true;
    }
    counts_.bytes += buffer_.size();
    buffer_.clear();
  }

  // "01/15/2004 10:23:45.678" in a plain trace, "2004-01-15 10:23:45.678" in a Tracelist.
  std::string_view Stamp(std::uint64_t ms) {
    // The trace starts on 2004-01-15 at 08:00.
    constexpr std::int64_t kStartDay = 12432;
    constexpr std::uint64_t kStartMs = 8ULL * 3600 * 1000;
    ms += kStartMs;
    const std::int64_t dayNumber = kStartDay + static_cast<std::int64_t>(ms / 86400000);
    if (dayNumber != day_) {
      day_ = dayNumber;
      unsigned year = 0;
      unsigned month = 0;
      unsigned day = 0;
      CivilDate(dayNumber, year, month, day);
      if (tracelist_) {
        std::snprintf(date_, sizeof date_, "%04u-%02u-%02u", year, month, day);
      } else {
        std::snprintf(date_, sizeof date_, "%02u/%02u/%04u", month, day, year);
      }
    }
    const auto inDay = static_cast<unsigned>(ms % 86400000);
    std::snprintf(stamp_, sizeof stamp_, "%s %02u:%02u:%02u.%03u", date_, inDay / 3600000,
                  inDay / 60000 % 60, inDay / 1000 % 60, inDay % 1000);
    return stamp_;
  }

  std::FILE* file_;
  bool tracelist_;
  Counts& counts_;
  std::string buffer_;
  bool failed_ = false;
  std::int64_t day_ = -1;
  char date_[48] = {};
  char stamp_[96] = {};
};

// The legs that are going on, and the arrival of the next.
struct Leg {
  CallLeg call;
  std::size_t next = 0;
  std::uint64_t dueMs = 0;
};

class TraceMaker {
 public:
  TraceMaker(std::uint64_t seed, TraceWriter& writer, Counts& counts)
      : random_(seed), writer_(writer), counts_(counts) {}

  void Make(std::uint64_t messages) {
    // The gateways come up with a restart of all their interfaces.
    for (unsigned gateway = 0; gateway < kGatewayCount; ++gateway) {
      if (!kGateways[gateway].h225) {
        Start(bench::PlanRestart(random_, gateway, true), clockMs_ + 50 * gateway);
      }
    }
    std::uint64_t arrivalMs = clockMs_ + 1000;
    while (counts_.messages < messages) {
      std::size_t earliest = 0;
      for (std::size_t k = 1; k < legs_.size(); ++k) {
        if (legs_[k].dueMs < legs_[earliest].dueMs) {
          earliest = k;
        }
      }
      if (legs_.size() < kMaxConcurrentLegs &&
          (legs_.empty() || arrivalMs <= legs_[earliest].dueMs)) {
        arrivalMs = std::max(arrivalMs, clockMs_);
        CallLeg leg = NewLeg();
        // The server places a share of the incoming calls onward, on another gateway: their
        // legs are related, and one fails where the other does.
        if (leg.call && leg.gatewayOriginates && random_.PerMille(kOnwardPerMille)) {
          unsigned gateway = leg.gateway;
          while (gateway == leg.gateway) {
            gateway = static_cast<unsigned>(random_.Below(kGatewayCount));
          }
          Start(bench::PlanOnwardLeg(random_, references_, leg, gateway, ++callId_),
                arrivalMs + random_.Between(40, 400));
        }
        Start(std::move(leg), arrivalMs);
        arrivalMs += random_.Below(2 * kMeanArrivalGapMs);
        continue;
      }
      Leg& leg = legs_[earliest];
      Emit(leg.call, leg.call.plan[leg.next], std::max(leg.dueMs, clockMs_));
      if (++leg.next < leg.call.plan.size()) {
        leg.dueMs = clockMs_ + leg.call.plan[leg.next].delayMs;
      } else {
        legs_[earliest] = std::move(legs_.back());
        legs_.pop_back();
      }
    }
  }

 private:
  CallLeg NewLeg() {
    // H.225 legs are shorter than PRI legs: two legs in five make three messages in ten.
    const bool h225 = random_.PerMille(410);
    unsigned gateway = 0;
    do {
      gateway = static_cast<unsigned>(random_.Below(kGatewayCount));
    } while (kGateways[gateway].h225 != h225);
    ++callId_;
    if (!h225 && random_.Below(1000) == 0) {
      CallLeg leg = random_.PerMille(500)
                        ? bench::PlanRestart(random_, gateway, random_.PerMille(300))
                        : bench::PlanService(random_, gateway);
      leg.callId = callId_;
      return leg;
    }
    return bench::PlanCall(random_, references_, gateway, callId_);
  }

  void Start(CallLeg call, std::uint64_t atMs) { legs_.push_back({std::move(call), 0, atMs}); }

  bench::LineContext Context(const CallLeg& call) const {
    return {call.callId + 1000000, call.calling, call.called, kGateways[call.gateway].dsl};
  }

  // Server lines in the quiet time before a message, spread over it.
  void LinesBefore(const CallLeg& call, std::uint64_t atMs) {
    constexpr unsigned kChances[] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 4, 5};
    const unsigned count = random_.Pick(kChances);
    const std::uint64_t gap = atMs - clockMs_;
    for (unsigned k = 1; k <= count; ++k) {
      writer_.Line(clockMs_ + gap * k / (count + 1), bench::ServerLine(random_, Context(call)));
    }
  }

  void Emit(const CallLeg& call, const bench::PlannedMessage& message, std::uint64_t atMs) {
    LinesBefore(call, atMs);
    clockMs_ = atMs;
    const bench::Gateway& gateway = kGateways[call.gateway];
    const bool incoming = message.fromOriginator == call.gatewayOriginates;
    // In three messages of four, the server writes other lines between the message's own.
    unsigned inside[2] = {0, 0};
    if (random_.PerMille(750)) {
      const unsigned count = random_.PerMille(600) ? 1 : random_.PerMille(750) ? 2 : 3;
      for (unsigned k = 0; k < count; ++k) {
        ++inside[random_.Below(2)];
      }
      ++counts_.linesInside;
    }
    const char* separator = writer_.Tracelist() ? ": " : "= ";
    std::string text = "CCP|";
    text += incoming ? "In  Message -- " : "Out Message -- ";
    text += gateway.h225 ? "H225" : "Pri";
    text += message.name;
    text += "Msg -- Protocol";
    text += separator;
    text += gateway.protocol;
    writer_.Line(clockMs_, text);
    Inside(call, inside[0]);

    char line[160];
    std::snprintf(line, sizeof line,
                  "CCP|MMan_Id= %u. (iep= 0 dsl= %u sapi= 0 ces= 0 IpAddr=%02x%02x%02x%02x "
                  "IpPort=%u)",
                  gateway.mmanId, gateway.dsl, gateway.address[3], gateway.address[2],
                  gateway.address[1], gateway.address[0], gateway.h225 ? 1720u : 2427u);
    writer_.Line(clockMs_, line);
    Inside(call, inside[1]);

    // The answering side sets the call reference flag.
    const unsigned flag = message.fromOriginator ? 0 : 0x80;
    std::vector<std::uint8_t> octets = {call.protocolDiscriminator,
                                        static_cast<std::uint8_t>(call.referenceLength)};
    if (call.referenceLength == 1) {
      octets.push_back(static_cast<std::uint8_t>(flag | call.reference));
    } else {
      octets.push_back(static_cast<std::uint8_t>(flag | call.reference >> 8));
      octets.push_back(static_cast<std::uint8_t>(call.reference & 0xff));
    }
    octets.insert(octets.end(), message.body.begin(), message.body.end());
    static constexpr char kDigits[] = "0123456789abcdef";
    text = incoming ? "CCP|IsdnMsgData2=" : "CCP|IsdnMsgData1=";
    for (const std::uint8_t octet : octets) {
      text += ' ';
      text += kDigits[octet >> 4];
      text += kDigits[octet & 15];
    }
    if (!writer_.Tracelist()) {
      text += "  |<CLID::mrv-ccp-01><";
      text += gateway.label;
      text += '>';
    }
    clockMs_ += random_.Below(2);
    writer_.Line(clockMs_, text);

    ++counts_.messages;
    counts_.octets += octets.size();
    counts_.h225 += gateway.h225 ? 1 : 0;
    counts_.oneOctetReference += call.referenceLength == 1 ? 1 : 0;
    counts_.restarts += message.name == "Restart" ? 1 : 0;
  }

  void Inside(const CallLeg& call, unsigned count) {
    for (unsigned k = 0; k < count; ++k) {
      writer_.Line(clockMs_, bench::ServerLine(random_, Context(call)));
    }
  }

  Random random_;
  TraceWriter& writer_;
  Counts& counts_;
  bench::CallReferences references_;
  std::vector<Leg> legs_;
  std::uint64_t clockMs_ = 0;
  std::uint32_t callId_ = 0;
};

int Usage() {
  std::fprintf(stderr, "usage: make_trace [--tracelist] [--seed S] MESSAGES FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool tracelist = false;
  std::uint64_t seed = 1;
  std::vector<const char*> operands;
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--tracelist") == 0) {
      tracelist = true;
    } else if (std::strcmp(argv[k], "--seed") == 0 && k + 1 < argc) {
      seed = std::strtoull(argv[++k], nullptr, 0);
    } else if (argv[k][0] == '-' && argv[k][1] != '\0') {
      return Usage();
    } else {
      operands.push_back(argv[k]);
    }
  }
  char* end = nullptr;
  const std::uint64_t messages = operands.size() == 2 ? std::strtoull(operands[0], &end, 10) : 0;
  if (messages == 0 || *end != '\0') {
    return Usage();
  }
  std::FILE* file = std::fopen(operands[1], "wb");
  if (file == nullptr) {
    std::perror(operands[1]);
    return 1;
  }
  Counts counts;
  TraceWriter writer(file, tracelist, counts);
  TraceMaker(seed, writer, counts).Make(messages);
  const bool written = writer.Finish();
  if (std::fclose(file) != 0 || !written) {
    std::perror(operands[1]);
    return 1;
  }
  const auto share = [&](std::uint64_t part) {
    return 100.0 * static_cast<double>(part) / static_cast<double>(counts.messages);
  };
  const double perMessage = static_cast<double>(counts.messages);
  std::printf(
      "trace: %.0f MB (%llu bytes), %llu messages, mean message length %.1f octets, "
      "%.2f lines and %.0f bytes per message\n",
      static_cast<double>(counts.bytes) / 1e6, static_cast<unsigned long long>(counts.bytes),
      static_cast<unsigned long long>(counts.messages),
      static_cast<double>(counts.octets) / perMessage,
      static_cast<double>(counts.lines) / perMessage,
      static_cast<double>(counts.bytes) / perMessage);
  std::printf(
      "shape: %.1f %% H.225, %.1f %% with server lines inside, %.1f %% one-octet call "
      "references, %llu RESTARTs\n",
      share(counts.h225), share(counts.linesInside), share(counts.oneOctetReference),
      static_cast<unsigned long long>(counts.restarts));
  return 0;
}
