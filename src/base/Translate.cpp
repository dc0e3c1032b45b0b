#include "base/Translate.hpp"

#include <cstdlib>
#include <cstring>
#include <string_view>

#if QUADREL_GETTEXT
#include <libintl.h>

#include <clocale>
#include <filesystem>
#endif

namespace quadrel {
namespace {

#if QUADREL_GETTEXT
constexpr char kDomain[] = "quadrel";
#endif
Language current = Language::English;

bool Set(const char* value) { return value && *value; }

Language Classify(std::string_view name) {
  return name.substr(0, 2) == "ja" ? Language::Japanese : Language::English;
}

}  // namespace

Language LanguageFromEnvironment(const char* language, const char* lcAll, const char* lcMessages,
                                 const char* lang) {
  if (Set(language)) {
    std::string_view list(language);
    while (!list.empty()) {
      const size_t colon = list.find(':');
      const std::string_view entry = list.substr(0, colon);
      if (entry.substr(0, 2) == "ja" || entry.substr(0, 2) == "en" || entry == "C") return Classify(entry);
      list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
  }
  for (const char* value : {lcAll, lcMessages, lang})
    if (Set(value)) return Classify(value);
  return Language::English;
}

Language LanguageFromEnvironment() {
  return LanguageFromEnvironment(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                 std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

#if QUADREL_GETTEXT

Language StartTranslation(const std::string& localeFolder, Language wanted) {
  current = Language::English;
  if (wanted != Language::Japanese || localeFolder.empty()) return current;
  std::error_code ec;
  const std::filesystem::path catalogue =
      std::filesystem::path(localeFolder) / "ja" / "LC_MESSAGES" / "quadrel.mo";
  if (!std::filesystem::is_regular_file(catalogue, ec)) return current;
  if (!bindtextdomain(kDomain, localeFolder.c_str())) return current;
  // The catalogue is UTF-8 whatever the character set of the locale.
  bind_textdomain_codeset(kDomain, "UTF-8");
  // The Japanese locale need not be installed: gettext then takes the
  // catalogue from LANGUAGE, which it reads only when the messages locale is
  // not plain "C". Numbers and the rest keep the "C" locale.
  const char* messages = std::setlocale(LC_MESSAGES, "");
  if (!messages || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0) {
    if (!std::setlocale(LC_MESSAGES, "C.UTF-8")) std::setlocale(LC_MESSAGES, "C.utf8");
  }
  setenv("LANGUAGE", "ja", 1);
  // A damaged catalogue translates nothing: then stay with English.
  constexpr char probe[] = "Quadrel - Error";
  if (dgettext(kDomain, probe) != std::string_view(probe)) current = Language::Japanese;
  return current;
}

const char* Tr(const char* english) {
  if (current != Language::Japanese || !english || !*english) return english;
  const char* text = dgettext(kDomain, english);
  return text && *text ? text : english;
}

#else

Language StartTranslation(const std::string&, Language) { return current; }

const char* Tr(const char* english) { return english; }

#endif

Language CurrentLanguage() { return current; }

std::string Tr(const char* english, const std::string& value) {
  std::string text = Tr(english);
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace quadrel
