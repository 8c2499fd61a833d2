#include "voice/ui/talk_key_debounce.h"

namespace vertamo::ui {

TTalkKeyDebounce::TTalkKeyDebounce(std::function<void()> down, std::function<void()> up, QObject* parent)
    : QObject(parent), down_(std::move(down)), up_(std::move(up)) {
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &TTalkKeyDebounce::Settled);
}

void TTalkKeyDebounce::Press() {
  // A press right after a release: the key never went up, it repeated.
  if (settle_.isActive()) {
    settle_.stop();
    return;
  }
  // `down` itself ignores a press while the line is switched to talk already;
  // a hold whose release went elsewhere (the call ended meanwhile) must not
  // swallow the next conversation's first press.
  held_ = true;
  down_();
}

void TTalkKeyDebounce::Release() {
  if (held_) settle_.start();
}

void TTalkKeyDebounce::Settled() {
  held_ = false;
  up_();
}

}  // namespace vertamo::ui
