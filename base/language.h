// The language of the program's texts: the original texts of the catalogue
// (base/messages.h) or their English translation.
#pragma once

#include <optional>
#include <string_view>

namespace belmora {

enum class Language { kOriginal, kEnglish };

// The language the environment asks for, as gettext reads it: LC_ALL, then
// LC_MESSAGES, then LANG name the locale; a C or POSIX locale (or none)
// means the original texts, otherwise the first entry of LANGUAGE (when
// set) or the locale's own language decides. English only when that first
// preference is English.
Language LanguageFromEnvironment();
// "en" or "original" (the values of --lang); nullopt for anything else.
std::optional<Language> ParseLanguage(std::string_view name);
const char* LanguageName(Language language);

// The language Tr translates into; the original texts until set.
void SetLanguage(Language language);
Language CurrentLanguage();

// How a front end translates a catalogue text itself (the application
// through Qt's translator); null for the built-in English table. Must be
// safe to call from any thread and return text that lives until the end
// of the program.
using TranslateFunction = const char* (*)(const char* original);
void SetTranslateFunction(TranslateFunction function);

// The text to show for a catalogue text in the current language: the
// original itself when the language is the original or no translation
// exists. The result lives until the end of the program.
const char* Tr(const char* original);

// The built-in English table (made from translations/belmora_en.ts when
// building): the English text of `original`, or null.
const char* EnglishText(std::string_view original);

}  // namespace belmora
