// The game's side of the X connections SDL opens: an error handler that lets
// the game survive an error about a window that is already gone, and a wait
// on the connection that leaves SDL's wake-up machinery out.
#pragma once

struct SDL_Window;

namespace quadrel::io {

class XErrorFilter;

// Puts the game's handler in front of the current one (Xlib's, which prints
// and ends the process), once. Call it before SDL starts video: SDL puts its
// own handler in front at start, passing errors on to ours, and puts ours
// back when video stops, before it closes its connections, which is when the
// errors of its second connection are read. Errors the filter does not
// tolerate go on to the handler that was current, as before.
void InstallXErrorGuard();
bool XErrorGuardInstalled();

// The process-wide filter the handler reports to (tests read its count).
XErrorFilter& XErrorGuardFilter();

enum class WindowWait { Input, Timeout, NotX11 };

// Blocks until the window's X connection has input or the time is up. NotX11
// (at once) when the window is not on X11; the caller waits through SDL then.
WindowWait WaitForWindowInput(SDL_Window* window, int milliseconds);

}  // namespace quadrel::io
