// Start-up: the application object that shows an exception reaching the
// event loop in a box, and the windows created in their order.
#pragma once

#include <QApplication>
#include <QStringList>
#include <functional>
#include <memory>

namespace belmora::app {

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TConvAviForm;

class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the text of an exception that reached the loop; a standard box
  // unless a test stands in.
  std::function<void(const QString& text)> ShowException;
};

// Every window of the program, created in this order and living until the
// program ends: the main window shown, the others hidden.
class Shell {
 public:
  // `arguments` as the application has them; the first after the program's
  // name is opened as an STR file.
  explicit Shell(const QStringList& arguments);
  ~Shell();

  TForm1& Form1() { return *form1_; }
  TForm2& Form2() { return *form2_; }
  TForm3& Form3() { return *form3_; }
  TForm4& Form4() { return *form4_; }
  TForm5& Form5() { return *form5_; }
  TConvAviForm& ConvAviForm() { return *convAvi_; }

 private:
  std::unique_ptr<TForm1> form1_;
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<TForm4> form4_;
  std::unique_ptr<TForm5> form5_;
  std::unique_ptr<TConvAviForm> convAvi_;
};

}  // namespace belmora::app
