#include "trace/trace_pieces.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "util/ordered_chunks.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

constexpr std::size_t kReadSize = 2u << 20;
// Enough to hold the first line of any real trace, which tells a <Tracelist> document.
constexpr std::size_t kFirstLineRead = 64u << 10;
// How long the reader waits for the helpers' pieces before it tells its progress again.
constexpr auto kProgressWait = std::chrono::milliseconds(20);
// A piece's first guess of its messages: a realistic trace has about one in 700 bytes.
constexpr std::size_t kBytesPerMessageReserved = 512;
// Past this many, a wrong guess would cost more than the regrowth it spares.
constexpr double kMostMessagesReserved = 4u << 20;

// What one piece read, until it is joined.
struct Piece {
  MessageStore store;
  std::uint64_t lines = 0;  // whole lines read
  std::uint64_t skippedLongLines = 0;
  std::uint64_t firstSkippedLine = 0;  // counted from the piece's start
  bool inheritsHeader = false;
  bool inheritsGateway = false;
  // The header and gateway the piece ends with, when they are its own.
  bool knowsHeader = false;
  bool knowsGateway = false;
  ReaderContinuation end;   // before the last line without a line end, if any
  bool reachedEnd = false;  // it read to the end of the file
  std::uint64_t endOffset = 0;
  bool lastLineMadeMessage = false;
  unsigned lane = 0;  // of the thread that read it
  bool done = false;
};

// The header and gateway that lines before a piece leave to its first message.
struct Carried {
  Protocol protocol = Protocol::None;
  bool isIncoming = false;
  std::uint64_t headerLineNumber = 0;
  std::string gateway;
};

class PieceLoad {
 public:
  PieceLoad(int descriptor, const std::string& name, std::uint64_t fileSize, bool isTracelist,
            const PieceReading& reading, unsigned threads)
      : descriptor_(descriptor),
        name_(name),
        fileSize_(fileSize),
        pieceSize_(reading.pieceSize),
        isTracelist_(isTracelist),
        pieces_(static_cast<std::size_t>((fileSize + reading.pieceSize - 1) / reading.pieceSize)) {
    store_.dataLineArena.ShareWithLanes();
    for (unsigned lane = 0; lane < threads; ++lane) {
      lanes_.emplace_back(store_.dataLineArena, lane, threads);
    }
    spare_.resize(threads);
  }

  LoadResult Run(const LoadProgress& progress, const LoadWatch& watch);

 private:
  // Reads pieces until none is left or the load stops.
  void ReadPieces(unsigned lane, const LoadProgress* progress);
  // The first piece's messages in a store of their own, for the preview.
  MessageStore CopyOfFirstPiece() const;
  void ReadPiece(std::size_t index, unsigned laneIndex, LargeVector<char>& buffer,
                 const LoadProgress* progress);
  // The first line start at or after `position` (> 0) and before `limit`; none before either the
  // limit or the end of the file.
  std::optional<std::uint64_t> FirstLineStart(std::uint64_t position, std::uint64_t limit,
                                              LargeVector<char>& buffer);
  ssize_t ReadAt(char* buffer, std::size_t size, std::uint64_t offset);
  void Fail(std::string errorText);
  // Marks the piece read and joins those ready in order, unless another thread is joining them.
  void PieceRead(std::size_t index);
  void Join(Piece& piece);
  bool Stopping() const { return stop_.load(std::memory_order_relaxed); }
  // Reports the progress on the calling thread; false, and the load stops, when it says so.
  bool Report(const LoadProgress* progress);

  const int descriptor_;
  const std::string& name_;
  const std::uint64_t fileSize_;
  const std::size_t pieceSize_;
  const bool isTracelist_;
  const LoadWatch* watch_ = nullptr;
  std::vector<Piece> pieces_;
  // The joined messages, whose arena holds the lanes' blocks. Only the thread joining (joining_)
  // touches it, and what Join keeps besides.
  MessageStore store_;
  Carried carried_;
  std::uint64_t lineOffset_ = 0;
  std::uint64_t skippedLongLines_ = 0;
  std::uint64_t firstSkippedLine_ = 0;
  std::vector<TextArena> lanes_;  // one for each thread, which alone fills it
  // The stores of pieces joined, for the next pieces of the thread that read them: their arrays'
  // pages are in memory already. Guarded by mutex_.
  std::vector<std::vector<MessageStore>> spare_;

  std::atomic<std::size_t> nextPiece_{0};
  std::atomic<std::uint64_t> bytesRead_{0};
  std::atomic<std::size_t> messagesRead_{0};
  std::atomic<bool> stop_{false};

  std::mutex mutex_;
  std::condition_variable pieceDone_;
  std::string errorText_;  // guarded by mutex_
  bool stoppedByUser_ = false;
  std::size_t joined_ = 0;  // guarded by mutex_
  bool joining_ = false;    // a thread is joining; guarded by mutex_
};

ssize_t PieceLoad::ReadAt(char* buffer, std::size_t size, std::uint64_t offset) {
  for (;;) {
    const ssize_t got = ::pread(descriptor_, buffer, size, static_cast<off_t>(offset));
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

void PieceLoad::Fail(std::string errorText) {
  const std::lock_guard lock(mutex_);
  if (errorText_.empty()) {
    errorText_ = std::move(errorText);
  }
  stop_.store(true, std::memory_order_relaxed);
}

bool PieceLoad::Report(const LoadProgress* progress) {
  if (progress == nullptr || !*progress) {
    return true;
  }
  const std::uint64_t done = std::min(bytesRead_.load(std::memory_order_relaxed), fileSize_);
  if ((*progress)(done, fileSize_)) {
    return true;
  }
  const std::lock_guard lock(mutex_);
  stoppedByUser_ = true;
  stop_.store(true, std::memory_order_relaxed);
  return false;
}

std::optional<std::uint64_t> PieceLoad::FirstLineStart(std::uint64_t position, std::uint64_t limit,
                                                       LargeVector<char>& buffer) {
  // A line starts after LF, and after CR unless LF follows it (then after that LF). A line end
  // is mostly near: the reads start small.
  bool afterCarriageReturn = false;
  std::size_t readSize = std::min<std::size_t>(4096, buffer.size());
  for (std::uint64_t at = position - 1; at < limit;) {
    const ssize_t got = ReadAt(buffer.data(), readSize, at);
    readSize = std::min(2 * readSize, buffer.size());
    if (got < 0) {
      Fail("cannot read " + name_ + ": " + std::strerror(errno));
      return std::nullopt;
    }
    if (got == 0) {
      // A CR that ends the file starts nothing: its reader may yet skip an LF that follows.
      return std::nullopt;
    }
    const char* const begin = buffer.data();
    const char* const end = begin + got;
    if (afterCarriageReturn) {
      const std::uint64_t start = *begin == '\n' ? at + 1 : at;
      return start < limit ? std::optional(start) : std::nullopt;
    }
    // The first line end; a CR may be followed by an LF that belongs to it.
    const void* lineFeed = std::memchr(begin, '\n', static_cast<std::size_t>(got));
    const auto* lineEnd = static_cast<const char*>(lineFeed != nullptr ? lineFeed : end);
    const void* carriageReturn =
        std::memchr(begin, '\r', static_cast<std::size_t>(lineEnd - begin));
    if (carriageReturn != nullptr) {
      lineEnd = static_cast<const char*>(carriageReturn);
    }
    if (lineEnd != end) {
      const std::uint64_t offset = at + static_cast<std::uint64_t>(lineEnd - begin);
      if (*lineEnd == '\r' && lineEnd + 1 == end) {
        afterCarriageReturn = true;  // the next read says whether an LF follows
      } else {
        const bool crLf = *lineEnd == '\r' && lineEnd[1] == '\n';
        const std::uint64_t start = offset + (crLf ? 2 : 1);
        return start < limit ? std::optional(start) : std::nullopt;
      }
    }
    at += static_cast<std::uint64_t>(got);
  }
  return std::nullopt;
}

void PieceLoad::ReadPiece(std::size_t index, unsigned laneIndex, LargeVector<char>& buffer,
                          const LoadProgress* progress) {
  Piece& piece = pieces_[index];
  const bool last = index + 1 == pieces_.size();
  // The piece holds the lines that start in its bytes; a piece that none starts in (all inside
  // one long line) holds none.
  const std::uint64_t next = (index + 1) * static_cast<std::uint64_t>(pieceSize_);
  std::optional<std::uint64_t> start = std::uint64_t{0};
  if (index > 0) {
    start = FirstLineStart(index * static_cast<std::uint64_t>(pieceSize_), next, buffer);
  }
  // Up to the next line start in a later piece, or to the end of the file when none follows.
  std::optional<std::uint64_t> end;
  if (start && !last) {
    end = FirstLineStart(next, std::numeric_limits<std::uint64_t>::max(), buffer);
  }
  if (Stopping() || !start) {
    return;
  }
  MessageStore store;
  {
    const std::lock_guard lock(mutex_);
    if (!spare_[laneIndex].empty()) {
      store = std::move(spare_[laneIndex].back());
      spare_[laneIndex].pop_back();
    }
  }
  piece.lane = laneIndex;
  const bool fresh = store.msgDataLines.capacity() == 0;
  TraceTextReader reader(isTracelist_, lanes_[laneIndex], std::move(store));
  if (fresh) {
    reader.Reserve(pieceSize_ / kBytesPerMessageReserved);
  }
  std::uint64_t offset = *start;
  while (!end || offset < *end) {
    const std::size_t size =
        end ? static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), *end - offset))
            : buffer.size();
    const ssize_t got = ReadAt(buffer.data(), size, offset);
    if (got < 0) {
      Fail("cannot read " + name_ + ": " + std::strerror(errno));
      return;
    }
    if (got == 0) {
      break;
    }
    const std::size_t before = reader.MessageCount();
    reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    messagesRead_.fetch_add(reader.MessageCount() - before, std::memory_order_relaxed);
    offset += static_cast<std::uint64_t>(got);
    bytesRead_.fetch_add(static_cast<std::uint64_t>(got), std::memory_order_relaxed);
    if (Stopping() || !Report(progress)) {
      return;
    }
  }
  // A file that ends in a line end ends at a line start too.
  piece.reachedEnd = !end || offset < *end || offset >= fileSize_;
  piece.endOffset = offset;
  piece.lines = reader.Continuation().lineNumber;
  piece.knowsHeader = reader.KnowsHeader();
  piece.knowsGateway = reader.KnowsGateway();
  piece.end = reader.Continuation();
  const std::size_t whole = reader.MessageCount();
  piece.store = reader.Finish();
  piece.lastLineMadeMessage =
      piece.store.MessageCount() > whole || piece.end.pendingLength > kMaxLineLength;
  // Asked once the last line made its message: that may be the piece's first.
  piece.inheritsHeader = reader.FirstMessageInheritsHeader();
  piece.inheritsGateway = reader.FirstMessageInheritsGateway();
  piece.skippedLongLines = reader.SkippedLongLines();
  piece.firstSkippedLine = reader.FirstSkippedLine();
}

void PieceLoad::Join(Piece& piece) {
  MessageStore& part = piece.store;
  if (lineOffset_ > 0) {
    part.msgLineNumbers.AddToEach(lineOffset_);
  }
  if (part.MessageCount() > 0 && piece.inheritsHeader) {
    part.msgProtocols[0] = carried_.protocol;
    part.msgIsIncoming[0] = carried_.isIncoming;
    part.msgLineNumbers.Set(0, carried_.headerLineNumber);
  }
  if (part.MessageCount() > 0 && piece.inheritsGateway) {
    part.msgGatewayIps[0] = InternGatewayIp(part, carried_.gateway);
  }
  if (piece.knowsHeader) {
    carried_.protocol = piece.end.protocol;
    carried_.isIncoming = piece.end.isIncoming;
    carried_.headerLineNumber =
        piece.end.headerLineNumber != 0 ? piece.end.headerLineNumber + lineOffset_ : 0;
  }
  if (piece.knowsGateway) {
    carried_.gateway = piece.end.gatewayAddress;
  }
  if (piece.skippedLongLines > 0 && skippedLongLines_ == 0) {
    firstSkippedLine_ = piece.firstSkippedLine + lineOffset_;
  }
  skippedLongLines_ += piece.skippedLongLines;
  lineOffset_ += piece.lines;

  if (joined_ == 0) {
    // Messages are spread evenly enough through a trace that the first piece tells how many to
    // expect; the room not used is never touched, so it costs no memory.
    const double expected = static_cast<double>(part.MessageCount()) * 1.2 *
                            static_cast<double>(fileSize_) / static_cast<double>(pieceSize_);
    ReserveMessages(store_, static_cast<std::size_t>(std::min(expected, kMostMessagesReserved)));
  }
  MoveMessages(store_, std::move(part), LineBlocks::InLane);
  if (watch_->joined) {
    watch_->joined(store_);
  }
}

MessageStore PieceLoad::CopyOfFirstPiece() const {
  // Copied: the lane goes on filling on this thread, unseen by whoever shows the copy.
  const MessageStore& first = pieces_[0].store;
  MessageStore shown;
  ReserveMessages(shown, first.MessageCount());
  for (std::size_t k = 0; k < first.MessageCount(); ++k) {
    AppendMessage(shown, shown.dataLineArena.Append(lanes_[0].Text(first.msgDataLines[k])),
                  InternGatewayIp(shown, GatewayIp(first, MessageIndex{k})), first.msgProtocols[k],
                  first.msgIsIncoming[k], first.msgLineNumbers[k], first.msgColumns[k],
                  first.msgTimes[k], 0);
  }
  shown.filePaths = {name_};
  shown.fileIsTracelist = {isTracelist_};
  return shown;
}

void PieceLoad::PieceRead(std::size_t index) {
  std::unique_lock lock(mutex_);
  pieces_[index].done = true;
  if (joining_) {
    return;  // that thread joins this piece too
  }
  // Joined outside the lock, so that the others read on meanwhile.
  joining_ = true;
  while (joined_ < pieces_.size() && pieces_[joined_].done && !Stopping()) {
    Piece& piece = pieces_[joined_];
    lock.unlock();
    try {
      Join(piece);
    } catch (...) {
      lock.lock();
      joining_ = false;
      throw;
    }
    lock.lock();
    spare_[piece.lane].push_back(std::move(piece.store));
    ++joined_;
  }
  joining_ = false;
  lock.unlock();
  pieceDone_.notify_all();
}

void PieceLoad::ReadPieces(unsigned lane, const LoadProgress* progress) {
  LargeVector<char> buffer(kReadSize);
  for (;;) {
    const std::size_t index = nextPiece_.fetch_add(1, std::memory_order_relaxed);
    if (index >= pieces_.size() || Stopping()) {
      return;
    }
    try {
      ReadPiece(index, lane, buffer, progress);
      if (Stopping()) {
        return;
      }
      PieceRead(index);
    } catch (const std::bad_alloc&) {
      Fail(name_ + ": not enough memory (while loading, after " +
           CountOf(messagesRead_.load(), "message", "messages") + ")");
      return;
    }
  }
}

LoadResult PieceLoad::Run(const LoadProgress& progress, const LoadWatch& watch) {
  watch_ = &watch;
  // The calling thread reads the first piece, so that its messages come first, and alone
  // reports the progress.
  std::vector<std::thread> helpers;
  nextPiece_.store(1);
  for (unsigned lane = 1; lane < lanes_.size(); ++lane) {
    try {
      helpers.emplace_back([this, lane] { ReadPieces(lane, nullptr); });
    } catch (const std::system_error&) {
      break;  // the threads there are read every piece
    }
  }
  LargeVector<char> buffer;
  try {
    buffer.resize(kReadSize);
    ReadPiece(0, 0, buffer, &progress);
    if (!Stopping() && watch.firstMessages) {
      watch.firstMessages(CopyOfFirstPiece());
    }
    if (!Stopping()) {
      PieceRead(0);
    }
  } catch (const std::bad_alloc&) {
    Fail(name_ + ": not enough memory (while loading, after " +
         CountOf(messagesRead_.load(), "message", "messages") + ")");
  }
  if (!Stopping()) {
    ReadPieces(0, &progress);
  }
  // The helpers' last pieces, with the progress reported meanwhile.
  {
    std::unique_lock lock(mutex_);
    while (!stop_.load() && joined_ < pieces_.size()) {
      pieceDone_.wait_for(lock, kProgressWait);
      if (!stop_.load() && progress) {
        lock.unlock();
        Report(&progress);
        lock.lock();
      }
    }
  }
  for (std::thread& helper : helpers) {
    helper.join();
  }

  LoadResult result;
  if (stoppedByUser_) {
    result.outcome = OperationOutcome::Cancelled;
    return result;
  }
  if (!errorText_.empty()) {
    result.errorText = std::move(errorText_);
    return result;
  }
  store_.dataLineArena.LanesDone();
  store_.filePaths = {std::string()};
  store_.fileIsTracelist = {isTracelist_};
  result.store = std::move(store_);
  result.skippedLongLines = skippedLongLines_;
  result.firstSkippedLine = firstSkippedLine_;

  // Where a reader of the whole file would have stopped: in the piece that read to the end.
  FollowPoint& point = result.followPoint.emplace();
  std::uint64_t lines = 0;
  for (const Piece& piece : pieces_) {
    if (piece.reachedEnd) {
      point.offset = piece.endOffset;
      point.reader = piece.end;
      point.reader.lineNumber += lines;
      point.reader.pendingLineMadeMessage = piece.lastLineMadeMessage;
      break;
    }
    lines += piece.lines;
  }
  point.reader.isTracelist = isTracelist_;
  point.reader.protocol = carried_.protocol;
  point.reader.isIncoming = carried_.isIncoming;
  point.reader.headerLineNumber = carried_.headerLineNumber;
  point.reader.gatewayAddress = carried_.gateway;
  result.outcome =
      result.store.MessageCount() > 0 ? OperationOutcome::Done : OperationOutcome::NotFound;
  return result;
}

}  // namespace

std::optional<LoadResult> ReadInPieces(int descriptor, const std::string& name,
                                       std::uint64_t fileSize, const LoadProgress& progress,
                                       const LoadWatch& watch, const PieceReading& pieces) {
  if (pieces.pieceSize == 0 || fileSize < 2 * static_cast<std::uint64_t>(pieces.pieceSize)) {
    return std::nullopt;
  }
  // Whether the file is a <Tracelist> document, from its first line, which every piece needs.
  std::string head(kFirstLineRead, '\0');
  const ssize_t got = ::pread(descriptor, head.data(), head.size(), 0);
  if (got <= 0) {
    return std::nullopt;  // the reader from start to end says why
  }
  head.resize(static_cast<std::size_t>(got));
  const std::size_t lineEnd = head.find_first_of("\r\n");
  if (lineEnd == std::string::npos) {
    return std::nullopt;
  }
  const bool isTracelist =
      std::string_view(head).substr(0, lineEnd).find("<Tracelist>") != std::string_view::npos;
  const unsigned threads = pieces.threads != 0 ? pieces.threads : UsableCores();
  PieceLoad load(descriptor, name, fileSize, isTracelist, pieces, threads);
  return load.Run(progress, watch);
}

}  // namespace sigrune
