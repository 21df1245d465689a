// belmora: the STR viewer and converter.
#include <cstdio>
#include <exception>

#include "app/app_language.h"
#include "app/command_line.h"
#include "app/shell.h"

int main(int argc, char** argv) {
  // --help, --version and the manual page need no window (nor a display).
  if (auto code = belmora::app::AnswerWithoutWindow(argc, argv)) return *code;
  belmora::app::Application app(argc, argv);
  const auto arguments = belmora::app::ParseAppArguments(app.arguments());
  if (!arguments.Error.empty()) {
    std::fprintf(stderr, "belmora: %s\n", arguments.Error.c_str());
    return 2;
  }
  belmora::app::ApplyLanguage(belmora::app::StartLanguage(arguments.Lang));
  // Exceptions inside the loop are shown there (Application::notify); one
  // that escapes start-up is shown the same way before the program ends.
  try {
    belmora::app::Shell shell(app.arguments());
    return app.exec();
  } catch (const std::exception& e) {
    app.ShowException(QString::fromLocal8Bit(e.what()));
  }
  return 1;
}
