// Where the voice window comes up by itself: on the free area of the screen,
// covering as little of the active map as it can, never over the object that
// was clicked, and as near to that object as the rest allows (the eye need not
// travel). Without a clicked object it stays as near to `near` as it can.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace vertamo::ui {

// Room kept free around the clicked object: the window frame that the window
// manager adds after the place is chosen fits into it.
inline constexpr int kKeepClearMargin = 32;

// The top-left corner for a window of `window` (its outer size) on `screen`
// (the free area). `map` is the active map as shown, `keepClear` the clicked
// object (empty: none); all in screen coordinates. A window larger than the
// screen goes to the screen's top-left corner.
QPoint VoiceWindowPlace(const QRect& screen, const QRect& map, const QRect& keepClear, const QSize& window,
                        const QPoint& near);

}  // namespace vertamo::ui
