#include "app/progress_form.h"

#include <QProgressBar>
#include <QPushButton>

#include "app/app_language.h"
#include "app/form_font.h"

namespace belmora::app {

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  setObjectName("Form3");
  SetCaption(this, msg::kConvertingTitle);
  setFont(FormFont());
  setFixedSize(236, 41);
  setModal(false);

  Bar = new QProgressBar(this);
  Bar->setObjectName("Bar");
  Bar->setRange(0, 100);
  Bar->setTextVisible(false);
  Bar->setGeometry(0, 0, 236, 16);

  Button1 = new QPushButton(this);
  SetCaption(Button1, msg::kCancelButton);
  Button1->setObjectName("Button1");
  Button1->setGeometry(176, 18, 59, 21);
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
}

void TForm3::FormShow() {
  Bar->setValue(0);
  CancelRequested = false;
}

void TForm3::Button1Click() {
  CancelRequested = true;
}

void TForm3::showEvent(QShowEvent* e) {
  FormShow();
  QDialog::showEvent(e);
}

}  // namespace belmora::app
