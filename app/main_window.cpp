#include "app/main_window.h"

#include <QMessageBox>

namespace belmora::app {

int BoxSink::Show(const std::string& text, const std::string& caption) {
  QMessageBox::information(owner_, QString::fromStdString(caption), QString::fromStdString(text));
  return kBoxOk;
}

TForm1::TForm1() {
  setWindowTitle("Belmora v2 - Tavish");
  resize(328, 368);
}

int TForm1::OpenDocument(const QString& path) {
  CloseStrFile(doc_);
  if (OpenStrFile(doc_, path.toStdString()) != 0) {
    MessageBoxF(sink_, "%s", kMsgCannotOpenStr);
    return -1;
  }
  if (doc_.PaddedWidth <= 0) {
    MessageBoxF(sink_, "%s", "画像データが存在しません。");
    CloseStrFile(doc_);
    return -1;
  }
  return 0;
}

}  // namespace belmora::app
