#include "trace/message_types.h"

#include "trace/code_table.h"

namespace sigrune {

namespace {

// Two names are one character wider than the rest; the list's columns have always looked so.
constexpr CodeText kMessageTypeNames[] = {
    {0x01, "ALERTING           "},  {0x02, "CALL_PROC          "}, {0x03, "PROGRESS           "},
    {0x05, "SETUP               "}, {0x07, "CONNECT            "}, {0x0D, "SETUP_ACK          "},
    {0x0F, "CONNECT_ACK        "},  {0x20, "USER_INFO          "}, {0x21, "SUSPEND_REJ        "},
    {0x22, "RESUME_REJ         "},  {0x25, "SUSPEND            "}, {0x26, "RESUME             "},
    {0x2D, "SUSPEND_ACK        "},  {0x2E, "RESUME_ACK         "}, {0x45, "DISCONNECT         "},
    {0x46, "RESTART            "},  {0x4D, "RELEASE            "}, {0x4E, "RESTART_ACK        "},
    {0x5A, "RELEASE_COMP       "},  {0x60, "SEGMENT            "}, {0x62, "FACILITY           "},
    {0x64, "1TR6 STATUS ACK    "},  {0x67, "1TR6 INFO ACK      "}, {0x6E, "NOTIFY              "},
    {0x75, "STATUS_ENQ         "},  {0x77, "1TR6 CLOSE_ACK     "}, {0x79, "CONG_CONT          "},
    {0x7B, "INFORMATION        "},  {0x7D, "STATUS             "},
};

}  // namespace

std::string_view MessageTypeName(int code) {
  static constexpr IndexedCodeTable kNames(kMessageTypeNames, "UNKNOWN           ");
  return kNames(code);
}

}  // namespace sigrune
