// The player's language: chosen from the environment without an installed
// locale, and a missing or damaged catalogue leaves the English texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/Translate.hpp"
#include "TempFolder.hpp"

namespace quadrel::test {
namespace {

TEST(Language, FirstSetVariableDecidesAndOnlyJapaneseIsJapanese) {
  struct Case {
    const char *language, *lcAll, *lcMessages, *lang;
    Language expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
      {nullptr, nullptr, nullptr, "C.UTF-8", Language::English},
      {nullptr, nullptr, nullptr, "fr_FR.UTF-8", Language::English},  // unknown: English
      {nullptr, nullptr, nullptr, nullptr, Language::English},
      {"", "", "", "ja", Language::Japanese},                           // empty means unset
      {nullptr, "C", nullptr, "ja_JP.UTF-8", Language::English},        // LC_ALL before LANG
      {nullptr, nullptr, "ja_JP.eucJP", "en_US.UTF-8", Language::Japanese},
      {"fr:ja:en", "C", nullptr, nullptr, Language::Japanese},          // LANGUAGE is a list
      {"en_GB", nullptr, nullptr, "ja_JP.UTF-8", Language::English},
      {"fr", nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},      // nothing of ours in it
  };
  for (const Case& c : cases)
    EXPECT_EQ(LanguageFromEnvironment(c.language, c.lcAll, c.lcMessages, c.lang), c.expected)
        << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
        << (c.lang ? c.lang : "-");
}

class Catalogue : public TempFolder {
 protected:
  void TearDown() override {
    StartTranslation("", Language::English);
    TempFolder::TearDown();
  }
};

TEST_F(Catalogue, JapaneseComesFromTheBuiltCatalogueWithoutAJapaneseLocale) {
  ASSERT_EQ(StartTranslation(QUADREL_TEST_LOCALE_DIR, Language::Japanese), Language::Japanese);
  EXPECT_STREQ(Tr("Could not read a model file."), "Xファイルの読み込みに失敗しました。");
  EXPECT_EQ(Tr("File: %s", "a_b.x"), "ファイル : a_b.x");
  EXPECT_STREQ(Tr("a text of no catalogue"), "a text of no catalogue");
}

TEST_F(Catalogue, MissingOrDamagedCatalogueLeavesEnglish) {
  EXPECT_EQ(StartTranslation((dir_ / "none").string(), Language::Japanese), Language::English);
  EXPECT_STREQ(Tr("Could not read a model file."), "Could not read a model file.");
  const auto folder = dir_ / "locale" / "ja" / "LC_MESSAGES";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "quadrel.mo", std::ios::binary) << "\xde\x12\x04\x95 damaged";
  EXPECT_EQ(StartTranslation((dir_ / "locale").string(), Language::Japanese), Language::English);
  EXPECT_STREQ(Tr("Could not read a model file."), "Could not read a model file.");
}

}  // namespace
}  // namespace quadrel::test
