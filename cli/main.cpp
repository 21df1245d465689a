// belmora-cli: the STR tool's functions for scripts.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "base/language.h"
#include "base/messages.h"
#include "cli/cli_common.h"
#include "cli/cli_docs.h"

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
  std::string lang;
  app.add_option("--lang", lang,
                 "Language of the messages: en (English) or original (the program's own "
                 "texts); by default from LANGUAGE, LC_ALL, LC_MESSAGES, LANG")
      ->check(CLI::IsMember({"en", "original"}));
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
  // Listed for --help; answered below, before parsing.
  bool versionFlag = false, verboseFlag = false;
  app.add_flag("--version", versionFlag, "Print the version and exit");
  app.add_flag("--verbose", verboseFlag, "With --version: also the FFmpeg version in use");
  // The manual page and the shell completion, written when building.
  app.add_flag("--man-page")->group("");
  app.add_flag("--bash-completion")->group("");
  // These need no command: answered before parsing, which asks for one.
  bool version = false, verbose = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--man-page") == 0) {
      std::fputs(belmora::cli::ManPage(app).c_str(), stdout);
      return belmora::cli::kExitDone;
    }
    if (std::strcmp(argv[i], "--bash-completion") == 0) {
      std::fputs(belmora::cli::BashCompletion(app).c_str(), stdout);
      return belmora::cli::kExitDone;
    }
    version = version || std::strcmp(argv[i], "--version") == 0;
    verbose = verbose || std::strcmp(argv[i], "--verbose") == 0;
  }
  if (version) {
    std::fputs(belmora::cli::VersionText(verbose).c_str(), stdout);
    return belmora::cli::kExitDone;
  }
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
  belmora::SetLanguage(lang.empty() ? belmora::LanguageFromEnvironment()
                                    : *belmora::ParseLanguage(lang));
  if (!run) return belmora::cli::kExitBadArguments;
  // Memory that runs out is a message: what the command began is undone on
  // the way here (an edit not committed rolls back).
  try {
    return run(global);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  std::fprintf(stderr, "%s\n", belmora::Tr(belmora::msg::kOutOfMemory.Text));
  return belmora::cli::kExitFailed;
}
