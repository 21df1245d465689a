// belmora: the STR viewer and converter.
#include "app/shell.h"

int main(int argc, char** argv) {
  belmora::app::TApplication app(argc, argv);
  belmora::app::TShell shell(app.arguments());
  return app.exec();
}
