// What the scenes reach the platform through: drawing, input devices, sound,
// the millisecond clock, the window's cursor and the internet ranking. The
// program passes the SDL and OpenGL services, tests the headless ones.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "base/RankingProtocol.hpp"
#include "files/PlayerSettings.hpp"
#include "game/GameState.hpp"
#include "platform/render/Clock.hpp"
#include "platform/render/Graphics.hpp"
#include "ranking/RankingTable.hpp"

namespace quadrel {

class SceneWindow {
 public:
  virtual ~SceneWindow() = default;
  // Shows or hides the mouse cursor; a hidden cursor in the game also takes
  // the mouse in relative mode so movement never stops at a screen edge.
  virtual void ShowCursor(bool show) = 0;
  // The window has the keyboard and mouse (losing it pauses a game).
  virtual bool HasFocus() { return true; }
};

// A replay to play back: a file of the replay folder, or a full path.
struct ReplayChoice {
  std::filesystem::path file;
};

struct SceneServices {
  render::Graphics& graphics;
  GameInputDevice& input;
  platform::Clock& clock;
  SceneWindow& window;
  // Creates the input and sound devices (the title's first tick, after the display).
  std::function<void()> startDevices = [] {};
  // Ends the program with this exit code.
  std::function<void(int)> quit = [](int) {};
  // A replay file named on the command line: the title's first tick hands it
  // to the game scene for playback, which returns to the title.
  std::string startupReplay = {};
  // Handed from the replay list or the startup replay to the game scene,
  // which takes it on its next entry in playback.
  std::optional<ReplayChoice> replayToPlay = {};
  // Calendar time for the ranking's time stamps.
  std::function<std::time_t()> calendarNow = [] { return std::time(nullptr); };
  // Sends a new row with the game's level and replay to the internet ranking:
  // a protocol::Verdict as its number. It runs on a worker
  // thread while the store stays untouched, and gives up once cancel is
  // raised. Until the program wires the network in, every registration fails.
  std::function<int32_t(const RankingEntry& row, int32_t reachedLevel, const ReplayStore& store,
                        const std::atomic<bool>& cancel)>
      registerOnline = [](const RankingEntry&, int32_t, const ReplayStore&,
                          const std::atomic<bool>&) {
        return static_cast<int32_t>(protocol::Verdict::Failed);
      };
  // The player's sound settings as read at start; saveSettings keeps a change.
  PlayerSettings settings{};
  std::function<void(const PlayerSettings&)> saveSettings = [](const PlayerSettings&) {};
  // Puts a changed sound level or mute into effect (the menus' M, - and +).
  std::function<void(const PlayerSettings&)> applySound = [](const PlayerSettings&) {};
};

}  // namespace quadrel
