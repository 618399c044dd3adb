// Call state, progress indicator and signal: one meaningful octet each.

#include "q931/element_decoders.h"
#include "trace/code_table.h"

namespace sigrune {

namespace {

constexpr CodeText kCallStates[] = {
    {0, "Null"},
    {1, "Call Initiated"},
    {2, "Overlap sending"},
    {3, "Outgoing call proceeding"},
    {4, "Call delivered"},
    {6, "Call present"},
    {7, "Call received"},
    {8, "Connect request"},
    {9, "Incoming call proceeding"},
    {10, "Active"},
    {11, "Disconnect request"},
    {12, "Disconnect indication"},
    {15, "Suspend request"},
    {17, "Resume request"},
    {19, "Release request"},
    {22, "Call abort - network side"},
    {25, "Overlap receiving"},
};

// Keyed on the whole octet 4, so description N is 0x80 + N. The texts keep their trailing blank.
constexpr CodeText kProgressDescriptions[] = {
    {0x81, " - Call not end-to-end ISDN, may have in-band info "},
    {0x82, " - Destination address is non-ISDN "},
    {0x83, " - Origination address is non-ISDN "},
    {0x84, " - Call has returned to the ISDN "},
    {0x85, " - Interworking has occurred and has resulted in a telecommunication service change "},
    {0x88, " - In-band info or appropriate now available "},
    {0x8A, " - Delay in response at called interface "},
};

constexpr CodeText kSignalValues[] = {
    {0x00, " - Dial tone on "},
    {0x01, " - Ring back tone on "},
    {0x02, " - Intercept tone on "},
    {0x03, " - Network congestion tone on "},
    {0x04, " - Busy tone on "},
    {0x05, " - Confirm tone on "},
    {0x06, " - Answer tone on "},
    {0x07, " - Call waiting tone on "},
    {0x08, " - Off-hook warning tone on "},
    {0x09, " - Preemption tone on "},
    {0x3F, " - Tones off "},
    {0x4F, " - Alerting off "},
};

}  // namespace

void AppendCallState(std::string& text, int octet3) {
  text += "0x";
  AppendByteToHex(text, octet3);
  text += " - ";
  text += LookUp(kCallStates, octet3 & 0x3F, "Reserved");
}

std::string DecodeCallState(int octet3) {
  std::string text;
  AppendCallState(text, octet3);
  return text;
}

std::string_view DecodeProgressDescription(int octet4) {
  return LookUp(kProgressDescriptions, octet4, " - Reserved value ");
}

void AppendSignalValue(std::string& text, int octet3) {
  if (octet3 >= 0x40 && octet3 <= 0x47) {
    text += " - Alerting on - pattern ";
    text += static_cast<char>('0' + (octet3 & 0x0F));
    return;
  }
  text += LookUp(kSignalValues, octet3, " - Reserved value ");
}

std::string DecodeSignalValue(int octet3) {
  std::string text;
  AppendSignalValue(text, octet3);
  return text;
}

}  // namespace sigrune
