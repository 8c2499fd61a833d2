// TLinkController: the connection's life on the workstation's side. It owns
// the connection thread (a new one for F5 and for a changed profile), hands
// what the thread tells on to the screen, and says which stage the connection
// is in whenever it changes: nobody polls the thread.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "serverlink/client_events.h"
#include "serverlink/orvex_client_thread.h"
#include "settings/server_profile.h"

namespace vertamo::ui {

class TLinkController final : public QObject {
  Q_OBJECT

 public:
  // What the thread tells reaches `screen` on this thread while the
  // controller lives.
  TLinkController(IClientEvents& screen, QObject* parent);
  ~TLinkController() override;  // Stop()

  // A new connection thread with `profile`, started; the one before is
  // stopped first. "PLAY" goes to `sound` on the connection thread.
  void Start(const SERVERINFO& profile, const std::string& workFolder, ISoundOutput* sound,
             const TClientTimings& timings);
  // Stops the thread and waits for its end, which comes within moments: the
  // thread never waits for this one, and what it posted and this thread has
  // not run yet does nothing now.
  void Stop();
  // The thread, nullptr when stopped: requests go through it.
  TOrvexClientThread* Client() const { return client_.get(); }
  // The stage last told (TOrvexClientThread::StageText), -1 without a thread.
  int Stage() const { return stage_; }

 signals:
  void StageChanged(int stage);

 private:
  class TRelay;
  class TExecutor;

  std::unique_ptr<TRelay> relay_;
  std::unique_ptr<TExecutor> executor_;
  std::unique_ptr<TOrvexClientThread> client_;
  int stage_ = -1;
};

}  // namespace vertamo::ui
