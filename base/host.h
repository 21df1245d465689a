// The one interface through which the core reaches its front end: messages,
// questions with typed answers, progress, a preview of the frame being worked
// on, and cancelling. The desktop application, the command line and the tests
// each implement it.
//
// Threading: the core calls a host from one thread at a time, the thread the
// operation runs on. A front end may run an operation on a worker thread; its
// host then carries each call over to its window thread and waits for it to
// finish there before returning, so a call returns only when its effect is
// done (an answer is known, a preview has been copied). Nothing a call is given
// may be kept past its return: texts are copied, a FrameView is valid only for
// the call. CancelRequested may be asked from the worker directly and must be
// cheap; Progress is where a front end that runs operations on its own thread
// lets waiting window events run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/frame_view.h"

namespace belmora {

enum class MessageKind { kInformation, kWarning, kQuestion, kError };
enum class Buttons { kYesNo, kOkCancel };
enum class Answer { kYes, kNo, kOk, kCancel };

// The state of a long operation after one more frame.
struct ProgressRecord {
  int Percent = 0;           // 0 to 100
  int32_t Sector = 0;        // first sector of the frame just done
  uint32_t FrameNumber = 0;  // its frame number
};

class Host {
 public:
  virtual ~Host() = default;
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           MessageKind kind) = 0;
  virtual Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) = 0;
  // A long operation: begun (the front end shows its progress and keeps
  // other commands away), one record per frame, ended.
  virtual void BeginProgress() {}
  virtual void Progress(const ProgressRecord&) {}
  virtual void EndProgress() {}
  virtual void PreviewFrame(const FrameView&) {}
  // False for a front end that shows no previews: the core then need not
  // make the pictures it would show.
  virtual bool WantsPreviews() const { return true; }
  virtual bool CancelRequested() { return false; }
};

// Formats printf-style into at most 1024 bytes (longer texts are cut) and
// shows the result as an ordinary message.
void MessageBoxF(Host& host, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The main window's label for a frame of a running conversion.
std::string ProgressLabel(const ProgressRecord& record);

// A host that keeps every message and answers every question the same way;
// for work nobody watches, and for tests.
class CollectingHost : public Host {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, MessageKind) override {
    texts.push_back(text);
    captions.push_back(caption);
  }
  Answer Ask(const std::string& text, const std::string&, Buttons buttons) override {
    questions.push_back(text);
    if (buttons == Buttons::kYesNo) return answerYes ? Answer::kYes : Answer::kNo;
    return answerYes ? Answer::kOk : Answer::kCancel;
  }
  std::vector<std::string> texts, captions, questions;
  bool answerYes = false;
};

}  // namespace belmora
