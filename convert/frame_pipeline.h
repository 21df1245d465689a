// Frames worked on several threads with everything else kept in order.
//
// The conversions walk the file one frame after another: the reads, the
// writes, the sound and the messages keep that order. Only the work on a
// frame's picture (decoding it, encoding it) is independent of the other
// frames; FramePipeline runs that part on worker threads, a few frames
// ahead, and hands the frames back in the order they were given, on the
// caller's thread, where their results go to the file. With one thread
// every frame is worked and handed back at once: the plain sequential run.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/host.h"
#include "mdec/frame_image.h"
#include "str/str_document.h"

namespace belmora {

// The default number of threads: one per core.
int DefaultThreadCount();

class FramePipeline {
 public:
  // `work(slot, worker)` works the job in `slot` (0 .. Depth() - 1) with the
  // worker's own tools (worker 0 .. threads - 1); it runs on a worker thread
  // or on the caller's while it waits. At most `maxDepth` jobs are in hand
  // at once (0: four a thread).
  using Work = std::function<void(int slot, int worker)>;
  FramePipeline(int threads, Work work, int maxDepth = 0);
  ~FramePipeline();
  FramePipeline(const FramePipeline&) = delete;
  FramePipeline& operator=(const FramePipeline&) = delete;

  int Depth() const { return int(state_.size()); }
  // The slot the next job is to be put in.
  int NextSlot() const { return (first_ + count_) % Depth(); }
  // Every slot holds a job not yet taken back: take the oldest first.
  bool Full() const { return count_ == Depth(); }
  bool Empty() const { return count_ == 0; }
  // The job in NextSlot() is complete; `work` is to run on it.
  void Submit();
  // The job in NextSlot() needs no work (it only carries what happened).
  void SubmitDone();
  // Waits for the oldest job to be worked (working jobs meanwhile) and takes
  // it back; returns its slot, which stays the caller's until the next Submit.
  int TakeOldest();

 private:
  enum class SlotState { kFree, kQueued, kRunning, kDone };
  void WorkerLoop(int worker);

  Work work_;
  std::vector<SlotState> state_;
  int first_ = 0;  // the oldest job not taken back
  int count_ = 0;  // jobs not taken back
  int queued_ = 0;
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;  // a job was queued, or stop
  std::condition_variable done_;  // a job was worked
  std::vector<std::thread> threads_;
};

// Messages shown while a frame ahead of the others is read or laid out,
// kept until that frame's turn comes, so that they appear where they would
// in a sequential run (and not at all when the run stops before it).
// To(host) is the stand-in for a host whose messages are to wait;
// questions and the cancel button go straight through.
class DeferredMessages {
 public:
  DeferredMessages() = default;
  DeferredMessages(const DeferredMessages&) = delete;
  DeferredMessages& operator=(const DeferredMessages&) = delete;
  Host& To(Host& target);
  // The messages kept so far, shown now, in the order they came.
  void Replay();
  void Clear() { messages_.clear(); }

 private:
  struct Message {
    Host* Target;
    std::string Text, Caption;
    MessageKind Kind;
  };
  class StandIn : public Host {
   public:
    StandIn(DeferredMessages& log, Host& target) : log_(log), target_(target) {}
    void ShowMessage(const std::string& text, const std::string& caption,
                     MessageKind kind) override {
      log_.messages_.push_back({&target_, text, caption, kind});
    }
    Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) override {
      return target_.Ask(text, caption, buttons);
    }
    bool CancelRequested() override { return target_.CancelRequested(); }
    Host& Target() const { return target_; }

   private:
    DeferredMessages& log_;
    Host& target_;
  };
  std::vector<std::unique_ptr<StandIn>> standIns_;
  std::vector<Message> messages_;
};

// The document's record of the current frame and of what the walk passed
// on the way: swapped in and out while frames read ahead wait for their
// results, and put back when a run stops before the frames read ahead.
struct FramePosition : ReadCursor {
  // Copies the document's record (the frame buffer too).
  void Take(const StrDocument& doc);
  // Exchanges this record with the document's.
  void Swap(StrDocument& doc);
};

// Makes `current` the picture a decode into it would have left, given
// `decoded`, a successful decode of the same frame into another picture: the
// whole picture (exchanged), or with `halfWidth` the left half of every row
// (the right half stays as it was, or cleared when the size changed).
void AdoptDecodedPicture(FrameImage& current, FrameImage& decoded, bool halfWidth);

}  // namespace belmora
