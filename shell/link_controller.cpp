#include "shell/link_controller.h"

#include <QMetaObject>
#include <QTimer>

namespace vertamo::ui {

// Everything the thread tells goes on to the screen; the stage is the
// controller's own.
class TLinkController::TRelay final : public IClientEvents {
 public:
  TRelay(TLinkController& link, IClientEvents& screen) : link_(link), screen_(screen) {}
  void ClearMaps() override { screen_.ClearMaps(); }
  void BuildMaps(TMapModel& loaded) override { screen_.BuildMaps(loaded); }
  void ShowStatusText(const std::string& text) override { screen_.ShowStatusText(text); }
  void ShowProgress(int done, int total) override { screen_.ShowProgress(done, total); }
  void SetCounterLayout(TCounterKind counter, const TCounterLayout& layout) override {
    screen_.SetCounterLayout(counter, layout);
  }
  void SetCounterValue(TCounterKind counter, int value) override { screen_.SetCounterValue(counter, value); }
  void SetClockLayout(const TClockLayout& layout) override { screen_.SetClockLayout(layout); }
  void SetSpeakerLayout(const TSpeakerLayout& layout) override { screen_.SetSpeakerLayout(layout); }
  void SetSpeakerCall(int call) override { screen_.SetSpeakerCall(call); }
  void SetObjectState(int object, int index) override { screen_.SetObjectState(object, index); }
  void SetObjectHint(int object, const std::string& hint) override { screen_.SetObjectHint(object, hint); }
  void SetObjectCaption(int object, const std::string& caption) override {
    screen_.SetObjectCaption(object, caption);
  }
  void SetObjectCapColor(int object, int color) override { screen_.SetObjectCapColor(object, color); }
  void AddLogEntry(const TLogEntry& entry) override { screen_.AddLogEntry(entry); }
  void LinkDown(const TLinkDown& event) override { screen_.LinkDown(event); }
  void LinkUp() override { screen_.LinkUp(); }
  void StageChanged(int stage) override {
    link_.stage_ = stage;
    emit link_.StageChanged(stage);
  }

 private:
  TLinkController& link_;
  IClientEvents& screen_;
};

// A routine of the thread reaches this thread as a queued call on the
// controller, a request's time-out as a timer of it; either is dropped when
// the controller goes first.
class TLinkController::TExecutor final : public IMainThreadExecutor {
 public:
  explicit TExecutor(QObject* context) : context_(context) {}
  void Post(std::function<void()> task) override {
    QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
  }
  void PostDelayed(std::function<void()> task, std::chrono::milliseconds delay) override {
    QTimer::singleShot(delay, context_, std::move(task));
  }

 private:
  QObject* context_;
};

TLinkController::TLinkController(IClientEvents& screen, QObject* parent)
    : QObject(parent), relay_(std::make_unique<TRelay>(*this, screen)), executor_(std::make_unique<TExecutor>(this)) {}

TLinkController::~TLinkController() { Stop(); }

void TLinkController::Start(const SERVERINFO& profile, const std::string& workFolder, ISoundOutput* sound,
                            const TClientTimings& timings) {
  Stop();
  client_ = std::make_unique<TOrvexClientThread>(profile, workFolder, *relay_, *executor_, sound);
  client_->SetTimings(timings);
  stage_ = client_->Stage();
  client_->Start();
  emit StageChanged(stage_);
}

void TLinkController::Stop() {
  if (!client_) return;
  client_->Stop();
  client_.reset();
  stage_ = -1;
}

}  // namespace vertamo::ui
