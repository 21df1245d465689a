#include "convert/frame_pipeline.h"

#include <algorithm>
#include <cstring>

namespace belmora {

int DefaultThreadCount() {
  return int(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
}

FramePipeline::FramePipeline(int threads, Work work, int maxDepth) : work_(std::move(work)) {
  threads = std::max(1, threads);
  // One thread works each frame as it comes; more keep a few frames each in hand.
  int depth = threads == 1 ? 1 : 4 * threads;
  if (maxDepth > 0) depth = std::min(depth, maxDepth);
  state_.assign(size_t(depth), SlotState::kFree);
  for (int t = 1; t < threads; t++) threads_.emplace_back([this, t] { WorkerLoop(t); });
}

FramePipeline::~FramePipeline() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void FramePipeline::Submit() {
  {
    std::lock_guard lock(mutex_);
    state_[size_t(NextSlot())] = SlotState::kQueued;
    count_++;
    queued_++;
  }
  wake_.notify_one();
}

void FramePipeline::SubmitDone() {
  std::lock_guard lock(mutex_);
  state_[size_t(NextSlot())] = SlotState::kDone;
  count_++;
}

int FramePipeline::TakeOldest() {
  std::unique_lock lock(mutex_);
  const int slot = first_;
  while (state_[size_t(slot)] != SlotState::kDone) {
    // Work the oldest job still queued here rather than wait idle.
    int pick = -1;
    for (int i = 0; i < count_ && queued_ > 0; i++) {
      const int s = (first_ + i) % Depth();
      if (state_[size_t(s)] == SlotState::kQueued) {
        pick = s;
        break;
      }
    }
    if (pick < 0) {
      done_.wait(lock);
      continue;
    }
    state_[size_t(pick)] = SlotState::kRunning;
    queued_--;
    lock.unlock();
    work_(pick, 0);
    lock.lock();
    state_[size_t(pick)] = SlotState::kDone;
  }
  state_[size_t(slot)] = SlotState::kFree;
  first_ = (first_ + 1) % Depth();
  count_--;
  return slot;
}

void FramePipeline::WorkerLoop(int worker) {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || queued_ > 0; });
    if (stop_) return;
    int pick = -1;
    for (int i = 0; i < count_; i++) {
      const int s = (first_ + i) % Depth();
      if (state_[size_t(s)] == SlotState::kQueued) {
        pick = s;
        break;
      }
    }
    if (pick < 0) continue;
    state_[size_t(pick)] = SlotState::kRunning;
    queued_--;
    lock.unlock();
    work_(pick, worker);
    lock.lock();
    state_[size_t(pick)] = SlotState::kDone;
    done_.notify_all();
  }
}

Host& DeferredMessages::To(Host& target) {
  for (auto& s : standIns_)
    if (&s->Target() == &target) return *s;
  standIns_.push_back(std::make_unique<StandIn>(*this, target));
  return *standIns_.back();
}

void DeferredMessages::Replay() {
  for (const Message& m : messages_) m.Target->ShowMessage(m.Text, m.Caption, m.Kind);
  messages_.clear();
}

void FramePosition::Take(const StrDocument& doc) {
  static_cast<ReadCursor&>(*this) = static_cast<const ReadCursor&>(doc);
}

void FramePosition::Swap(StrDocument& doc) {
  std::swap(static_cast<ReadCursor&>(*this), static_cast<ReadCursor&>(doc));
}

void AdoptDecodedPicture(FrameImage& current, FrameImage& decoded, bool halfWidth) {
  if (!halfWidth) {
    std::swap(current, decoded);
    return;
  }
  if (current.Width != decoded.Width || current.Height != decoded.Height)
    current.LayOut(decoded.Width, decoded.Height);
  const size_t half = size_t(current.Width / 2) * 3;
  for (int y = 0; y < current.Height; y++)
    std::memcpy(&current.Pixels[size_t(y) * size_t(current.Stride())],
                &decoded.Pixels[size_t(y) * size_t(decoded.Stride())], half);
}

}  // namespace belmora
