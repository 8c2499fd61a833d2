// The space bar as push-to-talk: one hold is one press and one release,
// whatever the X server's auto-repeat does.
//
// A key held down repeats. Qt marks a repeat by looking for the press that
// follows the release in the same event batch; when the press arrives a little
// later (XTEST, a busy event queue, a remote display) the pair comes through as
// an ordinary release and press, and the line would switch back and forth
// every repeat. So a release only counts once no press has followed it for
// kSettleMs: a release followed by a press within that time is a repeat.
// The release therefore reaches the gateway kSettleMs late, which a
// dispatcher does not notice.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace vertamo::ui {

class TTalkKeyDebounce final : public QObject {
  Q_OBJECT

 public:
  // Longer than the gap between a repeat's release and press (both come from
  // the same tick of the server's repeat), well under a human press.
  static constexpr int kSettleMs = 60;

  // `down` runs for a hold's first press, `up` once its release stands; both
  // must bear being called when the line is switched that way already.
  TTalkKeyDebounce(std::function<void()> down, std::function<void()> up, QObject* parent = nullptr);

  void Press();
  void Release();
  bool Held() const { return held_; }

 private:
  void Settled();

  std::function<void()> down_, up_;
  QTimer settle_;
  bool held_ = false;
};

}  // namespace vertamo::ui
