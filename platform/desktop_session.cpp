#include "platform/desktop_session.h"

#include <cstdlib>

namespace vertamo {
namespace {

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

bool RunThroughXWayland(const char* qpaPlatform, const char* waylandDisplay, const char* display) {
  return !Set(qpaPlatform) && Set(waylandDisplay) && Set(display);
}

bool ChooseXWaylandOnWayland() {
  if (!RunThroughXWayland(std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY")))
    return false;
  return ::setenv("QT_QPA_PLATFORM", "xcb", 1) == 0;
}

}  // namespace vertamo
