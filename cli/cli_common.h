// Shared pieces of the command-line front end.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "base/messages.h"
#include "cli/cli_host.h"
#include "str/str_document.h"

namespace belmora::cli {

// Options every command takes.
struct GlobalOptions {
  bool Quiet = false;  // no progress line
};

// The objects a command works on; one set per run, as in the application.
struct Session {
  explicit Session(const GlobalOptions& g) : host(g.Quiet) {}
  CliHost host;
  AudioSectorHook hook;
  StrDocument doc{host, &hook};
};

// Opens `path` as the viewer does (read-only for commands that only look);
// prints the viewer's message and returns false on failure.
bool OpenForViewing(Session& s, const std::string& path, bool readOnly);

// "WxH"; nullopt when the text is not two numbers around an x.
std::optional<std::pair<int, int>> ParseSize(const std::string& size);

// Each command registers itself on the app and sets `run` for main to call.
using CommandRunner = std::function<int(const GlobalOptions&)>;
void AddInfoCommand(CLI::App& app, CommandRunner& run);
void AddDecodeCommand(CLI::App& app, CommandRunner& run);
void AddExportWavCommand(CLI::App& app, CommandRunner& run);
void AddFrameBmpCommands(CLI::App& app, CommandRunner& run);
void AddFormatsCommand(CLI::App& app, CommandRunner& run);
void AddExportAviCommand(CLI::App& app, CommandRunner& run);
void AddImportAviCommands(CLI::App& app, CommandRunner& run);
void AddLsCommand(CLI::App& app, CommandRunner& run);

}  // namespace belmora::cli
