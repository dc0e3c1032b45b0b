// The game's message box sets every character of its text: the underscore of
// a file name in the Japanese face, and a path wider than the box shortened
// in the middle rather than cut off.
#include <SDL2/SDL_ttf.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/dialog/TextMessageBox.hpp"

namespace quadrel::io {
namespace {

class BoxText : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TTF_Init(), 0);
    int index = 0;
    const std::string file = FindFaceFor("ファイル : ./model/block_b.x", &index);
    ASSERT_FALSE(file.empty()) << "no face for Japanese text (fonts-ipafont-gothic)";
    font_ = TTF_OpenFontIndex(file.c_str(), 16, index);
    ASSERT_NE(font_, nullptr);
    PrepareBoxFont(font_);
  }
  void TearDown() override {
    if (font_) TTF_CloseFont(font_);
    TTF_Quit();
  }
  TTF_Font* font_ = nullptr;
};

TEST_F(BoxText, AnUnderscoreLeavesInk) {
  SDL_Surface* s = TTF_RenderUTF8_Blended(font_, "_", SDL_Color{0, 0, 0, 255});
  ASSERT_NE(s, nullptr);
  int inked = 0;
  for (int y = 0; y < s->h; ++y)
    for (int x = 0; x < s->w; ++x)
      inked += (static_cast<const Uint32*>(s->pixels)[y * (s->pitch / 4) + x] >> 24) > 100;
  SDL_FreeSurface(s);
  EXPECT_GT(inked, 0);
}

TEST_F(BoxText, AWideLineKeepsItsStartAndEnd) {
  std::string path = "/home/player";
  for (int i = 0; i < 30; ++i) path += "/a-long-folder-name";
  path += "/model/block_b.x";
  const std::string shown = ElideMiddle(font_, path, 600);
  int w = 0;
  ASSERT_EQ(TTF_SizeUTF8(font_, shown.c_str(), &w, nullptr), 0);
  EXPECT_LE(w, 600);
  EXPECT_EQ(shown.rfind("/home/", 0), 0u) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 16), "/model/block_b.x") << shown;
  EXPECT_NE(shown.find("\u2026"), std::string::npos);
  EXPECT_EQ(ElideMiddle(font_, "./model/block_b.x", 600), "./model/block_b.x");
  EXPECT_EQ(ElideMiddle(font_, "ファイル", 1), "\u2026");  // nothing fits: never beyond the line
}

}  // namespace
}  // namespace quadrel::io
