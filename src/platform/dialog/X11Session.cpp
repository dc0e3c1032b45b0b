#include "platform/dialog/X11Session.hpp"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/dialog/XErrorFilter.hpp"

namespace quadrel::io {
namespace {

XErrorFilter guardFilter;
std::atomic<XErrorHandler> chained{nullptr};
std::atomic<bool> installed{false};

int OnXError(Display* display, XErrorEvent* event) {
  const XErrorReport report{event->error_code, event->request_code, event->minor_code,
                            event->resourceid, event->serial};
  if (XErrorFilter::Tolerated(report)) {
    char errorName[160] = "";
    XGetErrorText(display, event->error_code, errorName, sizeof errorName);
    char number[16];
    std::snprintf(number, sizeof number, "%d", event->request_code);
    char requestName[160] = "";
    XGetErrorDatabaseText(display, "XRequest", number, "", requestName, sizeof requestName);
    const std::string line = guardFilter.Note(report, errorName, requestName);
    if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
    return 0;
  }
  // Anything else is handled as it was before the guard.
  const XErrorHandler next = chained.load();
  return next ? next(display, event) : 0;
}

}  // namespace

void InstallXErrorGuard() {
  if (installed.exchange(true)) return;
  // Xlib returns its default handler when none was set, never null.
  chained = XSetErrorHandler(OnXError);
}

bool XErrorGuardInstalled() { return installed.load(); }

XErrorFilter& XErrorGuardFilter() { return guardFilter; }

WindowWait WaitForWindowInput(SDL_Window* window, int milliseconds) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
    return WindowWait::NotX11;
  Display* display = info.info.x11.display;
  // Flushes, and counts events Xlib has read already: poll() would not see those.
  if (XPending(display) > 0) return WindowWait::Input;
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  const int ready = poll(&connection, 1, milliseconds);
  // A signal (ready < 0, EINTR) counts as input: SDL's next poll turns it into SDL_QUIT.
  if (ready < 0 && errno != EINTR) return WindowWait::Timeout;
  return ready == 0 ? WindowWait::Timeout : WindowWait::Input;
}

}  // namespace quadrel::io
