#include "app/conversion_forms.h"

#include "app/form_font.h"

namespace belmora::app {

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName("Form2");
  setWindowTitle("Configurações");
  setFont(FormFont());
}

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
  setObjectName("Form4");
  setWindowTitle("Novo STR");
  setFont(FormFont());
  setFixedSize(183, 186);
}

TConvAviForm::TConvAviForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ConvAviForm");
  setWindowTitle("Converter STR para AVI");
  setFont(FormFont());
}

}  // namespace belmora::app
