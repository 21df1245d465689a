// belmora-cli: the STR tool's functions for scripts.
#include <CLI/CLI.hpp>
#include <csignal>

#include "cli/cli_common.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
  // Past a file-size limit a write fails with EFBIG and is reported, rather
  // than the signal ending the program mid-write.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  CLI::App app{"Belmora: STR movie files from the command line"};
  app.require_subcommand(1);
  app.fallthrough();
  belmora::cli::GlobalOptions global;
  app.add_flag("-q,--quiet", global.Quiet, "No progress line (messages still go to stderr)");
  app.add_option("--movie", global.Movie,
                 "Which movie of a file that holds several (from 1, in file order; default 1)")
      ->check(CLI::PositiveNumber);
  app.add_flag("--skip-damaged", global.SkipDamaged,
               "Imports leave frames that lack sectors as they are (else they refuse them)");
  belmora::cli::CommandRunner run;
  belmora::cli::AddInfoCommand(app, run);
  belmora::cli::AddDecodeCommand(app, run);
  belmora::cli::AddExportWavCommand(app, run);
  belmora::cli::AddFrameBmpCommands(app, run);
  belmora::cli::AddFormatsCommand(app, run);
  belmora::cli::AddExportAviCommand(app, run);
  belmora::cli::AddImportAviCommands(app, run);
  belmora::cli::AddLsCommand(app, run);
  belmora::cli::AddRecoverCommand(app, run);
  belmora::cli::AddCheckCommand(app, run);
  belmora::cli::AddSubtitleCommand(app, run);
  belmora::cli::AddImportWavCommand(app, run);
  belmora::cli::AddExportFramesCommand(app, run);
  app.footer(belmora::cli::kExitCodesHelp);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return belmora::cli::kExitBadArguments;
  }
  return run ? run(global) : belmora::cli::kExitBadArguments;
}
