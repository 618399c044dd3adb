#pragma once

// Reads what is appended to the last file of a loaded trace, as a trace server writes it: only
// whole lines, a header line read in one poll joining its data line of the next. A file made
// smaller (truncated), written anew (rewritten) or replaced by another at its path (rotated) is
// read from its start as the next part of the trace. It owns its state, so that it may run on a
// worker of its own.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "trace/message_store.h"
#include "trace/trace_reader.h"

namespace sigrune {

class TraceFollower {
 public:
  // From the end of a load of which `lastPath` is the last file; none, and why not in `whyNot`,
  // for a compressed file, a FIFO or standard input.
  static std::optional<TraceFollower> Begin(const LoadResult& loaded, const std::string& lastPath,
                                            std::string& whyNot);
  static std::optional<TraceFollower> Begin(const FollowPoint& point, std::string& whyNot);

  TraceFollower(TraceFollower&& other) noexcept;
  TraceFollower& operator=(TraceFollower&& other) noexcept;
  TraceFollower(const TraceFollower&) = delete;
  TraceFollower& operator=(const TraceFollower&) = delete;
  ~TraceFollower();

  // How long a path missing at a poll (renamed, its new file not made yet) is waited for before
  // following stops, as told by `clock`; tests shorten the wait or give their own clock.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::milliseconds kMissingPathWait{5000};
  void SetMissingPathWait(std::chrono::milliseconds wait, Clock clock = {});

  struct Batch {
    // The new whole messages only, with a gateway table of their own; their file indexes and
    // line numbers are those of the trace.
    MessageStore messages;
    // "trace.txt was truncated: read again from its start", "trace.txt was rewritten: read again
    // from its start", "trace.txt was replaced: read the new file from its start", "cannot
    // follow trace.txt: REASON; waiting for a readable file" (once), "trace.txt disappeared:
    // following stopped", the lines skipped as too long; empty when nothing of the kind happened.
    std::string note;
    bool stopped = false;  // the file disappeared or cannot be read: no more polls
    // While no readable regular file is at the path: why, as the note said when it began.
    std::string waiting;
    // Where the next poll goes on, for a follower begun afresh later.
    FollowPoint position;
  };
  // Reads the whole lines appended since the last poll; a partial last line waits.
  Batch Poll();

 private:
  TraceFollower(const FollowPoint& point, int descriptor);
  // Reads the open file from where it was to its end; false after noting why it cannot.
  bool ReadToEnd(Batch& batch);
  // Whether the bytes before the follow point are those read there.
  bool TailStillThere();
  // The old content is over: its unended last line is a whole one, its header waits no more.
  void EndContent(Batch& batch);
  // Goes on with the file now at the path, from its start; false when following must stop.
  bool OpenAfresh(Batch& batch);
  // The path is missing: false once it was for too long.
  bool WaitForPath(Batch& batch);
  void TakeSkippedLines();
  void Close();
  void AddNote(Batch& batch, const std::string& note) const;

  FollowPoint point_;    // path, identity, offset, tail and file index; the reader's is reader_'s
  int descriptor_ = -1;  // -1 while waiting for a readable file
  TraceTextReader reader_;
  std::vector<char> block_;
  std::string firstNote_;  // for the first poll: the file was replaced before it began
  std::string waiting_;    // while waiting for a readable file: why
  std::optional<std::chrono::steady_clock::time_point> missingSince_;
  std::chrono::milliseconds missingPathWait_ = kMissingPathWait;
  Clock clock_;
  // The lines skipped as too long in this poll, and the first of them.
  std::uint64_t skippedLines_ = 0;
  std::uint64_t firstSkippedLine_ = 0;
};

}  // namespace sigrune
