// The core's front end in the desktop application: messages and questions
// in boxes owned by the main window, progress in TForm3 and the main
// window's label, previews in the main window, cancel from TForm3.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

#include "base/host.h"

namespace belmora::app {

class TForm1;

// One message box to show: text, caption, kind and buttons.
struct BoxRequest {
  QString Text;
  QString Caption;
  MessageKind Kind = MessageKind::kInformation;
  QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
};

// Shows a box and returns the button pressed: Qt's message box, or a
// test's stand-in.
using BoxRunner = std::function<QMessageBox::StandardButton(const BoxRequest&, QWidget* owner)>;
QMessageBox::StandardButton RunQtBox(const BoxRequest& request, QWidget* owner);

// Lets the window events that are waiting run, then returns: what a long
// operation on the window's thread calls after every frame.
void PumpMessages();

class QtHost : public Host {
 public:
  explicit QtHost(TForm1& window) : window_(window) {}

  void ShowMessage(const std::string& text, const std::string& caption,
                   MessageKind kind) override;
  Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) override;
  void BeginProgress() override;
  void Progress(const ProgressRecord& record) override;
  void EndProgress() override;
  void PreviewFrame(const FrameView& view) override;
  bool CancelRequested() override;

  BoxRunner Boxes = RunQtBox;

 private:
  // Runs `f` on the window's thread and returns when it is done there; an
  // operation on another thread therefore needs the window's event loop
  // running while it works.
  void OnWindowThread(const std::function<void()>& f);

  TForm1& window_;
};

}  // namespace belmora::app
