// Shared pieces of the command-line front end.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/status.h"
#include "cli/cli_host.h"
#include "convert/frame_codec.h"
#include "str/str_document.h"

namespace belmora::cli {

// What the program's exit status says.
enum ExitCode : int { kExitDone = 0, kExitFailed = 1, kExitBadArguments = 2, kExitCancelled = 3 };
inline constexpr const char* kExitCodesHelp =
    "Exit status: 0 done, 1 failed (the message says why), 2 bad arguments, 3 cancelled (Ctrl-C; "
    "what was written is kept whole).";
// The exit status of a command that ended as `s` says.
inline ExitCode ExitCodeOf(Status s) {
  return s == Status::kOk ? kExitDone : s == Status::kCancelled ? kExitCancelled : kExitFailed;
}

// Options every command takes.
struct GlobalOptions {
  bool Quiet = false;  // no progress line
  int Movie = 1;       // which movie of the file, from 1
  bool SkipDamaged = false;  // imports leave frames that lack sectors as they are
};

// The objects a command works on; one set per run, as in the application.
struct Session {
  explicit Session(const GlobalOptions& g)
      : host(g.Quiet), movie(g.Movie), skipDamaged(g.SkipDamaged) {}
  CliHost host;
  int movie;
  bool skipDamaged;
  AudioSectorHook hook;
  StrDocument doc{host, &hook};
};

// Opens `path` as the viewer does (read-only for commands that only look)
// and chooses the session's movie, saying which when there are several;
// prints the viewer's message and returns false on failure.
bool OpenForViewing(Session& s, const std::string& path, OpenMode mode);
bool OpenForViewing(Session& s, const std::string& path, bool readOnly);
// Shows why `path` could not be opened: what the opener said (in `said`),
// with the file's name where the text does not hold it, else the system's
// reason for `error` (0: no frame was found).
void ShowOpenFailure(Host& host, const std::string& path, const std::vector<std::string>& said,
                     int error);
// How an edit opens its file: for a trial (--dry-run) or for real.
inline OpenMode EditMode(bool dryRun) { return dryRun ? OpenMode::kTrial : OpenMode::kEdit; }

// What info shows first of every file, STR or sound only: where it is and
// how its sectors are laid out.
void AddLayoutJson(nlohmann::ordered_json& j, const StrDocument& doc);
void PrintLayout(const StrDocument& doc);

// JSON text, indented; bytes that are not UTF-8 (a path may hold any) are
// written as U+FFFD instead of ending the program.
std::string JsonText(const nlohmann::ordered_json& j);

// "WxH"; nullopt when the text is not two numbers around an x.
std::optional<std::pair<int, int>> ParseSize(const std::string& size);

// Argument checks: each prints what is wrong and returns false.
bool CheckRange(const char* option, long long value, long long low, long long high);
// --from and --to as sectors of the open file (either may be -1: not given).
bool CheckSectorRange(const StrDocument& doc, int from, int to);
// An output the command may write: not an input, not a folder, and (without
// --force) not an existing file.
bool CheckOutput(Host& host, const std::string& out, const std::vector<std::string>& inputs,
                 bool force);

// Each command registers itself on the app and sets `run` for main to call.
using CommandRunner = std::function<int(const GlobalOptions&)>;
void AddInfoCommand(CLI::App& app, CommandRunner& run);
void AddDecodeCommand(CLI::App& app, CommandRunner& run);
void AddExportWavCommand(CLI::App& app, CommandRunner& run);
void AddFrameBmpCommands(CLI::App& app, CommandRunner& run);
void AddFormatsCommand(CLI::App& app, CommandRunner& run);
void AddExportAviCommand(CLI::App& app, CommandRunner& run);
void AddImportAviCommands(CLI::App& app, CommandRunner& run);
void AddRecoverCommand(CLI::App& app, CommandRunner& run);
void AddCheckCommand(CLI::App& app, CommandRunner& run);
void AddLsCommand(CLI::App& app, CommandRunner& run);
// The translator's commands.
void AddSubtitleCommand(CLI::App& app, CommandRunner& run);
void AddImportWavCommand(CLI::App& app, CommandRunner& run);
void AddExportFramesCommand(CLI::App& app, CommandRunner& run);

}  // namespace belmora::cli
