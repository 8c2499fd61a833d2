// The display server the workstation chooses on a desktop.
#include "platform/desktop_session.h"

#include <gtest/gtest.h>

namespace vertamo {
namespace {

TEST(DesktopSession, WaylandWithXWaylandRunsThroughXWaylandUnlessAPlatformIsNamed) {
  struct Case {
    const char* qpa;
    const char* wayland;
    const char* display;
    bool xwayland;
  } cases[] = {
      {nullptr, "wayland-0", ":0", true},  // GNOME on Wayland
      {"", "wayland-0", ":0", true},
      {"wayland", "wayland-0", ":0", false},  // the dispatcher's choice stands
      {"offscreen", "wayland-0", ":0", false},
      {nullptr, "wayland-0", nullptr, false},  // no XWayland: Wayland it is
      {nullptr, nullptr, ":0", false},         // X11: nothing to choose
      {nullptr, "", ":0", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RunThroughXWayland(c.qpa, c.wayland, c.display), c.xwayland)
        << (c.qpa ? c.qpa : "-") << " " << (c.wayland ? c.wayland : "-") << " " << (c.display ? c.display : "-");
}

}  // namespace
}  // namespace vertamo
