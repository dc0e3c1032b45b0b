#include "XorgMouseDisplay.hpp"

#include "XvfbDisplay.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quadrel::testing {
namespace {

// No udev in a test: the mouse is named in the configuration, nothing else is
// looked for. MouseSystems reports need no start-up talk with the device.
std::string Configuration(const std::string& pipe, int width, int height) {
  std::ostringstream conf;
  conf << "Section \"ServerFlags\"\n"
          "  Option \"AutoAddDevices\" \"false\"\n"
          "  Option \"AutoEnableDevices\" \"false\"\n"
          "  Option \"DontVTSwitch\" \"true\"\n"
          "EndSection\n"
          "Section \"Device\"\n  Identifier \"card\"\n  Driver \"dummy\"\n"
          "  VideoRam 32768\nEndSection\n"
          "Section \"Monitor\"\n  Identifier \"monitor\"\n  HorizSync 5.0 - 1000.0\n"
          "  VertRefresh 5.0 - 200.0\nEndSection\n"
          "Section \"Screen\"\n  Identifier \"screen\"\n  Device \"card\"\n"
          "  Monitor \"monitor\"\n  DefaultDepth 24\n  SubSection \"Display\"\n"
          "    Depth 24\n    Virtual "
       << width << " " << height
       << "\n  EndSubSection\nEndSection\n"
          "Section \"InputDevice\"\n  Identifier \"hand\"\n  Driver \"mouse\"\n"
          "  Option \"Device\" \""
       << pipe
       << "\"\n  Option \"Protocol\" \"MouseSystems\"\n"
          "  Option \"Emulate3Buttons\" \"false\"\nEndSection\n"
          "Section \"ServerLayout\"\n  Identifier \"layout\"\n  Screen \"screen\"\n"
          "  InputDevice \"hand\" \"CorePointer\"\nEndSection\n";
  return conf.str();
}

}  // namespace

XorgMouseDisplay::XorgMouseDisplay(int width, int height) {
  char dir[] = "/tmp/quadrel-xorg-XXXXXX";
  if (!mkdtemp(dir)) return;
  dir_ = dir;
  const std::string pipe = dir_ + "/mouse";
  mkdir((dir_ + "/conf.d").c_str(), 0700);
  std::ofstream(dir_ + "/xorg.conf") << Configuration(pipe, width, height);
  // Held open for reading too, so writes never block or fail before Xorg
  // opens its end.
  if (mkfifo(pipe.c_str(), 0600) != 0) return;
  pipe_ = open(pipe.c_str(), O_RDWR | O_CLOEXEC);
  if (pipe_ < 0) return;
  // The server itself, not the wrapper in PATH, which insists on a console.
  pid_ = StartXServer({"/usr/lib/xorg/Xorg", "Xorg"},
                      {"-config", dir_ + "/xorg.conf", "-configdir", dir_ + "/conf.d", "-logfile",
                       dir_ + "/xorg.log", "-noreset", "-nolisten", "tcp", "-novtswitch",
                       "-sharevts", "-keeptty"},
                      20000, name_);
  if (pid_ < 0) return;
  setenv("DISPLAY", name_.c_str(), 1);
  display_ = XOpenDisplay(name_.c_str());
  if (!display_) return;
  int event = 0, error = 0, major = 2, minor = 2;
  if (!XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error) ||
      XIQueryVersion(display_, &major, &minor) != Success) {
    XCloseDisplay(display_);
    display_ = nullptr;
    return;
  }
  unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask, XI_RawMotion);
  XIEventMask events{XIAllMasterDevices, sizeof mask, mask};
  XISelectEvents(display_, DefaultRootWindow(display_), &events, 1);
  XSync(display_, False);
}

XorgMouseDisplay::~XorgMouseDisplay() {
  if (display_) XCloseDisplay(display_);
  if (pipe_ >= 0) close(pipe_);
  StopXServer(pid_);
  if (!dir_.empty()) {
    for (const char* name : {"/mouse", "/xorg.conf", "/xorg.log", "/xorg.log.old", "/conf.d"})
      remove((dir_ + name).c_str());
    rmdir(dir_.c_str());
  }
}

std::string XorgMouseDisplay::LogTail() const {
  std::ifstream in(dir_ + "/xorg.log");
  std::string line, tail;
  while (std::getline(in, line))
    if (line.find("(EE)") != std::string::npos) tail += line + "\n";
  return tail.empty() ? "no errors logged in " + dir_ + "/xorg.log" : tail;
}

void XorgMouseDisplay::SetAcceleration(int numerator, int denominator, int threshold) {
  XChangePointerControl(display_, True, True, numerator, denominator, threshold);
  XSync(display_, False);
}

bool XorgMouseDisplay::Move(int dx) {
  // A MouseSystems report: buttons (all up), then two x, y pairs (y upwards)
  // that the driver adds up.
  // Motion from before (xdotool's) is not this report's.
  XSync(display_, False);
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
  }
  dx = std::clamp(dx, -254, 254);
  const int8_t first = static_cast<int8_t>(dx / 2), second = static_cast<int8_t>(dx - dx / 2);
  const uint8_t report[5] = {0x87, static_cast<uint8_t>(first), 0, static_cast<uint8_t>(second),
                             0};
  if (write(pipe_, report, sizeof report) != static_cast<ssize_t>(sizeof report)) return false;
  // Wait for the raw motion it makes, so the server has sent the motion to
  // every client before the test reads it.
  double seen = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (seen != dx && std::chrono::steady_clock::now() < deadline) {
    if (XPending(display_) == 0) {
      pollfd p{ConnectionNumber(display_), POLLIN, 0};
      poll(&p, 1, 10);
      continue;
    }
    XEvent event;
    XNextEvent(display_, &event);
    if (event.xcookie.type != GenericEvent || event.xcookie.extension != opcode_ ||
        !XGetEventData(display_, &event.xcookie))
      continue;
    const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
    if (raw->evtype == XI_RawMotion && raw->valuators.mask_len > 0 &&
        XIMaskIsSet(raw->valuators.mask, 0))
      seen += raw->raw_values[0];
    XFreeEventData(display_, &event.xcookie);
  }
  XSync(display_, False);
  return seen == dx;
}

void XorgMouseDisplay::Warp(int x, int y) {
  XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, x, y);
  XSync(display_, False);
}

int XorgMouseDisplay::PointerX() {
  Window root, child;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned int buttons = 0;
  XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx, &wy,
                &buttons);
  return x;
}

}  // namespace quadrel::testing
