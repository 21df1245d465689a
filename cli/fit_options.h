// --dry-run and --report, shared by the commands that encode frames.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "base/host.h"
#include "convert/fit_report.h"
#include "convert/output_file.h"

namespace belmora::cli {

struct FitCliOptions {
  bool dryRun = false;
  std::string report;
  bool force = false;  // replace an existing report
  bool Wanted() const { return dryRun || !report.empty(); }
};

// Adds --dry-run and --report, and --force unless the command has its own.
void AddFitOptions(CLI::App* cmd, FitCliOptions& o);

// The report of a run. Prepared before the run: its path gets the check
// every output gets (not one of `inputs`, not a folder, an existing file
// only with --force) and its temporary file is made, so that a report that
// cannot be written stops the run before anything is edited.
class ReportOutput {
 public:
  [[nodiscard]] bool Prepare(Host& host, const FitCliOptions& o,
                             const std::vector<std::string>& inputs, bool force);
  // After the run: prints the report's summary line (and that nothing was
  // written, for a dry run) and writes the report file. False (reported)
  // when the report cannot be written; `edited` names the file the run
  // changed, whose edit the message then says is done all the same.
  [[nodiscard]] bool Finish(Host& host, const FitReport& report, const FitCliOptions& o,
                            const std::string& edited);

 private:
  std::unique_ptr<PartFile> part_;
};

}  // namespace belmora::cli
