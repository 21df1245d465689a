// The main viewer window.
#pragma once

#include <QMainWindow>

#include "str/str_document.h"

namespace belmora::app {

// Shows the program's messages in boxes owned by the main window.
class BoxHost : public Host {
 public:
  explicit BoxHost(QWidget* owner) : owner_(owner) {}
  void ShowMessage(const std::string& text, const std::string& caption,
                   MessageKind kind) override;
  Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) override;

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
  BoxHost sink_{this};
  AudioSectorHook hook_;
  StrDocument doc_{sink_, &hook_};
};

}  // namespace belmora::app
