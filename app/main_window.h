// The main viewer window.
#pragma once

#include <QMainWindow>

#include "str/str_document.h"

namespace belmora::app {

// Shows the program's messages in a box owned by the main window.
class BoxSink : public MessageSink {
 public:
  explicit BoxSink(QWidget* owner) : owner_(owner) {}
  int Show(const std::string& text, const std::string& caption) override;

 private:
  QWidget* owner_;
};

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  TForm1();
  int OpenDocument(const QString& path);
  StrDocument& Document() { return doc_; }

 private:
  BoxSink sink_{this};
  AudioSectorHook hook_;
  StrDocument doc_{sink_, &hook_};
};

}  // namespace belmora::app
