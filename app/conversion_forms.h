// The conversion windows, created hidden at start-up with the main window:
// "Configurações" (TForm2), "Novo STR" (TForm4) and "Converter STR para
// AVI" (TConvAviForm). They carry their captions and sizes; their controls
// come with the conversion commands.
#pragma once

#include <QDialog>

namespace belmora::app {

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
};

class TForm4 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm4(QWidget* parent = nullptr);
};

class TConvAviForm : public QDialog {
  Q_OBJECT
 public:
  explicit TConvAviForm(QWidget* parent = nullptr);
};

}  // namespace belmora::app
