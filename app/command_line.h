// The application's command line: [--lang en|original] [FILE], and the
// requests answered without a window (--help, --version [--verbose],
// --man-page). One table of options serves --help and the manual page.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "base/language.h"

namespace belmora::app {

struct AppArguments {
  std::optional<Language> Lang;  // --lang, when given
  QString File;                  // the STR file to open, when given
  std::string Error;             // what is wrong with the arguments ("" when nothing)
};

// `arguments` as the application has them (the program's name first).
AppArguments ParseAppArguments(const QStringList& arguments);

// Answers --help, --version [--verbose] and --man-page on stdout and gives
// the exit status; nullopt when the arguments ask for the window.
std::optional<int> AnswerWithoutWindow(int argc, char** argv);

std::string AppHelpText();
std::string AppVersionText(bool verbose);
std::string AppManPage();

}  // namespace belmora::app
