#include "cli/fit_options.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/messages.h"

namespace belmora::cli {

void AddFitOptions(CLI::App* cmd, FitCliOptions& o) {
  cmd->add_flag("--dry-run", o.dryRun,
                "Encode everything as the run would and report; write nothing to the file");
  cmd->add_option("--report", o.report,
                  "Write the per-frame fit report to FILE.csv or FILE.json");
  if (!cmd->get_option_no_throw("--force"))
    cmd->add_flag("--force", o.force, "Replace an existing report file");
}

bool ReportOutput::Prepare(Host& host, const FitCliOptions& o,
                           const std::vector<std::string>& inputs, bool force) {
  if (o.report.empty()) return true;
  if (!CheckOutputPath(host, o.report, inputs, force || o.force)) return false;
  part_ = std::make_unique<PartFile>(o.report);
  return part_->Create(host);
}

bool ReportOutput::Write(Host& host, const FitReport& report, const FitCliOptions& o) {
  if (!part_ || written_) return true;
  const std::string text = report.Text(o.report);
  const int fd = ::open(part_->Part().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
  bool ok = fd >= 0;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      ok = false;
    } else {
      done += size_t(n);
    }
  }
  const int error = ok ? 0 : errno;
  if (fd >= 0) ::close(fd);
  if (!ok) {
    Show(host, msg::kWriteError, o.report.c_str(), std::strerror(error));
    return false;
  }
  written_ = true;
  return true;
}

void ReportOutput::WriteBeforeCommit(StrDocument& doc, Host& host, const FitReport& report,
                                     const FitCliOptions& o) {
  if (!part_ || o.dryRun) return;
  doc.BeforeCommit = [this, &host, &report, &o] { return Write(host, report, o); };
}

bool ReportOutput::Finish(Host& host, const FitReport& report, const FitCliOptions& o,
                          const std::string& edited) {
  std::printf("%s\n", report.SummaryLine().c_str());
  if (o.dryRun) std::printf("%s\n", FormatMessage(msg::kDryRunDone).c_str());
  if (!part_) return true;
  if (Write(host, report, o) && part_->Commit(host)) return true;
  if (!edited.empty()) Show(host, msg::kEditDoneReportFailed, edited.c_str(), o.report.c_str());
  return false;
}

}  // namespace belmora::cli
