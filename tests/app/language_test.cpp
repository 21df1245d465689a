// The language of the windows: English through Qt's translator, switched
// from the view menu at once and remembered, captions that still fit.
#include <QtTest>
#include <QtWidgets>

#include "app/app_language.h"
#include "app/conversion_forms.h"
#include "app/main_window.h"
#include "app/position_form.h"
#include "app/progress_form.h"
#include "app/qt_host.h"
#include "app/settings.h"
#include "app/shell.h"
#include "tests/app/app_test_support.h"
#include "tests/support/source_literals.h"

namespace belmora::app::test {
namespace {

// Every caption of `window` that does not fit the room its control gives
// it; `checked` counts the captions looked at.
QStringList Clipped(QWidget& window, int& checked) {
  QStringList clipped;
  const QList<QWidget*> widgets = window.findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    if (!HasCaption(w)) continue;
    const QFontMetrics m(w->font());
    QString text;
    int room = 0;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      text = label->text();
      room = label->contentsRect().width();
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      text = box->text();
      room = box->width() - (box->sizeHint().width() - m.horizontalAdvance(text));
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      text = button->text();
      room = button->width() - 4;
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
      text = group->title();
      room = group->width() - 16;
    } else {
      continue;
    }
    ++checked;
    if (m.horizontalAdvance(text) > room)
      clipped << QString("%1: \"%2\" (%3 > %4)")
                     .arg(w->objectName(), text)
                     .arg(m.horizontalAdvance(text))
                     .arg(room);
  }
  return clipped;
}

// The texts of the buttons of a box shown with `buttons` (Yes, No, OK,
// Cancel in this order), answered with the last of them.
QStringList BoxButtons(const QString& text, QMessageBox::StandardButtons buttons) {
  QStringList texts;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    QAbstractButton* last = nullptr;
    for (auto which : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel})
      if (QAbstractButton* b = box->button(which)) {
        texts << b->text().remove('&');
        last = b;
      }
    if (last) last->click();
  });
  RunQtBox({text, "", MessageKind::kQuestion, buttons}, nullptr);
  return texts;
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
    OpenSettings()->remove("view/language");
  }
  void cleanupTestCase() {
    ApplyLanguage(Language::kOriginal);
    QSettings().clear();
    OpenSettings()->remove("view/language");
  }

  void SwitchesAtOnceAndIsRemembered() {
    ApplyLanguage(StartLanguage(Language::kOriginal));
    Shell shell({"belmora"});
    TForm1& form = shell.Form1();
    BoxLog boxes;
    boxes.Attach(form);
    QCOMPARE(form.MenuFile->title(), QString("&Arquivo"));
    QVERIFY(form.MenuLangOrig->isChecked());
    // Reachable without a document, under "Ajuda".
    QVERIFY(form.MenuHelp->actions().contains(form.MenuLang->menuAction()));

    form.MenuLangEn->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(form.MenuFile->title(), QString("&File"));
    QCOMPARE(form.MenuConf->title(), QString("&View"));
    QCOMPARE(form.MenuHelp->title(), QString("&Help"));
    QCOMPARE(form.Label1->text(), QString("Frames : 000000"));
    QCOMPARE(shell.Form2().windowTitle(), QString("Settings"));
    QCOMPARE(shell.Form2().QualityChk->text(), QString("Best quality"));
    QCOMPARE(shell.ConvAviForm().windowTitle(), QString("Convert STR to AVI"));
    QCOMPARE(form.OpenBmpDlg.OptionCaption, QString("Best quality"));
    QVERIFY(form.MenuLangEn->isChecked());
    QCOMPARE(RememberedLanguage(), std::optional(Language::kEnglish));
    QCOMPARE(StartLanguage(std::nullopt), Language::kEnglish);
    QCOMPARE(StartLanguage(Language::kOriginal), Language::kOriginal);
    form.OpenDocument("/no/such/file.str");
    QCOMPARE(boxes.Texts().value(0),
             QString("Cannot open the file. /no/such/file.str (No such file or directory)"));
    QCOMPARE(QString::fromStdString(ProgressLabel({0, 12, 3})),
             QString("Sector No. : 000012   Frame No. : 000003"));

    form.MenuLangOrig->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QCOMPARE(form.MenuFile->title(), QString("&Arquivo"));
    QCOMPARE(shell.Form2().windowTitle(), QString("Configurações"));
    QCOMPARE(form.Label1->text(), QString("Quadros : 000000"));
    QCOMPARE(RememberedLanguage(), std::optional(Language::kOriginal));
  }

  // Switched back from English with a movie shown, the status line and the
  // frame's label speak the original texts at once, the label fitted to its
  // room short of the buttons.
  void StatusLineAndLabelFollowASwitch() {
    QTemporaryDir dir;
    ApplyLanguage(Language::kEnglish);
    TForm1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.OpenDocument(WriteMovie(dir, PictureMovie(43), "switch.str")), 0);
    QVERIFY2(form.StatusLabel->text().contains("frame 1/43"), qPrintable(form.StatusLabel->text()));
    form.MenuLangOrig->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    QVERIFY2(form.StatusLabel->text().contains("quadro 1/43"), qPrintable(form.StatusLabel->text()));
    const QString label = form.Label1->text();
    QVERIFY2(label.contains("Nº do quadro : 000001"), qPrintable(label));
    QVERIFY(QFontMetrics(form.Label1->font()).horizontalAdvance(label) <= form.Label1->width());
    QVERIFY(form.Label1->geometry().right() < form.PrevButton->x());
  }

  // Qt's own texts (its file dialogs and their overwrite question, the
  // buttons of its standard dialogs) are Portuguese with the original
  // captions and English with the English ones.
  void QtsOwnTextsFollowTheLanguage() {
    ApplyLanguage(Language::kOriginal);
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Files of type:"),
             QString("Arquivos do tipo:"));
    QVERIFY(QCoreApplication::translate("QFileDialog",
                                        "%1 already exists.\nDo you want to replace it?")
                .startsWith("%1 já existe."));
    QInputDialog chooser;
    chooser.setComboBoxItems({"1: 37800 Hz, 2 ch, 2.0 s"});
    chooser.show();
    QStringList buttons;
    for (QPushButton* b : chooser.findChildren<QPushButton*>()) buttons << b->text().remove('&');
    QVERIFY2(buttons.contains("Cancelar"), qPrintable(buttons.join(", ")));
    ApplyLanguage(Language::kEnglish);
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Files of type:"),
             QString("Files of type:"));
    ApplyLanguage(Language::kOriginal);
  }

  // The language is kept with every other setting, in belmora.ini; one that
  // an earlier version kept in Belmora.conf is taken over once.
  void LanguageKeptInTheOneSettingsFile() {
    QSettings old(QSettings::NativeFormat, QSettings::UserScope, "Belmora", "Belmora");
    ChooseLanguage(Language::kEnglish);
    QCOMPARE(OpenSettings()->value("view/language").toString(), QString("en"));
    QVERIFY(!old.contains("view/language"));
    OpenSettings()->remove("view/language");
    old.setValue("view/language", "original");
    old.sync();
    QCOMPARE(RememberedLanguage(), std::optional(Language::kOriginal));
    QCOMPARE(OpenSettings()->value("view/language").toString(), QString("original"));
    old.sync();
    QVERIFY(!old.contains("view/language"));
    ApplyLanguage(Language::kOriginal);
  }

  void QtTranslatorAgreesWithTheCommandLineTable() {
    ApplyLanguage(Language::kEnglish);
    int checked = 0;
    for (const auto& l : belmora::test::StringLiterals(BELMORA_SOURCE_DIR "/base/messages.h")) {
      if (l.Text.empty()) continue;
      const char* english = EnglishText(l.Text);
      QVERIFY2(english, l.Text.c_str());
      QCOMPARE(QCoreApplication::translate("belmora", l.Text.c_str()),
               QString::fromUtf8(english));
      QCOMPARE(QString::fromUtf8(Tr(l.Text.c_str())), QString::fromUtf8(english));
      ++checked;
    }
    QVERIFY(checked > 150);
    ApplyLanguage(Language::kOriginal);
  }

  void CaptionsFitInBothLanguages() {
    Shell shell({"belmora"});
    for (Language language : {Language::kOriginal, Language::kEnglish}) {
      ApplyLanguage(language);
      QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
      QWidget* windows[] = {&shell.Form1(), &shell.Form2(), &shell.Form3(), &shell.Form4(),
                            &shell.Form5(), &shell.ConvAviForm()};
      int checked = 0;
      for (QWidget* w : windows) {
        const QStringList clipped = Clipped(*w, checked);
        QVERIFY2(clipped.isEmpty(), qPrintable(QString("%1 (%2): %3")
                                                   .arg(w->objectName(), LanguageName(language),
                                                        clipped.join("; "))));
      }
      QVERIFY(checked > 40);
    }
    ApplyLanguage(Language::kOriginal);
  }

  // A question speaks of its buttons by the names they show, in both
  // languages; the boxes' Cancel is the windows' "Cancelar".
  void QuestionButtonsAreTheOnesNamed() {
    for (Language language : {Language::kOriginal, Language::kEnglish}) {
      ApplyLanguage(language);
      const QString question =
          QString::fromStdString(FormatMessage(msg::kAskKeepCancelled, "/tmp/MOVIE.STR"));
      const QStringList yesNo = BoxButtons(question, QMessageBox::Yes | QMessageBox::No);
      QCOMPARE(yesNo.size(), 2);
      QVERIFY2(question.contains(yesNo[1]), qPrintable(yesNo.join(", ") + " / " + question));
      QVERIFY(yesNo[0] != yesNo[1]);
      const QStringList okCancel = BoxButtons(question, QMessageBox::Ok | QMessageBox::Cancel);
      QVERIFY2(okCancel.contains(T(msg::kCancelButton)), qPrintable(okCancel.join(", ")));
    }
    ApplyLanguage(Language::kOriginal);
  }
};

int RunLanguageTest(int argc, char** argv) {
  LanguageTest t;
  return QTest::qExec(&t, argc, argv);
}

}  // namespace belmora::app::test

#include "language_test.moc"
