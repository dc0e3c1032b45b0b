#include "scenes/SceneSetup.hpp"

#include <algorithm>

#include "scenes/FramedScene.hpp"

namespace quadrel {

using namespace render;

void LoadSceneView(Graphics& g, ColourValue shadowColour) {
  g.SetFog(1, 0xFF000000u, 100.0f, 180.0f);
  g.SetGammaLevel(255);
  g.SetSamplerState(0, ss::AddressU, ss::AddressClamp);
  g.SetShadowProjection(Vec3{0, 50, -50}, Vec3{0, 0.1f, 0}, Vec3{0, 1, 0}, shadowColour);
  Camera& camera = g.GetCamera();
  camera.eye = Vec3{0, 20, -70};
  camera.at = Vec3{0, 25, 0};
  camera.up = Vec3{0, 1, 0};
  camera.fovDegrees = 45.0f;
  camera.nearPlane = 1.0f;
  camera.farPlane = 300.0f;
}

void LoadMenuScene(Graphics& g, uint32_t clearColour, Font*& first, int32_t firstHeight,
                   Font*& second, int32_t secondHeight, const char* background) {
  g.ResetRenderStates();
  g.SetMainLight(Light{}, Vec3{0, 0, 0}, 1);
  LoadSceneView(g, ColourValue{0.6f, 0.6f, 0.6f, 1.0f});
  g.SetClearColour(clearColour);
  g.DestroyAllFonts();
  g.CreateFontObject(first);
  g.CreateFontObject(second);
  if (first) first->Create("Times New Roman", firstHeight, 700, 0);
  if (second) second->Create("Times New Roman", secondHeight, 700, 0);
  g.LoadBackground(background, 640, 480);
}

bool ReadMenuInput(GameInputDevice& input, MouseState& mouse, KeyboardState& keyboard,
                   const KeyboardState& previousKeyboard) {
  input.ReadMouse(mouse);
  input.ReadKeyboard(keyboard);
  return AltEnterDown(keyboard) && !AltEnterDown(previousKeyboard);
}

bool TakeSoundKeys(PlayerSettings& settings, const KeyboardState& now,
                   const KeyboardState& before) {
  auto pressed = [&](int code) { return IsDown(now.keys[code]) && !IsDown(before.keys[code]); };
  bool changed = false;
  if (pressed(playerKey::M)) {
    settings.muted = !settings.muted;
    changed = true;
  }
  for (const auto& [code, step] : {std::pair{playerKey::Plus, 1}, std::pair{playerKey::PadPlus, 1},
                                   std::pair{playerKey::Minus, -1},
                                   std::pair{playerKey::PadMinus, -1}}) {
    if (!pressed(code)) continue;
    settings.volume = std::clamp(settings.volume + step, 0, kVolumeSteps);
    settings.muted = false;
    changed = true;
  }
  return changed;
}

void TakeMenuSoundKeys(SceneServices& services, const KeyboardState& now,
                       const KeyboardState& before) {
  if (!TakeSoundKeys(services.settings, now, before)) return;
  services.applySound(services.settings);
  services.saveSettings(services.settings);
}

}  // namespace quadrel
