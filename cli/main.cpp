// belmora-cli: the STR tool's functions for scripts.
#include <CLI/CLI.hpp>
#include <csignal>
#include <thread>

#include "cli/cli_common.h"
#include "platform/media_formats.h"

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
  // The commands that read or write video load FFmpeg's libraries on a
  // thread of their own while the STR file is opened and scanned.
  std::thread preload;
  for (const char* name : {"export-avi", "import-avi", "new", "subtitle"})
    if (app.got_subcommand(name)) preload = std::thread(belmora::PreloadMediaLibraries);
  const int code = run ? run(global) : belmora::cli::kExitBadArguments;
  if (preload.joinable()) preload.join();
  return code;
}
