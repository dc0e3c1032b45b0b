// The scene backgrounds and the floor texture: DDS headers as Direct3D 9 era
// loaders expect them, and backgrounds that stay dark or plain enough where
// their scenes draw text.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "AssetFiles.hpp"

namespace quadrel::assettest {
namespace {

// Surface description flags and capabilities.
constexpr uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8, kPixelFormat = 0x1000,
                   kMipMapCount = 0x20000;
constexpr uint32_t kRgb = 0x40, kAlphaPixels = 0x1;
constexpr uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipMap = 0x400000;

DdsPicture Load(const std::string& name, std::string& bytes) {
  bytes = ReadBytes(RuntimeDir() / "texture" / name);
  std::string error;
  DdsPicture p = ReadDds(bytes, error);
  EXPECT_EQ(error, "") << name;
  return p;
}

void ExpectA8R8G8B8(const DdsPicture& p) {
  EXPECT_EQ(p.headerSize, 124u);
  EXPECT_EQ(p.flags & (kCaps | kHeight | kWidth | kPixelFormat | kPitch), kCaps | kHeight | kWidth | kPixelFormat | kPitch);
  EXPECT_EQ(p.pitch, p.width * 4);
  EXPECT_EQ(p.formatSize, 32u);
  EXPECT_EQ(p.formatFlags, kRgb | kAlphaPixels);
  EXPECT_EQ(p.bitCount, 32u);
  EXPECT_EQ(p.redMask, 0x00FF0000u);
  EXPECT_EQ(p.greenMask, 0x0000FF00u);
  EXPECT_EQ(p.blueMask, 0x000000FFu);
  EXPECT_EQ(p.alphaMask, 0xFF000000u);
  EXPECT_TRUE(p.caps & kCapsTexture);
}

TEST(Pictures, BackgroundsAre640x480A8R8G8B8Dds) {
  for (const char* name : {"back.dds", "title.dds", "ranking.dds", "select.dds"}) {
    SCOPED_TRACE(name);
    std::string bytes;
    const DdsPicture p = Load(name, bytes);
    ExpectA8R8G8B8(p);
    EXPECT_EQ(p.width, 640u);
    EXPECT_EQ(p.height, 480u);
    EXPECT_EQ(bytes.size(), 128u + 640u * 480u * 4u);
    bool opaque = true;
    for (uint32_t px : p.pixels) opaque = opaque && (px >> 24) == 0xFF;
    EXPECT_TRUE(opaque);
  }
}

TEST(Pictures, FloorTextureCarriesItsWholeMipChain) {
  std::string bytes;
  const DdsPicture p = Load("floor.dds", bytes);
  ExpectA8R8G8B8(p);
  ASSERT_EQ(p.width, p.height);
  ASSERT_EQ(p.width & (p.width - 1), 0u) << "a power of two";
  EXPECT_TRUE(p.flags & kMipMapCount);
  EXPECT_EQ(p.caps & (kCapsComplex | kCapsMipMap), kCapsComplex | kCapsMipMap);
  size_t expected = 128, levels = 0;
  for (uint32_t size = p.width; size >= 1; size /= 2, ++levels) expected += size_t{size} * size * 4;
  EXPECT_EQ(p.mipCount, levels);
  EXPECT_EQ(bytes.size(), expected);
}

double Luminance(uint32_t argb) {
  auto linear = [](uint32_t c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear((argb >> 16) & 255) + 0.7152 * linear((argb >> 8) & 255) + 0.0722 * linear(argb & 255);
}

// Where a scene draws a text (its extent, generously), and in what colour.
struct TextArea {
  int x0, y0, x1, y1;
  uint32_t colour;
  const char* what;
};

// Contrast ratio of a text colour against the mean of the picture under it
// (3 is the usual floor for large text).
double Contrast(const DdsPicture& p, const TextArea& a) {
  double sum = 0;
  for (int y = a.y0; y < a.y1; ++y)
    for (int x = a.x0; x < a.x1; ++x) sum += Luminance(p.pixels[static_cast<size_t>(y) * p.width + x]);
  const double background = sum / ((a.x1 - a.x0) * (a.y1 - a.y0)), text = Luminance(a.colour);
  return (std::max(text, background) + 0.05) / (std::min(text, background) + 0.05);
}

TEST(Pictures, TextsOfEachSceneStandOutFromItsBackground) {
  const std::vector<std::pair<const char*, std::vector<TextArea>>> scenes = {
      {"back.dds",
       {{0, 0, 150, 34, 0xFF0096FF, "score"},
        {545, 0, 615, 20, 0xFFFFFF00, "LEVEL"},
        {560, 20, 600, 54, 0xFF96FF64, "level number"},
        {535, 60, 625, 80, 0xFFFFFF00, "JUGGLING"},
        {550, 80, 610, 114, 0xFFFF6432, "juggling count"},
        {530, 120, 630, 140, 0xFFFFFF00, "BALL REST"},
        {560, 140, 600, 174, 0xFFFFFFFF, "balls left"}}},
      {"title.dds",
       {{80, 120, 560, 196, 0xFF0064FF, "game name"},
        {235, 244, 405, 276, 0xFFFFFF00, "[ Game Start ]"},
        {205, 304, 435, 336, 0xFFFFFF00, "[ Playback Replay ]"},
        {275, 364, 365, 396, 0xFFFFFF00, "[ Exit ]"}}},
      {"ranking.dds",
       {{180, 60, 460, 110, 0xFFFF6432, "heading"},
        {60, 140, 600, 340, 0xFFFFFFFF, "table"},
        {80, 340, 560, 390, 0xFFFFFF00, "questions"},
        {160, 365, 480, 415, 0xFFFFFFFF, "name editor"},
        {184, 390, 256, 430, 0xFFFFFF00, "Yes"},
        {396, 390, 444, 430, 0xFFFFFF00, "No"}}},
      {"select.dds",
       {{220, 40, 420, 74, 0xFF5096FF, "heading"},
        {150, 120, 450, 140, 0xFF96FF64, "column heads"},
        {140, 160, 500, 360, 0xFFFFFFFF, "rows"},
        {245, 400, 395, 420, 0xFFFFFF00, "[ Back to Title ]"}}},
  };
  for (const auto& [name, areas] : scenes) {
    std::string bytes;
    const DdsPicture p = Load(name, bytes);
    ASSERT_EQ(p.pixels.size(), 640u * 480u);
    for (const TextArea& a : areas) EXPECT_GE(Contrast(p, a), 3.0) << name << ": " << a.what;
  }
}

// The title's buttons are drawn at a third of full opacity until the mouse
// is over them: they need a dark ground to be seen at all.
TEST(Pictures, TitleKeepsItsDimmedButtonsOnDarkGround) {
  std::string bytes;
  const DdsPicture p = Load("title.dds", bytes);
  ASSERT_EQ(p.pixels.size(), 640u * 480u);
  double sum = 0;
  int count = 0;
  for (int y = 244; y < 396; ++y)
    for (int x = 205; x < 435; ++x, ++count) sum += Luminance(p.pixels[static_cast<size_t>(y) * 640 + x]);
  EXPECT_LT(sum / count, 0.03);
}

}  // namespace
}  // namespace quadrel::assettest
