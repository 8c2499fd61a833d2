// TFVoice: the dispatcher's telephone ("Голосовая диспетчерская связь").
//
// It shows the call session (TCallSession) and drives it: calls a subscriber
// of the address book, answers or refuses a ringing call, ends a call, and
// places the calls that the map hands over (TakeMapCall), asking first when
// another call is on. What a call sends, and to whom, the session decides.
// During a conversation with a lift the window drives the voice gateway of
// the lift's line: push-to-talk on the space bar, a level poll ten times a
// second for the meters, pictures of the direction the voice flows.
//
// Everything happens in the main thread; the gateway client of a
// conversation runs on a TGatewayWorker, whose results come back as queued
// calls, so that the window never waits on the gateway. Nothing concerning
// calls happens while the telephony link is down.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "uikit/font_settings.h"
#include "voice/call_history.h"
#include "voice/call_session.h"
#include "voice/gateway_worker.h"
#include "voice/kelmo_client.h"
#include "voice/ui/call_clock.h"
#include "voice/ui/gateway_hand_over.h"
#include "voice/ui/gateway_link_label.h"
#include "voice/ui/subscriber_list.h"
#include "voice/ui/talk_key_debounce.h"
#include "voice/ui/voice_settings.h"

class QAction;
class QActionGroup;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QSlider;
class QTabWidget;
class QTableWidget;
class QTimer;
class QStatusBar;

namespace vertamo {
class SoundThread;
class TFastIni;
class TSoundFilePlayer;
class TTelephony;
struct TMapCall;
}  // namespace vertamo

namespace vertamo::ui {

class TAudioIndicator;
class TGauge;
class THistoryRecords;
class TIndicator;

// What the voice window uses of the workstation. Everything may be empty.
struct TVoiceHost {
  TTelephony* telephony = nullptr;  // the link, phone commands, address book, log
  TFastIni* ini = nullptr;          // the main settings
  SoundThread* sounds = nullptr;    // the ring sound
  TSoundFilePlayer* soundFiles = nullptr;  // the key-press sound (F9)
  std::string programFolder, workFolder;   // where sounds are looked for; end in "/"
  // A request to the dispatch server ("ENDSPEAK ..."); returns at once.
  // `settled` (may be empty) runs on the main thread once the server has
  // answered it or its wait has run out.
  std::function<void(const std::string& request, std::function<void()> settled)> sendCommand;
  int gatewayPort = TKelmoClient::kDefaultPort;
  TVoicePrompts prompts = DefaultVoicePrompts();
  // The active map as shown, in screen coordinates (empty: none): the window
  // comes up where it covers the least of it.
  std::function<QRect()> mapArea;
  // The call the window shows and drives; none: the window places no call.
  TCallSession* session = nullptr;
  // The history the session writes, for the history tab; none: an empty tab.
  TCallHistory* history = nullptr;
  // A lift was clicked while a call is on: end that call and call the lift?
  // `current` and `next` name the two calls. None: a question box, "Да" the default.
  std::function<bool(QWidget* parent, const QString& current, const QString& next)> askSwitchCall;
  // Something the dispatcher must see even while the voice window is hidden
  // (the main window's status bar); none: only the voice window shows it.
  std::function<void(const QString& text)> tellDispatcher;
};

// The question of a lift clicked during a call: end `current` and call
// `next`? "Да" (the default: an emergency does not wait) or "Нет".
bool AskSwitchCall(QWidget* parent, const QString& current, const QString& next);

class TFVoice final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 855;
  static constexpr int kClientHeight = 594;
  static constexpr int kTimer1Ms = 1000;
  static constexpr int kTimer2Ms = 100;
  static constexpr int kMeterKinds = 5;
  static constexpr int kHistoryColumns = 6;

  // Info-line colours, 0xRRGGBB.
  static constexpr QRgb kTalkColor = 0x95FFAF;
  static constexpr QRgb kDialColor = 0xFFBBBB;
  static constexpr QRgb kRingColor = 0xFFFF00;
  static constexpr QRgb kSpeakColor = 0xCEFFFF;
  static constexpr QRgb kOliveColor = 0x808000;

  TFVoice(const TVoiceHost& host, QWidget* owner = nullptr);
  ~TFVoice() override;

  // The session's state; idle without a session.
  TCallState CallState() const;
  bool LinkUp() const;

  // --- what the session and the phone program's events show -----------------
  // The session went from `from` to `to` (the same: the answer went out).
  void ShowCallState(TCallState from, TCallState to);
  // A second call rings during this one.
  void SecondRing(const std::string& caller);
  // The phone link is gone (`callBroken`: a call on it has ended) or back.
  void ShowLinkLost(bool callBroken = false);
  void ShowLinkRestored();
  // The phone program's word on the call (busy, its statistics). During a
  // conversation the line keeps saying which way the voice goes and how to
  // end; the statistics go to its tip.
  void ShowCallInfo(const std::string& text);
  void SelectSubscriber(int position);
  void ShowCallStatus(const std::string& text);
  // The conversation's gateway line is let go ("quit").
  void CloseGateway();

  // --- operations -----------------------------------------------------------
  // Opened idle for a call of the dispatcher's own: nothing of the last call
  // stays on show.
  void OpenIdle();
  void ShowVoiceWindow();
  void HideVoiceWindow();
  void SetInfoText(const QString& text, QRgb color);
  void SetCallButtonText(const QString& text);
  // The map's call: placed at once when no call is on; otherwise the
  // dispatcher is asked whether to end the current call for it. False when
  // no call was placed.
  bool TakeMapCall(const TMapCall& call);
  // A talk key from outside the program: 0 space pressed, 1 released, 2 and 3 nothing.
  void TalkKey(int code);
  // A focus request from outside the program: a visible window comes to the
  // front, active, with the keyboard focus; a hidden one stays hidden.
  void TakeFocus();
  // The object the next map call is for, in screen coordinates: the window
  // does not come up over it.
  void KeepClear(const QRect& object) { keepClear_ = object; }
  // Shows the window in front, active, with the keyboard, so that Space and
  // Esc work at once. A window coming up (or one over the clicked object)
  // is placed away from the map first, unless the dispatcher has placed it.
  void Present();
  // The dispatcher moved the window (now or in an earlier session): its place
  // is kept.
  bool PlacedByHand() const { return placedByHand_; }
  // Shows one of the five level meters; any other kind shows none.
  void SetIndKind(int kind);
  int IndKind() const { return settings_.indKind; }
  // Sends the direction switch to the gateway (opened first when needed);
  // false, and nothing sent, unless a conversation is on.
  bool SetTalkDirection(bool talk);

  // --- handlers -------------------------------------------------------------
  void Button1Click();
  void Timer1Timer();
  void Timer2Timer();
  void FillSubscriberList();
  // The history tab: the newest calls of CallHistory.log, one a row, newest first.
  void FillCallHistory();
  // While calls cannot be recorded the word stays in the status bar, until
  // one is recorded again.
  void ShowRecordingState();
  // The selected subscriber's position; -1 when none is selected.
  int SelectedSubscriber() const;

  // --- fields ---------------------------------------------------------------
  bool TalkActive = false;  // a conversation is on
  bool PendingListen = false;
  vertamo::SwitchSettings SwitchSettings;
  TGatewayWorker* Gateway() const { return gateway_.get(); }
  const TVoiceSettings& Settings() const { return settings_; }

  // --- controls, under their component names --------------------------------
  QWidget* Panel1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* ImageMic = nullptr;
  QLabel* ImageSpeaker = nullptr;
  QWidget* PanelMic = nullptr;
  QSlider* TrackBarMic = nullptr;
  QLabel* LabelVolume = nullptr;
  TGauge* CGaugeMic = nullptr;
  QWidget* PanelRecord = nullptr;
  QLabel* LabelTime = nullptr;
  QLabel* LabelRecording = nullptr;  // the red mark of a conversation being recorded
  TIndicator* Indicator = nullptr;
  TAudioIndicator* PaintBoxInd = nullptr;
  QLabel* LabelInd = nullptr;
  TGauge* CGauge1 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QListWidget* ListBox1 = nullptr;
  // Above the list: why the book shows fewer entries than its file holds.
  QLabel* BookNotice = nullptr;
  // Below the list: the book's edits without the menu.
  QPushButton* ButtonAdd = nullptr;
  QPushButton* ButtonChange = nullptr;
  QPushButton* ButtonDelete = nullptr;
  QTableWidget* StringGrid1 = nullptr;
  QWidget* Panel2 = nullptr;
  QPushButton* Button1 = nullptr;
  TGauge* CGaugeMic2 = nullptr;
  QLabel* PanelAdr = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  std::array<QLabel*, 2> StatusPanels{};
  TGatewayLinkLabel* GatewayLink = nullptr;  // at the right of the status bar
  QWidget* PanelPni = nullptr;
  QWidget* PanelVideo = nullptr;
  QPushButton* BitBtnTest = nullptr;
  QPushButton* BitBtnLocal = nullptr;
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QMenu* PopupMenuInd = nullptr;      // the recording panel's: the meter kinds
  QMenu* PopupMenuOptions = nullptr;  // the top strip's: the options
  QMenu* PopupMenuList = nullptr;     // the subscriber list's
  std::array<QAction*, kMeterKinds> MeterItems{};
  QAction* mAutoSound = nullptr;
  QAction* mHidePanelRecord = nullptr;
  QAction* mHidePanelMic = nullptr;
  QAction* mHidePanelAdr = nullptr;
  QAction* mShowDoorOpen = nullptr;
  QAction* mAdd = nullptr;
  QAction* mChange = nullptr;
  QAction* mDelete = nullptr;
  QAction* mImport = nullptr;
  QAction* mExport = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  static void SetBackground(QWidget* widget, const QColor& color);
  void BuildWindow();
  void BuildPanelMic();
  void BuildPanelRecord();
  void BuildPages();
  void BuildMenus();
  void FormCreate();
  void ApplySettings();
  void StoreSettings();
  void UpdatePanels();
  bool HandleKey(QKeyEvent* key, bool pressed);
  void SpaceDown();
  void SpaceUp();
  void PlaceAwayFromMap();
  void LoadPlacement();
  void StorePlacement();
  void EscapeKey();
  void KeyPressSound();
  void OpenGateway(bool readSettings);
  // The lift of the conversation; none for other calls.
  const TMapCall* Lift() const;
  void ClearForNewCall();
  // The information line and the call button as the idle state has them.
  void ShowIdleTexts();
  void ShowMissed();
  void HistorySeen();
  // The red mark beside the call clock: on while the conversation is recorded.
  void ShowRecordingMark();
  void GatewayResult(std::uint64_t conversation, const TGatewayResult& result);
  void ShowLevel(const TGatewayResult& result);
  void RestMeters();
  void ChooseFont(QWidget* control, TUiFont& font);

  TVoiceHost host_;
  TVoiceSettings settings_;
  TUiFont adrFont_;
  TUiFont timeFont_;
  TRingCountdown ring_;
  std::string ringCaller_;  // of the last ring, for a missed call's notice
  bool spaceDown_ = false;
  // The space bar's holds, auto-repeat filtered.
  TTalkKeyDebounce* space_ = nullptr;
  // The clicked object of the call coming up.
  QRect keepClear_;
  // Where the window was last put by itself (once placed_).
  QPoint givenPos_;
  bool placed_ = false;
  bool placedByHand_ = false;
  // The lost link broke a call off: a link that comes back at once must not
  // wipe that from the window.
  bool linkBrokeCall_ = false;
  bool listenAnnounce_ = false;   // the next listening switch that succeeds says "Слушайте..."
  bool settingsToStatus_ = false; // the next settings read goes to status panel 0
  std::uint64_t conversation_ = 0;  // the gateway worker's generation
  THistoryRecords* historyRecords_ = nullptr;
  std::unique_ptr<TGatewayHandOver> results_;
  std::unique_ptr<TGatewayWorker> gateway_;
};

}  // namespace vertamo::ui
