#include "trace/trace_follower.h"

#include <unistd.h>

#include <utility>

namespace sigrune {

std::optional<TraceFollower> TraceFollower::Begin(const LoadResult& loaded,
                                                  const std::string& lastPath,
                                                  std::string& whyNot) {
  if (!loaded.followPoint) {
    whyNot = "cannot follow " + lastPath;
    return std::nullopt;
  }
  return Begin(*loaded.followPoint, whyNot);
}

std::optional<TraceFollower> TraceFollower::Begin(const FollowPoint& point, std::string& whyNot) {
  whyNot = "cannot follow " + point.path;
  return std::nullopt;
}

TraceFollower::TraceFollower(const FollowPoint& point) : point_(point) {}

TraceFollower::TraceFollower(TraceFollower&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), point_(std::move(other.point_)) {}

TraceFollower& TraceFollower::operator=(TraceFollower&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) {
      ::close(descriptor_);
    }
    descriptor_ = std::exchange(other.descriptor_, -1);
    point_ = std::move(other.point_);
  }
  return *this;
}

TraceFollower::~TraceFollower() {
  if (descriptor_ >= 0) {
    ::close(descriptor_);
  }
}

TraceFollower::Batch TraceFollower::Poll() {
  Batch batch;
  batch.position = point_;
  return batch;
}

}  // namespace sigrune
