#pragma once

// The decoders of single information elements. Those that read the element's octets share one
// shape: the message's octets, the element's length, the position of its first contents octet
// (octet 3 in Q.931 numbering) and, where it matters, whether printable octets show as text.
// The walker alone decides positions; a decoder only reads. Each that makes a text has a form that
// appends it to the decoded text being written, which spares a string per element; when it fails
// it may have appended part of its text, which the failed decode drops with the rest.

#include <cstdint>
#include <string>
#include <string_view>

#include "q931/payload_bytes.h"

namespace sigrune {

// "0x" followed by the hex digits of every contents octet ("0x" alone for length 0).
void AppendContentsInHex(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                         std::int64_t startIndex);

// Bearer capability (0x04).
std::string DecodeBearerCapability(const PayloadBytes& bytes, std::int64_t length,
                                   std::int64_t startIndex);
void AppendBearerCapability(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                            std::int64_t startIndex);
std::string_view DecodeBearerCodingStandard(int octet3);
std::string_view DecodeTransferCapability(int octet3);
std::string_view DecodeTransferMode(int octet4);
std::string_view DecodeTransferRate(int octet4);
std::string_view DecodeLayer1Protocol(int octet5);
// The two-bit coding standard of bits 8-7, as the call state element carries it.
std::string_view DecodeCodingStandard(int octet);

// Cause (0x08).
std::string DecodeCause(const PayloadBytes& bytes, std::int64_t length, std::int64_t startIndex);
void AppendCause(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                 std::int64_t startIndex);

// Call state (0x14), progress indicator (0x1E) and signal (0x34): one octet each.
std::string DecodeCallState(int octet3);
void AppendCallState(std::string& text, int octet3);
std::string_view DecodeProgressDescription(int octet4);
std::string DecodeSignalValue(int octet3);
void AppendSignalValue(std::string& text, int octet3);

// Generic contents: printable runs quoted, other runs as "0x" and hex digits.
std::string FormatElementContents(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                  std::int64_t startIndex);
void AppendElementContents(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                           bool textFlag, std::int64_t startIndex);

// Called (0x70) and calling (0x6C) party numbers, and their fields.
std::string DecodeCalledPartyNumber(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                    std::int64_t startIndex);
std::string DecodeCallingPartyNumber(const PayloadBytes& bytes, std::int64_t length, bool textFlag,
                                     std::int64_t startIndex);
void AppendCalledPartyNumber(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                             bool textFlag, std::int64_t startIndex);
void AppendCallingPartyNumber(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                              bool textFlag, std::int64_t startIndex);
std::string_view DecodeNumberingPlan(int octet3);
std::string_view DecodeTypeOfNumber(int octet3);
std::string_view DecodePresentation(int octet3a);
std::string_view DecodeScreening(int octet3a);

// Channel identification (0x18): the summary after the element's hex contents.
std::string DecodeChannelId(const PayloadBytes& bytes, std::int64_t length,
                            std::int64_t startIndex);
void AppendChannelId(std::string& text, const PayloadBytes& bytes, std::int64_t length,
                     std::int64_t startIndex);

}  // namespace sigrune
