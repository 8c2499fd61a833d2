#include "shell/phone_station.h"

#include <QLoggingCategory>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "settings/fast_ini.h"
#include "uikit/qt_text.h"

namespace vertamo::ui {

namespace {

Q_LOGGING_CATEGORY(lcPhone, "vertamo.phone", QtInfoMsg)

TTelephonyOptions TelephonyOptions(const std::string& programFolder, const std::string& workFolder,
                                   const TPhoneOptions& options) {
  TTelephonyOptions result;
  result.programFolder = programFolder;
  result.workFolder = workFolder;
  result.programPath = options.programPath;
  result.port = options.port;
  result.processes = options.processes;
  return result;
}

}  // namespace

void TLoggingCallWindow::PhoneEvent(const TPhoneEvent& event) {
  qCInfo(lcPhone, "phone event %d", static_cast<int>(event.kind));
}

void TLoggingCallWindow::ShowCallInfo(const std::string& text) {
  qCInfo(lcPhone) << "call information:" << FromCp1251(text);
}

void TLoggingCallWindow::SelectSubscriber(int position) { qCInfo(lcPhone, "subscriber %d calling", position); }

void TLoggingCallWindow::ShowCallStatus(const std::string& text) {
  qCInfo(lcPhone) << "call status:" << FromCp1251(text);
}

void TLoggingCallWindow::PhoneAnswered() { qCInfo(lcPhone, "the phone program answered OK"); }

TPhoneStation::TPhoneStation(QWidget* window, const std::string& programFolder, const std::string& workFolder,
                             const TPhoneOptions& options)
    : window_(window),
      start_(options.start),
      callWindow_(&loggingWindow_),
      telephony_(TelephonyOptions(programFolder, workFolder, options), *this) {}

TPhoneStation::~TPhoneStation() { Close(); }

void TPhoneStation::ReadSettings(const TFastIni& ini) { telephony_.ReadSettings(ini); }

void TPhoneStation::Start() {
  if (start_) telephony_.Start();
}

void TPhoneStation::WriteSettings(TFastIni& ini) { telephony_.WriteSettings(ini); }

void TPhoneStation::Close() { telephony_.Close(); }

void TPhoneStation::SetCallWindow(ICallWindow* window) { callWindow_ = window ? window : &loggingWindow_; }

void TPhoneStation::PhoneEventPosted() {
  // Queued on this object: dropped with it, never run on a window that went.
  QMetaObject::invokeMethod(this, &TPhoneStation::TakePhoneEvents, Qt::QueuedConnection);
}

void TPhoneStation::TakePhoneEvents() {
  // A short batch at a time; the rest after the window has had its turn.
  if (telephony_.HandlePhoneEvents(*callWindow_))
    QMetaObject::invokeMethod(this, &TPhoneStation::TakePhoneEvents, Qt::QueuedConnection);
}

void TPhoneStation::ShowMessageBox(const TPhoneMessageBox& box, std::function<void()> done) {
  QMetaObject::invokeMethod(this, [this, box, done = std::move(done)] { ShowBoxAfterDialogs(box, done); },
                            Qt::QueuedConnection);
}

void TPhoneStation::ShowBoxAfterDialogs(const TPhoneMessageBox& box, std::function<void()> done) {
  // A dialog the dispatcher is filling in (the settings of a first start)
  // comes first: the box waits until no dialog is open.
  if (QApplication::activeModalWidget()) {
    QTimer::singleShot(kDialogPollMs, this, [this, box, done] { ShowBoxAfterDialogs(box, done); });
    return;
  }
  // Modal to the main window only, without an event loop of its own: the
  // window goes on serving everything else (the close included), and the
  // voice window a ring.
  auto* message = new QMessageBox(box.exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                                  FromCp1251(box.caption), FromCp1251(box.text), QMessageBox::Ok, window_);
  message->setObjectName(QStringLiteral("PhoneMessageBox"));
  message->setAttribute(Qt::WA_DeleteOnClose);
  message->setWindowModality(window_ ? Qt::WindowModal : Qt::ApplicationModal);
  connect(message, &QMessageBox::finished, message, [done] { done(); });
  message->show();
}

}  // namespace vertamo::ui
