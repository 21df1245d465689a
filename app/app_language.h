// The application's language: the English catalogue through Qt's translator
// (or, for the original texts, Qt's own Portuguese), the choice remembered
// in the settings, and captions that follow a change at once.
#pragma once

#include <QObject>
#include <QString>
#include <optional>

#include "base/language.h"
#include "base/messages.h"

namespace belmora::app {

// --lang when given, else the choice remembered from the view menu, else
// the environment's.
Language StartLanguage(std::optional<Language> fromCommandLine);
// Makes `language` the language of every text: installs (or removes) the
// translator and sets every caption given by SetCaption again.
void ApplyLanguage(Language language);
// The choice of the view menu: applied and remembered for the next start
// (in the one settings file).
void ChooseLanguage(Language language);
// The remembered choice, if any; one kept where earlier versions kept it is
// moved to the settings file.
std::optional<Language> RememberedLanguage();

// A catalogue text in the current language.
QString T(const char* text);
// Shows the catalogue text `text` on `object` (a window's title, a menu's
// title, an action's, button's, label's or group box's text) and keeps it
// there across changes of language.
void SetCaption(QObject* object, const char* text);
// For a caption replaced by text made at run time: no longer set again.
void ClearCaption(QObject* object);
bool HasCaption(const QObject* object);

}  // namespace belmora::app
