// The progress and position dialogs, the host the core talks to, and the
// box for exceptions that reach the event loop.
#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "app/form_font.h"
#include "app/main_window.h"
#include "app/position_form.h"
#include "app/progress_form.h"
#include "app/shell.h"
#include "tests/app/app_test_support.h"

namespace belmora::app::test {
namespace {

class Throwing : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("ruim");
    return QObject::event(e);
  }
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT
 private slots:
  void ParseDecimalReadsLikeThePlainConversion() {
    QCOMPARE(ParseDecimal("12abc"), 12);
    QCOMPARE(ParseDecimal(""), 0);
    QCOMPARE(ParseDecimal("abc"), 0);
    QCOMPARE(ParseDecimal("  -35"), -35);
    QCOMPARE(ParseDecimal("+7x"), 7);
    QCOMPARE(ParseDecimal("- 7"), 0);
    QCOMPARE(ParseDecimal("4294967297"), 1);  // wraps as a 32-bit integer does
  }

  // Every window's font: monospaced, its whole line 12 pixels high or less.
  void FormFontIsMonospacedTwelvePixels() {
    const QFont font = FormFont();
    QVERIFY(QFontInfo(font).fixedPitch());
    QVERIFY(QFontMetrics(font).height() <= 12);
    QVERIFY(QFontMetrics(font).height() >= 9);
    TForm1 main;
    QCOMPARE(main.Label1->font(), font);
    TForm5 form5;
    QCOMPARE(form5.Edit1->font(), font);
  }

  void PositionDialog() {
    TForm5 form;
    QCOMPARE(form.size(), QSize(208, 70));
    QVERIFY(form.Button1->isDefault());
    form.show();  // 0 and 0 at start-up
    QCOMPARE(form.Edit1->text(), QString("0"));
    QCOMPARE(form.Edit2->text(), QString("0"));
    form.Edit1->setText("12abc");
    form.Edit2->setText("");
    form.Button1Click();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.OffsetX, -12);
    QCOMPARE(form.OffsetY, 0);
    QVERIFY(!form.isVisible());

    // Shown again: the current positions, the offsets negated.
    form.OffsetX = -10;
    form.OffsetY = 25;
    form.show();
    QCOMPARE(form.Edit1->text(), QString("10"));
    QCOMPARE(form.Edit2->text(), QString("-25"));
    form.close();
  }

  // Through the main window: OK stores the offsets, Cancel keeps the old
  // ones even after editing.
  void PositionThroughTheMenu() {
    TForm1 main;
    TForm5 form5;
    main.AttachForms(nullptr, nullptr, nullptr, &form5, nullptr);
    bool ok = true;
    main.RunModal = [&](QDialog& d) {
      auto& f = static_cast<TForm5&>(d);
      f.FormShow();
      f.Edit1->setText("30");
      f.Edit2->setText("-4");
      if (ok) {
        f.Button1Click();
        return int(QDialog::Accepted);
      }
      f.Button2->click();
      return int(QDialog::Rejected);
    };
    main.MenuPosClick();
    QCOMPARE(main.Position.ImageOffsetX, -30);
    QCOMPARE(main.Position.ImageOffsetY, 4);
    ok = false;
    main.MenuPosClick();
    QCOMPARE(main.Position.ImageOffsetX, -30);
    QCOMPARE(main.Position.ImageOffsetY, 4);
  }

  void ProgressDialog() {
    TForm3 form;
    QCOMPARE(form.size(), QSize(236, 41));
    QCOMPARE(form.Bar->geometry(), QRect(0, 0, 236, 16));
    QCOMPARE(form.Button1->geometry(), QRect(176, 18, 59, 21));
    QCOMPARE(form.Button1->text(), QString("Cancelar"));
    QCOMPARE(form.Bar->maximum(), 100);
    form.CancelRequested = true;
    form.Bar->setValue(40);
    form.show();  // shown: bar at 0, flag cleared
    QCOMPARE(form.Bar->value(), 0);
    QVERIFY(!form.CancelRequested);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QTest::mouseClick(form.Button1, Qt::LeftButton);  // twice is harmless
    QVERIFY(form.CancelRequested);
    QVERIFY(form.isVisible());  // stays until the conversion closes it
    form.close();               // nor does closing the window end it
    QVERIFY(form.isVisible());
    form.hide();
    QVERIFY(form.CancelRequested);  // kept until shown again
  }

  // A conversion's progress as the core reports it: TForm3 shows while it
  // runs, the main window is disabled, the label says where it is, the
  // preview shows its frame, and the cancel button reaches the core.
  void HostProgressOnTheWindowThread() {
    TForm1 main;
    TForm3 form3;
    main.AttachForms(nullptr, &form3, nullptr, nullptr, nullptr);
    Host& host = main.Ui();
    host.BeginProgress();
    QVERIFY(form3.isVisible());
    QVERIFY(!main.isEnabled());
    host.Progress({50, 1234, 7});
    QCOMPARE(form3.Bar->value(), 50);
    QCOMPARE(main.Label1->text(), QString("Setor Nº. : 001234   Nº do quadro : 000007"));
    QVERIFY(!host.CancelRequested());
    form3.Button1->click();
    QVERIFY(host.CancelRequested());
    // The window stays open while the operation runs.
    main.show();
    QVERIFY(!main.close());
    QVERIFY(main.isVisible());
    host.EndProgress();
    QVERIFY(!form3.isVisible());
    QVERIFY(main.isEnabled());
  }

  void HostFromAWorkerThread() {
    TForm1 main;
    TForm3 form3;
    main.AttachForms(nullptr, &form3, nullptr, nullptr, nullptr);
    BoxLog boxes;
    boxes.Attach(main);
    boxes.Answer = QMessageBox::Yes;
    Host& host = main.Ui();
    std::vector<uint8_t> pixels(32 * 16 * 3, 0);
    for (size_t i = 0; i < pixels.size(); i += 3) pixels[i + 2] = 255;  // red
    Answer answer = Answer::kNo;
    std::atomic<bool> done = false;
    std::thread worker([&] {
      host.BeginProgress();
      host.Progress({30, 75, 2});
      host.PreviewFrame({pixels.data(), 32, 16, 32 * 3});
      answer = host.Ask("continuar?", "メッセージ", Buttons::kYesNo);
      host.ShowMessage("fim", "", MessageKind::kWarning);
      host.EndProgress();
      done = true;
    });
    QTRY_VERIFY(done);
    worker.join();
    QCOMPARE(answer, Answer::kYes);
    QCOMPARE(boxes.Texts(), QStringList({"continuar?", "fim"}));
    QCOMPARE(boxes.Boxes[0].Buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(boxes.Boxes[1].Caption, QString(""));
    QCOMPARE(boxes.Boxes[1].Kind, MessageKind::kWarning);
    QCOMPARE(main.Label1->text(), QString("Setor Nº. : 000075   Nº do quadro : 000002"));
    QVERIFY(main.isEnabled());
  }

  void AskWithOkCancel() {
    TForm1 main;
    BoxLog boxes;
    boxes.Attach(main);
    boxes.Answer = QMessageBox::Cancel;
    QCOMPARE(main.Ui().Ask("?", "", Buttons::kOkCancel), Answer::kCancel);
    boxes.Answer = QMessageBox::Ok;
    QCOMPARE(main.Ui().Ask("?", "", Buttons::kOkCancel), Answer::kOk);
    QCOMPARE(boxes.Boxes[0].Buttons, QMessageBox::Ok | QMessageBox::Cancel);
    MessageBoxF(main.Ui(), "%d quadros", 12);
    QCOMPARE(boxes.Boxes.back().Text, QString("12 quadros"));
    QCOMPARE(boxes.Boxes.back().Caption, QString("メッセージ"));
    QCOMPARE(boxes.Boxes.back().Buttons, QMessageBox::Ok);
  }

  // An exception that reaches the loop is shown, and the program goes on.
  void ExceptionAtTheLoop() {
    auto* app = static_cast<Application*>(QCoreApplication::instance());
    QStringList shown;
    auto keep = app->ShowException;
    app->ShowException = [&](const QString& text) { shown << text; };
    Throwing target;
    QEvent event(QEvent::User);
    QVERIFY(!QCoreApplication::sendEvent(&target, &event));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    app->ShowException = keep;
    QCOMPARE(shown, QStringList({"ruim", "ruim"}));
  }
};

int RunDialogsTest(int argc, char** argv) {
  DialogsTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "dialogs_test.moc"
