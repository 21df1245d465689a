// belmora-cli recover: rolls back an edit that did not finish, or (with
// --discard) drops its journal and leaves the file as it is.
#include "base/input_file.h"
#include "cli/cli_common.h"
#include "str/disc_document.h"
#include "str/journal.h"

namespace belmora::cli {

namespace {

int RunRecover(const GlobalOptions& g, const std::string& path, bool discard) {
  CliHost host(g.Quiet);
  RecoverDetail detail;
  // A disc image's journal lies beside its data file (the BIN of a cue).
  const std::string disk = FileOnDisk(path);
  // Only a regular file has a journal: nothing else is opened to look.
  if (const InputStatus status = CheckRegularFile(disk);
      !status.Ok() && status.Problem != InputStatus::kSystem) {
    ShowInputProblem(host, path, status);
    return kExitFailed;
  }
  const RecoverResult result = discard ? DiscardJournal(disk, &detail) : RecoverJournal(disk, &detail);
  if (!ReportRecovery(host, path, disk, result, detail)) return kExitFailed;
  if (result == RecoverResult::kNoJournal)
    Show(host, msg::kNoJournal, path.c_str());
  else if (discard)
    Show(host, msg::kJournalDiscarded, detail.Journal.c_str(), path.c_str());
  else
    Show(host, msg::kRecovered, path.c_str());
  return kExitDone;
}

}  // namespace

void AddRecoverCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand(
      "recover", "Put a file back as it was before an edit that did not finish (killed, failed)");
  auto path = std::make_shared<std::string>();
  auto discard = std::make_shared<bool>(false);
  cmd->add_option("FILE", *path, "STR file (or disc image) left in the middle of an edit")
      ->required();
  cmd->add_flag("--discard", *discard,
                "Delete the edit's journal and keep the file as it is now (for a journal that "
                "recover refuses)");
  cmd->callback([&run, path, discard] {
    run = [path, discard](const GlobalOptions& g) { return RunRecover(g, *path, *discard); };
  });
}

}  // namespace belmora::cli
