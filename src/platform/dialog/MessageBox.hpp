// User-facing reports as message boxes, and the quit request they make.
#pragma once

#include <string>

#include "base/Diagnostics.hpp"

struct SDL_Window;

namespace quadrel::io {

// Set when something asks the program to end; the main loop polls it and
// ends at its next pass with ExitCode(). A failure code (non-zero) is never
// replaced by a later 0.
class QuitRequest {
 public:
  void Request(int exitCode) {
    if (!requested_ || exitCode_ == 0) exitCode_ = exitCode;
    requested_ = true;
  }
  bool Requested() const { return requested_; }
  int ExitCode() const { return exitCode_; }
  void Clear() {
    requested_ = false;
    exitCode_ = 0;
  }

 private:
  bool requested_ = false;
  int exitCode_ = 0;
};

// Shows "Debug" as an information box and "Error" as a warning box, titled in
// the player's language (BoxTitle), with the cursor made visible first; the
// game's own drawn box (Japanese-capable), else SDL's. Without a display nothing is shown: every report is on standard
// error already. RequestQuit goes to the QuitRequest.
class SdlMessageSink final : public MessageSink {
 public:
  explicit SdlMessageSink(QuitRequest& quit) : quit_(quit) {}

  // The box is kept above this window (nullptr: no owner).
  void SetParentWindow(SDL_Window* window) { parent_ = window; }

  void ShowMessage(const std::string& caption, const std::string& text) override;
  void RequestQuit(int exitCode) override { quit_.Request(exitCode); }

 private:
  QuitRequest& quit_;
  SDL_Window* parent_ = nullptr;
};

}  // namespace quadrel::io
