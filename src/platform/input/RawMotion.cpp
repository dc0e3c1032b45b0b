#include "platform/input/RawMotion.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
// SDL's window-system record names the X display only with Xlib included.
#include <SDL2/SDL_syswm.h>

#include <algorithm>
#include <cmath>

namespace quadrel::io {
namespace {

// Far beyond a hand's movement between two reads; keeps the count an int.
constexpr double kMaxCounts = 1 << 20;

}  // namespace

std::unique_ptr<RawMotion> RawMotion::Open(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
    return nullptr;
  // A connection of our own: its events never mix with SDL's, and reading it
  // needs no part of SDL's event pump.
  Display* display = XOpenDisplay(DisplayString(info.info.x11.display));
  if (!display) return nullptr;
  int opcode = 0, event = 0, error = 0;
  int major = 2, minor = 2;  // 2.1 and later get raw motion during other clients' grabs
  if (XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) ||
      !XQueryExtension(display, "XInputExtension", &opcode, &event, &error) ||
      XIQueryVersion(display, &major, &minor) != Success || major < 2) {
    XCloseDisplay(display);
    return nullptr;
  }
  unsigned char hierarchyMask[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(hierarchyMask, XI_HierarchyChanged);
  XIEventMask masks{XIAllDevices, sizeof hierarchyMask, hierarchyMask};
  XISelectEvents(display, DefaultRootWindow(display), &masks, 1);
  std::unique_ptr<RawMotion> raw(new RawMotion(display, opcode));
  raw->LoadDevices();
  XSync(display, False);
  return raw;
}

RawMotion::RawMotion(_XDisplay* display, int opcode) : display_(display), opcode_(opcode) {}

RawMotion::~RawMotion() { XCloseDisplay(display_); }

// All devices at once: asking for one that has just gone away would be an X
// error, which ends the program.
void RawMotion::LoadDevices() {
  devices_.clear();
  int count = 0;
  XIDeviceInfo* all = XIQueryDevice(display_, XIAllDevices, &count);
  for (int i = 0; all && i < count; ++i) {
    Device device{all[i].deviceid, {false, false}, {false, false}, {0, 0}};
    for (int c = 0; c < all[i].num_classes; ++c) {
      if (all[i].classes[c]->type != XIValuatorClass) continue;
      const auto* axis = reinterpret_cast<const XIValuatorClassInfo*>(all[i].classes[c]);
      if (axis->number < 2) device.absolute[axis->number] = axis->mode == XIModeAbsolute;
    }
    devices_.push_back(device);
  }
  if (all) XIFreeDeviceInfo(all);
}

RawMotion::Device* RawMotion::Find(int id) {
  for (Device& device : devices_)
    if (device.id == id) return &device;
  return nullptr;
}

void RawMotion::Poll(double& dx, double& dy) {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != opcode_ ||
        !XGetEventData(display_, cookie))
      continue;
    if (cookie->evtype == XI_HierarchyChanged) LoadDevices();
    if (cookie->evtype == XI_RawMotion) {
      const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
      Device* device = Find(raw->sourceid);
      const double* value = raw->raw_values;
      for (int axis = 0; axis < 2 && axis < raw->valuators.mask_len * 8; ++axis) {
        if (!XIMaskIsSet(raw->valuators.mask, axis)) continue;
        // One value for each axis the mask names, x before y.
        const double v = value[0];
        ++value;
        if (!std::isfinite(v)) continue;  // a broken device must not poison the sums
        double& sum = axis == 0 ? dx : dy;
        if (device && device->absolute[axis]) {
          if (device->seen[axis]) sum += v - device->last[axis];
          device->last[axis] = v;
          device->seen[axis] = true;
        } else {
          sum += v;
        }
      }
    }
    XFreeEventData(display_, cookie);
  }
}

void RawMotion::Take(int& dx, int& dy) {
  std::lock_guard lock(mutex_);
  Poll(restX_, restY_);
  const double x = std::clamp(std::trunc(restX_), -kMaxCounts, kMaxCounts);
  const double y = std::clamp(std::trunc(restY_), -kMaxCounts, kMaxCounts);
  restX_ = std::clamp(restX_ - x, -1.0, 1.0);
  restY_ = std::clamp(restY_ - y, -1.0, 1.0);
  dx = static_cast<int>(x);
  dy = static_cast<int>(y);
}

void RawMotion::Discard() {
  std::lock_guard lock(mutex_);
  double x = 0, y = 0;
  Poll(x, y);
  restX_ = restY_ = 0;
}

void RawMotion::Listen(bool on) {
  std::lock_guard lock(mutex_);
  unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
  if (on) XISetMask(mask, XI_RawMotion);
  XIEventMask masks{XIAllMasterDevices, sizeof mask, mask};
  XISelectEvents(display_, DefaultRootWindow(display_), &masks, 1);
  // What was sent before the change is read and dropped with it.
  XSync(display_, False);
  double x = 0, y = 0;
  Poll(x, y);
  restX_ = restY_ = 0;
}

}  // namespace quadrel::io
