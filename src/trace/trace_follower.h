#pragma once

// Reads what is appended to the last file of a loaded trace, as a trace server writes it: only
// whole lines, a header line read in one poll joining its data line of the next. A file made
// smaller (truncated) or replaced by another at its path (rotated) is read from its start as the
// next part of the trace. It owns its state, so that it may run on a worker of its own.

#include <cstdint>
#include <optional>
#include <string>

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

  struct Batch {
    // The new whole messages only, with a gateway table of their own; their file indexes and
    // line numbers are those of the trace.
    MessageStore messages;
    // "trace.txt was truncated: read again from its start", "trace.txt was replaced: ...",
    // "trace.txt disappeared: following stopped"; empty when nothing of the kind happened.
    std::string note;
    bool stopped = false;  // the file disappeared or cannot be read: no more polls
    // Where the next poll goes on, for a follower begun afresh later.
    FollowPoint position;
  };
  // Reads the whole lines appended since the last poll; a partial last line waits.
  Batch Poll();

 private:
  explicit TraceFollower(const FollowPoint& point);

  int descriptor_ = -1;
  FollowPoint point_;
};

}  // namespace sigrune
