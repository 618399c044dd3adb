#pragma once

// One message's octets, read through a single bounds-checked accessor: every decoder reads
// octets by their 1-based position, and a position outside the message fails the whole decode.

#include <cstddef>
#include <cstdint>
#include <span>
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

// A run of a message's octets, read through the same kind of checked accessor.
class OctetView {
 public:
  OctetView() = default;
  OctetView(const std::uint8_t* first, std::size_t size) : first_(first), size_(size) {}

  std::size_t Size() const { return size_; }
  // For reading the whole run, once its bounds were checked by View.
  const std::uint8_t* begin() const { return first_; }
  const std::uint8_t* end() const { return first_ + size_; }

  // Octet k of the run, counted from 0.
  int At(std::size_t k) const {
    if (k >= size_) {
      throw SubscriptOutOfRange();
    }
    return first_[k];
  }

 private:
  const std::uint8_t* first_ = nullptr;
  std::size_t size_ = 0;
};

class PayloadBytes {
 public:
  PayloadBytes() = default;
  explicit PayloadBytes(std::vector<std::uint8_t> octets)
      : octets_(std::move(octets)), count_(octets_.size()) {}

  // Becomes the octets of a hex text that may have blanks anywhere, read as PayloadBytesOfHexText
  // reads the text without them, in the room it has: read message after message, it allocates
  // only when a message is longer than any before. Fails when the text has no octet.
  void AssignSpacedHexText(std::string_view text);
  // The same for octets already read; fails when there are none.
  void AssignOctets(std::span<const std::uint8_t> octets);

  std::int64_t Count() const { return static_cast<std::int64_t>(count_); }
  // Every octet, to be copied whole.
  std::span<const std::uint8_t> Octets() const { return {octets_.data(), count_}; }

  // Octet k, counted from 1 as in Q.931.
  int At(std::int64_t k) const {
    if (k < 1 || k > Count()) {
      throw SubscriptOutOfRange();
    }
    return octets_[static_cast<std::size_t>(k - 1)];
  }

  // The `size` octets from octet `first` on; a run that leaves the message fails.
  OctetView View(std::int64_t first, std::int64_t size) const {
    if (first < 1 || size < 0 || size > Count() - first + 1) {
      throw SubscriptOutOfRange();
    }
    return OctetView(octets_.data() + (first - 1), static_cast<std::size_t>(size));
  }

 private:
  // The room may hold more than the message: it is kept from one message to the next.
  std::vector<std::uint8_t> octets_;
  std::size_t count_ = 0;
};

// The number of octets of a hex text: half its length, halves rounded to even, so that a text of
// odd length either drops its last digit (9 characters give 4 octets) or reads it alone (7 give 4).
std::int64_t OctetCount(std::string_view hexText);

// How many octets AssignSpacedHexText makes of the text, without making them.
std::size_t SpacedHexOctetCount(std::string_view text);

// The first `count` octets of the hex text, two digits each; fails when count is below 1.
PayloadBytes ParsePayloadHex(std::string_view hexText, std::int64_t count);

// ParsePayloadHex with the count that OctetCount gives.
PayloadBytes PayloadBytesOfHexText(std::string_view hexText);

// Upper-case hexadecimal digits, at least two: 08, A0, FF.
std::string ByteToHex(int value);
void AppendByteToHex(std::string& text, int value);
// Two digits for each octet of the run.
void AppendOctetsInHex(std::string& text, const OctetView& octets);

}  // namespace sigrune
