// Small makers of the fixed-geometry controls the windows are built from:
// each sets the control's caption, objectName and place in its parent.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <string>

class QComboBox;
class QDialog;
class QTreeWidget;
class QVBoxLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace belmora::app {

inline QString Text(const std::string& s) {
  return QString::fromStdString(s);
}
inline std::string Std(const QString& s) {
  return s.toStdString();
}

QLabel* Label(const char* caption, QWidget* parent, QRect at);
QLineEdit* Edit(const char* name, QWidget* parent, QRect at);
QComboBox* DropDown(const char* name, QWidget* parent, QRect at, const QStringList& items);
// `autoDefault` false: Enter in the window presses only its default button.
QPushButton* Button(const char* caption, const char* name, QWidget* parent, QRect at,
                    bool autoDefault = true);
QGroupBox* Group(const char* caption, const char* name, QWidget* parent, QRect at);
// Tab moves through `widgets` in this order.
void SetTabOrder(std::initializer_list<QWidget*> widgets);
// The list of a chooser sized to its contents, with "Abrir" and "Cancelar"
// under it: a double click or "Abrir" accepts, "Abrir" only while a row is
// chosen; row `current` is chosen first.
void AddListAndButtons(QDialog* dialog, QVBoxLayout* layout, QTreeWidget* list, int columns,
                       int current, QPushButton*& ok, QPushButton*& cancel);

}  // namespace belmora::app
