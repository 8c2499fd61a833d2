// What the window benchmarks share: the platform they run on and a wait that
// keeps the event loop turning.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QtGlobal>

namespace vertamo::bench {

// Without a display the windows are drawn offscreen. Call before the
// application is made.
inline void OffscreenWithoutDisplay() {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Turns the event loop until `done()` holds; false when `milliseconds` pass
// first.
template <class Done>
bool Spin(Done done, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

}  // namespace vertamo::bench
