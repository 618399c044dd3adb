#pragma once

// One open trace, in the document/view sense: the window is one view of it, the command line
// another. It owns the file's path and identity, the message store, the active filter and its row
// map, the message that counts as selected and the find state, and applies the rules of what an
// operation changes. No Qt: every rule here is tested without a window.
//
// An operation that fails or is cancelled leaves the document exactly as it was. Long operations
// take a progress callback (returning false cancels) and report failures as values. The const
// ones read only the store and the path, so a worker may run them while the owner changes
// nothing but the selection; the static ones read nothing of the document at all.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calls/call_table.h"
#include "document/where_filter.h"
#include "q931/message_search.h"
#include "trace/file_identity.h"
#include "trace/list_filters.h"
#include "trace/message_number.h"
#include "trace/message_store.h"
#include "trace/trace_follower.h"
#include "trace/trace_reader.h"
#include "writers/export_writer.h"
#include "writers/pcap_export.h"

namespace sigrune {

enum class LoadKind { Open, Reload };

// Called now and then with the rows searched so far; returning false cancels the search.
using FindProgress = std::function<bool(std::size_t rowsDone, std::size_t rowCount)>;

// Done (found), NotFound or Cancelled.
struct FindResult : OperationResult {
  FindResult() { outcome = OperationOutcome::NotFound; }

  std::size_t row = 0;  // Done: the row of the hit, now the selected one
  MessageNumber message;
  std::size_t position = 0;  // Done: 1-based position of the text in the decoded text
  // Messages that failed to decode on the way (skipped).
  UndecodableMessages undecodable;
};

// A search that FindNext would make now, owned, so that it can run on a worker.
struct FindQuery {
  std::string text;  // Latin-1
  FindCase findCase = FindCase::Exact;
  bool down = true;
  std::int64_t firstRow = 0;  // may lie outside the rows: then nothing is searched
  bool filtered = false;
  RowMap rows;  // the filter's rows, while a filter is on
  std::size_t rowCount = 0;
};

// A trace read for the document, with its calls grouped, ready to be adopted in one step.
struct LoadedTrace {
  std::string path;                // the first file read
  std::vector<std::string> paths;  // every file read, in reading order
  FileIdentity identity;           // the file's at the time it was read
  LoadResult result;
  std::optional<CallTable> calls;  // grouped when the load succeeded
  // The rows of the filter bar's expression, found on the worker too; Adopt takes them when the
  // document still has that expression.
  std::optional<RowMap> whereRows;
  std::vector<CallNumber> whereCalls;  // the calls of those rows
  std::string whereText;
};

// The rows of the filter bar's expression alone and the calls they hold, found on a worker.
struct WhereFound {
  RowMap rows;
  std::vector<CallNumber> calls;
};

// How ReadTrace reads.
struct ReadOptions {
  AcceptedFiles accepted = AcceptedFiles::RegularOnly;
  // A trace read to be followed holds its unended last line (HoldUnendedLastLine).
  UnendedLastLine lastLine = UnendedLastLine::Whole;
  // The filter bar's expression, whose rows are found as well while it has terms.
  WhereExpression where;
  // Gets the first piece's messages of a large file while the rest is read (LoadWatch).
  std::function<void(MessageStore&& firstMessages)> firstMessages;
};

// What AppendFollowed added: `count` messages from `first` on, and `rowsAdded` rows from
// `firstRow` on at the end of the list (the filter's rows while one is on, else the messages').
struct AppendedMessages {
  MessageNumber first;
  std::size_t count = 0;
  std::size_t firstRow = 0;
  std::size_t rowsAdded = 0;
  bool callsChanged = false;
};

// A menu entry's state as the rules give it.
struct EntryState {
  bool enabled = false;
  bool checked = false;
};

class TraceDocument {
 public:
  TraceDocument() = default;
  TraceDocument(const TraceDocument&) = delete;
  TraceDocument& operator=(const TraceDocument&) = delete;

  // --- The open trace -------------------------------------------------------------------------
  bool IsOpen() const { return store_.MessageCount() > 0; }
  // The first file of the trace; empty for standard input.
  const std::string& Path() const { return path_; }
  // Every file of the trace, in reading order; the first is Path().
  const std::vector<std::string>& Paths() const { return paths_; }
  const FileIdentity& Identity() const { return identity_; }
  const MessageStore& Store() const { return store_; }
  // The note on lines skipped as too long by the last load (SkippedLinesNote), or empty.
  const std::string& SkippedLinesNote() const { return skippedLinesNote_; }

  // Reads the file (or, for Reload, the open trace's path again) into a fresh store. Only a
  // Done outcome changes the document; the store is then taken from the result.
  // Open: the filter goes off, nothing is selected, the find state starts afresh.
  // Reload: the selected message stays selected when it still exists, the filter stays on (its
  // key taken again from that message for Selected Call and This Gateway; off when it needs a
  // message that no longer exists), the find text stays.
  LoadResult Load(const std::string& path, LoadKind kind, const LoadProgress& progress = {});
  // The same for several files read as one trace (LoadTraceFiles).
  LoadResult Load(const std::vector<std::string>& paths, LoadKind kind,
                  const LoadProgress& progress = {});
  // Reads the same files again.
  LoadResult Reload(const LoadProgress& progress = {});
  // The second half of Load, for a load read elsewhere (on a worker): adopts a Loaded result in
  // one step (the command line also adopts an empty one, to keep its path). `identity` is the
  // file's at the time it was read.
  void Adopt(const std::string& path, FileIdentity identity, LoadResult&& loaded, LoadKind kind);
  // The first half of Load with the grouping of the calls and the rows of the options'
  // expression, for a worker: reads and changes nothing of any document. Cancelled when
  // `progress` says so, also while grouping. A large file's calls are grouped beside its
  // reading, piece after piece.
  static LoadedTrace ReadTrace(const std::vector<std::string>& paths,
                               const ReadOptions& options = {}, const LoadProgress& progress = {});
  // Adopts what ReadTrace read when it was Done, as Load would.
  void Adopt(LoadedTrace&& loaded, LoadKind kind);

  // --- Following the last file as it grows ---------------------------------------------------
  // A follower that reads on where the last load (and the batches appended since) stopped; none,
  // and why not, when the last file cannot be followed.
  std::optional<TraceFollower> StartFollowing(std::string& whyNot) const;
  // Whether the last load took the last file's unended last line for a whole one (it was not
  // read to be followed): a follower would keep what that made of the line, however it ends.
  bool TookUnendedLastLine() const;
  // Appends a batch read by a follower, while no operation reads the store (on the window's
  // thread): the messages; the rows of the active filter that keeps some of them; the calls,
  // when they were grouped, taken on from where they stood. Running out of memory throws
  // std::bad_alloc, the messages and rows as they were.
  AppendedMessages AppendFollowed(TraceFollower::Batch&& batch);

  // --- Rows and the filter --------------------------------------------------------------------
  // The rows of the list: every message, or those the filter keeps while IsFiltered().
  std::size_t RowCount() const;
  // The message a row shows; no message for a row that does not exist.
  MessageNumber MessageAtRow(std::size_t row) const;
  // The row that shows the message, when the list shows it.
  std::optional<std::size_t> RowOfMessage(MessageNumber message) const;
  std::optional<ListFilter> ActiveFilter() const { return activeFilter_; }
  // The one expression the rows follow: the menu filter's term first while one is on, then the
  // filter bar's terms; its text is the bar's.
  const WhereExpression& Filter() const { return filter_; }
  // Whether the list shows fewer rows than messages may be: a menu filter or an expression is on.
  bool IsFiltered() const { return !filter_.terms.empty(); }
  // The rows while IsFiltered(): the messages they show, in store order.
  const RowMap& ShownRows() const { return rows_; }
  // The rows the menu filter alone keeps while it is on, whatever the filter bar's expression:
  // those Find All searches.
  RowMap MenuFilterRows() const;
  // "call 0x0005", "gateway 10.1.1.1", "PRI only", "H225 only"; empty while no filter is on.
  const std::string& FilterDescription() const { return filterDescription_; }

  // Switches a filter on. Selected Call and This Gateway take their key from the selected message
  // and change nothing without one (false). The selected message stays selected.
  bool ApplyFilter(ListFilter filter);
  // Switches a filter on with a key made elsewhere (the command line's --call HEX, say), also on
  // a trace without messages yet (one followed).
  bool ApplyFilter(const FilterKey& key, std::string description);
  // This Call (ApplyFilter(ListFilter::ThisCall)) keeps the selected message's call (false when
  // that message is in no call). From the calls table: keeps the given call and selects its first
  // message. Its description is "call N".
  bool ApplyCallFilter(CallNumber call);
  // The call This Call keeps, while it is on.
  CallNumber FilteredCall() const { return filteredCall_; }
  // Switches the filter off; the selected message stays selected. The rows of the filter bar's
  // expression are found again, on this thread.
  void ClearFilter();

  // Enabled and checked, for the four filter entries, Reload, Find and Find Again.
  EntryState FilterEntry(ListFilter filter) const;
  bool CanReload() const { return IsOpen(); }
  bool CanFind() const { return IsOpen(); }

  // --- The filter bar -------------------------------------------------------------------------
  // The expression the rows follow besides the menu filter; it stays over Open and Reload.
  WhereExpression Where() const;
  bool HasWhere() const;
  // Reads the expression and filters by it; one that does not parse changes nothing (false, and
  // the reason in `error`). An empty one shows every message the menu filter does.
  bool SetWhere(std::string_view text, std::string* error = nullptr);
  // SetWhere in two steps, for a worker: FindWhere's rows and calls over this store and these
  // calls (GroupCallsIfNeeded() before the worker starts), taken with the expression; the menu
  // filter's term narrows the rows here.
  static WhereFound FindWhere(const WhereExpression& expression, const MessageStore& store,
                              const CallTable& calls, const std::function<bool()>& keepGoing = {});
  void TakeWhere(WhereExpression expression, WhereFound found);
  // While HasWhere(): the calls of which the expression alone (not the menu filter) keeps at
  // least one message, in call order, as the calls table shows them. Found when the expression
  // is taken (and the messages grow) after the calls were grouped; none before.
  const std::vector<CallNumber>& WhereCalls() const { return whereCalls_; }

  // --- Calls ---------------------------------------------------------------------------------
  // Groups the calls of the open trace unless that was done (a load for the window groups them
  // while reading), so that the commands that need none (list, show, export, find) do not pay for
  // them: where an operation that needs them starts, on the owner's thread.
  const CallTable& GroupCallsIfNeeded();
  // The calls as grouped; none before they were.
  const CallTable& Calls() const;

  // The calls, in the order given, as CSV to `target`, which replaces it only when complete; the
  // open trace itself is refused as the target. Done, or Failed or OutOfMemory with the file and
  // why. The calls were grouped, as for MessagesOfCalls.
  OperationResult SaveCallsCsv(const std::string& target,
                               const std::vector<CallNumber>& calls) const;

  // --- Selection ------------------------------------------------------------------------------
  // The message shown, which the filters and Jump to line take as the selected one
  // (currentMessageNumber); none before the user selects one.
  MessageNumber CurrentMessage() const { return currentMessageNumber_; }
  // The user selected (and the view shows) this message.
  void SelectMessage(MessageNumber message);

  // --- Find -----------------------------------------------------------------------------------
  const std::string& FindText() const { return findText_; }
  bool FindsDown() const { return findDown_; }
  // A change of direction makes the next search include the selected row again.
  void SetFindDirection(bool down);
  // One search step from the selected row (or the row after/before the last hit when the
  // selected row is that hit), down or up, without wrapping. `text` is Latin-1. A hit selects its
  // message and becomes the last hit; anything else changes nothing but the find text.
  FindResult FindNext(std::string_view text, const FindProgress& progress = {});
  // FindNext in three steps, for a worker: the query as the document stands, the search (which
  // reads only the store), and the result taken as FindNext takes it. The selection may change
  // in between; the rows must not.
  FindQuery PrepareFind(std::string_view text) const;
  static FindResult RunFind(const MessageStore& store, const FindQuery& query,
                            const FindProgress& progress = {});
  void TakeFindResult(const FindQuery& query, const FindResult& result);
  // Every message whose decoded text holds the text, whatever the filter, in store order.
  bool FindAll(std::string_view text, const FindCallbacks& callbacks,
               FindCase findCase = FindCase::Exact) const;

  // --- Export ---------------------------------------------------------------------------------
  // Each export writes to `target`, which it replaces only when complete, and refuses the open
  // trace itself as the target; its arguments run target, messages, options, progress.
  // Every message, whatever the filter, in the router debug layout.
  ExportResult ExportAllMessages(const std::string& target,
                                 const ExportProgress& progress = {}) const;
  // The same for the given messages only.
  ExportResult ExportMessages(const std::string& target, const RowMap& messages,
                              const ExportProgress& progress = {}) const;

  // --- Capture for Wireshark --------------------------------------------------------------------
  // The messages the list shows (every one, or the filter's) as a capture. The options' messages
  // and trace paths are the document's.
  PcapResult ExportShownAsPcap(const std::string& target, const PcapOptions& options,
                               const ExportProgress& progress = {}) const;
  // The same for the given messages, such as those of MessagesOfCalls.
  PcapResult ExportMessagesAsPcap(const std::string& target, const RowMap& messages,
                                  const PcapOptions& options,
                                  const ExportProgress& progress = {}) const;
  // The messages of the calls, in trace order, each once; numbers that name no call add none, and
  // so does every number before the calls were grouped.
  RowMap MessagesOfCalls(const std::vector<CallNumber>& calls) const;

 private:
  // Adopt's work, with the calls when they were grouped already, and the rows of the filter
  // bar's expression when they were found already.
  void AdoptStore(const std::string& path, FileIdentity identity, LoadResult&& loaded,
                  LoadKind kind, std::optional<CallTable> calls, std::optional<WhereFound> where);
  bool KeepCall(CallNumber call);
  // The terms of the menu filter that lead the filter's: one while a menu filter is on.
  std::size_t MenuTerms() const { return activeFilter_ ? 1 : 0; }
  // The calls the expression reads: none unless it needs them.
  const CallTable& CallsFor(const WhereExpression& expression);
  // Takes the filter and its rows, which were made in full first: running out of memory on the
  // way changes nothing.
  void TakeFilter(WhereExpression filter, RowMap rows);
  // WhereCalls() for the expression, from its own rows when given, else by matching again; none
  // before the calls were grouped.
  std::vector<CallNumber> CallsKept(const WhereExpression& where, const RowMap* whereRows) const;

  std::string path_;
  std::vector<std::string> paths_;
  FileIdentity identity_;
  std::optional<FollowPoint> followPoint_;
  MessageStore store_;
  std::optional<CallTable> calls_;
  std::string skippedLinesNote_;

  std::optional<ListFilter> activeFilter_;
  std::string filterDescription_;
  CallNumber filteredCall_;
  // The expression the rows follow (Filter()), and the messages it keeps while it has terms.
  WhereExpression filter_;
  RowMap rows_;
  std::vector<CallNumber> whereCalls_;

  MessageNumber currentMessageNumber_;

  std::string findText_;
  bool findDown_ = true;
  // The row of the last hit; -1 after a change of direction. It starts at 0, as the Find dialog
  // always has, so a first search down from row 0 begins at row 1.
  std::int64_t lastFoundIndex_ = 0;
};

}  // namespace sigrune
