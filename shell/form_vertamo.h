// TFormVertamo: the dispatcher's main window and the owner of every
// long-lived object of the workstation: the map model, the connection thread,
// the journal window, the counters, the clock and the speaker symbol.
//
// Start: the constructor fixes the work folder (it becomes the current
// folder, with its "Wave" sub-folder), builds the window and its status
// widgets; FormCreate opens "Vertamo.ini", restores the window's bounds, loads
// the server profile, starts the sound thread and the connection and opens
// the journal.
//
// The window alternates between two states: connecting (the server label,
// caption "Подключение...") and maps shown (one tab per map, the overlays on
// the active tab, caption = the map's name). Maps shown when the link goes
// down stay, greyed and stale, under a banner that says why, until the next
// load replaces them (stale_banner.h). The connection thread reaches it
// only through its routines (IClientEvents), posted to run here on the main
// thread; neither ever waits for the other, and the window's requests answer
// later.
//
// Close (menu "Выход", the close box, or SIGTERM / SIGINT through the same
// close): FormClose saves the bounds and the profile, stops the connection
// and the sounds, frees the maps and closes "Vertamo.ini". Stopping never hangs: the
// thread never waits for this one, and what it posted before the stop does nothing.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "journal/journal_file.h"
#include "map/map_model.h"
#include "map/ui/map_board.h"
#include "serverlink/client_events.h"
#include "serverlink/orvex_client_thread.h"
#include "settings/app_settings.h"
#include "settings/server_profile.h"
#include "shell/link_controller.h"
#include "shell/map_overlays.h"
#include "shell/map_zoom_menu.h"
#include "shell/object_updates.h"
#include "shell/phone_station.h"
#include "shell/stale_banner.h"
#include "shell/tab_marks.h"
#include "map/speaker_call.h"
#include "shell/call_desk.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace vertamo {
class IAudioOutput;
class SoundThread;
class TSoundFilePlayer;
}  // namespace vertamo

namespace vertamo::ui {

class TBigSpk;
class TCallNotice;
class TFormSelLiftMp;
class TFormView;
class TLogLast;
class TValInd;

// How the start-up code (and the tests) start the window.
struct TFormOptions {
  // FormCreate starts the connection to the profile's server.
  bool startClient = true;
  // The connection's waits (tests shorten them).
  TClientTimings timings;
  // Where "PLAY" requests go, on the connection thread; none: to the
  // window's sound thread.
  ISoundOutput* sound = nullptr;
  // Where the sounds play; none: the desktop's sound server.
  IAudioOutput* audio = nullptr;
  // The sound thread runs but plays nothing (--mute).
  bool muteSounds = false;
  // Settings that name no server (a first start) open the settings dialog once
  // the window is up; the connection starts when the dialog closes.
  bool setupWhenUnconfigured = false;
  // The telephony: the phone program, its control port, whether it starts.
  TPhoneOptions phone;
  // The voice gateway's command port (tests move it).
  int gatewayPort = 4000;
};

class TFormVertamo : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kInitialWidth = 909;
  static constexpr int kInitialHeight = 596;
  static constexpr int kTimerMs = 500;
  // How long the ring around an object shown from the journal, a report or
  // the speaker stays on the map.
  static constexpr int kMarkerMs = 6000;
  static constexpr const char* kMainIniName = "Vertamo.ini";
  static constexpr const char* kProfileSection = "ServerInfo";

  // `settings` outlives the window. Its WorkFolder, when already chosen (the
  // --workdir option), is used; otherwise the work folder "Vertamo" is found.
  explicit TFormVertamo(TAppSettings& settings, QWidget* parent = nullptr);
  TFormVertamo(TAppSettings& settings, const TFormOptions& options, QWidget* parent = nullptr);
  ~TFormVertamo() override;

  const SERVERINFO& Profile() const { return profile_; }
  TAppSettings& Settings() { return settings_; }
  TMapModel& Model() { return model_; }
  TOrvexClientThread* Client() const { return link_->Client(); }
  // The maps on screen: a tab and a scene per map.
  TMapBoard& Maps() { return *maps_; }
  // The notification sounds: the queue of the server's and the windows'
  // sounds, and the sound played at once (PlaySoundFile). Gone once closed.
  SoundThread* Sounds() const { return soundThread_.get(); }
  TSoundFilePlayer* SoundFiles() const { return soundFiles_.get(); }
  // The telephony (settings, address book, telephony thread).
  TPhoneStation* Phone() const { return phone_.get(); }
  // The call: its controller, the voice window, the call's keys.
  TCallDesk* Calls() const { return voice_.get(); }
  // The voice window; created when `create` and the telephony link is up.
  TFVoice* VoiceWindow(bool create);
  // The journal of the shift on disk, a file per day.
  TJournalFile& JournalFile() { return *journalFile_; }

  // --- operations ----------------------------------------------------------

  // A new connection thread with the current profile, started.
  void StartClient();
  // Stops the connection thread, waits for its end and frees it.
  void StopClient();
  // StopClient, ClearMaps, StartClient (F5 here and in the journal).
  void Reconnect();
  // Journal cleared, overlays hidden and detached, the model and every tab
  // freed, caption "Подключение...".
  void ClearMaps();
  // One tab per map, then the first map: false (and nothing done) without
  // maps. A map's scene is filled when its tab is first shown.
  bool BuildMaps();
  // Activates the tab, captions the window with it, puts the overlays on it;
  // false for an index that names no tab.
  bool ShowMap(int index);
  void PlaceOverlays(bool show);
  // Shows the object's map and the marker around its picture; the marker is
  // hidden first, and stays hidden for an object without picture or map.
  void ShowObjectOnMap(int object);
  // The object the blinking speaker stands for, shown on its map (a click on
  // the speaker); false when no call is on or its object is not known.
  bool ShowCallingObject();
  int CallingObject() const { return speakerCall_.Calling(); }
  // Requests through the connection thread; they return at once, and `done`
  // gets the answer later on this thread (answered false after about 1 s / 2 s
  // without one) unless `requester` has gone. False (and `done` never runs)
  // without a thread.
  bool SendCommand(std::string_view request, TRequesterToken requester = {}, TAnswerHandler done = {});
  bool SendListCommand(std::string_view request, TRequesterToken requester = {}, TAnswerHandler done = {});
  // The change feed's object updates: the model's setter, and the widget only
  // when it changed.
  void SetObjectState(int object, int state);
  void SetObjectHint(int object, const std::string& hint);
  void SetObjectCaption(int object, const std::string& caption);
  void SetObjectCapColor(int object, int color);

  // The routines of the connection cycle. Maps on screen stay, stale, from
  // a lost link until the next load replaces them (stale_banner.h).
  void NewCycle();
  void NewLoad(TMapModel& loaded);
  void LinkDown(const TLinkDown& event);
  void LinkUp();
  TStaleView& Stale() { return *stale_; }

  // The other routines of the connection thread.
  void ShowStatusText(const std::string& text);
  // Progress of the current load step: `done` of `total` records (total 0:
  // not known, a busy bar).
  void ShowProgress(int done, int total);
  void SetCounterLayout(TCounterKind counter, const TCounterLayout& layout);
  void SetCounterValue(TCounterKind counter, int value);
  void SetClockLayout(const TClockLayout& layout);
  void SetSpeakerLayout(const TSpeakerLayout& layout);
  void SetSpeakerCall(int call);
  void AddLogEntry(const TLogEntry& entry);

  // --- handlers ------------------------------------------------------------

  void Timer1Timer();
  void PageControl1Change();
  void MapObjectMouseDown(int object, Qt::MouseButton button);
  // A lift called again from the history: the object of that number, when
  // it is still the one named `who` calls, as on a click, the same unit.
  void CallLiftAgain(int object, int unit, const std::string& who);
  void MapTextMouseDown(int text, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void ValIndDblClick(QObject* sender);
  // A click on an object waits for the server's answer, or is still being
  // handled after it (the selector may be up).
  bool ClickPending() const { return clickRequester_ != nullptr; }

  // Panel 0: connection state; panel 1: progress text.
  void SetStatusText(int panel, const QString& text);
  QString StatusText(int panel) const;

  // The text under the mouse that is lit up, if any.
  MAPTEXT* HotText() { return model_.TextList.Get(maps_->HotText()); }
  // The counters, the clock and the speaker symbol; those whose layout
  // arrived since the last ClearMaps sit on the active tab.
  TMapOverlays& Overlays() { return overlays_; }
  // The journal window; closing it only hides it.
  TLogLast* LogLast() const;
  // "Вид → Оперативный журнал": the journal shown and in front.
  void ShowJournal();
  // "Вид → Расположение окон по умолчанию": the main window and the journal
  // as on a first start.
  void DefaultWindowPlaces();
  // The report window of the counters, while open.
  QPointer<TFormView> FormView;

  // Controls, under their component names.
  QLabel* LabelSrv = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanels[2] = {nullptr, nullptr};
  QProgressBar* LoadProgress = nullptr;  // in the status bar while the catalogue loads
  QMenu* mFile = nullptr;
  QAction* mSetup = nullptr;
  QAction* mJournal = nullptr;
  QAction* mSummary = nullptr;
  QAction* mClose = nullptr;
  // "Связь" with "Телефонная книга": the voice window, idle.
  QMenu* mCall = nullptr;
  QAction* mPhoneBook = nullptr;
  // Why a click placed no call.
  TCallNotice* CallNotice = nullptr;
  TTabMarks* TabMarks = nullptr;     // the tabs' marks of unseen events
  TMapZoomMenu* ZoomMenu = nullptr;  // menu "Вид": the zoom of the active map
  QAction* mShowJournal = nullptr;    // "Вид → Оперативный журнал"
  QAction* mDefaultPlaces = nullptr;  // "Вид → Расположение окон по умолчанию"
  QTimer* Timer1 = nullptr;
  QTimer* MarkerTimer = nullptr;  // takes the ring off the map

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The journal comes up with the window's first appearance.
  void showEvent(QShowEvent* event) override;
  // The mouse over the page control itself (its tab bar, its frame).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class TEvents;
  class TSoundFeed;

  void BuildWindow();
  void ConnectOverlays();
  void FormCreate();
  void FormClose();
  void StartSounds();
  void StartVoice();
  void StopSounds();
  // The journal emptied of the server's events, the day's newest from its
  // file put back as earlier ones.
  void ClearJournal();
  void ShowServerCaption();
  void mSetupClick();
  // The settings dialog, modal to this window only; `then` runs once it is
  // closed with OK or Cancel.
  void OpenSettings(std::function<void()> then);
  void mJournalClick();
  void mSummaryClick();
  void FirstStartSetup();
  // The training district (vertamo --demo), beside this workstation.
  void StartDemo();
  void mCloseClick();
  // Asks whether to close the workstation; closes it on "Да".
  void AskToClose();
  void mPhoneBookClick();
  void UpdateProgressVisibility(int stage);
  // The rest of a click on an object, once the server answered "MOUSEDOWN".
  void MapObjectAnswer(int generation, int index, int unit, const TRequestAnswer& answer);
  // Asks the server "MOUSEDOWN" of an object; `unit` (-1: none) is a unit
  // chosen already.
  void ClickObject(int index, int unit);
  // The call the answer (and the dispatcher's choice) asks for, or why none.
  void PlaceMapCall(const TMapCallResult& result, int generation, const QRect& clickedArea);

  TAppSettings& settings_;
  TFormOptions options_;
  SERVERINFO profile_{};
  bool closed_ = false;
  bool closeConfirmed_ = false;  // the dispatcher said "Да" to the exit question
  QPointer<QDialog> exitQuestion_;
  bool firstStart_ = false;  // the settings named no server at start
  bool changingTabs_ = false;

  TMapModel model_;
  TMapBoard* maps_ = nullptr;
  std::unique_ptr<TObjectUpdates> updates_;
  TMapOverlays overlays_;
  std::unique_ptr<TEvents> events_;
  std::unique_ptr<IAudioOutput> audio_;
  std::unique_ptr<SoundThread> soundThread_;
  std::unique_ptr<TSoundFilePlayer> soundFiles_;
  std::unique_ptr<TSoundFeed> soundFeed_;
  TLinkController* link_;
  std::unique_ptr<TPhoneStation> phone_;
  std::unique_ptr<TCallDesk> voice_;  // after phone_: goes first
  std::unique_ptr<TJournalFile> journalFile_;
  TStaleView* stale_ = nullptr;
  QPointer<TLogLast> logLast_;
  TSpeakerCall speakerCall_;
  int progressStage_ = -1;
  // Tokens of the requests: a click replaces clickRequester_, so that only
  // the newest click's answer counts; the voice calls' and the reports'
  // requests live as long as this window (a report window guards itself).
  std::shared_ptr<const void> clickRequester_;
  QPointer<TFormSelLiftMp> selector_;  // open while the dispatcher chooses whom to call
  std::shared_ptr<const void> windowRequester_ = std::make_shared<int>(0);
  bool journalShown_ = false;
};

}  // namespace vertamo::ui
