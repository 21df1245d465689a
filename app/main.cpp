// belmora: the STR viewer and converter.
#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  belmora::app::TForm1 window;
  window.show();
  if (argc > 1) window.OpenDocument(QString::fromLocal8Bit(argv[1]));
  return app.exec();
}
