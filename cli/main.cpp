// belmora-cli: the STR tool's functions for scripts.
#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

int main(int argc, char** argv) {
  CLI::App app{"Belmora: STR movie files from the command line"};
  app.require_subcommand(1);
  app.fallthrough();
  belmora::cli::GlobalOptions global;
  app.add_flag("-q,--quiet", global.Quiet, "No progress line (messages still go to stderr)");
  belmora::cli::CommandRunner run;
  belmora::cli::AddInfoCommand(app, run);
  belmora::cli::AddDecodeCommand(app, run);
  belmora::cli::AddExportWavCommand(app, run);
  belmora::cli::AddFrameBmpCommands(app, run);
  belmora::cli::AddFormatsCommand(app, run);
  belmora::cli::AddExportAviCommand(app, run);
  belmora::cli::AddImportAviCommands(app, run);
  belmora::cli::AddLsCommand(app, run);
  CLI11_PARSE(app, argc, argv);
  return run ? run(global) : 1;
}
