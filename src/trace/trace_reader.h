#pragma once

// Reads a trace file into a MessageStore: every line holding "IsdnMsgData" is one message, with the
// header and gateway lines read before it since the previous message.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/file_identity.h"
#include "trace/message_store.h"
#include "trace/operation_outcome.h"

namespace sigrune {

enum class LineKind { Other, IncomingHeader, OutgoingHeader, Gateway, Data };

// The kind of a trace line by its markers, the first of "In  Message -- ", "Out Message -- ",
// "MMan_Id" and "IsdnMsgData" found anywhere in it winning in that order.
LineKind ClassifyLine(std::string_view line);

// The trimmed address text of a gateway line: the 8 characters after its first "IpAddr=", or from
// its 7th character when it has none.
std::string_view GatewayAddressText(std::string_view line);

// A little-endian hexadecimal address (0501a8c0, or 501a8c0 without its leading zero) in dotted
// decimal form (192.168.1.5).
std::string HexIpToDotted(std::string_view text);

// A line longer than this cannot be a message line: it is skipped, unread, and counted.
inline constexpr std::size_t kMaxLineLength = 16u << 20;

// What a reader holds between two lines of a file, so that another reader can go on where it
// stopped when the file grows.
struct ReaderContinuation {
  bool isTracelist = false;
  std::uint64_t lineNumber = 0;  // of the last line read whole
  // The start of a line not yet ended, and its length (the start is not kept past the line limit).
  std::string pendingLine;
  std::uint64_t pendingLength = 0;
  bool skipLineFeed = false;
  // The header and gateway lines of a message whose data line has not come yet.
  Protocol protocol = Protocol::None;
  bool isIncoming = false;
  std::uint64_t headerLineNumber = 0;
  std::string gatewayAddress;  // dotted decimal
  // The end of the load took the unended line for a whole one, and it made a message (or was
  // counted as too long): once the line ends, it must not make another (nor count again).
  bool pendingLineMadeMessage = false;
};

// Reads trace text given in pieces of any size. The file loader feeds it block by block; tests and
// the fuzzer feed it text from memory. A line longer than kMaxLineLength is never held whole.
class TraceTextReader {
 public:
  TraceTextReader() = default;
  // Reads one piece of a file from a line start other than the first: whether the file is a
  // <Tracelist> document was read from its first line, the line numbers count from the piece's
  // start, and the data lines go into `lane` (which outlives the store). The messages go into
  // `store`, empty (EmptyForReuse), whose room a piece read before left.
  TraceTextReader(bool isTracelist, TextArena& lane, MessageStore&& store);
  // Reads on where another reader stopped (its Continuation()), with a fresh store whose messages
  // name the file `fileIndex`.
  TraceTextReader(const ReaderContinuation& from, std::uint32_t fileIndex);

  void Feed(std::string_view bytes);
  // Makes room for about this many messages at once, sparing the arrays repeated growth.
  void Reserve(std::size_t messages);
  std::size_t MessageCount() const { return store_.MessageCount(); }
  // Lines longer than kMaxLineLength, and the 1-based number of the first of them.
  std::uint64_t SkippedLongLines() const { return skippedLongLines_; }
  std::uint64_t FirstSkippedLine() const { return firstSkippedLine_; }
  // Counts the skipped lines afresh from here: a follower tells of those of each read.
  void ForgetSkippedLines() {
    skippedLongLines_ = 0;
    firstSkippedLine_ = 0;
  }
  // Ends the text (a last line without a line end counts) and hands over the messages.
  MessageStore Finish();
  // Hands over the messages of the whole lines read so far and reads on with a fresh store.
  MessageStore TakeMessages();
  // What another reader needs to read on from here (before Finish).
  ReaderContinuation Continuation() const;

  // For a piece: whether its first message took the header, or the gateway, of the lines before
  // the piece (it had none of its own before it), and whether the header or gateway the reader
  // ends with are the piece's own (else they are those of the lines before it).
  bool FirstMessageInheritsHeader() const { return firstInheritsHeader_; }
  bool FirstMessageInheritsGateway() const { return firstInheritsGateway_; }
  bool KnowsHeader() const { return headerKnown_; }
  bool KnowsGateway() const { return gatewayKnown_; }

 private:
  void HoldLineStart(std::string_view part);
  void EndLine(std::string_view rest);
  void SkipLongLine();
  void ConsumeLine(std::string_view line);
  // The store's file lists, which name one file.
  void NameTheFile(MessageStore& store) const;

  TextArena& Arena() { return lane_ != nullptr ? *lane_ : store_.dataLineArena; }

  MessageStore store_;
  TextArena* lane_ = nullptr;  // where the lines go, when not into the store's arena
  std::uint32_t fileIndex_ = 0;
  bool isTracelist_ = false;
  bool tracelistKnown_ = false;  // from the file's first line, which a piece may not hold
  bool headerKnown_ = true;
  bool gatewayKnown_ = true;
  bool firstInheritsHeader_ = false;
  bool firstInheritsGateway_ = false;
  // The unended line that a continuation starts with made a message already.
  bool dropPendingMessage_ = false;
  // The start of a line that a later piece ends, and its length; a line found too long is no
  // longer kept, only measured.
  std::string pendingLine_;
  std::uint64_t pendingLength_ = 0;
  std::uint64_t skippedLongLines_ = 0;
  std::uint64_t firstSkippedLine_ = 0;
  bool skipLineFeed_ = false;  // the last piece ended in CR, so a leading LF belongs to it
  std::uint64_t lineNumber_ = 0;

  // The header and gateway values of the message being assembled.
  Protocol protocol_ = Protocol::None;
  bool isIncoming_ = false;
  std::uint64_t headerLineNumber_ = 0;
  std::uint32_t gatewayIpIndex_ = 0;

  // The gateway address texts met lately, each with its index: messages come from a few gateways
  // in turn, and a text is converted and interned once while it stays among these.
  struct KnownAddress {
    std::array<char, 8> text{};  // GatewayAddressText is never longer
    std::size_t size = 0;
    std::uint32_t index = 0;  // 0: a free place
  };
  std::uint32_t GatewayIndex(std::string_view addressText);
  std::array<KnownAddress, 8> knownAddresses_{};
  std::size_t nextKnownAddress_ = 0;
  MessageTimeReader timeReader_;
};

MessageStore ReadTraceText(std::string_view text);

// Called after each block with the bytes read so far and the file's size (0 when unknown);
// returning false stops the load.
using LoadProgress = std::function<bool(std::uint64_t bytesRead, std::uint64_t fileSize)>;

// What a load read in pieces tells while it reads.
struct LoadWatch {
  // The first piece's messages, in a store of their own, handed over while the rest is read: a
  // window shows them at once. Called on the thread that called the load.
  std::function<void(MessageStore&& firstMessages)> firstMessages;
  // Called after each piece is joined, in order, with the messages joined so far, one call at a
  // time on any of the loading threads: it may read them (their data lines too), so that work on
  // them goes on beside the reading.
  std::function<void(const MessageStore& joined)> joined;
};

// How a large regular file is read: in pieces of this many bytes, split at line starts, read on
// this many threads at once (0: as many as the cores the process may run on) and joined in order.
struct PieceReading {
  std::size_t pieceSize = 16u << 20;
  unsigned threads = 0;
};

// Where the load of the last file stopped, for following it as it grows.
struct FollowPoint {
  std::string path;
  FileIdentity identity;
  std::uint64_t offset = 0;     // the bytes read
  std::uint32_t fileIndex = 0;  // the file's index in the trace's filePaths
  ReaderContinuation reader;
  // Why the file cannot be followed (compressed, a FIFO); empty when it can.
  std::string refusal;
  // The last bytes read (up to kFollowTailSize): while they are still there, the file was only
  // appended to.
  std::string tail;
};
inline constexpr std::size_t kFollowTailSize = 64;

// Done: the store holds the messages; NotFound: the trace holds none; Failed: errorText names the
// file and the reason.
struct LoadResult : OperationResult {
  LoadResult() { outcome = OperationOutcome::Failed; }

  MessageStore store;
  // Lines longer than kMaxLineLength, and the 1-based number of the first of them in its file.
  std::uint64_t skippedLongLines = 0;
  std::uint64_t firstSkippedLine = 0;
  // The file of that line when the trace has several files; empty for one.
  std::string firstSkippedFile;
  // What the reader of several files tells besides ("b.txt was given twice and read once").
  std::vector<std::string> notes;
  // The end of the last file read; none for a descriptor.
  std::optional<FollowPoint> followPoint;
};

// The window opens regular files only; the command line also reads FIFOs (and standard input)
// as streams.
enum class AcceptedFiles { RegularOnly, RegularOrFifo };

// How a load reads its files.
struct LoadOptions {
  AcceptedFiles accepted = AcceptedFiles::RegularOnly;
  // Told of a large file's pieces as they are read; of a single file's only.
  LoadWatch watch;
  PieceReading pieces;
};

// Builds a fresh store from the file; the caller's store is never touched, so a load that does not
// succeed leaves the previous trace as it was. Running out of memory is a Failed load.
// A large regular file is read in pieces (PieceReading), told to the watch.
LoadResult LoadTraceFile(const std::string& fileName, const LoadOptions& options = {},
                         const LoadProgress& progress = {});

// Reads the files as one trace: ordered by the time of each file's first message whose time
// reads, the files without one last, ties and those in byte order of their base names and then
// of their paths. A file given twice (by any path) is read once, with a note. A file that cannot
// be read fails the whole load, naming it and why. Files ending in ".gz" are read through zlib.
// The progress counts the bytes of all the files (compressed ones as stored). The watch is told
// only of a single file: the first messages of several depend on all of them.
LoadResult LoadTraceFiles(const std::vector<std::string>& paths, const LoadOptions& options = {},
                          const LoadProgress& progress = {});

// The same for a descriptor that is already open (standard input), whatever it reads from; `name`
// stands for it in the error texts. The descriptor stays open.
LoadResult LoadTraceDescriptor(int descriptor, const std::string& name,
                               const LoadProgress& progress = {});

// "1 line longer than 16 MiB was skipped (line L)" or "N lines longer than 16 MiB were skipped
// (first: line L)"; empty when none was.
std::string SkippedLinesNote(const LoadResult& result);

// How a load takes the last file's last line when it has no line end: as a whole line (a trace
// read once), or held as not a line yet (a trace read to be followed, whose writer may be midway
// through it).
enum class UnendedLastLine { Whole, Held };

// Takes back what the load made of the last file's unended last line (its message, or its count
// as too long), for the follower to read once the line ends. Nothing changes for a trace that
// cannot be followed.
void HoldUnendedLastLine(LoadResult& loaded);

}  // namespace sigrune
