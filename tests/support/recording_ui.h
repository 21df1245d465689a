// A conversion caller for tests: keeps messages, answers questions as told,
// cancels after a given number of frames.
#pragma once

#include <string>
#include <vector>

#include "convert/conversion_ui.h"

namespace belmora::test {

class RecordingUi : public ConversionUi {
 public:
  int Show(const std::string& text, const std::string& caption) override {
    messages.push_back(text);
    captions.push_back(caption);
    return kBoxOk;
  }
  int Ask(const std::string& text, const std::string&, AskButtons buttons) override {
    questions.push_back(text);
    if (buttons == AskButtons::kYesNo) return answerYes ? kBoxYes : kBoxNo;
    return answerYes ? kBoxOk : kBoxCancel;
  }
  void BeginProgress() override { progressShown = true; }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void EndProgress() override { progressShown = false; }
  void SetLabel(const std::string& text) override { label = text; }
  void SetBarPosition(int position) override { bar = position; }
  void ShowFrame(const FrameImage&, bool) override { framesShown++; }
  void PumpMessages() override { pumps++; }
  bool CancelRequested() override { return cancelAfter >= 0 && pumps >= cancelAfter; }

  std::vector<std::string> messages, captions, questions;
  std::vector<int> progress;
  std::string label;
  int bar = 0, framesShown = 0, pumps = 0, cancelAfter = -1;
  bool answerYes = false, progressShown = false;
};

}  // namespace belmora::test
