// Several trace files read as one: each into a store of its own, then joined in the order of
// their times.

#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "trace/file_identity.h"
#include "trace/trace_reader.h"
#include "util/text_utilities.h"

namespace sigrune {

namespace {

struct GivenFile {
  std::string path;
  FileIdentity identity;
  int times = 1;
};

// The files in the order given, each once.
std::vector<GivenFile> DistinctFiles(const std::vector<std::string>& paths) {
  std::vector<GivenFile> files;
  for (const std::string& path : paths) {
    const FileIdentity identity = IdentityOfFile(path);
    const auto same = std::find_if(files.begin(), files.end(), [&](const GivenFile& file) {
      return identity != FileIdentity{} ? file.identity == identity : file.path == path;
    });
    if (same != files.end()) {
      ++same->times;
    } else {
      files.push_back({path, identity});
    }
  }
  return files;
}

std::string GivenTwiceNote(const GivenFile& file) {
  return file.path + " was given " +
         (file.times == 2 ? "twice" : std::to_string(file.times) + " times") + " and read once";
}

// The size of every file, for the progress; 0 (unknown) when one has none (a FIFO).
std::uint64_t TotalSize(const std::vector<GivenFile>& files) {
  std::uint64_t total = 0;
  for (const GivenFile& file : files) {
    struct stat status {};
    if (::stat(file.path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
      return 0;
    }
    total += static_cast<std::uint64_t>(status.st_size);
  }
  return total;
}

std::string_view BaseName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

MessageTime FirstTime(const MessageStore& store) {
  const auto timed = std::find_if(store.msgTimes.begin(), store.msgTimes.end(),
                                  [](MessageTime time) { return time != kNoTime; });
  return timed != store.msgTimes.end() ? *timed : kNoTime;
}

// The reading order: by the first time, the files without one last; then by base name and path,
// compared as bytes.
std::vector<std::size_t> ReadingOrder(const std::vector<GivenFile>& files,
                                      const std::vector<LoadResult>& loaded) {
  std::vector<MessageTime> times;
  for (const LoadResult& result : loaded) {
    times.push_back(FirstTime(result.store));
  }
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
    const bool leftTimed = times[left] != kNoTime;
    const bool rightTimed = times[right] != kNoTime;
    if (leftTimed != rightTimed) {
      return leftTimed;
    }
    if (times[left] != times[right]) {
      return times[left] < times[right];
    }
    const std::string_view leftPath = files[left].path;
    const std::string_view rightPath = files[right].path;
    if (const int names = BaseName(leftPath).compare(BaseName(rightPath)); names != 0) {
      return names < 0;
    }
    return leftPath < rightPath;
  });
  return order;
}

// The stores joined in that order, file after file.
LoadResult Joined(const std::vector<GivenFile>& files, std::vector<LoadResult>& loaded,
                  const std::vector<std::size_t>& order) {
  LoadResult joined;
  MessageStore& store = joined.store;
  std::size_t messages = 0;
  for (const LoadResult& result : loaded) {
    messages += result.store.MessageCount();
  }
  ReserveMessages(store, messages);
  for (std::uint32_t file = 0; file < order.size(); ++file) {
    LoadResult& part = loaded[order[file]];
    store.filePaths.push_back(files[order[file]].path);
    store.fileIsTracelist.push_back(!part.store.fileIsTracelist.empty() &&
                                    part.store.fileIsTracelist.front());
    part.store.msgFiles.Fill(file);
    MoveMessages(store, std::move(part.store), LineBlocks::Taken);
    if (part.skippedLongLines > 0 && joined.skippedLongLines == 0) {
      joined.firstSkippedLine = part.firstSkippedLine;
      joined.firstSkippedFile = store.filePaths.back();
    }
    joined.skippedLongLines += part.skippedLongLines;
  }
  joined.followPoint = std::move(loaded[order.back()].followPoint);
  joined.followPoint->fileIndex = static_cast<std::uint32_t>(order.size() - 1);
  joined.outcome = store.MessageCount() > 0 ? OperationOutcome::Done : OperationOutcome::NotFound;
  return joined;
}

}  // namespace

LoadResult LoadTraceFiles(const std::vector<std::string>& paths, const LoadOptions& options,
                          const LoadProgress& progress) {
  const std::vector<GivenFile> files = DistinctFiles(paths);
  std::vector<std::string> notes;
  for (const GivenFile& file : files) {
    if (file.times > 1) {
      notes.push_back(GivenTwiceNote(file));
    }
  }
  if (files.size() <= 1) {
    LoadResult result;
    if (files.empty()) {
      result.errorText = "no trace file was given";
      return result;
    }
    result = LoadTraceFile(files.front().path, options, progress);
    result.notes = std::move(notes);
    return result;
  }

  const std::uint64_t total = TotalSize(files);
  std::uint64_t done = 0;
  std::vector<LoadResult> loaded;
  for (const GivenFile& file : files) {
    LoadOptions each;
    each.accepted = options.accepted;
    LoadResult result = LoadTraceFile(file.path, each, [&](std::uint64_t bytes, std::uint64_t) {
      return !progress || progress(done + bytes, total);
    });
    if (result.outcome == OperationOutcome::Failed ||
        result.outcome == OperationOutcome::Cancelled) {
      return result;
    }
    done += result.followPoint->offset;
    loaded.push_back(std::move(result));
  }
  try {
    LoadResult joined = Joined(files, loaded, ReadingOrder(files, loaded));
    joined.notes = std::move(notes);
    return joined;
  } catch (const std::bad_alloc&) {
    std::size_t messages = 0;
    for (const LoadResult& result : loaded) {
      messages += result.store.MessageCount();
    }
    loaded.clear();
    LoadResult failed;
    failed.errorText = files.front().path + ": not enough memory (while loading, after " +
                       CountOf(messages, "message", "messages") + ")";
    return failed;
  }
}

}  // namespace sigrune
