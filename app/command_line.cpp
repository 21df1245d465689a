#include "app/command_line.h"

#include <QtGlobal>
#include <cstdio>
#include <cstring>

#include "base/roff.h"
#include "base/version.h"
#include "platform/media_formats.h"

namespace belmora::app {
namespace {

struct OptionHelp {
  const char* Names;
  const char* Value;
  const char* Text;
};

constexpr OptionHelp kOptions[] = {
    {"--lang", "en|original",
     "Language of the windows and messages: English, or the program's original texts. "
     "Overrides the locale and the choice made in the view menu."},
    {"--version", nullptr, "Print the version and exit."},
    {"--verbose", nullptr, "With --version: also the Qt and FFmpeg versions in use."},
    {"-h, --help", nullptr, "Print this help and exit."},
};

constexpr const char* kSummary = "STR movie viewer and converter";
constexpr const char* kDescription =
    "Opens a CD-ROM XA \"STR\" movie file (MDEC video with interleaved XA ADPCM sound), shows "
    "its frames one at a time, and converts a selection of them to an AVI file, a video into "
    "the movie (in place, in the sectors its frames already have), a frame to and from a BMP "
    "picture; it also makes new STR files from a video. Every function is also available to "
    "scripts through belmora-cli(1).";

bool Is(const char* arg, const char* name) { return std::strcmp(arg, name) == 0; }

}  // namespace

AppArguments ParseAppArguments(const QStringList& arguments) {
  AppArguments a;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments.at(i);
    QString value;
    if (arg == "--lang") {
      if (i + 1 >= arguments.size()) {
        a.Error = "--lang needs a value: en or original";
        continue;
      }
      value = arguments.at(++i);
    } else if (arg.startsWith("--lang=")) {
      value = arg.mid(7);
    } else if (arg == "--verbose") {
      continue;
    } else {
      if (a.File.isEmpty()) a.File = arg;
      continue;
    }
    a.Lang = ParseLanguage(value.toStdString());
    if (!a.Lang) a.Error = "--lang " + value.toStdString() + ": must be en or original";
  }
  return a;
}

std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
  bool version = false, verbose = false;
  for (int i = 1; i < argc; ++i) {
    if (Is(argv[i], "--help") || Is(argv[i], "-h")) {
      std::fputs(AppHelpText().c_str(), stdout);
      return 0;
    }
    if (Is(argv[i], "--man-page")) {
      std::fputs(AppManPage().c_str(), stdout);
      return 0;
    }
    version = version || Is(argv[i], "--version");
    verbose = verbose || Is(argv[i], "--verbose");
  }
  if (!version) return std::nullopt;
  std::fputs(AppVersionText(verbose).c_str(), stdout);
  return 0;
}

std::string AppHelpText() {
  std::string text = std::string("belmora: ") + kSummary + "\nUsage: belmora [OPTIONS] [FILE]\n\n" +
                     "FILE: an STR or XA file (or a file inside a disc image) to open.\n\nOptions:\n";
  for (const OptionHelp& o : kOptions) {
    std::string names = std::string("  ") + o.Names + (o.Value ? std::string(" ") + o.Value : "");
    names.resize(std::max<size_t>(names.size() + 2, 26), ' ');
    text += names + o.Text + "\n";
  }
  text += "\nExit status: 0 when the window was closed, 1 when the program could not start, "
          "2 bad arguments.\n";
  return text;
}

std::string AppVersionText(bool verbose) {
  std::string text = std::string("belmora ") + kVersion + "\n";
  if (verbose) {
    text += std::string("Qt ") + qVersion() + "\n";
    text += "FFmpeg " + MediaLibraryVersion() + "\n";
  }
  return text;
}

std::string AppManPage() {
  std::string page = std::string(".TH BELMORA 1 \"\" \"belmora ") + kVersion +
                     "\" \"User Commands\"\n.SH NAME\nbelmora \\- " + RoffText(kSummary) +
                     "\n.SH SYNOPSIS\n\\fBbelmora\\fR [\\fB\\-\\-lang\\fR \\fIen\\fR|"
                     "\\fIoriginal\\fR] [\\fIFILE\\fR]\n.br\n\\fBbelmora \\-\\-version\\fR "
                     "[\\fB\\-\\-verbose\\fR]\n.SH DESCRIPTION\n" +
                     RoffText(kDescription) + "\n.SH OPTIONS\n";
  for (const OptionHelp& o : kOptions) {
    page += ".TP\n\\fB" + RoffText(o.Names) + "\\fR";
    if (o.Value) page += " \\fI" + RoffText(o.Value) + "\\fR";
    page += "\n" + RoffText(o.Text) + "\n";
  }
  page +=
      ".SH EXIT STATUS\n.TP\n\\fB0\\fR\nThe window was closed.\n.TP\n\\fB1\\fR\nThe program "
      "could not start.\n.TP\n\\fB2\\fR\nBad arguments.\n"
      ".SH ENVIRONMENT\n.TP\n\\fBLANGUAGE\\fR, \\fBLC_ALL\\fR, \\fBLC_MESSAGES\\fR, "
      "\\fBLANG\\fR\nThe language of the windows and messages: English when the first "
      "preference is English, otherwise (and for the C and POSIX locales) the program's "
      "original texts, Portuguese captions and Japanese messages. A language chosen in the "
      "view menu is remembered and takes precedence; \\fB\\-\\-lang\\fR takes precedence over "
      "both.\n"
      ".SH FILES\n.TP\n\\fI~/.config/Belmora/Belmora.conf\\fR\nThe remembered settings.\n"
      ".SH EXAMPLES\n.TP\n\\fBbelmora MOVIE.STR\\fR\nOpen a movie.\n"
      ".TP\n\\fBbelmora \\-\\-lang en\\fR\nStart with English texts.\n"
      ".TP\n\\fBbelmora GAME.cue::/MOVIE/OPENING.STR\\fR\nOpen a movie inside a disc image.\n"
      ".SH SEE ALSO\n\\fBbelmora\\-cli\\fR(1)\n";
  return page;
}

}  // namespace belmora::app
