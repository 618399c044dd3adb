#include "q931/element_decoders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <tuple>

#include "q931/decoder.h"
#include "q931/element_names.h"
#include "trace/summary_line.h"
#include "util/text_utilities.h"

namespace sigrune {
namespace {

using ElementDecoder = std::function<std::string(const PayloadBytes&, std::int64_t, std::int64_t)>;

// The decoders that take a text flag, as the walker calls them in codeset 0.
std::string CalledWithText(const PayloadBytes& bytes, std::int64_t length, std::int64_t start) {
  return DecodeCalledPartyNumber(bytes, length, true, start);
}
std::string CallingWithText(const PayloadBytes& bytes, std::int64_t length, std::int64_t start) {
  return DecodeCallingPartyNumber(bytes, length, true, start);
}
std::string GenericWithText(const PayloadBytes& bytes, std::int64_t length, std::int64_t start) {
  return FormatElementContents(bytes, length, true, start);
}

TEST(ElementDecoders, ReadUpToTheMessagesLastOctetAndNoFurther) {
  // Each element's contents start at octet 8 and end on the message's last octet.
  const std::pair<ElementDecoder, std::string_view> messages[] = {
      {DecodeBearerCapability, "08 02 00 01 05 04 03 80 90 A2"},
      {DecodeCause, "08 02 00 01 45 08 02 80 90"},
      {CalledWithText, "08 02 00 01 05 70 03 A1 35 36"},
      {CallingWithText, "08 02 00 01 05 6C 04 21 80 35 36"},
      {DecodeChannelId, "08 02 00 01 05 18 03 A9 83 97"},
  };
  for (const auto& [decode, message] : messages) {
    const std::string hex = RemoveBlanks(message);
    const PayloadBytes whole = PayloadBytesOfHexText(hex);
    const PayloadBytes shorter = PayloadBytesOfHexText(hex.substr(0, hex.size() - 2));
    EXPECT_NO_THROW(decode(whole, whole.At(7), 8)) << message;
    EXPECT_THROW(decode(shorter, whole.At(7), 8), SubscriptOutOfRange) << message;
  }
}

// The contents alone make the message, so that they start at octet 1. Single table entries are
// checked below; these are each decoder's lengths, masks and fallbacks.
TEST(ElementDecoders, DescribeTheirContents) {
  const ElementDecoder bearer = DecodeBearerCapability, cause = DecodeCause,
                       generic = GenericWithText, called = CalledWithText,
                       calling = CallingWithText, channel = DecodeChannelId;
  const std::tuple<ElementDecoder, std::string_view, std::string_view> cases[] = {
      {bearer, "80 90 A2", "0x8090A2, ITU-T standard, Speech, Circuit mode, 64k, \xB5-law"},
      {bearer, "88 90", "0x8890, Unknown Bearer Capability"},
      {bearer, "88 90 A1 00", "0x8890A100, Unknown Bearer Capability"},
      {bearer, "8A 90 A2",
       "0x8A90A2, ITU-T standard, Reserved capability, Circuit mode, 64k, \xB5-law"},
      {bearer, "80 C0 A2",
       "0x80C0A2, ITU-T standard, Speech, Packet mode, Packet mode rate, \xB5-law"},
      {bearer, "80 92 AF",
       "0x8092AF, ITU-T standard, Speech, Circuit mode, Reserved rate, Reserved protocol"},
      {bearer, "00 90 A2", "0x0090A2, , Reserved capability, Circuit mode, 64k, \xB5-law"},
      {bearer, "E8 B8 A6",
       "0xE8B8A6, Network defined standard, UDI, Reserved mode, Multirate, H.223/H.245"},
      {cause, "80 90", "0x8090 - Normal call clearing "},
      {cause, "82 9F",
       "0x829F - Normal, unspecified or Special intercept, call blocked group restriction"},
      {cause, "82 E0 70", "0x82E070 - Mandatory IE missing  (IE = Called Party Number)"},
      {cause, "82 E3 1C", "0x82E31C - IE Not implemented (IE = Facility)"},
      {cause, "82 E0 01", "0x82E001 - Mandatory IE missing  (IE = UNRECOGNIZED VARIABLE (0x01))"},
      {cause, "82 E1 05", "0x82E105 - Message type not implemented  (MSG = SETUP)"},
      {cause, "82 E5 99",
       "0x82E599 - Message not compatible with call state or protocol error threshold exceeded  "
       "(MSG = UNKNOWN)"},
      {cause, "82 E0 70 6C", "0x82E0706C - Mandatory IE missing "},
      {cause, "82 90 70", "0x829070 - Normal call clearing "},
      {cause, "80 10", "0x8010 - Unknown Cause value "},
      {cause, "02 80 90", "0x028090 - Unknown Cause value "},
      {cause, "80 FF", "0x80FF - Interworking, unspecified "},
      {generic, "41 42 43", "'ABC'"},
      {generic, "B1 41 42", "0xB1, 'AB'"},
      {generic, "41 42 B1 B2", "'AB', 0xB1B2"},
      {generic, "41 B1 42", "'A', 0xB1, 'B'"},
      {generic, "20 7E 7F 1F", "' ~', 0x7F1F"},
      {called, "A1 35 35 35 31 32 31 32", "'5551212' - Plan: ISDN, Type: National"},
      {called, "81", "Plan: ISDN, Type: Unknown"},
      {called, "81 33 0A 34", "'34' - Plan: ISDN, Type: Unknown"},
      {called, "C9 2A 31 23", "'*1#' - Plan: Private, Type: Subscriber"},
      {called, "F2 35", "'5' - Plan: Reserved, Type: Reserved"},
      {calling, "21 80 35 35 35",
       "'555' - Plan: ISDN, Type: National, Presentation Allowed, User-provided, not screened"},
      {calling, "21 A3", "Plan: ISDN, Type: National, Presentation Restricted, Network provided"},
      {calling, "81 35 2A 36", "'56' - Plan: ISDN, Type: Unknown"},
      {calling, "81", "Plan: ISDN, Type: Unknown"},
      {calling, "81 41", " - Plan: ISDN, Type: Unknown"},
      {calling, "48 C1 30",
       "'0' - Plan: National, Type: Subscriber, Presentation Number not available due to "
       "interworking, User-provided, verified and passed"},
      {calling, "09 00 31",
       "'1' - Plan: Private, Type: Unknown, Presentation Reserved, Network provided"},
      {calling, "61 E2 31",
       "'1' - Plan: ISDN, Type: Abbreviated, Presentation Reserved, User-provided, verified and "
       "failed"},
      {channel, "A9 83 97", ", PRI interface, Exclusive channel 23"},
      {channel, "A1 83 81", ", PRI interface, Preferred channel 1"},
      {channel, "A9 83 00", ", PRI interface, Exclusive channel 0"},
      {channel, "E9 01 83 97", " - Unsupported decode"},
      {channel, "A9 93 97", " - Unsupported decode"},
      {channel, "A9 86 97", " - Unsupported decode"},
      {channel, "A9 83", " - Unsupported decode"},
      {channel, "89", ", BRI interface, Exclusive channel 1"},
      {channel, "80", ", BRI interface, Preferred channel none"},
  };
  for (const auto& [decode, contents, text] : cases) {
    const PayloadBytes bytes = PayloadBytesOfHexText(RemoveBlanks(contents));
    EXPECT_EQ(decode(bytes, bytes.Count(), 1), text) << contents;
  }
  // Without the text flag, as in other codesets, no digits are shown.
  const PayloadBytes bytes = PayloadBytesOfHexText("A13536");
  EXPECT_EQ(FormatElementContents(bytes, 2, false, 1), "0xA135");
  EXPECT_EQ(FormatElementContents(bytes, 0, true, 1), "");
  EXPECT_EQ(DecodeCalledPartyNumber(bytes, 3, false, 1), " - Plan: ISDN, Type: National");
}

// Every name of the element table as the decoded text shows it: in the element's own line, and in
// the diagnostic of a Cause that names the element; then an identifier the table lacks.
TEST(ElementNames, EveryIdentifierShowsItsName) {
  const std::pair<int, std::string_view> rows[] = {
      {0x00, "Segmented Message"},
      {0x03, "1TR6 Time/Date"},
      {0x04, "Bearer Capability"},
      {0x07, "Calling Party Status"},
      {0x08, "Cause"},
      {0x0C, "Connected Number"},
      {0x10, "Call Identity"},
      {0x14, "Call State"},
      {0x18, "Channel ID"},
      {0x1C, "Facility"},
      {0x1E, "Progress Ind"},
      {0x20, "Net Specific Fac"},
      {0x27, "Notification Ind"},
      {0x28, "Display"},
      {0x29, "Date/Time"},
      {0x2C, "Keypad Facility"},
      {0x32, "Info Request"},
      {0x34, "Signal"},
      {0x36, "Switchhook"},
      {0x38, "Feature Activate"},
      {0x39, "Feature Indicate"},
      {0x3A, "SPID Information"},
      {0x3B, "ENDPOINT IDent"},
      {0x40, "Information Rate"},
      {0x42, "End to End Delay"},
      {0x43, "Delay Sel & Ind"},
      {0x44, "Packet Layer Binary Params"},
      {0x45, "Packet Layer Window Size"},
      {0x46, "Packet Size"},
      {0x4C, "Connected Number"},
      {0x6C, "Calling Party Number"},
      {0x6D, "Calling Party SubAddr"},
      {0x70, "Called Party Number"},
      {0x71, "Called Party SubAddr"},
      {0x73, "Original Called Number"},
      {0x74, "Redirecting Number"},
      {0x78, "Transit Net Select"},
      {0x79, "Restart Indicator"},
      {0x7C, "Low Layer Compact"},
      {0x7D, "High Layer Compact"},
      {0x7E, "User-User"},
      {0x01, "UNRECOGNIZED VARIABLE (0x01)"},
      {0x7F, "UNRECOGNIZED VARIABLE (0x7F)"},
  };
  for (const auto& [identifier, name] : rows) {
    char hex[32];
    // A SETUP with the element alone, of three octets that every element's decoder reads.
    std::snprintf(hex, sizeof hex, "0802000105%02X03813131", identifier);
    const std::string setup = DecodeMessage(PayloadBytesOfHexText(hex));
    const std::size_t line = setup.find("\r\n") + 2;
    EXPECT_EQ(setup.substr(line, setup.find(" i = ", line) - line), name) << hex;
    // A DISCONNECT whose Cause says the element is missing.
    std::snprintf(hex, sizeof hex, "0802000145080382E0%02X", identifier);
    const std::string disconnect = DecodeMessage(PayloadBytesOfHexText(hex));
    EXPECT_TRUE(disconnect.ends_with("(IE = " + std::string(name) + ")\r\n")) << disconnect;
  }
}

template <auto LookUp>
std::string Text(int code) {
  return std::string(LookUp(code));
}

std::string CauseText(int octet4) {
  return DecodeCause(PayloadBytes({0x80, static_cast<std::uint8_t>(octet4)}), 2, 1);
}

TEST(DecoderTables, HoldTheirTextsAndFallBacks) {
  // One row of every table, with bits outside its mask set where it has a mask; then the edges
  // of the tables of ranges.
  const std::tuple<std::string (*)(int), int, std::string_view> rows[] = {
      {Text<MessageTypeName>, 0x79, "CONG_CONT          "},
      {Text<ElementName>, 0x43, "Delay Sel & Ind"},
      {CauseText, 0xD3, "0x80D3 - Suspended call exists, but call id does not "},
      {Text<DecodeBearerCodingStandard>, 0xA8, "ISO/IEC standard"},
      {Text<DecodeTransferCapability>, 0xB8, "Video"},
      {Text<DecodeTransferMode>, 0xD5, "Packet mode"},
      {Text<DecodeTransferRate>, 0xF5, "1536k"},
      {Text<DecodeLayer1Protocol>, 0xA7, "Non-ITU-T protocol"},
      {Text<DecodeCodingStandard>, 0x7F, "ISO/IEC standard"},
      {Text<DecodeCallState>, 0x56, "0x56 - Call abort - network side"},
      {Text<DecodeProgressDescription>, 0x85,
       " - Interworking has occurred and has resulted in a telecommunication service change "},
      {Text<DecodeSignalValue>, 0x08, " - Off-hook warning tone on "},
      {Text<DecodeNumberingPlan>, 0xA4, "Plan: Telex, "},
      {Text<DecodeTypeOfNumber>, 0x91, "Type: International"},
      {Text<DecodePresentation>, 0xBF, "Presentation Restricted, "},
      {Text<DecodeScreening>, 0xFC, "User-provided, not screened"},
      {Text<DecodeCallState>, 0x8A, "0x8A - Active"},
      {Text<DecodeCallState>, 0x05, "0x05 - Reserved"},
      {Text<DecodeCallState>, 0x3D, "0x3D - Reserved"},
      {Text<DecodeCallState>, 0xD9, "0xD9 - Overlap receiving"},
      {Text<DecodeProgressDescription>, 0x86, " - Reserved value "},
      {Text<DecodeProgressDescription>, 0x08, " - Reserved value "},
      {Text<DecodeSignalValue>, 0x00, " - Dial tone on "},
      {Text<DecodeSignalValue>, 0x09, " - Preemption tone on "},
      {Text<DecodeSignalValue>, 0x0A, " - Reserved value "},
      {Text<DecodeSignalValue>, 0x3F, " - Tones off "},
      {Text<DecodeSignalValue>, 0x40, " - Alerting on - pattern 0"},
      {Text<DecodeSignalValue>, 0x47, " - Alerting on - pattern 7"},
      {Text<DecodeSignalValue>, 0x48, " - Reserved value "},
      {Text<DecodeSignalValue>, 0x4E, " - Reserved value "},
      {Text<DecodeSignalValue>, 0x4F, " - Alerting off "},
      {Text<DecodeSignalValue>, 0xFF, " - Reserved value "},
  };
  for (const auto& [lookUp, code, text] : rows) {
    EXPECT_EQ(lookUp(code), text) << text;
  }
}

// Names that read like slips are what exports already written and the scripts that read them hold.
TEST(DecoderTables, KeepTheNamesTheirReadersKnow) {
  const std::tuple<std::string (*)(int), int, std::string_view> rows[] = {
      {Text<ElementName>, 0x3B, "ENDPOINT IDent"},
      {Text<ElementName>, 0x03, "1TR6 Time/Date"},
      {Text<ElementName>, 0x0C, "Connected Number"},  // as 0x4C
      {Text<ElementName>, 0x44, "Packet Layer Binary Params"},
      {Text<MessageTypeName>, 0x6E, "NOTIFY              "},  // one wider than most, as SETUP
      {Text<MessageTypeName>, 0x64, "1TR6 STATUS ACK    "},
      {Text<MessageTypeName>, 0x5A, "RELEASE_COMP       "},
      {Text<DecodeCallState>, 0x01, "0x01 - Call Initiated"},
  };
  for (const auto& [lookUp, code, text] : rows) {
    EXPECT_EQ(lookUp(code), text) << text;
  }
}

}  // namespace
}  // namespace sigrune
