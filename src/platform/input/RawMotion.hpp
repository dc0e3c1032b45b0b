// The mouse's own movement on X11, before the desktop's pointer acceleration:
// XInput2 raw motion from anywhere on the screen, read on a private
// connection to the window's X server. Full screen counts SDL's relative
// mode, which reads the same raw values, so a window that counts these moves
// the bar as far for the same hand movement, wherever the pointer is.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

struct SDL_Window;
struct _XDisplay;

namespace quadrel::io {

class RawMotion {
 public:
  // Null where raw motion is not to be had: another video driver than X11,
  // no XInput 2, or Xwayland (whose raw motion stops at its own windows).
  static std::unique_ptr<RawMotion> Open(SDL_Window* window);
  ~RawMotion();
  RawMotion(const RawMotion&) = delete;
  RawMotion& operator=(const RawMotion&) = delete;

  // Whole counts moved since the previous Take or Discard; the fractions
  // some devices report carry over to the next Take. Never blocks.
  void Take(int& dx, int& dy);
  // Forgets the movement so far (while it must not count).
  void Discard();
  // Whether the server sends raw motion at all: not while the window lacks
  // the focus, when nothing reads it (a minimised window) and it would pile
  // up. Starts off. Either way forgets the movement so far.
  void Listen(bool on);

 private:
  struct Device {
    int id;
    bool absolute[2];  // a tablet's axes: positions, counted by their change
    bool seen[2];
    double last[2];
  };
  RawMotion(_XDisplay* display, int opcode);
  void LoadDevices();
  Device* Find(int id);
  // Adds the movement the server has sent so far.
  void Poll(double& dx, double& dy);

  std::mutex mutex_;
  _XDisplay* display_;
  int opcode_;
  std::vector<Device> devices_;
  double restX_ = 0, restY_ = 0;
};

}  // namespace quadrel::io
