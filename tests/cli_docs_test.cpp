// The command line's version, manual page and shell completion, checked
// against what --help says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "base/version.h"
#include "tests/support/run.h"
#include "tests/support/str_builder.h"

namespace belmora {
namespace {

using test::RunCommand;

std::string Unroff(std::string text) {
  for (size_t at; (at = text.find("\\-")) != std::string::npos;) text.replace(at, 2, "-");
  return text;
}

// The commands --help lists.
std::vector<std::string> Commands() {
  const auto help = RunCommand({BELMORA_CLI, "--help"});
  std::vector<std::string> commands;
  const size_t start = help.Out.find("Subcommands:");
  std::istringstream lines(help.Out.substr(start == std::string::npos ? 0 : start));
  std::string line;
  std::getline(lines, line);
  std::smatch m;
  while (std::getline(lines, line))
    if (std::regex_search(line, m, std::regex(R"(^  ([a-z][a-z-]*)\s)"))) commands.push_back(m[1]);
  return commands;
}

TEST(CliDocsTest, VersionAndManPageCoverEveryCommandAndOption) {
  const auto version = RunCommand({BELMORA_CLI, "--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out, std::string("belmora-cli ") + kVersion + "\n");
  const auto verbose = RunCommand({BELMORA_CLI, "--version", "--verbose"});
  EXPECT_EQ(verbose.Status, 0);
  EXPECT_NE(verbose.Out.find("FFmpeg "), std::string::npos) << verbose.Out;

  const auto man = RunCommand({BELMORA_CLI, "--man-page"});
  ASSERT_EQ(man.Status, 0);
  const std::string page = Unroff(man.Out);
  for (const char* section : {".SH SYNOPSIS", ".SH COMMANDS", ".SH EXIT STATUS", ".SH EXAMPLES"})
    EXPECT_NE(page.find(section), std::string::npos) << section;
  const auto commands = Commands();
  ASSERT_GE(commands.size(), 15u);
  for (const std::string& c : commands) {
    const size_t at = page.find(".SS \"" + c + "\"");
    ASSERT_NE(at, std::string::npos) << c;
    const size_t end = page.find(".SS", at + 1);
    const std::string section = page.substr(at, end - at);
    const auto help = RunCommand({BELMORA_CLI, c, "--help"});
    std::smatch m;
    std::string rest = help.Out;
    while (std::regex_search(rest, m, std::regex(R"(\s(--[a-z][a-z-]*))"))) {
      EXPECT_NE(section.find(m[1].str()), std::string::npos) << c << " " << m[1];
      rest = m.suffix();
    }
  }
  if (test::HaveTool("man")) {
    const std::string file = test::TempPath("belmora-cli.1");
    std::ofstream(file) << man.Out;
    const auto shown = RunCommand({"sh", "-c", "MANWIDTH=80 man -l " + file + " 2>&1 >/dev/null"});
    EXPECT_EQ(shown.Out, "") << "man's warnings";
    std::filesystem::remove(file);
  }
}

TEST(CliDocsTest, BashCompletionOffersCommandsOptionsAndFilesOfTheirKind) {
  if (!test::HaveTool("bash")) GTEST_SKIP() << "no bash";
  const std::string dir = test::TempPath("completion");
  std::filesystem::create_directories(dir + "/sub");
  for (const char* f : {"a.str", "b.XA", "c.avi", "d.mp4", "e.srt", "f.ass", "g.txt", "h.cue"})
    std::ofstream(dir + "/" + f) << "x";
  const std::string script = dir + "/belmora-cli.bash";
  ASSERT_EQ(RunCommand({"sh", "-c", std::string(BELMORA_CLI) + " --bash-completion > " + script})
                .Status,
            0);
  struct Case {
    std::string Line;  // the words typed so far; the last one is being completed
    std::set<std::string> Expected;
  };
  const Case cases[] = {
      {"belmora-cli impo", {"import-avi", "import-bmp", "import-wav"}},
      {"belmora-cli info ", {"a.str", "b.XA", "h.cue", "sub/"}},
      {"belmora-cli import-avi a.str ", {"c.avi", "d.mp4", "sub/"}},
      {"belmora-cli new OUT.str ", {"c.avi", "d.mp4", "sub/"}},
      {"belmora-cli subtitle a.str ", {"e.srt", "f.ass", "sub/"}},
      {"belmora-cli ls ", {"h.cue", "sub/"}},
      {"belmora-cli export-avi a.str -o ", {"c.avi", "d.mp4", "sub/"}},
      {"belmora-cli --lang ", {"en", "original"}},
      {"belmora-cli info a.str --j", {"--json"}},
  };
  for (const Case& c : cases) {
    const std::string program =
        "cd " + dir + " && source " + script +
        " && COMP_LINE='" + c.Line + "' && read -ra COMP_WORDS <<< \"$COMP_LINE\"" +
        " && [[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('');" +
        " COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _belmora_cli;" +
        " for w in \"${COMPREPLY[@]}\"; do [[ -d $w ]] && w=$w/; echo \"$w\"; done";
    const auto r = RunCommand({"bash", "-c", program});
    EXPECT_EQ(r.Err, "") << c.Line;
    std::set<std::string> got;
    std::istringstream words(r.Out);
    for (std::string w; std::getline(words, w);) got.insert(w);
    EXPECT_EQ(got, c.Expected) << c.Line;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace belmora
