// A hidden game window with the OpenGL services, on a private Xvfb display,
// in a temporary working folder that tests fill with small assets.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SampleAssets.hpp"
#include "platform/render/GlGraphics.hpp"

struct SDL_Window;

namespace quadrel::testing {

struct Rgb {
  int r, g, b;
};

class GlTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The device with the default states every scene loads, camera looking at
  // the origin from eye.
  void StartDevice();
  void LoadSceneStates(render::Vec3 eye, render::Vec3 at);
  // Loads a model written from m into a new mesh.
  render::Mesh* MakeMesh(const std::string& name, const sample::XModel& m);
  // A solid background picture of one colour.
  void SolidBackground(uint32_t argb);
  Rgb Pixel(int x, int y);  // of the last ReadPicture
  void Read();
  // Picture pixel of a world point under the current camera.
  void Project(render::Vec3 world, int& x, int& y);

  SDL_Window* window_ = nullptr;
  std::unique_ptr<render::GlGraphics> g_;
  std::unique_ptr<sample::TempDir> dir_;
  std::string home_;
  std::vector<uint8_t> picture_;
};

}  // namespace quadrel::testing
