#include "app/qt_host.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QThread>
#include <utility>

#include "app/app_language.h"
#include "app/main_window.h"
#include "base/messages.h"

namespace belmora::app {

QMessageBox::StandardButton RunQtBox(const BoxRequest& request, QWidget* owner) {
  QMessageBox box(owner);
  box.setWindowTitle(request.Caption);
  box.setText(request.Text);
  box.setStandardButtons(request.Buttons);
  // The answers in the language of the questions that name them; Cancel
  // as in every window.
  const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
      {QMessageBox::Yes, msg::kYesButton},
      {QMessageBox::No, msg::kNoButton},
      {QMessageBox::Cancel, msg::kCancelButton}};
  for (const auto& [which, caption] : captions)
    if (QAbstractButton* button = box.button(which)) button->setText(T(caption));
  switch (request.Kind) {
    case MessageKind::kInformation: box.setIcon(QMessageBox::NoIcon); break;
    case MessageKind::kWarning: box.setIcon(QMessageBox::Warning); break;
    case MessageKind::kQuestion: box.setIcon(QMessageBox::Question); break;
    case MessageKind::kError: box.setIcon(QMessageBox::Critical); break;
  }
  return QMessageBox::StandardButton(box.exec());
}

void PumpMessages() {
  QCoreApplication::processEvents();
}

void QtHost::OnWindowThread(const std::function<void()>& f) {
  if (QThread::currentThread() == window_.thread())
    f();
  else
    QMetaObject::invokeMethod(&window_, f, Qt::BlockingQueuedConnection);
}

void QtHost::ShowMessage(const std::string& text, const std::string& caption,
                         MessageKind kind) {
  const BoxRequest request{QString::fromStdString(text), QString::fromStdString(caption), kind,
                           QMessageBox::Ok};
  OnWindowThread([&] { Boxes(request, &window_); });
}

Answer QtHost::Ask(const std::string& text, const std::string& caption, Buttons buttons) {
  const bool yesNo = buttons == Buttons::kYesNo;
  const BoxRequest request{
      QString::fromStdString(text), QString::fromStdString(caption), MessageKind::kQuestion,
      yesNo ? (QMessageBox::Yes | QMessageBox::No) : (QMessageBox::Ok | QMessageBox::Cancel)};
  QMessageBox::StandardButton pressed = QMessageBox::NoButton;
  OnWindowThread([&] { pressed = Boxes(request, &window_); });
  if (yesNo) return pressed == QMessageBox::Yes ? Answer::kYes : Answer::kNo;
  return pressed == QMessageBox::Ok ? Answer::kOk : Answer::kCancel;
}

void QtHost::BeginProgress() {
  OnWindowThread([&] { window_.ProgressBegin(); });
}

void QtHost::Progress(const ProgressRecord& record) {
  const bool here = QThread::currentThread() == window_.thread();
  OnWindowThread([&] { window_.ProgressStep(record); });
  // On the window's own thread, the waiting window events run now: the
  // label and bar repaint and the cancel button can be pressed.
  if (here) PumpMessages();
}

void QtHost::EndProgress() {
  OnWindowThread([&] { window_.ProgressEnd(); });
}

void QtHost::PreviewFrame(const FrameView& view) {
  OnWindowThread([&] { window_.ShowPreview(view); });
}

bool QtHost::CancelRequested() {
  return window_.CancelPressed();
}

}  // namespace belmora::app
