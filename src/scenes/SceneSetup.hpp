// The view every scene loads: black fog from 100 to 180, full gamma, clamped
// texture addressing, the planar shadow under a light at (0, 50, -50), and the
// camera at (0, 20, -70) looking at (0, 25, 0).
#pragma once

#include "base/GamePorts.hpp"
#include "files/PlayerSettings.hpp"
#include "platform/render/Graphics.hpp"
#include "scenes/SceneServices.hpp"

namespace quadrel {

// Key codes of the player's controls (by key position, as every key code).
namespace playerKey {
constexpr int P = 0x19;
constexpr int M = 0x32;
constexpr int Minus = 0x0C;
constexpr int Plus = 0x0D;  // the "=" key, "+" with Shift
constexpr int PadMinus = 0x4A;
constexpr int PadPlus = 0x4E;
}  // namespace playerKey

inline bool AltDown(const KeyboardState& k) {
  return IsDown(k.keys[key::LeftAlt]) || IsDown(k.keys[key::RightAlt]);
}
// Either Alt key with Enter: the display-mode keys.
inline bool AltEnterDown(const KeyboardState& k) { return AltDown(k) && IsDown(k.keys[key::Enter]); }

// One snapshot of the devices per tick and the one before it: every "went
// down" of a scene is answered here, so a held key or button acts once.
class InputEdges {
 public:
  // Keys and buttons held when a scene starts are no press.
  void HoldAll();
  // The devices' state now; the last one becomes "before".
  void Read(GameInputDevice& input);
  void TakeKeys(const KeyboardState& keys);

  bool KeyPressed(int code) const { return IsDown(keys_.keys[code]) && !IsDown(keysBefore_.keys[code]); }
  bool Clicked() const { return IsDown(mouse_.rgbButtons[0]) && !IsDown(mouseBefore_.rgbButtons[0]); }
  // Only the press switches the display: held keys would flip it every tick.
  bool AltEnterPressed() const { return AltEnterDown(keys_) && !AltEnterDown(keysBefore_); }
  const KeyboardState& keys() const { return keys_; }
  const KeyboardState& keysBefore() const { return keysBefore_; }

 private:
  MouseState mouse_{}, mouseBefore_{};
  KeyboardState keys_{}, keysBefore_{};
};

// M mutes or unmutes, - and + step the level (and bring the sound back);
// only keys that went down since before count. True when settings changed.
bool TakeSoundKeys(PlayerSettings& settings, const InputEdges& input);
// The menus' sound keys: a change is put into effect and kept.
void TakeMenuSoundKeys(SceneServices& services, const InputEdges& input);

void LoadSceneView(render::Graphics& g, render::ColourValue shadowColour);

// The load step of the title, ranking and replay-list scenes: render states,
// an unlit view, the clear colour, two bold fonts (made in this order) and the
// background picture.
void LoadMenuScene(render::Graphics& g, uint32_t clearColour, render::Font*& first,
                   int32_t firstHeight, render::Font*& second, int32_t secondHeight,
                   const char* background);

}  // namespace quadrel
