// belmora: the STR viewer and converter.
#include <exception>

#include "app/shell.h"

int main(int argc, char** argv) {
  belmora::app::Application app(argc, argv);
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
