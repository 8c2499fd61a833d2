// TTelephony: the telephony of the workstation as the main window runs it.
//
// At start the window reads section "H323" (before anything else of the
// telephony), switches IP telephony on whatever was stored, loads the address
// book and starts the telephony thread. At close it writes "H323" back, tells
// the phone program to quit (up to 20 times "q", each time waiting up to
// 200 ms for the link to go down) and frees the thread. Event lines reach the
// window side of a call (ICallWindow) in the main thread through
// HandlePhoneEvents, run after IPhoneHost::PhoneEventPosted until it says that
// nothing is left.
#pragma once

#include <memory>
#include <string>

#include "iptel/iptel_thread.h"
#include "voice/phone_book.h"
#include "iptel/phone_events.h"
#include "iptel/phone_log.h"
#include "iptel/phone_settings.h"

namespace vertamo {

class TFastIni;

struct TTelephonyOptions {
  static constexpr const char* kProgramName = "ohphone";
  std::string programFolder;  // holds "ohphone"; ends in "/"
  std::string workFolder;     // ends in "/"
  std::string programPath;    // empty: programFolder + "ohphone"
  int port = TPhoneConfig::kDefaultPort;
  // The phone program's processes; none: the operating system's.
  IPhoneProcesses* processes = nullptr;
};

class TTelephony {
 public:
  TTelephony(TTelephonyOptions options, IPhoneHost& host);
  ~TTelephony();  // Close()
  TTelephony(const TTelephony&) = delete;
  TTelephony& operator=(const TTelephony&) = delete;

  // Section "H323"; IP telephony is switched on whatever was stored.
  void ReadSettings(const TFastIni& ini);
  void WriteSettings(TFastIni& ini) const;
  // Loads the address book and starts the telephony thread (IP telephony is
  // always on).
  void Start();
  // The close sequence; frees the thread. True when the phone program's link
  // went down before the thread was freed. Further calls do nothing.
  bool Close();

  // Main thread: applies the oldest waiting item; false when none waited.
  bool HandlePhoneEvent(ICallWindow& window);
  // Main thread: applies waiting items, at most `maxItems` and for up to
  // `budgetMs` (at least one); true when more wait, so that the caller runs
  // it again after the window has had its turn. A flood never holds the
  // window longer than that, and what the window posts to itself for the
  // items of one batch (repaints, activations) stays a short list.
  bool HandlePhoneEvents(ICallWindow& window, int budgetMs = kEventBudgetMs, int maxItems = kEventBatch);
  static constexpr int kEventBudgetMs = 5;
  static constexpr int kEventBatch = 64;
  // Hands a command to the phone program (see TIPTELThread); true without a
  // thread.
  bool SendPhoneCommand(std::string_view command);
  bool PhoneLinkUp() const { return thread_ && thread_->PhoneLinkUp(); }

  PhoneSettings& Settings() { return settings_; }
  TPhoneBook& Book() { return book_; }
  TPhoneLog& Log() { return log_; }
  TIPTELThread* Thread() const { return thread_.get(); }
  const std::string& ProgramPath() const { return options_.programPath; }

 private:
  TTelephonyOptions options_;
  IPhoneHost& host_;
  PhoneSettings settings_;
  TPhoneBook book_;
  TPhoneLog log_;
  std::unique_ptr<IPhoneProcesses> ownProcesses_;
  std::unique_ptr<TIPTELThread> thread_;
};

}  // namespace vertamo
