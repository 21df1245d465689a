#include "app/shell.h"

#include <QMessageBox>
#include <clocale>
#include <exception>
#include <new>

#include "app/app_language.h"
#include "app/command_line.h"
#include "app/conversion_forms.h"
#include "app/conversions.h"
#include "app/main_window.h"
#include "app/position_form.h"
#include "app/progress_form.h"

namespace belmora::app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Numbers in the windows are written and read with a decimal point, as
  // on the command line, whatever the user's number format: Qt has taken
  // the environment's locale, whose separator may be a comma.
  std::setlocale(LC_NUMERIC, "C");
  setOrganizationName("Belmora");
  setApplicationName("Belmora");
  setDesktopFileName("belmora");
  ShowException = [](const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
  };
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc&) {
    ShowException(QString::fromUtf8(Tr(msg::kOutOfMemory.Text)));
  } catch (const std::exception& e) {
    ShowException(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowException(QString::fromUtf8(Tr(msg::kUnknownException)));
  }
  return false;
}

Shell::Shell(const QStringList& arguments) {
  form1_ = std::make_unique<TForm1>();
  form2_ = std::make_unique<TForm2>();
  form3_ = std::make_unique<TForm3>();
  form4_ = std::make_unique<TForm4>();
  form5_ = std::make_unique<TForm5>();
  convAvi_ = std::make_unique<TConvAviForm>();
  form1_->AttachForms(form2_.get(), form3_.get(), form4_.get(), form5_.get(), convAvi_.get());
  InstallConversions(*form1_);
  form1_->RestoreSettings();
  form1_->show();
  const QString file = ParseAppArguments(arguments).File;
  if (!file.isEmpty()) form1_->OpenDocument(file);
}

Shell::~Shell() {
  // The main window goes first: it closes the document and stops playback
  // while the other windows still exist.
  form1_.reset();
}

}  // namespace belmora::app
