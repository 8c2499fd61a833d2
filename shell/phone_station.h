// The main window's telephony: the "H323" settings, the address book and the
// telephony thread at the window's start and close, the thread's hand-overs
// to the main thread (event lines as queued calls, message boxes), and the
// window side of the call events.
//
// The window side is the voice window's; until there is one, the events go
// to a window side that only logs them (category "vertamo.phone").
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "iptel/phone_events.h"
#include "iptel/telephony.h"

class QWidget;

namespace vertamo {
class TFastIni;
}

namespace vertamo::ui {

// The window side of the call events that only logs them.
class TLoggingCallWindow final : public ICallWindow {
 public:
  void PhoneEvent(const TPhoneEvent& event) override;
  void ShowCallInfo(const std::string& text) override;
  void SelectSubscriber(int position) override;
  void ShowCallStatus(const std::string& text) override;
  void PhoneAnswered() override;
};

// How the window's telephony is set up (the command line and the demo fill it).
struct TPhoneOptions {
  // Start the telephony thread (the program does; window tests mostly not).
  bool start = false;
  std::string programPath;  // empty: "ohphone" in the program folder
  int port = TPhoneConfig::kDefaultPort;
  IPhoneProcesses* processes = nullptr;  // none: the operating system's
};

class TPhoneStation final : public QObject, public IPhoneHost {
  Q_OBJECT

 public:
  TPhoneStation(QWidget* window, const std::string& programFolder, const std::string& workFolder,
                const TPhoneOptions& options);
  ~TPhoneStation() override;

  // Reads section "H323"; IP telephony is on whatever was stored.
  void ReadSettings(const TFastIni& ini);
  // Loads the address book and starts the telephony thread.
  void Start();
  void WriteSettings(TFastIni& ini);
  // Tells the phone program to quit and frees the thread.
  void Close();

  // The window side of the call events; none: the logging one.
  void SetCallWindow(ICallWindow* window);
  TTelephony& Telephony() { return telephony_; }

  // IPhoneHost, called from the telephony thread.
  void PhoneEventPosted() override;
  void ShowMessageBox(const TPhoneMessageBox& box, std::function<void()> done) override;

 private:
  void TakePhoneEvents();

  // How often a box that waits for an open dialog looks again.
  static constexpr int kDialogPollMs = 200;
  void ShowBoxAfterDialogs(const TPhoneMessageBox& box, std::function<void()> done);
  QPointer<QWidget> window_;
  bool start_;
  TLoggingCallWindow loggingWindow_;
  ICallWindow* callWindow_ = nullptr;
  TTelephony telephony_;
};

}  // namespace vertamo::ui
