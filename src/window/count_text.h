#pragma once

// Counts as the window tells them: with the locale's thousands separators ("12.345" in German),
// and with commas under the C locale, which has none, as sigrune-cli writes them.

#include <QString>
#include <cstdint>

namespace sigrune {

class TraceDocument;

// 1,234,567
QString GroupedNumber(std::uint64_t number);
// "1 message", "12,345 messages".
QString CountText(std::uint64_t count, const QString& singular, const QString& plural);

// The list's count: "1,000,000 messages", or "12,345 of 1,000,000 messages" when the list shows
// fewer rows than the trace has messages (a filter is on).
QString ListCountText(std::uint64_t rows, std::uint64_t messages);

// The status bar's counts: the list's, then " · 23,456 calls · 1,234 failed".
QString TraceCountText(const TraceDocument& document);

}  // namespace sigrune
