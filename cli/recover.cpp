// belmora-cli recover: rolls back an edit that did not finish.
#include <cstring>

#include "cli/cli_common.h"
#include "str/disc_document.h"
#include "str/journal.h"

namespace belmora::cli {

namespace {

int RunRecover(const GlobalOptions& g, const std::string& path) {
  CliHost host(g.Quiet);
  int error = 0;
  // A disc image's journal lies beside its data file (the BIN of a cue).
  switch (RecoverJournal(FileOnDisk(path), &error)) {
    case RecoverResult::kNoJournal:
      Show(host, msg::kNoJournal, path.c_str());
      return kExitDone;
    case RecoverResult::kRolledBack:
      Show(host, msg::kRecovered, path.c_str());
      return kExitDone;
    case RecoverResult::kFailed:
      break;
  }
  Show(host, msg::kWriteError, path.c_str(), std::strerror(error));
  return kExitFailed;
}

}  // namespace

void AddRecoverCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand(
      "recover", "Put a file back as it was before an edit that did not finish (killed, failed)");
  auto path = std::make_shared<std::string>();
  cmd->add_option("FILE", *path, "STR file (or disc image) with a .belmora-journal beside it")
      ->required();
  cmd->callback([&run, path] {
    run = [path](const GlobalOptions& g) { return RunRecover(g, *path); };
  });
}

}  // namespace belmora::cli
