#pragma once

// One message's octets, read through a single bounds-checked accessor: every decoder reads
// octets by their 1-based position, and a position outside the message fails the whole decode.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sigrune {

// The decode of a message read outside its octets; no partial text is ever returned.
class SubscriptOutOfRange : public std::runtime_error {
 public:
  SubscriptOutOfRange() : std::runtime_error("Subscript out of range") {}
};

class PayloadBytes {
 public:
  PayloadBytes() = default;
  explicit PayloadBytes(std::vector<std::uint8_t> octets) : octets_(std::move(octets)) {}

  std::int64_t Count() const { return static_cast<std::int64_t>(octets_.size()); }

  // Octet k, counted from 1 as in Q.931.
  int At(std::int64_t k) const {
    if (k < 1 || k > Count()) {
      throw SubscriptOutOfRange();
    }
    return octets_[static_cast<std::size_t>(k - 1)];
  }

 private:
  std::vector<std::uint8_t> octets_;
};

// The number of octets of a hex text: half its length, halves rounded to even, so that a text of
// odd length either drops its last digit (9 characters give 4 octets) or reads it alone (7 give 4).
std::int64_t OctetCount(std::string_view hexText);

// The first `count` octets of the hex text, two digits each; fails when count is below 1.
PayloadBytes ParsePayloadHex(std::string_view hexText, std::int64_t count);

// ParsePayloadHex with the count that OctetCount gives.
PayloadBytes PayloadBytesOfHexText(std::string_view hexText);

// Upper-case hexadecimal digits, at least two: 08, A0, FF.
std::string ByteToHex(int value);
void AppendByteToHex(std::string& text, int value);

}  // namespace sigrune
