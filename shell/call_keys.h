// The call's keys for the whole workstation: during a call (dialling,
// ringing, talking) the talk key (Space, held) and Esc act on the call from
// every window, whichever has the keyboard, except where they mean something
// of their own: a text field (Space types, Esc leaves the field), an open
// menu, and a question box waiting for its answer (Esc says no).
//
// One hold of the talk key is one press and one release, whatever the X
// server's auto-repeat does (TTalkKeyDebounce).
#pragma once

#include <QObject>
#include <functional>

#include "voice/ui/talk_key_debounce.h"

namespace vertamo::ui {

class TCallKeys final : public QObject {
  Q_OBJECT

 public:
  struct THandlers {
    std::function<bool()> inCall;        // the keys are the call's
    std::function<void(bool down)> talk;  // the talk key held or let go
    std::function<void()> escape;
  };

  // Watches every key of the application from now on.
  explicit TCallKeys(THandlers handlers, QObject* parent = nullptr);
  ~TCallKeys() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  THandlers handlers_;
  TTalkKeyDebounce talkKey_;
};

// A widget where Space types and Esc leaves: line and text edits, spin
// boxes, editable combo boxes.
bool TypesText(const QObject* widget);

}  // namespace vertamo::ui
