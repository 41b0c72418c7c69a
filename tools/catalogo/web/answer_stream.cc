#include "catalogo/web/answer_stream.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace indicizza::catalogo {
namespace {

// How often a waiting writer looks at its stop.
constexpr auto kStopLook = std::chrono::milliseconds(50);

}  // namespace

AnswerStream::AnswerStream(std::size_t capacity, std::function<void()> pause,
                           std::function<void()> wake)
    : capacity_(capacity), pause_(std::move(pause)), wake_(std::move(wake)) {}

void AnswerStream::wakeReader() {
  if (!paused_) return;
  paused_ = false;
  wake_();
}

bool AnswerStream::write(std::string_view bytes, const std::function<bool()>& stop) {
  std::unique_lock lock(mutex_);
  while (!bytes.empty()) {
    if (abandoned_) return false;
    const std::size_t held = buffer_.size() - start_;
    if (held >= capacity_) {
      if (stop && stop()) return false;
      room_.wait_for(lock, kStopLook);
      continue;
    }
    if (start_ != 0 && start_ >= buffer_.size() / 2) {
      buffer_.erase(0, start_);
      start_ = 0;
    }
    const std::size_t part = std::min(bytes.size(), capacity_ - held);
    buffer_.append(bytes.substr(0, part));
    bytes.remove_prefix(part);
    wakeReader();
  }
  return !abandoned_;
}

void AnswerStream::finish(bool whole) {
  const std::lock_guard lock(mutex_);
  finished_ = true;
  whole_ = whole;
  if (!abandoned_) wakeReader();
}

AnswerStream::Read AnswerStream::read(char* out, std::size_t size, std::size_t& taken) {
  const std::lock_guard lock(mutex_);
  taken = std::min(size, buffer_.size() - start_);
  if (taken != 0) {
    std::memcpy(out, buffer_.data() + start_, taken);
    start_ += taken;
    if (start_ == buffer_.size()) {
      buffer_.clear();
      start_ = 0;
    }
    room_.notify_all();
    return Read::kBytes;
  }
  if (finished_) return whole_ ? Read::kEnd : Read::kCut;
  paused_ = true;
  pause_();
  return Read::kWait;
}

void AnswerStream::abandon() {
  const std::lock_guard lock(mutex_);
  abandoned_ = true;
  paused_ = false;
  room_.notify_all();
}

}  // namespace indicizza::catalogo
