// A front end for tests: keeps messages, answers questions as told, cancels
// after a given number of frames.
#pragma once

#include <string>
#include <vector>

#include "base/host.h"
#include "str/sector.h"

namespace belmora::test {

class RecordingHost : public Host {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, MessageKind) override {
    messages.push_back(text);
    captions.push_back(caption);
  }
  Answer Ask(const std::string& text, const std::string&, Buttons buttons) override {
    questions.push_back(text);
    if (buttons == Buttons::kYesNo) return answerYes ? Answer::kYes : Answer::kNo;
    return answerYes ? Answer::kOk : Answer::kCancel;
  }
  void BeginProgress() override { progressShown = true; }
  void Progress(const ProgressRecord& r) override {
    progress.push_back(r.Percent);
    label = ProgressLabel(r);
    bar = r.Sector / kSectorsPerSecond;
    frames++;
  }
  void EndProgress() override { progressShown = false; }
  void PreviewFrame(const FrameView&) override { framesShown++; }
  bool WantsPreviews() const override { return wantsPreviews; }
  bool CancelRequested() override { return cancelAfter >= 0 && frames >= cancelAfter; }

  std::vector<std::string> messages, captions, questions;
  std::vector<int> progress;
  std::string label;
  int bar = 0, framesShown = 0, frames = 0, cancelAfter = -1;
  bool answerYes = false, progressShown = false, wantsPreviews = true;
};

}  // namespace belmora::test
