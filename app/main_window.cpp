#include "app/main_window.h"

#include <QMessageBox>

namespace belmora::app {

void BoxHost::ShowMessage(const std::string& text, const std::string& caption, MessageKind) {
  QMessageBox::information(owner_, QString::fromStdString(caption), QString::fromStdString(text));
}

Answer BoxHost::Ask(const std::string& text, const std::string& caption, Buttons buttons) {
  const bool yesNo = buttons == Buttons::kYesNo;
  auto pressed = QMessageBox::question(
      owner_, QString::fromStdString(caption), QString::fromStdString(text),
      yesNo ? (QMessageBox::Yes | QMessageBox::No) : (QMessageBox::Ok | QMessageBox::Cancel));
  if (yesNo) return pressed == QMessageBox::Yes ? Answer::kYes : Answer::kNo;
  return pressed == QMessageBox::Ok ? Answer::kOk : Answer::kCancel;
}

TForm1::TForm1() {
  setWindowTitle("Belmora v2 - Tavish");
  resize(328, 368);
}

int TForm1::OpenDocument(const QString& path) {
  CloseStrFile(doc_);
  if (OpenStrFile(doc_, path.toStdString()) != 0) {
    Show(sink_, msg::kCannotOpenStr);
    return -1;
  }
  if (doc_.PaddedWidth <= 0) {
    Show(sink_, msg::kNoPicture);
    CloseStrFile(doc_);
    return -1;
  }
  return 0;
}

}  // namespace belmora::app
