#include "cli/fit_options.h"

#include <cstdio>

#include "base/messages.h"

namespace belmora::cli {

void AddFitOptions(CLI::App* cmd, FitCliOptions& o) {
  cmd->add_flag("--dry-run", o.dryRun,
                "Encode everything on a scratch copy and report; write nothing");
  cmd->add_option("--report", o.report,
                  "Write the per-frame fit report to FILE.csv or FILE.json");
}

bool FinishFit(Host& host, const FitReport& report, const FitCliOptions& o) {
  std::printf("%s\n", report.SummaryLine().c_str());
  if (o.dryRun) std::printf("%s\n", FormatMessage(msg::kDryRunDone).c_str());
  return o.report.empty() || report.Write(o.report, host);
}

}  // namespace belmora::cli
