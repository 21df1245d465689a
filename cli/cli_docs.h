// What the command line tells about itself beyond --help: the version, the
// manual page and the shell completion, all made from the commands and
// options registered on the app, so they cannot drift from --help.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace belmora::cli {

// "belmora-cli 0.1"; with `verbose`, a line per library in use.
std::string VersionText(bool verbose);
// The manual page belmora-cli(1) in roff.
std::string ManPage(const CLI::App& app);
// A bash completion script for belmora-cli.
std::string BashCompletion(const CLI::App& app);

}  // namespace belmora::cli
