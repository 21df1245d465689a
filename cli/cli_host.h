// The core's front end on the command line: messages on stderr, progress as
// a line on stderr, questions answered as the options say, Ctrl-C to cancel.
#pragma once

#include <string>
#include <vector>

#include "base/host.h"

namespace belmora::cli {

class CliHost : public Host {
 public:
  explicit CliHost(bool quiet = false);
  ~CliHost() override;
  CliHost(const CliHost&) = delete;
  CliHost& operator=(const CliHost&) = delete;

  void ShowMessage(const std::string& text, const std::string& caption,
                   MessageKind kind) override;
  Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) override;
  void BeginProgress() override;
  void Progress(const ProgressRecord& record) override;
  void EndProgress() override;
  bool CancelRequested() override;
  bool WantsPreviews() const override { return false; }

  // From now on Ctrl-C asks the running operation to stop after the frame
  // it is working on, instead of ending the program.
  void CatchInterrupt();
  // The answer given to every question: yes (or OK) when set.
  bool AnswerYes = false;
  // While set, messages are kept there instead of being printed (to be
  // shown with a file's name).
  std::vector<std::string>* Captured = nullptr;

 private:
  void EndLine();

  const bool quiet_;
  const bool terminal_;  // stderr is a terminal: one line rewritten in place
  bool lineOpen_ = false;
  int lastPercent_ = -1;
  int lastLogged_ = -1;  // last tenth logged on a non-terminal
  ProgressRecord last_;
  int signalFd_ = -1;
  bool cancelled_ = false;
};

}  // namespace belmora::cli
