#include "app/Shell.hpp"

#include <string>

namespace quadrel::app {

ShellMessageSink::ShellMessageSink(Shell& shell)
    : shell_(shell), inner_(SetMessageSink(this)) {}

ShellMessageSink::~ShellMessageSink() {
  // Restore the sink we replaced, unless someone replaced us meanwhile.
  if (&CurrentMessageSink() == this) SetMessageSink(inner_);
}

void ShellMessageSink::ShowMessage(const std::string& caption, const std::string& text) {
  if (inner_) inner_->ShowMessage(caption, text);
}

void ShellMessageSink::RequestQuit(int exitCode) {
  if (inner_) inner_->RequestQuit(exitCode);
  shell_.RequestQuit(exitCode);
}

Shell::Shell(AppContext& ctx, WindowSystem& window, platform::Clock& clock,
             const SceneTable& scenes)
    : ctx_(ctx),
      window_(window),
      clock_(clock),
      clockFunction_(clock.AsFunction()),
      scenes_(scenes),
      sink_(*this) {}

Shell::~Shell() = default;

void Shell::RequestQuit(int exitCode) {
  if (quitting_) return;  // the first request decides the code
  quitting_ = true;
  exitCode_ = exitCode;
}

bool Shell::Pass() {
  bool anyEvent = false;
  WindowEvent event;
  while (!quitting_ && window_.PollEvent(event)) {
    anyEvent = true;
    switch (event.kind) {
      case WindowEvent::Quit:
      case WindowEvent::Escape:
        RequestQuit(0);
        break;
      case WindowEvent::MouseMove:
        ctx_.mouseX = event.x;
        ctx_.mouseY = event.y;
        break;
    }
  }
  if (quitting_) return false;
  if (window_.Minimised()) {
    window_.Idle();
    ++idles_;
    return !quitting_;
  }
  Scene* scene = scenes_.Find(ctx_.scene);
  if (!scene) {
    ShowDebugMessage("No scene has the id " + std::to_string(ctx_.scene) + "; the program ends.");
    RequestQuit(1);
    return false;
  }
  const FixedStepClock& c = scene->Clock();
  const bool stepDue = c.stepsThisSecond * c.stepLength + ctx_.secondBase <= ctx_.now;
  RunSceneTick(*scene, ctx_, clockFunction_);
  ++ticks_;
  if (scene->Paused() && !quitting_) {
    window_.WaitForEvent(kPausedWait);
    ++idles_;
  } else if (!stepDue && !anyEvent && !quitting_) {
    window_.Idle();
    ++idles_;
  }
  return !quitting_;
}

int Shell::Run() {
  while (Pass()) {
  }
  return exitCode_;
}

}  // namespace quadrel::app
