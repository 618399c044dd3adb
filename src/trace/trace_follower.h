#pragma once

// Reads what is appended to the last file of a loaded trace, as a trace server writes it: only
// whole lines, a header line read in one poll joining its data line of the next. A file made
// smaller (truncated) or replaced by another at its path (rotated) is read from its start as the
// next part of the trace. It owns its state, so that it may run on a worker of its own.

#include <cstdint>
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

  struct Batch {
    // The new whole messages only, with a gateway table of their own; their file indexes and
    // line numbers are those of the trace.
    MessageStore messages;
    // "trace.txt was truncated: read again from its start", "trace.txt was replaced: read the
    // new file from its start", "trace.txt disappeared: following stopped"; empty when nothing
    // of the kind happened.
    std::string note;
    bool stopped = false;  // the file disappeared or cannot be read: no more polls
    // Where the next poll goes on, for a follower begun afresh later.
    FollowPoint position;
  };
  // Reads the whole lines appended since the last poll; a partial last line waits.
  Batch Poll();

 private:
  TraceFollower(const FollowPoint& point, int descriptor);
  // Reads the open file from where it was to its end; false after noting why it cannot.
  bool ReadToEnd(Batch& batch);
  // Goes on with the file now at the path, from its start.
  bool OpenAfresh(Batch& batch);
  void Close();
  void AddNote(Batch& batch, const std::string& note) const;

  FollowPoint point_;  // path, identity, offset and file index; the reader's state is reader_'s
  int descriptor_ = -1;
  TraceTextReader reader_;
  std::vector<char> block_;
  std::string firstNote_;  // for the first poll: the file was replaced before it began
};

}  // namespace sigrune
