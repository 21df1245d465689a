#include "cli/cli_ui.h"

#include <cstdio>

#ifdef __linux__
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>
#endif

namespace belmora::cli {

CliConversionUi::CliConversionUi() {
#ifdef __linux__
  // Ctrl-C arrives as a readable descriptor, polled after every frame.
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  if (sigprocmask(SIG_BLOCK, &mask, nullptr) == 0) signalFd_ = signalfd(-1, &mask, SFD_NONBLOCK);
#endif
}

CliConversionUi::~CliConversionUi() {
#ifdef __linux__
  if (signalFd_ >= 0) close(signalFd_);
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGINT);
  sigprocmask(SIG_UNBLOCK, &mask, nullptr);
#endif
}

int CliConversionUi::Show(const std::string& text, const std::string&) {
  if (lastPercent_ >= 0) std::fprintf(stderr, "\n");
  std::fprintf(stderr, "%s\n", text.c_str());
  return kBoxOk;
}

int CliConversionUi::Ask(const std::string& text, const std::string& caption, AskButtons buttons) {
  const bool yesNo = buttons == AskButtons::kYesNo;
  const char* answer = AnswerYes ? (yesNo ? "yes" : "ok") : (yesNo ? "no" : "cancel");
  std::fprintf(stderr, "%s%s%s -> %s\n", caption.empty() ? "" : caption.c_str(),
               caption.empty() ? "" : ": ", text.c_str(), answer);
  return AnswerYes ? (yesNo ? kBoxYes : kBoxOk) : (yesNo ? kBoxNo : kBoxCancel);
}

void CliConversionUi::BeginProgress() {
  lastPercent_ = -1;
}

void CliConversionUi::SetProgress(int percent) {
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  PrintLine();
}

void CliConversionUi::PrintLine() {
  std::fprintf(stderr, "\r%3d%%  %s", lastPercent_, label_.c_str());
  std::fflush(stderr);
}

void CliConversionUi::SetLabel(const std::string& text) {
  label_ = text;
  if (lastPercent_ >= 0) PrintLine();
}

void CliConversionUi::EndProgress() {
  if (lastPercent_ >= 0) std::fprintf(stderr, "\n");
  lastPercent_ = -1;
}

bool CliConversionUi::CancelRequested() {
#ifdef __linux__
  if (!cancelled_ && signalFd_ >= 0) {
    signalfd_siginfo info;
    cancelled_ = read(signalFd_, &info, sizeof info) == ssize_t(sizeof info);
  }
#endif
  return cancelled_;
}

}  // namespace belmora::cli
