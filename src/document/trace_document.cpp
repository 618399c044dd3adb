#include "document/trace_document.h"

#include <algorithm>
#include <iterator>

#include "calls/call_csv.h"
#include "q931/decoder.h"
#include "q931/message_search.h"
#include "trace/ordered_chunks.h"
#include "trace/replacing_file.h"
#include "trace/summary_line.h"

namespace sigrune {

namespace {

// For an expression that reads no calls: they need not be grouped for it.
const CallTable kNoCalls;

bool NeedsSelectedMessage(ListFilter filter) {
  return filter == ListFilter::SelectedCall || filter == ListFilter::ThisGateway ||
         filter == ListFilter::ThisCall;
}

}  // namespace

LoadResult TraceDocument::Load(const std::string& path, LoadKind kind, const LoadProgress& progress,
                               AcceptedFiles accepted) {
  LoadResult loaded = LoadTraceFile(path, progress, accepted);
  if (loaded.outcome == LoadOutcome::Loaded) {
    Adopt(path, IdentityOfFile(path), std::move(loaded), kind);
  }
  return loaded;
}

LoadResult TraceDocument::Load(const std::vector<std::string>& paths, LoadKind kind,
                               const LoadProgress& progress, AcceptedFiles accepted) {
  LoadResult loaded = LoadTraceFiles(paths, progress, accepted);
  if (loaded.outcome == LoadOutcome::Loaded) {
    const std::string first = loaded.store.filePaths.front();
    Adopt(first, IdentityOfFile(first), std::move(loaded), kind);
  }
  return loaded;
}

LoadResult TraceDocument::Reload(const LoadProgress& progress) {
  if (!IsOpen()) {
    LoadResult none;
    none.errorText = "no trace is open";
    return none;
  }
  // The paths are copied: a successful load replaces them.
  return Load(std::vector<std::string>(paths_), LoadKind::Reload, progress);
}

LoadedTrace TraceDocument::ReadTrace(const std::string& path, const LoadProgress& progress,
                                     AcceptedFiles accepted) {
  return ReadTrace(std::vector<std::string>{path}, progress, accepted);
}

LoadedTrace TraceDocument::ReadTrace(
    const std::vector<std::string>& paths, const LoadProgress& progress, AcceptedFiles accepted,
    const std::function<void(MessageStore&& firstMessages)>& firstMessages) {
  return ReadTrace(paths, WhereExpression(), progress, firstMessages, accepted);
}

LoadedTrace TraceDocument::ReadTrace(
    const std::vector<std::string>& paths, const WhereExpression& where,
    const LoadProgress& progress,
    const std::function<void(MessageStore&& firstMessages)>& firstMessages, AcceptedFiles accepted,
    UnendedLastLine lastLine) {
  std::uint64_t bytesRead = 0;
  std::uint64_t size = 0;
  const LoadProgress tracked = [&](std::uint64_t bytes, std::uint64_t fileSize) {
    bytesRead = bytes;
    size = fileSize;
    return !progress || progress(bytes, fileSize);
  };
  // The calls of the pieces joined, grouped on the loading threads while the others read on.
  std::optional<CallTable> calls;
  LoadWatch watch;
  watch.firstMessages = firstMessages;
  watch.joined = [&calls](const MessageStore& joined) {
    if (!calls) {
      calls = GroupCalls(joined);
    } else {
      ExtendCalls(joined, *calls);
    }
  };
  LoadedTrace loaded;
  loaded.result = LoadTraceFiles(paths, tracked, accepted, watch);
  if (lastLine == UnendedLastLine::Held) {
    HoldUnendedLastLine(loaded.result);  // the calls of the pieces are then grouped again
  }
  if (loaded.result.outcome != LoadOutcome::Loaded) {
    return loaded;
  }
  loaded.paths = loaded.result.store.filePaths;
  loaded.path = loaded.paths.front();
  loaded.identity = IdentityOfFile(loaded.path);
  if (calls && calls->callOfMessage.size() == loaded.result.store.msgCount) {
    loaded.calls = std::move(calls);
  } else {
    loaded.calls = GroupCalls(loaded.result.store, [&] { return tracked(bytesRead, size); });
  }
  if (!where.terms.empty()) {
    loaded.whereRows = WhereRows(where, loaded.result.store, *loaded.calls,
                                 [&] { return tracked(bytesRead, size); });
    loaded.whereText = where.text;
  }
  if (!tracked(bytesRead, size)) {
    loaded.result.outcome = LoadOutcome::Stopped;
  }
  return loaded;
}

void TraceDocument::Adopt(LoadedTrace&& loaded, LoadKind kind) {
  if (loaded.result.outcome != LoadOutcome::Loaded) {
    return;
  }
  std::optional<RowMap> whereRows;
  if (loaded.whereRows && loaded.whereText == where_.text) {
    whereRows = std::move(loaded.whereRows);
  }
  AdoptStore(loaded.path, loaded.identity, std::move(loaded.result), kind, std::move(loaded.calls),
             std::move(whereRows));
}

void TraceDocument::Adopt(const std::string& path, FileIdentity identity, LoadResult&& loaded,
                          LoadKind kind) {
  AdoptStore(path, identity, std::move(loaded), kind, std::nullopt, std::nullopt);
}

void TraceDocument::AdoptStore(const std::string& path, FileIdentity identity, LoadResult&& loaded,
                               LoadKind kind, std::optional<CallTable> calls,
                               std::optional<RowMap> whereRows) {
  const bool reload = kind == LoadKind::Reload;
  const MessageNumber kept = reload ? currentMessageNumber_ : MessageNumber{};
  // The filter to take up again; Selected Call when none, which is never used then.
  const bool refilter = reload && activeFilter_.has_value();
  const ListFilter filter = activeFilter_.value_or(ListFilter::SelectedCall);

  store_ = std::move(loaded.store);
  // Before the filter is taken up again: This Call needs them.
  calls_ = std::move(calls);
  path_ = path;
  paths_ = store_.filePaths;
  if (paths_.empty()) {
    paths_ = {path};
  }
  identity_ = identity;
  followPoint_ = std::move(loaded.followPoint);
  skippedLinesNote_ = sigrune::SkippedLinesNote(loaded);
  activeFilter_.reset();
  filteredIndexMap_.clear();
  filterDescription_.clear();
  filteredCall_ = {};
  // Before the menu filter is taken up again, which combines its rows with these.
  if (whereRows) {
    whereRows_ = std::move(*whereRows);
  } else {
    FilterByWhere();
  }
  CombineRows();
  currentMessageNumber_ = kept.value <= store_.msgCount ? kept : MessageNumber{};
  if (!reload) {
    findText_.clear();
  }
  if (refilter && (currentMessageNumber_ || !NeedsSelectedMessage(filter))) {
    ApplyFilter(filter);
  }
}

void TraceDocument::FilterByWhere() {
  whereRows_ = HasWhere() ? WhereRows(where_, store_, WhereNeedsCalls(where_) ? Calls() : kNoCalls)
                          : RowMap();
}

void TraceDocument::CombineRows() {
  combinedRows_.clear();
  if (activeFilter_ && HasWhere()) {
    std::set_intersection(filteredIndexMap_.begin(), filteredIndexMap_.end(), whereRows_.begin(),
                          whereRows_.end(), std::back_inserter(combinedRows_));
  }
}

const RowMap& TraceDocument::ShownRows() const {
  if (activeFilter_) {
    return HasWhere() ? combinedRows_ : filteredIndexMap_;
  }
  return whereRows_;
}

bool TraceDocument::SetWhere(std::string_view text, std::string* error) {
  WhereParse parse = ParseWhere(text);
  if (!parse.ok) {
    if (error != nullptr) {
      *error = std::move(parse.error);
    }
    return false;
  }
  const CallTable& calls = WhereNeedsCalls(parse.expression) ? Calls() : kNoCalls;
  RowMap rows;
  if (!parse.expression.terms.empty()) {
    rows = WhereRows(parse.expression, store_, calls);
  }
  TakeWhere(std::move(parse.expression), std::move(rows));
  return true;
}

void TraceDocument::TakeWhere(WhereExpression expression, RowMap rows) {
  // The combined rows are made first: running out of memory changes nothing.
  RowMap combined;
  if (activeFilter_ && !expression.terms.empty()) {
    std::set_intersection(filteredIndexMap_.begin(), filteredIndexMap_.end(), rows.begin(),
                          rows.end(), std::back_inserter(combined));
  }
  where_ = std::move(expression);
  whereRows_ = where_.terms.empty() ? RowMap() : std::move(rows);
  combinedRows_ = std::move(combined);
}

std::optional<TraceFollower> TraceDocument::StartFollowing(std::string& whyNot) const {
  if (!followPoint_) {
    whyNot = path_.empty() ? "cannot follow standard input" : "cannot follow " + path_;
    return std::nullopt;
  }
  return TraceFollower::Begin(*followPoint_, whyNot);
}

bool TraceDocument::TookUnendedLastLine() const {
  return followPoint_ && followPoint_->refusal.empty() && followPoint_->reader.pendingLength != 0 &&
         followPoint_->reader.pendingLineMadeMessage;
}

AppendedMessages TraceDocument::AppendFollowed(TraceFollower::Batch&& batch) {
  const std::size_t first = store_.msgCount;
  AppendedMessages appended;
  appended.first = NumberOf(MessageIndex{first});
  appended.firstRow = RowCount();
  const std::size_t menuRows = filteredIndexMap_.size();
  const std::size_t whereRows = whereRows_.size();
  const std::size_t combinedRows = combinedRows_.size();
  MoveMessages(store_, std::move(batch.messages), LineBlocks::Copied);
  try {
    if (calls_) {
      appended.callsChanged = ExtendCalls(store_, *calls_);
    }
    if (HasWhere()) {
      AppendWhereRows(whereRows_, where_, store_, WhereNeedsCalls(where_) ? Calls() : kNoCalls,
                      first);
    }
    if (activeFilter_) {
      for (std::size_t index = first; index < store_.msgCount; ++index) {
        const bool kept = *activeFilter_ == ListFilter::ThisCall
                              ? calls_->callOfMessage[index] == filteredCall_.value
                              : MessageMatches(store_, index, filterKey_);
        if (kept) {
          filteredIndexMap_.push_back(NumberOf(MessageIndex{index}));
        }
      }
    }
    if (activeFilter_ && HasWhere()) {
      std::set_intersection(filteredIndexMap_.begin() + static_cast<std::ptrdiff_t>(menuRows),
                            filteredIndexMap_.end(),
                            whereRows_.begin() + static_cast<std::ptrdiff_t>(whereRows),
                            whereRows_.end(), std::back_inserter(combinedRows_));
    }
  } catch (const std::bad_alloc&) {
    // Back to the messages before; the calls are grouped again when next asked for, with the
    // same numbers.
    KeepFirstMessages(store_, first);
    filteredIndexMap_.resize(menuRows);
    whereRows_.resize(whereRows);
    combinedRows_.resize(combinedRows);
    if (calls_ && calls_->callOfMessage.size() != first) {
      calls_.reset();
    }
    throw;
  }
  followPoint_ = std::move(batch.position);
  appended.count = store_.msgCount - first;
  appended.rowsAdded = RowCount() - appended.firstRow;
  return appended;
}

const CallTable& TraceDocument::Calls() const {
  if (!calls_) {
    calls_ = GroupCalls(store_);
  }
  return *calls_;
}

std::size_t TraceDocument::RowCount() const {
  return IsFiltered() ? ShownRows().size() : store_.msgCount;
}

MessageNumber TraceDocument::MessageAtRow(std::size_t row) const {
  if (row >= RowCount()) {
    return {};
  }
  return IsFiltered() ? ShownRows()[row] : NumberOf(MessageIndex{row});
}

std::optional<std::size_t> TraceDocument::RowOfMessage(MessageNumber message) const {
  if (!message || message.value > store_.msgCount) {
    return std::nullopt;
  }
  if (!IsFiltered()) {
    return IndexOf(message).value;
  }
  const RowMap& rows = ShownRows();
  const auto kept = std::lower_bound(rows.begin(), rows.end(), message);
  if (kept == rows.end() || *kept != message) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(kept - rows.begin());
}

bool TraceDocument::ApplyFilter(ListFilter filter) {
  if (!IsOpen() || (activeFilter_ && *activeFilter_ != filter)) {
    return false;
  }
  if (NeedsSelectedMessage(filter) && !currentMessageNumber_) {
    return false;
  }
  const std::size_t selected = currentMessageNumber_ ? IndexOf(currentMessageNumber_).value : 0;
  switch (filter) {
    case ListFilter::SelectedCall: {
      const std::string line = BuildSummaryLine(store_, selected);
      const FilterKey key = SelectedCallKey(line);
      const std::size_t marker = line.find("0x");
      return ApplyFilter(key, "call " + (marker != std::string::npos ? line.substr(marker)
                                                                     : "0x" + key.callReference));
    }
    case ListFilter::ThisGateway:
      return ApplyFilter(ThisGatewayKey(store_, selected),
                         "gateway " + std::string(GatewayIp(store_, selected)));
    case ListFilter::PriOnly:
      return ApplyFilter(ProtocolKey(filter), "PRI only");
    case ListFilter::H225Only:
      return ApplyFilter(ProtocolKey(filter), "H225 only");
    case ListFilter::ThisCall:
      return KeepCall(Calls().CallOf(currentMessageNumber_));
  }
  return false;
}

bool TraceDocument::ApplyCallFilter(CallNumber call) {
  if (!call || call.value > Calls().calls.size() ||
      (activeFilter_ && *activeFilter_ != ListFilter::ThisCall)) {
    return false;
  }
  currentMessageNumber_ = Calls().Record(call).firstMessage;
  return KeepCall(call);
}

bool TraceDocument::KeepCall(CallNumber call) {
  if (!call) {
    return false;
  }
  filteredIndexMap_ = Calls().MessagesOf(call);
  activeFilter_ = ListFilter::ThisCall;
  filteredCall_ = call;
  filterDescription_ = "call " + std::to_string(call.value);
  CombineRows();
  return true;
}

bool TraceDocument::ApplyFilter(const FilterKey& key, std::string description) {
  if (activeFilter_ && *activeFilter_ != key.filter) {
    return false;
  }
  filteredIndexMap_ = BuildFilteredIndexMap(store_, key);
  activeFilter_ = key.filter;
  filterKey_ = key;
  filterDescription_ = std::move(description);
  CombineRows();
  return true;
}

void TraceDocument::ClearFilter() {
  activeFilter_.reset();
  filteredCall_ = {};
  filteredIndexMap_ = RowMap();
  filterDescription_.clear();
  combinedRows_ = RowMap();
}

EntryState TraceDocument::FilterEntry(ListFilter filter) const {
  return {IsOpen() && (!activeFilter_ || *activeFilter_ == filter), activeFilter_ == filter};
}

void TraceDocument::SelectMessage(MessageNumber message) {
  currentMessageNumber_ = message.value <= store_.msgCount ? message : MessageNumber{};
}

void TraceDocument::SetFindDirection(bool down) {
  findDown_ = down;
  lastFoundIndex_ = -1;
}

FindResult TraceDocument::FindNext(std::string_view text, const FindProgress& progress) {
  const FindQuery query = PrepareFind(text);
  const FindResult result = RunFind(store_, query, progress);
  TakeFindResult(query, result);
  return result;
}

FindQuery TraceDocument::PrepareFind(std::string_view text) const {
  FindQuery query;
  query.text = text;
  query.down = findDown_;
  const std::optional<std::size_t> selectedRow = RowOfMessage(currentMessageNumber_);
  const std::int64_t selected = selectedRow ? static_cast<std::int64_t>(*selectedRow) : -1;
  const std::int64_t step = findDown_ ? 1 : -1;
  query.firstRow = selected == lastFoundIndex_ ? selected + step : selected;
  if (findDown_ && query.firstRow < 0) {
    query.firstRow = 0;
  }
  query.filtered = IsFiltered();
  if (query.filtered) {
    query.rows = ShownRows();
  }
  query.rowCount = RowCount();
  return query;
}

namespace {

// What the search of a chunk of rows met: the failures before its first hit, and that hit.
struct FoundInRows {
  std::size_t undecodableMessages = 0;
  MessageNumber firstUndecodable;
  std::string firstUndecodableReason;
  bool found = false;
  std::size_t row = 0;
  MessageNumber message;
  std::size_t position = 0;
};

}  // namespace

FindResult TraceDocument::RunFind(const MessageStore& store, const FindQuery& query,
                                  const FindProgress& progress) {
  const std::int64_t step = query.down ? 1 : -1;
  const auto rows = static_cast<std::int64_t>(query.rowCount);
  const std::int64_t first = query.firstRow;
  // From the first row to the end of the list, down or up.
  const std::size_t searched = first < 0 || first >= rows ? 0
                               : query.down               ? static_cast<std::size_t>(rows - first)
                                                          : static_cast<std::size_t>(first + 1);
  const unsigned threads = ChunkThreads();
  std::vector<PerWorker<DecodedTextSearch>> searches(
      threads, {DecodedTextSearch(query.text, query.findCase)});
  const auto make = [&](std::size_t chunk, const ChunkWork& work) {
    FoundInRows found;
    DecodedTextSearch& search = searches[work.worker].state;
    // Also asked within a long message, so that a cancel is heard at once.
    const std::function<bool()> keepGoing = [&work] { return work.KeepGoing(); };
    const std::size_t end = std::min(searched, (chunk + 1) * kProgressInterval);
    for (std::size_t done = chunk * kProgressInterval; done < end && !work.Stopped(); ++done) {
      const auto row = static_cast<std::size_t>(first + static_cast<std::int64_t>(done) * step);
      const MessageNumber message = query.filtered ? query.rows[row] : NumberOf(MessageIndex{row});
      try {
        const std::size_t position = search.Find(store, IndexOf(message).value, keepGoing);
        if (position != 0 && !work.Stopped()) {
          found.found = true;
          found.row = row;
          found.message = message;
          found.position = position;
          break;
        }
      } catch (const SubscriptOutOfRange& failure) {
        if (found.undecodableMessages++ == 0) {
          found.firstUndecodable = message;
          found.firstUndecodableReason = failure.what();
        }
      }
    }
    return found;
  };
  FindResult result;
  std::size_t done = 0;
  bool cancelled = false;
  const std::function<bool()> keepGoing = [&] {
    cancelled = cancelled || (progress && !progress(done, query.rowCount));
    return !cancelled;
  };
  const auto take = [&](std::size_t chunk, FoundInRows&& found) {
    done = chunk * kProgressInterval;
    if (!keepGoing()) {
      return false;
    }
    if (found.undecodableMessages > 0 && result.undecodableMessages == 0) {
      result.firstUndecodable = found.firstUndecodable;
      result.firstUndecodableReason = std::move(found.firstUndecodableReason);
    }
    result.undecodableMessages += found.undecodableMessages;
    if (found.found) {
      result.outcome = FindResult::Outcome::Found;
      result.row = found.row;
      result.message = found.message;
      result.position = found.position;
      return false;
    }
    return true;
  };
  const std::size_t chunks = (searched + kProgressInterval - 1) / kProgressInterval;
  TakeChunksInOrder<FoundInRows>(chunks, threads, make, take, keepGoing);
  if (cancelled) {
    result.outcome = FindResult::Outcome::Cancelled;
  }
  return result;
}

void TraceDocument::TakeFindResult(const FindQuery& query, const FindResult& result) {
  findText_ = query.text;
  if (result.outcome == FindResult::Outcome::Found) {
    currentMessageNumber_ = result.message;
    // The rows may have changed while the search ran (the filter bar is never disabled).
    const std::optional<std::size_t> row = RowOfMessage(result.message);
    lastFoundIndex_ = row ? static_cast<std::int64_t>(*row) : -1;
  }
}

bool TraceDocument::FindAll(std::string_view text, const FindCallbacks& callbacks,
                            FindCase findCase) const {
  return FindInAllMessages(store_, text, callbacks, findCase);
}

ExportResult TraceDocument::Export(const std::string& target,
                                   const ExportProgress& progress) const {
  return ExportRouterDebug(target, store_, progress, paths_);
}

ExportResult TraceDocument::Export(const std::string& target, const RowMap& messages,
                                   const ExportProgress& progress) const {
  return ExportRouterDebug(target, store_, progress, paths_, &messages);
}

PcapResult TraceDocument::ExportPcap(const std::string& target, const PcapOptions& options,
                                     const ExportProgress& progress) const {
  return WritePcap(target, store_, IsFiltered() ? &ShownRows() : nullptr, options, progress,
                   paths_);
}

PcapResult TraceDocument::ExportPcap(const std::string& target, const RowMap& messages,
                                     const PcapOptions& options,
                                     const ExportProgress& progress) const {
  return WritePcap(target, store_, &messages, options, progress, paths_);
}

RowMap TraceDocument::MessagesOfCalls(const std::vector<CallNumber>& calls) const {
  RowMap messages;
  for (const CallNumber call : calls) {
    if (call && call.value <= Calls().calls.size()) {
      const RowMap ofCall = Calls().MessagesOf(call);
      messages.insert(messages.end(), ofCall.begin(), ofCall.end());
    }
  }
  std::sort(messages.begin(), messages.end());
  messages.erase(std::unique(messages.begin(), messages.end()), messages.end());
  return messages;
}

std::string TraceDocument::SaveCallsCsv(const std::string& target,
                                        const std::vector<CallNumber>& calls) const {
  if (IsAnyOfFiles(target, paths_)) {
    return "cannot write " + target + ": it is the open trace";
  }
  try {
    // Destroyed uncommitted on every way out but success, which removes the temporary file.
    ReplacingFile file;
    if (!file.Open(target)) {
      return file.ErrorText();
    }
    // Handed over in pieces, so that a million calls never sit in memory as text.
    constexpr std::size_t kPiece = 1 << 16;
    std::string text(kCallCsvHeader);
    const CallTable& table = Calls();
    for (const CallNumber call : calls) {
      if (!call || call.value > table.calls.size()) {
        continue;
      }
      AppendCallCsvRecord(text, store_, table, call);
      if (text.size() >= kPiece) {
        if (!file.Write(text)) {
          return file.ErrorText();
        }
        text.clear();
      }
    }
    if (!file.Write(text) || !file.Commit()) {
      return file.ErrorText();
    }
    return {};
  } catch (const std::bad_alloc&) {
    return "cannot write " + target + ": not enough memory";
  }
}

}  // namespace sigrune
