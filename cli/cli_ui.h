// The conversions' caller on the command line: messages on stderr, a
// progress line, answers from options, Ctrl-C to cancel.
#pragma once

#include <string>

#include "convert/conversion_ui.h"

namespace belmora::cli {

class CliConversionUi : public ConversionUi {
 public:
  CliConversionUi();
  ~CliConversionUi() override;
  int Show(const std::string& text, const std::string& caption) override;
  int Ask(const std::string& text, const std::string& caption, AskButtons buttons) override;
  void BeginProgress() override;
  void SetProgress(int percent) override;
  void EndProgress() override;
  void SetLabel(const std::string& text) override;
  void SetBarPosition(int) override {}
  void ShowFrame(const FrameImage&, bool) override {}
  void PumpMessages() override {}
  bool CancelRequested() override;

  // The answer given to every question (kBoxYes or kBoxNo, kBoxOk or kBoxCancel).
  bool AnswerYes = false;

 private:
  void PrintLine();  // the progress line, rewritten in place

  std::string label_;
  int lastPercent_ = -1;
  int signalFd_ = -1;
  bool cancelled_ = false;
};

}  // namespace belmora::cli
