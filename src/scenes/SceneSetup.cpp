#include "scenes/SceneSetup.hpp"

#include <algorithm>


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

void InputEdges::HoldAll() {
  std::fill(std::begin(keys_.keys), std::end(keys_.keys), uint8_t{0x80});
  std::fill(std::begin(mouse_.rgbButtons), std::end(mouse_.rgbButtons), uint8_t{0x80});
}

void InputEdges::Read(GameInputDevice& input) {
  mouseBefore_ = mouse_;
  keysBefore_ = keys_;
  input.ReadMouse(mouse_);
  input.ReadKeyboard(keys_);
}

void InputEdges::TakeKeys(const KeyboardState& keys) {
  keysBefore_ = keys_;
  keys_ = keys;
}

bool TakeSoundKeys(PlayerSettings& settings, const InputEdges& input) {
  bool changed = false;
  if (input.KeyPressed(playerKey::M)) {
    settings.muted = !settings.muted;
    changed = true;
  }
  for (const auto& [code, step] : {std::pair{playerKey::Plus, 1}, std::pair{playerKey::PadPlus, 1},
                                   std::pair{playerKey::Minus, -1},
                                   std::pair{playerKey::PadMinus, -1}}) {
    if (!input.KeyPressed(code)) continue;
    settings.volume = std::clamp(settings.volume + step, 0, kVolumeSteps);
    settings.muted = false;
    changed = true;
  }
  return changed;
}

void TakeMenuSoundKeys(SceneServices& services, const InputEdges& input) {
  if (!TakeSoundKeys(services.settings, input)) return;
  services.applySound(services.settings);
  services.saveSettings(services.settings);
}

}  // namespace quadrel
