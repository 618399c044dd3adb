#include "calls/related_legs.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string_view>
#include <utility>

namespace sigrune {

namespace {

constexpr std::uint64_t kLegWindow = 5'000'000'000;  // nanoseconds
constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// One side of a call with a SETUP time and digits of one kind, in 16 bytes with the digits as a
// hash: sorting these touches no call record, which keeps a million messages' calls quick to
// link. Legs with other digits may share a hash; the link looks at the digits themselves. At the
// same digits and time an `in` call comes before every `out` call, so that the `out` calls after
// it are those at its time or later.
struct Leg {
  MessageTime time = 0;
  std::uint32_t digits = 0;  // a hash of the digits, then whether they are the called ones
  std::uint32_t side = 0;    // whether the call is `out`, then its index into the calls

  Leg() = default;
  Leg(std::string_view digitText, bool called, MessageTime setupTime, bool out, std::uint32_t call)
      : time(setupTime),
        digits(static_cast<std::uint32_t>(std::hash<std::string_view>()(digitText) << 1) |
               (called ? 1 : 0)),
        side((out ? 0x8000'0000u : 0) | call) {}
  bool Called() const { return (digits & 1) != 0; }
  bool Out() const { return (side & 0x8000'0000u) != 0; }
  std::uint32_t Call() const { return side & 0x7FFF'FFFFu; }
};

// The legs in order of digits, each run of the same digits in order of time and side. The
// digits go by radix, which keeps the order of the calls: those are mostly in order of time
// already, so the runs seldom need sorting.
void SortLegs(std::vector<Leg>& legs) {
  constexpr unsigned kRadixBits = 16;
  constexpr std::uint32_t kRadixMask = (1u << kRadixBits) - 1;
  std::vector<Leg> sorted(legs.size());
  std::vector<std::uint32_t> starts(std::size_t{1} << kRadixBits);
  for (const unsigned shift : {0u, kRadixBits}) {
    std::fill(starts.begin(), starts.end(), 0);
    for (const Leg& leg : legs) {
      ++starts[leg.digits >> shift & kRadixMask];
    }
    std::uint32_t start = 0;
    for (std::uint32_t& count : starts) {
      start += std::exchange(count, start);
    }
    for (const Leg& leg : legs) {
      sorted[starts[leg.digits >> shift & kRadixMask]++] = leg;
    }
    legs.swap(sorted);
  }
  const auto earlier = [](const Leg& left, const Leg& right) {
    return std::pair(left.time, left.side) < std::pair(right.time, right.side);
  };
  for (auto run = legs.begin(); run != legs.end();) {
    const auto end =
        std::find_if(run, legs.end(), [&](const Leg& leg) { return leg.digits != run->digits; });
    if (!std::is_sorted(run, end, earlier)) {
      std::sort(run, end, earlier);
    }
    run = end;
  }
}

std::string_view DigitsOf(const CallTable& table, const CallRecord& call, bool called) {
  return called ? table.Called(call) : table.Calling(call);
}

MessageTime SetupTime(const MessageStore& store, const CallRecord& call) {
  return call.began == CallBegan::Setup ? store.msgTimes[IndexOf(call.firstMessage).value]
                                        : kNoTime;
}

// The legs in order of digits, time and side, with a way past the `out` calls already linked
// (and the `in` calls) that stays short however often it is taken.
class Legs {
 public:
  // The legs of the calls at `members` (of every call when none are given), which must not be
  // linked yet.
  Legs(const MessageStore& store, const CallTable& table,
       const std::vector<std::uint32_t>* members = nullptr)
      : table_(table),
        calls_(table.calls),
        calling_(calls_.size(), kNone),
        called_(calls_.size(), kNone) {
    const auto visit = [&](std::uint32_t k) {
      AddLegs(store, k, [this](const Leg& leg) { legs_.push_back(leg); });
    };
    if (members != nullptr) {
      legs_.reserve(2 * members->size());
      std::for_each(members->begin(), members->end(), visit);
    } else {
      legs_.reserve(2 * calls_.size());
      for (std::uint32_t k = 0; k < calls_.size(); ++k) {
        visit(k);
      }
    }
    SortLegs(legs_);
    const auto count = static_cast<std::uint32_t>(legs_.size());
    next_.resize(count + 1);
    next_[count] = count;
    groupEnd_.resize(count);
    for (std::uint32_t k = count; k-- > 0;) {
      const Leg& leg = legs_[k];
      next_[k] = leg.Out() ? k : k + 1;
      groupEnd_[k] = k + 1 < count && legs_[k + 1].digits == leg.digits ? groupEnd_[k + 1] : k + 1;
      (leg.Called() ? called_ : calling_)[leg.Call()] = k;
    }
  }

  // The `out` call not yet linked that is nearest after the `in` call, by its calling or its
  // called digits, within 5 s; the lower number on a tie. kNone when there is none.
  std::uint32_t NearestOut(std::uint32_t in) {
    const Leg* best = nullptr;
    for (const bool called : {false, true}) {
      const std::uint32_t position = (called ? called_ : calling_)[in];
      if (position == kNone) {
        continue;
      }
      const std::string_view digits = DigitsOf(table_, calls_[in], called);
      for (std::uint32_t k = Free(position + 1); k < groupEnd_[position]; k = Free(k + 1)) {
        const Leg& candidate = legs_[k];
        // Unsigned: the two ends of what a time holds are further apart than a signed
        // difference holds.
        if (static_cast<std::uint64_t>(candidate.time) -
                static_cast<std::uint64_t>(legs_[position].time) >
            kLegWindow) {
          break;
        }
        if (DigitsOf(table_, calls_[candidate.Call()], called) == digits) {
          if (best == nullptr ||
              std::pair(candidate.time, candidate.Call()) < std::pair(best->time, best->Call())) {
            best = &candidate;
          }
          break;
        }
      }
    }
    return best != nullptr ? best->Call() : kNone;
  }

  void Link(std::uint32_t out) {
    for (const std::uint32_t k : {calling_[out], called_[out]}) {
      if (k != kNone) {
        next_[k] = k + 1;
      }
    }
  }

 private:
  template <typename Visit>
  void AddLegs(const MessageStore& store, std::uint32_t k, Visit visit) const {
    const MessageTime time = SetupTime(store, calls_[k]);
    if (time == kNoTime) {
      return;
    }
    const bool out = calls_[k].direction == CallDirection::Out;
    for (const bool called : {false, true}) {
      if (const std::string_view digits = DigitsOf(table_, calls_[k], called); !digits.empty()) {
        visit(Leg(digits, called, time, out, k));
      }
    }
  }

  // The first free `out` leg from `k` on; the way there is shortened for the next look.
  std::uint32_t Free(std::uint32_t k) {
    std::uint32_t free = k;
    while (next_[free] != free) {
      free = next_[free];
    }
    while (next_[k] != free) {
      const std::uint32_t after = next_[k];
      next_[k] = free;
      k = after;
    }
    return free;
  }

  const CallTable& table_;
  const LargeVector<CallRecord>& calls_;
  std::vector<Leg> legs_;
  std::vector<std::uint32_t> next_;      // each leg's next leg to look at; itself when free
  std::vector<std::uint32_t> groupEnd_;  // one past the last leg with the same digits hash
  std::vector<std::uint32_t> calling_;   // each call's leg by its calling digits, or kNone
  std::vector<std::uint32_t> called_;
};

}  // namespace

namespace {

// The `in` calls choose in order, each the nearest free `out` call.
template <typename Calls>
void LinkInOrder(LargeVector<CallRecord>& calls, Legs& legs, const Calls& inCalls) {
  for (const std::uint32_t k : inCalls) {
    if (calls[k].direction != CallDirection::In) {
      continue;
    }
    if (const std::uint32_t out = legs.NearestOut(k); out != kNone) {
      legs.Link(out);
      calls[k].related = CallNumber{out + 1};
      calls[out].related = CallNumber{k + 1};
    }
  }
}

// The numbers 0 to count - 1, without an array of them.
struct Indexes {
  struct Iterator {
    std::uint32_t k;
    std::uint32_t operator*() const { return k; }
    Iterator& operator++() {
      ++k;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return k != other.k; }
  };
  std::uint32_t count;
  Iterator begin() const { return {0}; }
  Iterator end() const { return {count}; }
};

bool IsTimedIn(const MessageStore& store, const CallRecord& call) {
  return call.direction == CallDirection::In && SetupTime(store, call) != kNoTime;
}

}  // namespace

void LinkRelatedLegs(const MessageStore& store, CallTable& table) {
  LargeVector<CallRecord>& calls = table.calls;
  Legs legs(store, table);
  LinkInOrder(calls, legs, Indexes{static_cast<std::uint32_t>(calls.size())});
}

void RelinkRelatedLegs(const MessageStore& store, CallTable& table,
                       const std::vector<std::uint32_t>& changed) {
  LargeVector<CallRecord>& calls = table.calls;
  const LargeVector<MessageTime>& latestSetupTimes = table.latestSetupTimes;
  MessageTime earliest = std::numeric_limits<MessageTime>::max();
  for (const std::uint32_t number : changed) {
    if (const MessageTime time = SetupTime(store, calls[number - 1]); time != kNoTime) {
      earliest = std::min(earliest, time);
    }
  }
  if (earliest == std::numeric_limits<MessageTime>::max()) {
    return;  // no leg changed
  }
  // The `in` calls before the first whose 5 s reach a changed call choose as they chose; every
  // `in` call from it on chooses again, among the `out` calls they left free.
  constexpr auto kWindow = static_cast<MessageTime>(kLegWindow);
  const MessageTime reach = earliest > kNoTime + kWindow ? earliest - kWindow : kNoTime + 1;
  const auto byTime = [&](MessageTime time) {
    return static_cast<std::uint32_t>(
        std::lower_bound(latestSetupTimes.begin(), latestSetupTimes.end(), time) -
        latestSetupTimes.begin());
  };
  const auto count = static_cast<std::uint32_t>(calls.size());
  std::uint32_t first = byTime(reach);
  while (first < count &&
         !(IsTimedIn(store, calls[first]) && SetupTime(store, calls[first]) >= reach)) {
    ++first;
  }
  MessageTime earliestIn = std::numeric_limits<MessageTime>::max();
  for (std::uint32_t k = first; k < count; ++k) {
    if (IsTimedIn(store, calls[k])) {
      earliestIn = std::min(earliestIn, SetupTime(store, calls[k]));
      if (const CallNumber out = std::exchange(calls[k].related, CallNumber{})) {
        calls[out.value - 1].related = {};
      }
    }
  }
  std::vector<std::uint32_t> members;
  for (std::uint32_t k = std::min(first, byTime(earliestIn)); k < count; ++k) {
    const CallRecord& call = calls[k];
    const MessageTime time = SetupTime(store, call);
    if (time == kNoTime) {
      continue;
    }
    if (call.direction == CallDirection::In ? k >= first : !call.related && time >= earliestIn) {
      members.push_back(k);
    }
  }
  Legs legs(store, table, &members);
  LinkInOrder(calls, legs, members);
}

}  // namespace sigrune
