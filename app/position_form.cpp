#include "app/position_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/app_language.h"
#include "app/form_font.h"

namespace belmora::app {

int32_t ParseDecimal(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) i++;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t value = 0;  // wraps like the integer it stands for
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++)
    value = value * 10 + uint32_t(text[i].unicode() - '0');
  return int32_t(negative ? 0u - value : value);
}

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
  setObjectName("Form5");
  SetCaption(this, msg::kSelectTitle);
  setFont(FormFont());
  setFixedSize(208, 70);

  auto* de = new QLabel(this);
  SetCaption(de, msg::kFromLabel);
  de->setGeometry(8, 12, 24, 14);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(32, 8, 60, 21);
  auto* ate = new QLabel(this);
  SetCaption(ate, msg::kToLabel);
  ate->setGeometry(108, 12, 28, 14);
  Edit2 = new QLineEdit(this);
  Edit2->setObjectName("Edit2");
  Edit2->setGeometry(140, 8, 60, 21);

  Button1 = new QPushButton(this);
  SetCaption(Button1, msg::kChooserOk);
  Button1->setObjectName("Button1");
  Button1->setGeometry(32, 40, 68, 23);
  Button1->setDefault(true);
  Button2 = new QPushButton(this);
  SetCaption(Button2, msg::kCancelButton);
  Button2->setObjectName("Button2");
  Button2->setGeometry(108, 40, 68, 23);
  connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm5::FormShow() {
  Edit1->setText(QString::number(-int64_t(OffsetX)));
  Edit2->setText(QString::number(-int64_t(OffsetY)));
}

void TForm5::Button1Click() {
  OffsetX = int32_t(0u - uint32_t(ParseDecimal(Edit1->text())));
  OffsetY = int32_t(0u - uint32_t(ParseDecimal(Edit2->text())));
  accept();
}

void TForm5::showEvent(QShowEvent* e) {
  FormShow();
  QDialog::showEvent(e);
  // Ready for typing: the first field has the focus, its text selected.
  Edit1->setFocus(Qt::OtherFocusReason);
  Edit1->selectAll();
}

}  // namespace belmora::app
