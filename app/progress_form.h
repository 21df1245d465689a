// TForm3, "Convertendo arquivo": the modeless progress window of the long
// conversions, with a percentage bar and a cancel button that only raises
// a flag the conversion polls.
#pragma once

#include <QDialog>
#include <atomic>

class QProgressBar;
class QPushButton;

namespace belmora::app {

class TForm3 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);

  QProgressBar* Bar;
  QPushButton* Button1;
  // Set by Button1, cleared when the window is shown. Read by a conversion,
  // possibly from its own thread.
  std::atomic<bool> CancelRequested = false;

  void FormShow();
  void Button1Click();

 protected:
  void showEvent(QShowEvent* e) override;
  // Closing by the window's frame or Escape does not end a conversion.
  void reject() override {}
};

}  // namespace belmora::app
