#include "app/app_language.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QSettings>
#include <QTranslator>
#include <QWidget>
#include <mutex>
#include <string>
#include <unordered_map>

#include "app/settings.h"

namespace belmora::app {
namespace {

// The context every catalogue text has in the translation source.
constexpr const char* kContext = "belmora";
// Where a caption keeps the catalogue text it shows.
constexpr const char* kCaptionProperty = "belmoraCaption";
constexpr const char* kLanguageKey = "view/language";

// The core's texts through Qt's translator. Results live until the end of
// the program: the core keeps the pointers.
const char* QtTranslate(const char* original) {
  static std::mutex mutex;
  static std::unordered_map<std::string, std::string> done;
  const QString text = QCoreApplication::translate(kContext, original);
  std::lock_guard lock(mutex);
  auto [it, added] = done.try_emplace(original);
  if (added) it->second = text.toStdString();
  return it->second.c_str();
}

QTranslator* Translator() {
  static QTranslator* translator = [] {
    auto* t = new QTranslator(qApp);
    if (!t->load(":/i18n/belmora_en.qm")) qWarning("the English catalogue is missing");
    return t;
  }();
  return translator;
}

// Qt's own texts (its file dialogs, their questions, the buttons of its
// standard dialogs) in Portuguese, as the program's captions are: Qt's
// translation where the system has it installed.
QTranslator* QtPortuguese() {
  static QTranslator* translator = [] {
    auto* t = new QTranslator(qApp);
    if (!t->load("qtbase_pt_BR", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      qWarning("Qt's Portuguese translation (qtbase_pt_BR.qm) is not installed");
    return t;
  }();
  return translator;
}

// Where the language was kept before it joined the other settings; read
// once, then taken from there.
std::optional<Language> TakeOldLanguage() {
  QSettings old(QSettings::NativeFormat, QSettings::UserScope, "Belmora", "Belmora");
  if (!old.contains(kLanguageKey)) return std::nullopt;
  const auto language = ParseLanguage(old.value(kLanguageKey).toString().toStdString());
  old.remove(kLanguageKey);
  old.sync();
  if (old.allKeys().isEmpty()) QFile::remove(old.fileName());
  if (language) OpenSettings()->setValue(kLanguageKey, LanguageName(*language));
  return language;
}

void Apply(QObject* object, const QString& text) {
  if (auto* menu = qobject_cast<QMenu*>(object)) {
    menu->setTitle(text);
  } else if (auto* action = qobject_cast<QAction*>(object)) {
    action->setText(text);
  } else if (auto* box = qobject_cast<QCheckBox*>(object)) {
    // A check box is as wide as its caption.
    box->setText(text);
    if (box->width() > 0) box->resize(box->sizeHint().width(), box->height());
  } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(object)) {
    label->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
    group->setTitle(text);
  } else if (auto* widget = qobject_cast<QWidget*>(object)) {
    widget->setWindowTitle(text);
  }
}

void Retranslate(QObject* object) {
  const QVariant text = object->property(kCaptionProperty);
  if (text.isValid()) Apply(object, T(text.toByteArray().constData()));
}

}  // namespace

Language StartLanguage(std::optional<Language> fromCommandLine) {
  if (fromCommandLine) return *fromCommandLine;
  if (auto remembered = RememberedLanguage()) return *remembered;
  return LanguageFromEnvironment();
}

std::optional<Language> RememberedLanguage() {
  const QVariant kept = OpenSettings()->value(kLanguageKey);
  if (!kept.isValid()) return TakeOldLanguage();
  return ParseLanguage(kept.toString().toStdString());
}

void ApplyLanguage(Language language) {
  const bool english = language == Language::kEnglish;
  if (english) {
    QCoreApplication::removeTranslator(QtPortuguese());
    QCoreApplication::installTranslator(Translator());
    SetTranslateFunction(QtTranslate);
  } else {
    QCoreApplication::removeTranslator(Translator());
    QCoreApplication::installTranslator(QtPortuguese());
  }
  SetLanguage(language);
  for (QWidget* widget : QApplication::allWidgets()) {
    Retranslate(widget);
    for (QAction* action : widget->findChildren<QAction*>(Qt::FindDirectChildrenOnly))
      Retranslate(action);
  }
}

void ChooseLanguage(Language language) {
  OpenSettings()->setValue(kLanguageKey, LanguageName(language));
  ApplyLanguage(language);
}

QString T(const char* text) { return QString::fromUtf8(Tr(text)); }

void SetCaption(QObject* object, const char* text) {
  if (*text) object->setProperty(kCaptionProperty, QByteArray(text));
  Apply(object, T(text));
}

void ClearCaption(QObject* object) { object->setProperty(kCaptionProperty, QVariant()); }

bool HasCaption(const QObject* object) { return object->property(kCaptionProperty).isValid(); }

}  // namespace belmora::app
