// The player's language. Every text the player or the log sees is written in
// English where it is used and looked up through Tr(); the Japanese catalogue
// (po/ja.po, built into LOCALE/ja/LC_MESSAGES/quadrel.mo) gives the Japanese.
// Without a catalogue, or in a build without libintl, Tr() is the identity,
// so a missing or damaged catalogue shows the English texts.
#pragma once

#include <string>

namespace quadrel {

enum class Language { English, Japanese };

// The language the environment asks for: the first of LANGUAGE's entries that
// names English or Japanese, else the first set of LC_ALL, LC_MESSAGES and
// LANG; "ja..." is Japanese, anything else (C.UTF-8, unknown) English.
Language LanguageFromEnvironment(const char* language, const char* lcAll, const char* lcMessages,
                                 const char* lang);
Language LanguageFromEnvironment();

// Looks texts up in localeFolder's catalogue for the language. Returns the
// language in effect: English when the catalogue is missing or unreadable.
Language StartTranslation(const std::string& localeFolder, Language wanted);
Language CurrentLanguage();

// The text in the player's language; never empty for a non-empty text.
const char* Tr(const char* english);
// Tr(english) with its first "%s" replaced by value (no printf formats, so a
// translation cannot ask for arguments that are not there).
std::string Tr(const char* english, const std::string& value);

}  // namespace quadrel

// Marks a text for the catalogue where it is defined; Tr() looks it up later.
#define N_(text) text
