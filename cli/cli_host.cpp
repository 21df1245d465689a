#include "cli/cli_host.h"

#include <cstdio>

#ifdef __linux__
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#endif

namespace belmora::cli {

namespace {
bool StderrIsTerminal() {
#ifdef __linux__
  return isatty(STDERR_FILENO);
#else
  return false;
#endif
}
}  // namespace

CliHost::CliHost(bool quiet) : quiet_(quiet), terminal_(StderrIsTerminal()) {}

CliHost::~CliHost() {
#ifdef __linux__
  if (signalFd_ < 0) return;
  close(signalFd_);
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigprocmask(SIG_UNBLOCK, &mask, nullptr);
#endif
}

void CliHost::CatchInterrupt() {
#ifdef __linux__
  // Ctrl-C arrives as a readable descriptor, polled after every frame.
  if (signalFd_ >= 0) return;
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  if (sigprocmask(SIG_BLOCK, &mask, nullptr) == 0) signalFd_ = signalfd(-1, &mask, SFD_NONBLOCK);
#endif
}

void CliHost::EndLine() {
  if (lineOpen_) std::fprintf(stderr, "\n");
  lineOpen_ = false;
}

void CliHost::ShowMessage(const std::string& text, const std::string&, MessageKind) {
  if (Captured) {
    Captured->push_back(text);
    return;
  }
  EndLine();
  std::fprintf(stderr, "%s\n", text.c_str());
}

Answer CliHost::Ask(const std::string& text, const std::string& caption, Buttons buttons) {
  const bool yesNo = buttons == Buttons::kYesNo;
  const char* answer = AnswerYes ? (yesNo ? "yes" : "ok") : (yesNo ? "no" : "cancel");
  EndLine();
  std::fprintf(stderr, "%s%s%s -> %s\n", caption.empty() ? "" : caption.c_str(),
               caption.empty() ? "" : ": ", text.c_str(), answer);
  return AnswerYes ? (yesNo ? Answer::kYes : Answer::kOk) : (yesNo ? Answer::kNo : Answer::kCancel);
}

void CliHost::BeginProgress() {
  lastPercent_ = lastLogged_ = -1;
}

void CliHost::Progress(const ProgressRecord& record) {
  last_ = record;
  if (quiet_ || record.Percent == lastPercent_) return;
  lastPercent_ = record.Percent;
  const std::string label = ProgressLabel(record);
  if (terminal_) {
    std::fprintf(stderr, "\r%3d%%  %s", record.Percent, label.c_str());
    lineOpen_ = true;
  } else {
    // A log or a pipe: a whole line per tenth of the way, and at the end.
    const int tenth = record.Percent / 10;
    if (tenth == lastLogged_) return;
    lastLogged_ = tenth;
    std::fprintf(stderr, "%3d%%  %s\n", record.Percent, label.c_str());
  }
  std::fflush(stderr);
}

void CliHost::EndProgress() {
  if (!quiet_ && !terminal_ && lastPercent_ >= 0 && lastPercent_ / 10 != lastLogged_)
    std::fprintf(stderr, "%3d%%  %s\n", last_.Percent, ProgressLabel(last_).c_str());
  EndLine();
  lastPercent_ = -1;
}

bool CliHost::CancelRequested() {
#ifdef __linux__
  if (!cancelled_ && signalFd_ >= 0) {
    signalfd_siginfo info;
    cancelled_ = read(signalFd_, &info, sizeof info) == ssize_t(sizeof info);
  }
#endif
  return cancelled_;
}

}  // namespace belmora::cli
