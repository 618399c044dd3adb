#include "document/trace_document.h"

#include <algorithm>
#include <iterator>

#include "q931/decoder.h"
#include "q931/message_search.h"
#include "trace/summary_line.h"
#include "util/ordered_chunks.h"
#include "writers/call_csv.h"
#include "writers/replacing_file.h"

namespace sigrune {

namespace {

bool NeedsSelectedMessage(ListFilter filter) {
  return filter == ListFilter::SelectedCall || filter == ListFilter::ThisGateway ||
         filter == ListFilter::ThisCall;
}

}  // namespace

LoadResult TraceDocument::Load(const std::string& path, LoadKind kind,
                               const LoadProgress& progress) {
  LoadResult loaded = LoadTraceFile(path, {}, progress);
  if (loaded.outcome == OperationOutcome::Done) {
    Adopt(path, IdentityOfFile(path), std::move(loaded), kind);
  }
  return loaded;
}

LoadResult TraceDocument::Load(const std::vector<std::string>& paths, LoadKind kind,
                               const LoadProgress& progress) {
  LoadResult loaded = LoadTraceFiles(paths, {}, progress);
  if (loaded.outcome == OperationOutcome::Done) {
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

LoadedTrace TraceDocument::ReadTrace(const std::vector<std::string>& paths,
                                     const ReadOptions& options, const LoadProgress& progress) {
  std::uint64_t bytesRead = 0;
  std::uint64_t size = 0;
  const LoadProgress tracked = [&](std::uint64_t bytes, std::uint64_t fileSize) {
    bytesRead = bytes;
    size = fileSize;
    return !progress || progress(bytes, fileSize);
  };
  // The calls of the pieces joined, grouped on the loading threads while the others read on.
  std::optional<CallTable> calls;
  LoadOptions load;
  load.accepted = options.accepted;
  load.watch.firstMessages = options.firstMessages;
  load.watch.joined = [&calls](const MessageStore& joined) {
    if (!calls) {
      calls = GroupCalls(joined);
    } else {
      ExtendCalls(joined, *calls);
    }
  };
  LoadedTrace loaded;
  loaded.result = LoadTraceFiles(paths, load, tracked);
  if (options.lastLine == UnendedLastLine::Held) {
    HoldUnendedLastLine(loaded.result);  // the calls of the pieces are then grouped again
  }
  if (loaded.result.outcome != OperationOutcome::Done) {
    return loaded;
  }
  loaded.paths = loaded.result.store.filePaths;
  loaded.path = loaded.paths.front();
  loaded.identity = IdentityOfFile(loaded.path);
  if (calls && calls->callOfMessage.size() == loaded.result.store.MessageCount()) {
    loaded.calls = std::move(calls);
  } else {
    loaded.calls = GroupCalls(loaded.result.store, [&] { return tracked(bytesRead, size); });
  }
  if (!options.where.terms.empty()) {
    loaded.whereRows = WhereRows(options.where, loaded.result.store, *loaded.calls,
                                 [&] { return tracked(bytesRead, size); });
    loaded.whereCalls = CallsOfRows(*loaded.whereRows, *loaded.calls);
    loaded.whereText = options.where.text;
  }
  if (!tracked(bytesRead, size)) {
    loaded.result.outcome = OperationOutcome::Cancelled;
  }
  return loaded;
}

void TraceDocument::Adopt(LoadedTrace&& loaded, LoadKind kind) {
  if (loaded.result.outcome != OperationOutcome::Done) {
    return;
  }
  std::optional<WhereFound> where;
  if (loaded.whereRows && loaded.whereText == filter_.text) {
    where = WhereFound{std::move(*loaded.whereRows), std::move(loaded.whereCalls)};
  }
  AdoptStore(loaded.path, loaded.identity, std::move(loaded.result), kind, std::move(loaded.calls),
             std::move(where));
}

void TraceDocument::Adopt(const std::string& path, FileIdentity identity, LoadResult&& loaded,
                          LoadKind kind) {
  AdoptStore(path, identity, std::move(loaded), kind, std::nullopt, std::nullopt);
}

void TraceDocument::AdoptStore(const std::string& path, FileIdentity identity, LoadResult&& loaded,
                               LoadKind kind, std::optional<CallTable> calls,
                               std::optional<WhereFound> found) {
  const bool reload = kind == LoadKind::Reload;
  const MessageNumber kept = reload ? currentMessageNumber_ : MessageNumber{};
  // The filter to take up again; Selected Call when none, which is never used then.
  const bool refilter = reload && activeFilter_.has_value();
  const ListFilter filter = activeFilter_.value_or(ListFilter::SelectedCall);
  WhereExpression where = Where();

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
  filterDescription_.clear();
  filteredCall_ = {};
  // The expression's rows, which the menu filter taken up again narrows.
  if (!found && !where.terms.empty()) {
    RowMap rows = WhereRows(where, store_, CallsFor(where));
    std::vector<CallNumber> whereCalls = CallsKept(where, &rows);
    found = WhereFound{std::move(rows), std::move(whereCalls)};
  }
  TakeFilter(std::move(where), found ? std::move(found->rows) : RowMap());
  whereCalls_ = found && HasWhere() ? std::move(found->calls) : std::vector<CallNumber>();
  currentMessageNumber_ = kept.value <= store_.MessageCount() ? kept : MessageNumber{};
  if (!reload) {
    findText_.clear();
  }
  if (refilter && (currentMessageNumber_ || !NeedsSelectedMessage(filter))) {
    ApplyFilter(filter);
  }
}

// Grouped here when the expression reads them, so that the matcher only reads them.
const CallTable& TraceDocument::CallsFor(const WhereExpression& expression) {
  return WhereNeedsCalls(expression) ? GroupCallsIfNeeded() : kNoCalls;
}

void TraceDocument::TakeFilter(WhereExpression filter, RowMap rows) {
  filter_ = std::move(filter);
  rows_ = filter_.terms.empty() ? RowMap() : std::move(rows);
}

std::vector<CallNumber> TraceDocument::CallsKept(const WhereExpression& where,
                                                 const RowMap* whereRows) const {
  if (where.terms.empty() || !calls_) {
    return {};
  }
  return whereRows != nullptr ? CallsOfRows(*whereRows, *calls_)
                              : CallsWhere(where, store_, *calls_);
}

WhereExpression TraceDocument::Where() const {
  return WhereTerms(filter_, MenuTerms());
}

bool TraceDocument::HasWhere() const {
  return filter_.TermCount() > MenuTerms();
}

RowMap TraceDocument::MenuFilterRows() const {
  if (!activeFilter_) {
    return {};
  }
  // The calls were grouped when a term that reads them was applied.
  const WhereExpression menu = WhereTerms(filter_, 0, MenuTerms());
  return WhereRows(menu, store_, WhereNeedsCalls(menu) ? Calls() : kNoCalls);
}

bool TraceDocument::SetWhere(std::string_view text, std::string* error) {
  WhereParse parse = ParseWhere(text);
  if (!parse.ok) {
    if (error != nullptr) {
      *error = std::move(parse.error);
    }
    return false;
  }
  WhereExpression filter = WhereBoth(WhereTerms(filter_, 0, MenuTerms()), parse.expression);
  RowMap rows;
  if (!filter.terms.empty()) {
    rows = WhereRows(filter, store_, CallsFor(filter));
  }
  // The rows are the expression's own unless a menu filter narrowed them.
  std::vector<CallNumber> kept = CallsKept(parse.expression, MenuTerms() == 0 ? &rows : nullptr);
  TakeFilter(std::move(filter), std::move(rows));
  whereCalls_ = std::move(kept);
  return true;
}

WhereFound TraceDocument::FindWhere(const WhereExpression& expression, const MessageStore& store,
                                    const CallTable& calls,
                                    const std::function<bool()>& keepGoing) {
  WhereFound found;
  found.rows = WhereRows(expression, store, calls, keepGoing);
  found.calls = CallsOfRows(found.rows, calls);
  return found;
}

void TraceDocument::TakeWhere(WhereExpression expression, WhereFound found) {
  const WhereExpression menu = WhereTerms(filter_, 0, MenuTerms());
  RowMap& rows = found.rows;
  if (expression.terms.empty()) {
    rows = menu.terms.empty() ? RowMap() : WhereRows(menu, store_, CallsFor(menu));
  } else if (!menu.terms.empty()) {
    KeepWhere(rows, menu, store_, CallsFor(menu));
  }
  TakeFilter(WhereBoth(menu, expression), std::move(rows));
  whereCalls_ = HasWhere() ? std::move(found.calls) : std::vector<CallNumber>();
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
  const std::size_t first = store_.MessageCount();
  AppendedMessages appended;
  appended.first = NumberOf(MessageIndex{first});
  appended.firstRow = RowCount();
  const std::size_t rows = rows_.size();
  MoveMessages(store_, std::move(batch.messages), LineBlocks::Copied);
  std::vector<CallNumber> whereCalls;
  try {
    if (calls_) {
      appended.callsChanged = ExtendCalls(store_, *calls_);
    }
    if (IsFiltered()) {
      AppendWhereRows(rows_, filter_, store_, CallsFor(filter_), first);
    }
    if (HasWhere() && calls_) {
      // The calls of the messages the expression alone keeps of the new ones join its calls.
      RowMap added;
      if (MenuTerms() != 0) {
        const WhereExpression where = Where();
        AppendWhereRows(added, where, store_, CallsFor(where), first);
      }
      const std::vector<CallNumber> more =
          CallsOfRows(MenuTerms() != 0 ? std::span<const MessageNumber>(added)
                                       : std::span<const MessageNumber>(rows_).subspan(rows),
                      *calls_);
      std::set_union(whereCalls_.begin(), whereCalls_.end(), more.begin(), more.end(),
                     std::back_inserter(whereCalls));
    }
  } catch (const std::bad_alloc&) {
    // Back to the messages before; GroupCallsIfNeeded groups the calls again, with the same
    // numbers.
    KeepFirstMessages(store_, first);
    rows_.resize(rows);
    if (calls_ && calls_->callOfMessage.size() != first) {
      calls_.reset();
    }
    throw;
  }
  if (HasWhere() && calls_) {
    appended.callsChanged = appended.callsChanged || whereCalls.size() != whereCalls_.size();
    whereCalls_ = std::move(whereCalls);
  }
  followPoint_ = std::move(batch.position);
  appended.count = store_.MessageCount() - first;
  appended.rowsAdded = RowCount() - appended.firstRow;
  return appended;
}

const CallTable& TraceDocument::GroupCallsIfNeeded() {
  if (!calls_) {
    calls_ = GroupCalls(store_);
  }
  return *calls_;
}

const CallTable& TraceDocument::Calls() const {
  return calls_ ? *calls_ : kNoCalls;
}

std::size_t TraceDocument::RowCount() const {
  return IsFiltered() ? ShownRows().size() : store_.MessageCount();
}

MessageNumber TraceDocument::MessageAtRow(std::size_t row) const {
  if (row >= RowCount()) {
    return {};
  }
  return IsFiltered() ? ShownRows()[row] : NumberOf(MessageIndex{row});
}

std::optional<std::size_t> TraceDocument::RowOfMessage(MessageNumber message) const {
  if (!message || message.value > store_.MessageCount()) {
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
      const std::string line = BuildSummaryLine(store_, MessageIndex{selected});
      const std::size_t marker = line.find("0x");
      return ApplyFilter(
          SelectedCallKey(line),
          "call " + (marker != std::string::npos ? line.substr(marker)
                                                 : "0x" + ReadCallReferenceValue(line).value));
    }
    case ListFilter::ThisGateway:
      return ApplyFilter(ThisGatewayKey(store_, MessageIndex{selected}),
                         "gateway " + std::string(GatewayIp(store_, MessageIndex{selected})));
    case ListFilter::PriOnly:
      return ApplyFilter(ProtocolKey(filter), "PRI only");
    case ListFilter::H225Only:
      return ApplyFilter(ProtocolKey(filter), "H225 only");
    case ListFilter::ThisCall:
      return KeepCall(GroupCallsIfNeeded().CallOf(currentMessageNumber_));
  }
  return false;
}

bool TraceDocument::ApplyCallFilter(CallNumber call) {
  if (!call || call.value > GroupCallsIfNeeded().calls.size() ||
      (activeFilter_ && *activeFilter_ != ListFilter::ThisCall)) {
    return false;
  }
  currentMessageNumber_ = Calls().Record(call).firstMessage;
  return KeepCall(call);
}

bool TraceDocument::KeepCall(CallNumber call) {
  if (!call || !ApplyFilter(CallKey(call), "call " + std::to_string(call.value))) {
    return false;
  }
  filteredCall_ = call;
  return true;
}

bool TraceDocument::ApplyFilter(const FilterKey& key, std::string description) {
  if (activeFilter_ && *activeFilter_ != key.filter) {
    return false;
  }
  WhereExpression filter = WhereBoth(key.term, Where());
  RowMap rows;
  if (activeFilter_ || !HasWhere()) {
    rows = WhereRows(filter, store_, CallsFor(filter));
  } else {
    // The expression's rows, narrowed: its terms need not be read again.
    rows = rows_;
    KeepWhere(rows, key.term, store_, CallsFor(key.term));
  }
  activeFilter_ = key.filter;
  filterDescription_ = std::move(description);
  TakeFilter(std::move(filter), std::move(rows));
  return true;
}

void TraceDocument::ClearFilter() {
  if (!activeFilter_) {
    return;
  }
  WhereExpression where = Where();
  RowMap rows;
  if (!where.terms.empty()) {
    rows = WhereRows(where, store_, CallsFor(where));
  }
  activeFilter_.reset();
  filteredCall_ = {};
  filterDescription_.clear();
  TakeFilter(std::move(where), std::move(rows));
}

EntryState TraceDocument::FilterEntry(ListFilter filter) const {
  return {IsOpen() && (!activeFilter_ || *activeFilter_ == filter), activeFilter_ == filter};
}

void TraceDocument::SelectMessage(MessageNumber message) {
  currentMessageNumber_ = message.value <= store_.MessageCount() ? message : MessageNumber{};
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
  UndecodableMessages undecodable;
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
    const std::size_t end = std::min(searched, (chunk + 1) * kMessagesPerProgress);
    for (std::size_t done = chunk * kMessagesPerProgress; done < end && !work.Stopped(); ++done) {
      const auto row = static_cast<std::size_t>(first + static_cast<std::int64_t>(done) * step);
      const MessageNumber message = query.filtered ? query.rows[row] : NumberOf(MessageIndex{row});
      try {
        const std::size_t position = search.Find(store, IndexOf(message), keepGoing);
        if (position != 0 && !work.Stopped()) {
          found.found = true;
          found.row = row;
          found.message = message;
          found.position = position;
          break;
        }
      } catch (const SubscriptOutOfRange& failure) {
        found.undecodable.Add(message, failure.what());
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
    done = chunk * kMessagesPerProgress;
    if (!keepGoing()) {
      return false;
    }
    result.undecodable.Add(std::move(found.undecodable));
    if (found.found) {
      result.outcome = OperationOutcome::Done;
      result.row = found.row;
      result.message = found.message;
      result.position = found.position;
      return false;
    }
    return true;
  };
  const std::size_t chunks = (searched + kMessagesPerProgress - 1) / kMessagesPerProgress;
  TakeChunksInOrder<FoundInRows>(chunks, threads, make, take, keepGoing);
  if (cancelled) {
    result.outcome = OperationOutcome::Cancelled;
  }
  return result;
}

void TraceDocument::TakeFindResult(const FindQuery& query, const FindResult& result) {
  findText_ = query.text;
  if (result.outcome == OperationOutcome::Done) {
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

ExportResult TraceDocument::ExportAllMessages(const std::string& target,
                                              const ExportProgress& progress) const {
  RouterDebugOptions options;
  options.tracePaths = paths_;
  return ExportRouterDebug(target, store_, options, progress);
}

ExportResult TraceDocument::ExportMessages(const std::string& target, const RowMap& messages,
                                           const ExportProgress& progress) const {
  RouterDebugOptions options;
  options.messages = &messages;
  options.tracePaths = paths_;
  return ExportRouterDebug(target, store_, options, progress);
}

PcapResult TraceDocument::ExportShownAsPcap(const std::string& target, const PcapOptions& options,
                                            const ExportProgress& progress) const {
  PcapOptions shown = options;
  shown.messages = IsFiltered() ? &ShownRows() : nullptr;
  shown.tracePaths = paths_;
  return WritePcap(target, store_, shown, progress);
}

PcapResult TraceDocument::ExportMessagesAsPcap(const std::string& target, const RowMap& messages,
                                               const PcapOptions& options,
                                               const ExportProgress& progress) const {
  PcapOptions given = options;
  given.messages = &messages;
  given.tracePaths = paths_;
  return WritePcap(target, store_, given, progress);
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

OperationResult TraceDocument::SaveCallsCsv(const std::string& target,
                                            const std::vector<CallNumber>& calls) const {
  return WriteReplacingTarget<OperationResult>(
      target, paths_,
      [&](auto&& write) {
        OperationResult result;
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
            if (!write(text)) {
              result.outcome = OperationOutcome::Failed;
              return result;
            }
            text.clear();
          }
        }
        if (!write(text)) {
          result.outcome = OperationOutcome::Failed;
        }
        return result;
      },
      "it is the open trace");
}

}  // namespace sigrune
