// Shared pieces of the command-line front end.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "platform/message_sink.h"
#include "str/str_document.h"

namespace belmora::cli {

// Prints the program's messages on stderr.
class StderrSink : public MessageSink {
 public:
  int Show(const std::string& text, const std::string&) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kBoxOk;
  }
};

// The objects a command works on; one set per run, as in the application.
struct Session {
  StderrSink sink;
  AudioSectorHook hook;
  StrDocument doc{sink, &hook};
};

// Opens `path` as the viewer does (read-only for commands that only look);
// prints the viewer's message and returns false on failure.
bool OpenForViewing(Session& s, const std::string& path, bool readOnly);

// "WxH" into the width and height edits of a dialog (left alone when empty).
void SplitSize(const std::string& size, std::string& width, std::string& height);

// Each command registers itself on the app and sets `run` for main to call.
using CommandRunner = std::function<int()>;
void AddInfoCommand(CLI::App& app, CommandRunner& run);
void AddDecodeCommand(CLI::App& app, CommandRunner& run);
void AddExportWavCommand(CLI::App& app, CommandRunner& run);
void AddFrameBmpCommands(CLI::App& app, CommandRunner& run);
void AddFormatsCommand(CLI::App& app, CommandRunner& run);
void AddExportAviCommand(CLI::App& app, CommandRunner& run);
void AddImportAviCommands(CLI::App& app, CommandRunner& run);
void AddLsCommand(CLI::App& app, CommandRunner& run);

}  // namespace belmora::cli
