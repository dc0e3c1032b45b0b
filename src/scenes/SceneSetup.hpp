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

// M mutes or unmutes, - and + step the level (and bring the sound back);
// only keys that went down since before count. True when settings changed.
bool TakeSoundKeys(PlayerSettings& settings, const KeyboardState& now,
                   const KeyboardState& before);
// The menus' sound keys: a change is put into effect and kept.
void TakeMenuSoundKeys(SceneServices& services, const KeyboardState& now,
                       const KeyboardState& before);

void LoadSceneView(render::Graphics& g, render::ColourValue shadowColour);

// The load step of the title, ranking and replay-list scenes: render states,
// an unlit view, the clear colour, two bold fonts (made in this order) and the
// background picture.
void LoadMenuScene(render::Graphics& g, uint32_t clearColour, render::Font*& first,
                   int32_t firstHeight, render::Font*& second, int32_t secondHeight,
                   const char* background);

// A menu's reads for one tick; true when Alt+Enter went down in it. Only the
// press switches the display: held keys would flip it on every tick.
bool ReadMenuInput(GameInputDevice& input, MouseState& mouse, KeyboardState& keyboard,
                   const KeyboardState& previousKeyboard);

}  // namespace quadrel
