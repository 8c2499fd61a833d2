// The voice window on the desktop: how it comes up (in front, active, away
// from the map) and where it stays.
#include <QGuiApplication>
#include <QScreen>

#include "settings/fast_ini.h"
#include "voice/ui/form_voice.h"
#include "voice/ui/voice_placement.h"

namespace vertamo::ui {

namespace {

// The dispatcher moved the window: from then on its saved place is kept.
constexpr const char* kPlacedByHandKey = "PlacedByHand";
// A window found this far from where it was put has been moved by hand;
// less is the window manager adding its frame.
constexpr int kMovedByHand = 48;

}  // namespace

void TFVoice::Present() {
  StorePlacement();  // a drag since it came up counts before it is placed again
  const bool overObject = isVisible() && !keepClear_.isEmpty() && frameGeometry().intersects(keepClear_);
  if (!placedByHand_ && (!isVisible() || overObject)) PlaceAwayFromMap();
  keepClear_ = QRect();
  show();
  raise();
  // Shown is not active on this desktop: the keyboard would stay with the map.
  activateWindow();
}

// The frame the window manager puts around a window: until the window has
// been shown once its own is not known, and the owner's is the best guess.
static QMargins FrameOf(const QWidget* window) {
  const QRect outer = window->frameGeometry(), inner = window->geometry();
  return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                  outer.bottom() - inner.bottom());
}

void TFVoice::PlaceAwayFromMap() {
  const QRect map = host_.mapArea ? host_.mapArea() : QRect();
  const QPoint near = !keepClear_.isEmpty() ? keepClear_.center() : frameGeometry().center();
  QScreen* screen = QGuiApplication::screenAt(!keepClear_.isEmpty() ? near : map.center());
  if (!screen) screen = this->screen();
  if (!screen) return;
  QMargins frame = FrameOf(this);
  if (frame.isNull() && parentWidget()) frame = FrameOf(parentWidget()->window());
  const QSize outer = size().grownBy(frame);
  const QPoint place = VoiceWindowPlace(screen->availableGeometry(), map, keepClear_, outer, near);
  move(place);
  givenPos_ = place;
  placed_ = true;
}

void TFVoice::LoadPlacement() {
  if (host_.ini) placedByHand_ = host_.ini->ReadBool(TVoiceSettings::kSection, kPlacedByHandKey, false);
}

void TFVoice::StorePlacement() {
  if (placed_ && !placedByHand_ && (pos() - givenPos_).manhattanLength() > kMovedByHand) placedByHand_ = true;
  if (host_.ini && placedByHand_) host_.ini->WriteBool(TVoiceSettings::kSection, kPlacedByHandKey, true);
}

}  // namespace vertamo::ui
