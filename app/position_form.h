// TForm5, "Selecionar": where imported pictures are placed in the frame.
// It shows the position and keeps it negated, as the offset the picture
// reader adds to frame coordinates.
#pragma once

#include <QDialog>
#include <cstdint>

class QLineEdit;
class QPushButton;

namespace belmora::app {

// Plain decimal reading of a typed number: leading blanks, an optional sign,
// the digits up to the first other character; 0 when there are none.
int32_t ParseDecimal(const QString& text);

class TForm5 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm5(QWidget* parent = nullptr);

  QLineEdit* Edit1;  // "De": horizontal position in pixels
  QLineEdit* Edit2;  // "Até": vertical position in pixels
  QPushButton* Button1;
  QPushButton* Button2;
  // The negated positions, exchanged with the main window's image offsets.
  int32_t OffsetX = 0;
  int32_t OffsetY = 0;

  void FormShow();
  void Button1Click();

 protected:
  void showEvent(QShowEvent* e) override;
};

}  // namespace belmora::app
