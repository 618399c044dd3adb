#pragma once

// A reader of ALIGNED PER encodings (X.691) over a run of a message's octets. Every read is
// checked against the run: the first one that does not fit marks the whole decode as failed (at
// that octet, for that reason), and every later read returns 0 without moving, so a decoder reads
// on without testing each value and tests Ok() where it loops or keeps what it read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "q931/payload_bytes.h"

namespace sigrune {

// Where a decode failed; shared by a reader and the readers of the open types inside it.
struct PerFailure {
  const char* reason = nullptr;  // none while the decode goes well
  std::int64_t octet = 0;        // counted from 1 in the message
};

// A character string as PER holds it, kept as a view of its octets; made into text on demand.
enum class PerTextForm : std::uint8_t {
  Octets,      // one octet per character (IA5String, OCTET STRING)
  Bmp,         // two octets per character, big-endian (BMPString)
  DialDigits,  // four bits per character, an index into "#*,0123456789"
  IsupDigits,  // four bits per character, an index into "0123456789ABCDE"
};

struct PerText {
  OctetView octets;
  std::uint32_t count = 0;  // characters
  PerTextForm form = PerTextForm::Octets;
};

// Appends the characters in Latin-1: one beyond Latin-1 becomes '?'; an octet string ends at its
// first NUL, as the fillers that end product names are no part of them.
void AppendPerText(std::string& text, const PerText& value);

class PerReader {
 public:
  // `firstOctet` is the message position of the run's first octet, for the failure's report.
  PerReader(OctetView octets, std::int64_t firstOctet, PerFailure& failure)
      : octets_(octets), firstOctet_(firstOctet), failure_(&failure) {}

  bool Ok() const { return failure_->reason == nullptr; }
  void Fail(const char* reason);
  // The bits not read yet.
  std::uint64_t BitsLeft() const { return 8 * static_cast<std::uint64_t>(octets_.Size()) - bit_; }

  // Up to 32 bits, the first read the most significant.
  std::uint32_t Bits(int count);
  bool Bit() { return Bits(1) != 0; }
  void Align() { bit_ = (bit_ + 7) & ~std::uint64_t{7}; }
  // `count` whole octets from the next octet boundary.
  OctetView Octets(std::uint64_t count);
  void Skip(std::uint64_t bits);

  // A whole number of lb..ub.
  std::uint32_t Constrained(std::uint32_t lower, std::uint32_t upper);
  // A length without an upper bound below 64K: one or two octets; a fragmented one fails.
  std::uint32_t Length();
  // A length of lower..upper, upper below 64K.
  std::uint32_t Length(std::uint32_t lower, std::uint32_t upper) {
    return Constrained(lower, upper);
  }
  // A normally small non-negative whole number (extension bitmaps, extension alternatives).
  std::uint32_t Small();
  // A count of items each taking at least `minimumBits`: fails when the run cannot hold them, so
  // nothing is ever reserved from a count the octets do not back.
  std::uint32_t Count(std::uint32_t minimumBits);
  // An open type: its octets as a reader of their own, which fails into the same failure.
  PerReader Open();

  // An extensible type's extension bit, and the root index of a CHOICE: the index of an extension
  // alternative is `roots` plus its number, and `open` then holds its encoding.
  std::uint32_t Choice(std::uint32_t roots, bool extensible, PerReader* open);
  // An OCTET STRING or character string of fixed size (count) whose octets start aligned when
  // they are more than two.
  OctetView FixedOctets(std::uint32_t count);
  // An OCTET STRING without size limits.
  OctetView OctetString() { return Octets(Length()); }
  // An OBJECT IDENTIFIER: its BER contents octets.
  OctetView ObjectIdentifier() { return Octets(Length()); }
  // A character string of lower..upper characters of `bitsEach` bits (4, 8 or 16).
  PerText Text(std::uint32_t lower, std::uint32_t upper, int bitsEach, PerTextForm form);
  // A semi-constrained or unconstrained INTEGER, skipped.
  void SkipUnconstrainedInteger() { Octets(Length()); }

  // The message position of the octet holding the next bit.
  std::int64_t Position() const { return firstOctet_ + static_cast<std::int64_t>(bit_ / 8); }

 private:
  OctetView octets_;
  std::int64_t firstOctet_ = 1;
  std::uint64_t bit_ = 0;
  PerFailure* failure_;
};

// Reads the extension additions of a SEQUENCE whose extension bit was set: `addition(k, open)`
// for each present addition k (from 0), whose encoding `open` holds; the others are skipped.
template <typename Addition>
void ReadExtensionAdditions(PerReader& reader, Addition&& addition) {
  const std::uint32_t count = reader.Small() + 1;
  if (!reader.Ok() || count > reader.BitsLeft()) {
    reader.Fail("extension bitmap longer than the octets");
    return;
  }
  PerReader bitmap = reader;
  reader.Skip(count);
  for (std::uint32_t k = 0; k < count && reader.Ok(); ++k) {
    if (bitmap.Bit()) {
      PerReader open = reader.Open();
      addition(k, open);
    }
  }
}

// Skips the extension additions when the extension bit was set.
inline void SkipExtensions(PerReader& reader, bool extended) {
  if (extended) {
    ReadExtensionAdditions(reader, [](std::uint32_t, PerReader&) {});
  }
}

// Appends the dotted form of an OBJECT IDENTIFIER's contents octets: "0.0.8.2250.0.4". False,
// with nothing appended, when they do not form one.
bool AppendObjectIdentifier(std::string& text, const OctetView& contents);

}  // namespace sigrune
