#include "app/form_widgets.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/app_language.h"

namespace belmora::app {

QLabel* Label(const char* caption, QWidget* parent, QRect at) {
  auto* l = new QLabel(parent);
  SetCaption(l, caption);
  l->setGeometry(at);
  return l;
}

QLineEdit* Edit(const char* name, QWidget* parent, QRect at) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setGeometry(at);
  return e;
}

QComboBox* DropDown(const char* name, QWidget* parent, QRect at, const QStringList& items) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->setGeometry(at);
  c->addItems(items);
  return c;
}

QPushButton* Button(const char* caption, const char* name, QWidget* parent, QRect at,
                    bool autoDefault) {
  auto* b = new QPushButton(parent);
  SetCaption(b, caption);
  b->setObjectName(name);
  b->setGeometry(at);
  if (!autoDefault) b->setAutoDefault(false);
  return b;
}

QGroupBox* Group(const char* caption, const char* name, QWidget* parent, QRect at) {
  auto* g = new QGroupBox(parent);
  SetCaption(g, caption);
  g->setObjectName(name);
  g->setGeometry(at);
  return g;
}

void SetTabOrder(std::initializer_list<QWidget*> widgets) {
  QWidget* previous = nullptr;
  for (QWidget* w : widgets) {
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

void AddListAndButtons(QDialog* dialog, QVBoxLayout* layout, QTreeWidget* list, int columns,
                       int current, QPushButton*& ok, QPushButton*& cancel) {
  for (int c = 0; c < columns; c++) list->resizeColumnToContents(c);
  list->setMinimumWidth(std::min(900, list->header()->length() + 24));
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(dialog);
  ok = buttons->addButton(T(msg::kOpenButton), QDialogButtonBox::AcceptRole);
  ok->setObjectName("OKButton");
  cancel = buttons->addButton(T(msg::kCancelButton), QDialogButtonBox::RejectRole);
  cancel->setObjectName("CancelButton");
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  QObject::connect(list, &QTreeWidget::itemDoubleClicked, dialog, &QDialog::accept);
  QPushButton* open = ok;
  QObject::connect(list, &QTreeWidget::itemSelectionChanged, dialog,
                   [list, open] { open->setEnabled(!list->selectedItems().isEmpty()); });
  if (current >= 0 && current < list->topLevelItemCount())
    list->setCurrentItem(list->topLevelItem(current));
  ok->setEnabled(!list->selectedItems().isEmpty());
}

}  // namespace belmora::app
