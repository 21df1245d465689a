#include "cli/cli_docs.h"

#include <map>
#include <set>
#include <sstream>

#include "base/roff.h"
#include "base/version.h"
#include "platform/media_formats.h"

namespace belmora::cli {
namespace {

// Examples for the manual page: a command line and what it does.
constexpr std::pair<const char*, const char*> kExamples[] = {
    {"belmora-cli info MOVIE.STR", "Describe a movie: layout, speed, frame rate, sound channels."},
    {"belmora-cli export-avi MOVIE.STR -o movie.avi --vcodec MJPG",
     "The whole movie as an AVI with Motion JPEG pictures and PCM sound."},
    {"belmora-cli export-bmp MOVIE.STR --frame 10 -o frame.bmp", "Frame 10 as a BMP picture."},
    {"belmora-cli import-bmp MOVIE.STR --frame 10 frame.bmp",
     "The edited picture back into frame 10, in the sectors it already has."},
    {"belmora-cli import-avi MOVIE.STR edited.avi --dry-run --report fit.csv",
     "Try an import without writing anything and say how each frame would fit."},
    {"belmora-cli new NEW.STR video.mp4 --sector 2352 --speed 2",
     "A new double-speed movie of 2352-byte sectors from a video."},
    {"belmora-cli subtitle MOVIE.STR subs.srt", "Burn subtitles in, re-encoding only their frames."},
    {"belmora-cli export-wav VOICE.XA --channel 3 -o ch3.wav", "One sound channel as a WAV file."},
    {"belmora-cli ls GAME.cue", "The files of a disc image and the movies they hold."},
    {"belmora-cli --lang en check MOVIE.STR", "Check every sector, with messages in English."},
};

// What a command's positional argument names, for completion.
enum class FileKind { kNone, kDocument, kDiscImage, kVideo, kSubtitles, kBmp, kWav, kNewStr,
                      kDirectory, kAny };

FileKind KindOfPositional(const std::string& name) {
  static const std::map<std::string, FileKind> kinds = {
      {"FILE", FileKind::kDocument}, {"IMAGE", FileKind::kDiscImage},
      {"VIDEO", FileKind::kVideo},   {"SUBS", FileKind::kSubtitles},
      {"BMP", FileKind::kBmp},       {"WAV", FileKind::kWav},
      {"OUT", FileKind::kNewStr},    {"DIR", FileKind::kDirectory}};
  auto it = kinds.find(name);
  return it == kinds.end() ? FileKind::kAny : it->second;
}

// Options whose value is a file, by command ("" for every command).
FileKind KindOfOptionValue(const std::string& command, const std::string& option) {
  if (option == "--subtitles") return FileKind::kSubtitles;
  if (option == "--report") return FileKind::kAny;
  if (option == "-o" || option == "--out" || option == "--output") {
    if (command == "export-avi") return FileKind::kVideo;
    if (command == "export-bmp") return FileKind::kBmp;
    if (command == "export-wav") return FileKind::kWav;
    if (command == "decode") return FileKind::kDirectory;
    return FileKind::kAny;
  }
  return FileKind::kNone;
}

// The bash extended pattern of a kind's file names.
const char* Pattern(FileKind kind) {
  switch (kind) {
    case FileKind::kDocument: return "@(str|STR|xa|XA|cue|CUE|bin|BIN|iso|ISO)";
    case FileKind::kDiscImage: return "@(cue|CUE|bin|BIN|iso|ISO)";
    case FileKind::kVideo: return "@(avi|AVI|mp4|MP4|mkv|MKV|mov|MOV|webm|WEBM)";
    case FileKind::kSubtitles: return "@(srt|SRT|ass|ASS|ssa|SSA)";
    case FileKind::kBmp: return "@(bmp|BMP)";
    case FileKind::kWav: return "@(wav|WAV)";
    case FileKind::kNewStr: return "@(str|STR)";
    default: return "";
  }
}

bool IsFlag(const CLI::Option* o) {
  return o->get_type_size_max() == 0 || o->get_type_name().empty();
}
bool IsShown(const CLI::Option* o) { return !o->get_group().empty(); }

std::vector<const CLI::App*> Commands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* a) { return !a->get_group().empty(); });
}

std::string OptionNames(const CLI::Option* o) {
  std::string names;
  for (const auto& s : o->get_snames()) names += (names.empty() ? "" : ", ") + ("\\fB\\-" + s + "\\fR");
  for (const auto& l : o->get_lnames())
    names += (names.empty() ? "" : ", ") + ("\\fB\\-\\-" + RoffText(l) + "\\fR");
  if (!IsFlag(o)) names += " \\fI" + RoffText(o->get_type_name()) + "\\fR";
  return names;
}

std::string Usage(const CLI::App& command) {
  std::string usage = "\\fBbelmora\\-cli " + RoffText(command.get_name()) + "\\fR";
  for (const CLI::Option* o : command.get_options())
    if (o->get_positional() && !o->nonpositional()) usage += " \\fI" + RoffText(o->get_name()) + "\\fR";
  usage += " [\\fIOPTIONS\\fR]";
  return usage;
}

void OptionList(std::ostringstream& out, const CLI::App& app) {
  for (const CLI::Option* o : app.get_options()) {
    if (!IsShown(o)) continue;
    out << ".TP\n";
    out << (o->nonpositional() ? OptionNames(o) : "\\fI" + RoffText(o->get_name()) + "\\fR") << "\n";
    out << RoffText(o->get_description()) << "\n";
  }
}

}  // namespace

std::string VersionText(bool verbose) {
  std::string text = std::string("belmora-cli ") + kVersion + "\n";
  if (verbose) text += "FFmpeg " + MediaLibraryVersion() + "\n";
  return text;
}

std::string ManPage(const CLI::App& app) {
  std::ostringstream out;
  out << ".TH BELMORA\\-CLI 1 \"\" \"belmora " << kVersion << "\" \"User Commands\"\n"
      << ".SH NAME\nbelmora\\-cli \\- " << RoffText(app.get_description()) << "\n"
      << ".SH SYNOPSIS\n\\fBbelmora\\-cli\\fR [\\fIGLOBAL OPTIONS\\fR] \\fICOMMAND\\fR "
         "[\\fIARGUMENTS\\fR] [\\fIOPTIONS\\fR]\n.br\n"
      << "\\fBbelmora\\-cli \\-\\-version\\fR [\\fB\\-\\-verbose\\fR]\n"
      << ".SH DESCRIPTION\n"
      << "Opens CD\\-ROM XA \"STR\" movie files (MDEC video with interleaved XA ADPCM sound) "
         "as the viewer \\fBbelmora\\fR(1) does, and converts them to and from AVI, BMP and WAV "
         "files. Every edit is made in place, in the sectors the data already has, and "
         "journaled: an edit that does not finish is rolled back.\n"
      << ".SH GLOBAL OPTIONS\nGiven before or after the command.\n";
  OptionList(out, app);
  out << ".SH COMMANDS\n";
  for (const CLI::App* c : Commands(app)) {
    out << ".SS \"" << RoffText(c->get_name()) << "\"\n" << Usage(*c) << "\n.PP\n"
        << RoffText(c->get_description()) << "\n";
    OptionList(out, *c);
  }
  out << ".SH EXIT STATUS\n"
      << ".TP\n\\fB0\\fR\nDone.\n"
      << ".TP\n\\fB1\\fR\nFailed; the message on standard error says why.\n"
      << ".TP\n\\fB2\\fR\nBad arguments.\n"
      << ".TP\n\\fB3\\fR\nCancelled (Ctrl\\-C); what was written is kept whole.\n"
      << ".SH ENVIRONMENT\n"
      << ".TP\n\\fBLANGUAGE\\fR, \\fBLC_ALL\\fR, \\fBLC_MESSAGES\\fR, \\fBLANG\\fR\n"
         "The language of the messages: English when the first preference is English, "
         "otherwise (and for the C and POSIX locales) the program's original texts. "
         "\\fB\\-\\-lang\\fR overrides them.\n"
      << ".SH EXAMPLES\n";
  for (const auto& [line, what] : kExamples)
    out << ".TP\n\\fB" << RoffText(line) << "\\fR\n" << RoffText(what) << "\n";
  out << ".SH SEE ALSO\n\\fBbelmora\\fR(1), \\fBffmpeg\\fR(1)\n";
  return out.str();
}

std::string BashCompletion(const CLI::App& app) {
  std::ostringstream out;
  auto words = [](const CLI::App& a) {
    std::string w;
    for (const CLI::Option* o : a.get_options()) {
      if (!IsShown(o) || !o->nonpositional()) continue;
      for (const auto& s : o->get_snames()) w += " -" + s;
      for (const auto& l : o->get_lnames()) w += " --" + l;
    }
    return w;
  };
  std::string commands;
  for (const CLI::App* c : Commands(app)) commands += " " + c->get_name();
  // Options followed by a value, of any command: their values are not
  // counted among the positional arguments.
  std::set<std::string> valued;
  auto addValued = [&valued](const CLI::App& a) {
    for (const CLI::Option* o : a.get_options()) {
      if (!o->nonpositional() || IsFlag(o)) continue;
      for (const auto& s : o->get_snames()) valued.insert("-" + s);
      for (const auto& l : o->get_lnames()) valued.insert("--" + l);
    }
  };
  addValued(app);
  for (const CLI::App* c : Commands(app)) addValued(*c);
  std::string valuedWords;
  for (const std::string& v : valued) valuedWords += " " + v;
  out << "# bash completion for belmora-cli (made by belmora-cli itself)\n"
      << "_belmora_cli_files() {\n"
      << "  # $1: an extended pattern of extensions, \"dir\" or empty for any file\n"
      << "  local IFS=$'\\n'\n"
      << "  if [[ $1 == dir ]]; then COMPREPLY=($(compgen -d -- \"$cur\"));\n"
      << "  elif [[ -n $1 ]]; then\n"
      << "    local x; x=$(shopt -p extglob); shopt -s extglob\n"
      << "    COMPREPLY=($(compgen -d -- \"$cur\") $(compgen -f -X \"!*.$1\" -- \"$cur\"))\n"
      << "    eval \"$x\"\n"
      << "  else COMPREPLY=($(compgen -f -- \"$cur\")); fi\n"
      << "  compopt -o filenames 2>/dev/null\n"
      << "}\n"
      << "_belmora_cli() {\n"
      << "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      << "  local cmd='' i npos=0 valued='" << valuedWords << " '\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    case ${COMP_WORDS[i]} in\n"
      << "      -*) [[ $valued == *\" ${COMP_WORDS[i]} \"* ]] && ((i++)) ;;\n"
      << "      *) if [[ -z $cmd ]]; then cmd=${COMP_WORDS[i]}; else ((npos++)); fi ;;\n"
      << "    esac\n"
      << "  done\n"
      << "  if [[ $prev == --lang ]]; then COMPREPLY=($(compgen -W 'en original' -- \"$cur\")); "
         "return; fi\n"
      << "  local global='" << words(app) << "'\n"
      << "  if [[ -z $cmd ]]; then\n"
      << "    COMPREPLY=($(compgen -W \"" << commands << " $global\" -- \"$cur\")); return\n"
      << "  fi\n"
      << "  case $cmd in\n";
  for (const CLI::App* c : Commands(app)) {
    const std::string name = c->get_name();
    out << "    " << name << ")\n      case $prev in\n";
    std::set<std::string> valueless;
    for (const CLI::Option* o : c->get_options()) {
      if (!o->nonpositional() || IsFlag(o) || !IsShown(o)) continue;
      std::string alts;
      for (const auto& s : o->get_snames()) alts += (alts.empty() ? "-" : "|-") + s;
      for (const auto& l : o->get_lnames()) alts += (alts.empty() ? "--" : "|--") + l;
      FileKind kind = FileKind::kNone;
      for (const auto& l : o->get_lnames())
        if (kind == FileKind::kNone) kind = KindOfOptionValue(name, "--" + l);
      for (const auto& s : o->get_snames())
        if (kind == FileKind::kNone) kind = KindOfOptionValue(name, "-" + s);
      if (kind == FileKind::kNone) {
        out << "        " << alts << ") return ;;\n";
      } else {
        out << "        " << alts << ") _belmora_cli_files '"
            << (kind == FileKind::kDirectory ? "dir" : Pattern(kind)) << "'; return ;;\n";
      }
    }
    out << "      esac\n"
        << "      if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W '" << words(*c)
        << "' -- \"$cur\")); return; fi\n"
        << "      case $npos in\n";
    int index = 0;
    for (const CLI::Option* o : c->get_options()) {
      if (o->nonpositional() || !o->get_positional()) continue;
      const FileKind kind = KindOfPositional(o->get_name());
      out << "        " << index++ << ") _belmora_cli_files '"
          << (kind == FileKind::kDirectory ? "dir" : Pattern(kind)) << "' ;;\n";
    }
    out << "      esac ;;\n";
  }
  out << "  esac\n"
      << "}\n"
      << "complete -F _belmora_cli belmora-cli\n";
  return out.str();
}

}  // namespace belmora::cli
