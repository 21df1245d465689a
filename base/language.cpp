#include "base/language.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <string>

namespace belmora {
namespace {

struct EnglishEntry {
  std::string_view Original;
  const char* English;
};

// Sorted by the original text's bytes.
constexpr EnglishEntry kEnglishTable[] = {
#include "base/english_table.inc"
};

std::atomic<Language> gLanguage{Language::kOriginal};
std::atomic<TranslateFunction> gTranslate{nullptr};

const char* Getenv(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool IsEnglish(std::string_view name) {
  return name == "en" || name.starts_with("en_") || name.starts_with("en.") ||
         name.starts_with("en@");
}

}  // namespace

Language LanguageFromEnvironment() {
  const char* locale = Getenv("LC_ALL");
  if (!locale) locale = Getenv("LC_MESSAGES");
  if (!locale) locale = Getenv("LANG");
  if (!locale) return Language::kOriginal;
  const std::string_view l = locale;
  if (l == "C" || l == "POSIX" || l.starts_with("C.") || l.starts_with("C@"))
    return Language::kOriginal;
  std::string_view first = l;
  if (const char* list = Getenv("LANGUAGE")) {
    const std::string_view all = list;
    first = all.substr(0, all.find(':'));
  }
  return IsEnglish(first) ? Language::kEnglish : Language::kOriginal;
}

std::optional<Language> ParseLanguage(std::string_view name) {
  if (name == "en") return Language::kEnglish;
  if (name == "original") return Language::kOriginal;
  return std::nullopt;
}

const char* LanguageName(Language language) {
  return language == Language::kEnglish ? "en" : "original";
}

void SetLanguage(Language language) { gLanguage = language; }
Language CurrentLanguage() { return gLanguage; }
void SetTranslateFunction(TranslateFunction function) { gTranslate = function; }

const char* Tr(const char* original) {
  if (gLanguage == Language::kOriginal || !original || !*original) return original;
  if (TranslateFunction f = gTranslate) return f(original);
  const char* english = EnglishText(original);
  return english ? english : original;
}

const char* EnglishText(std::string_view original) {
  const auto* end = std::end(kEnglishTable);
  const auto* it = std::lower_bound(
      std::begin(kEnglishTable), end, original,
      [](const EnglishEntry& e, std::string_view s) { return e.Original < s; });
  return it != end && it->Original == original ? it->English : nullptr;
}

}  // namespace belmora
