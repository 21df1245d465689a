// --dry-run and --report, shared by the commands that encode frames.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "base/host.h"
#include "convert/fit_report.h"
#include "convert/output_file.h"
#include "str/str_document.h"

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
  // Has the report written into its temporary file when the edit of `doc`
  // is complete and before it is made final: a report that cannot be
  // written then undoes the edit, and a second run does it once only.
  void WriteBeforeCommit(StrDocument& doc, Host& host, const FitReport& report,
                         const FitCliOptions& o);
  // After the run: prints the report's summary line (and that nothing was
  // written, for a dry run), writes the report file when that is not done
  // yet, and puts it in place. False (reported) when the report cannot be
  // written; `edited` names the file the run changed, whose edit the
  // message then says is done all the same.
  [[nodiscard]] bool Finish(Host& host, const FitReport& report, const FitCliOptions& o,
                            const std::string& edited);

 private:
  // Writes the text into the temporary file; false (reported) on failure.
  bool Write(Host& host, const FitReport& report, const FitCliOptions& o);

  std::unique_ptr<PartFile> part_;
  bool written_ = false;
};

}  // namespace belmora::cli
