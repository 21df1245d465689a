// --dry-run and --report, shared by the commands that encode frames.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "base/host.h"
#include "convert/fit_report.h"

namespace belmora::cli {

struct FitCliOptions {
  bool dryRun = false;
  std::string report;
  bool Wanted() const { return dryRun || !report.empty(); }
};

void AddFitOptions(CLI::App* cmd, FitCliOptions& o);

// After a run: prints the report's summary line (and that nothing was
// written, for a dry run) and writes the report file. False (reported) when
// the report cannot be written.
bool FinishFit(Host& host, const FitReport& report, const FitCliOptions& o);

}  // namespace belmora::cli
