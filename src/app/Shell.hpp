// The program's one loop: window events first, then, unless the window is
// minimised or hidden, one tick of the scene that AppContext.scene names. A
// pass that finds neither an event nor a due step waits about a millisecond;
// while the scene is paused every pass waits for an event, a few times a
// second at most.
#pragma once

#include <cstdint>

#include "game/AppContext.hpp"
#include "base/Diagnostics.hpp"
#include "scenes/SceneTable.hpp"
#include "platform/render/Clock.hpp"

namespace quadrel::app {

struct WindowEvent {
  enum Kind { Quit, Escape, MouseMove } kind = Quit;
  int32_t x = 0, y = 0;  // picture pixels, for MouseMove
};

// What the loop needs from the window system.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // The next event the loop acts on; false when none is waiting.
  virtual bool PollEvent(WindowEvent& event) = 0;
  virtual bool Minimised() = 0;
  // Waits about a millisecond (or until an event arrives).
  virtual void Idle() = 0;
  // Waits until an event arrives, at most milliseconds.
  virtual void WaitForEvent(int milliseconds) {
    (void)milliseconds;
    Idle();
  }
};

// The longest a paused scene's loop sleeps between two ticks.
constexpr int kPausedWait = 100;

class Shell;

// Installed while the shell runs: messages go on to the sink that was current
// before, and RequestQuit ends the loop with its code.
class ShellMessageSink final : public MessageSink {
 public:
  explicit ShellMessageSink(Shell& shell);
  ~ShellMessageSink() override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  void RequestQuit(int exitCode) override;

 private:
  Shell& shell_;
  MessageSink* inner_;
};

class Shell {
 public:
  Shell(AppContext& ctx, WindowSystem& window, platform::Clock& clock, const SceneTable& scenes);
  ~Shell();

  // One pass of the loop; false once the program is to end.
  bool Pass();
  // Passes until the end; returns the exit code.
  int Run();
  void RequestQuit(int exitCode);
  bool Quitting() const { return quitting_; }
  int ExitCode() const { return exitCode_; }
  // Ticks run so far, and passes that waited.
  int64_t Ticks() const { return ticks_; }
  int64_t Idles() const { return idles_; }

 private:
  AppContext& ctx_;
  WindowSystem& window_;
  platform::Clock& clock_;
  MillisecondClock clockFunction_;
  SceneTable scenes_;
  ShellMessageSink sink_;
  bool quitting_ = false;
  int exitCode_ = 0;
  int64_t ticks_ = 0;
  int64_t idles_ = 0;
};

}  // namespace quadrel::app
