// Which display server the workstation's windows go through. On a Wayland
// desktop (Debian's default GNOME session) no program may place its windows,
// keep one above the others or hand it the keyboard: the voice window's place,
// the selector above it and a ringing call's activation would all be lost.
// So, unless the dispatcher's environment names a platform
// (QT_QPA_PLATFORM), a Wayland session with XWayland runs the workstation
// through XWayland.
#pragma once

namespace vertamo {

// The decision from the three variables (null when unset): QT_QPA_PLATFORM,
// WAYLAND_DISPLAY and DISPLAY.
bool RunThroughXWayland(const char* qpaPlatform, const char* waylandDisplay, const char* display);

// The same from the environment of this process; when it holds, sets
// QT_QPA_PLATFORM to "xcb" and returns true.
bool ChooseXWaylandOnWayland();

}  // namespace vertamo
