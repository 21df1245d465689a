#include "cli/fit_options.h"

#include <cstdio>
#include <cstring>

#include "base/messages.h"

namespace belmora::cli {

void AddFitOptions(CLI::App* cmd, FitCliOptions& o) {
  cmd->add_flag("--dry-run", o.dryRun,
                "Encode everything on a scratch copy and report; write nothing");
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

bool ReportOutput::Finish(Host& host, const FitReport& report, const FitCliOptions& o,
                          const std::string& edited) {
  std::printf("%s\n", report.SummaryLine().c_str());
  if (o.dryRun) std::printf("%s\n", FormatMessage(msg::kDryRunDone).c_str());
  if (!part_) return true;
  const std::string text = report.Text(o.report);
  std::FILE* f = std::fopen(part_->Part().c_str(), "wb");
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  int error = ok ? 0 : errno;
  if (f && std::fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && part_->Commit(host)) return true;
  if (!ok) Show(host, msg::kWriteError, o.report.c_str(), std::strerror(error));
  if (!edited.empty()) Show(host, msg::kEditDoneReportFailed, edited.c_str(), o.report.c_str());
  return false;
}

}  // namespace belmora::cli
