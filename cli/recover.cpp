// belmora-cli recover: rolls back an edit that did not finish.
#include "cli/cli_common.h"
#include "str/disc_document.h"
#include "str/journal.h"

namespace belmora::cli {

namespace {

int RunRecover(const GlobalOptions& g, const std::string& path) {
  CliHost host(g.Quiet);
  RecoverDetail detail;
  // A disc image's journal lies beside its data file (the BIN of a cue).
  const std::string disk = FileOnDisk(path);
  const RecoverResult result = RecoverJournal(disk, &detail);
  if (!ReportRecovery(host, path, disk, result, detail)) return kExitFailed;
  Show(host, result == RecoverResult::kNoJournal ? msg::kNoJournal : msg::kRecovered, path.c_str());
  return kExitDone;
}

}  // namespace

void AddRecoverCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand(
      "recover", "Put a file back as it was before an edit that did not finish (killed, failed)");
  auto path = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "STR file (or disc image) left in the middle of an edit")
      ->required();
  cmd->callback([&run, path] {
    run = [path](const GlobalOptions& g) { return RunRecover(g, *path); };
  });
}

}  // namespace belmora::cli
