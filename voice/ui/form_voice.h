// TFVoice: the dispatcher's telephone ("Голосовая диспетчерская связь").
//
// A view of the call: Show draws the call's view (TCallView) that the call
// controller publishes, and the dispatcher's acts leave as signals. It takes
// no decision about the call and keeps nothing of it. What it owns is its
// own: the address book's list and its editing, the history tab, the level
// meter's kind, its fonts, its options and its place on the desktop.
#pragma once

#include <QRect>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "uikit/font_settings.h"
#include "voice/call_history.h"
#include "voice/call_view.h"
#include "voice/ui/subscriber_list.h"
#include "voice/ui/voice_settings.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QSlider;
class QStatusBar;
class QTabWidget;
class QTableWidget;

namespace vertamo {
class TCallHistory;
class TFastIni;
class TPhoneBook;
class TSoundFilePlayer;
}  // namespace vertamo

namespace vertamo::ui {

class TAudioIndicator;
class TGatewayLinkLabel;
class TGauge;
class THistoryRecords;
class TIndicator;

// What the voice window uses of the workstation. Everything may be empty.
struct TVoiceHost {
  TPhoneBook* book = nullptr;       // the subscriber list
  TFastIni* ini = nullptr;          // the main settings
  TSoundFilePlayer* soundFiles = nullptr;  // the key-press sound (F9)
  std::string programFolder, workFolder;   // where sounds are looked for; end in "/"
  TVoicePrompts prompts = DefaultVoicePrompts();
  // The active map as shown, in screen coordinates (empty: none): the window
  // comes up where it covers the least of it.
  std::function<QRect()> mapArea;
  // The calls kept, for the history tab; none: an empty tab.
  const TCallHistory* history = nullptr;
};

class TFVoice final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 855;
  static constexpr int kClientHeight = 594;
  static constexpr int kMeterKinds = 5;
  static constexpr int kHistoryColumns = 6;
  static constexpr QRgb kOliveColor = 0x808000;

  TFVoice(const TVoiceHost& host, QWidget* owner = nullptr);
  ~TFVoice() override;

  // Draws the call as `view` has it: texts, colours, meters, and whether the
  // window is on screen (a grown present turn brings it to the front).
  void Show(const TCallView& view);
  // The subscribers' tab in front (the address book opened from the menu).
  void ShowSubscribers();
  // The address book changed elsewhere.
  void FillSubscriberList();
  // A focus request from outside the program: a visible window comes to the
  // front, active, with the keyboard focus; a hidden one stays hidden.
  void TakeFocus();
  // The object the next map call is for, in screen coordinates: the window
  // does not come up over it.
  void KeepClear(const QRect& object) { keepClear_ = object; }
  // The dispatcher moved the window (now or in an earlier session): its place
  // is kept.
  bool PlacedByHand() const { return placedByHand_; }

 signals:
  // The call button (or Enter): `subscriber` is the row chosen in the list
  // (−1: none); `historyInFront` when the history tab is in front instead.
  void callButtonClicked(int subscriber, bool historyInFront);
  void answerClicked();
  void refuseClicked();
  void escapePressed();
  // The window's close box.
  void closedByHand();
  // The history tab is in view.
  void historyInView();
  // Ctrl and the mouse over the status bar: the gateway's switching settings.
  void switchSettingsWanted();
  void autoSoundChanged(bool on);
  // A double click on a history line (off its record's mark): call `who`
  // (code page 1251) again.
  void callAgainClicked(const std::string& who, const TCallAgain& again);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The way to call a history line's party again, on its "Абонент" cell.
  static constexpr int kCallAgainRole = Qt::UserRole + 2;
  static void SetBackground(QWidget* widget, const QColor& color);
  void BuildWindow();
  void BuildMicrophoneColumn();
  void BuildRecordingColumn();
  void BuildPages();
  void BuildButtons();
  void BuildStatusBar();
  void BuildMenus();
  void FormCreate();
  void ApplySettings();
  void StoreSettings();
  void UpdatePanels();
  void SetIndKind(int kind);
  void ShowMeters(const TCallView& view);
  void ShowHistory();
  // Each history column as wide as its texts where there is room; who was
  // called gives way last (elided in the middle, whole in its tip).
  void FitHistoryColumns();
  void ShowMissed(int missed);
  void ShowRecordingState(bool notRecording);
  void ShowTitle(const std::string& title);
  void CallButtonClicked();
  void KeyPressSound();
  int SelectedSubscriber() const;
  void HistoryMaybeInView();
  // Shows the window in front, active, with the keyboard, so that Space and
  // Esc work at once. A window coming up (or one over the clicked object)
  // is placed away from the map first, unless the dispatcher has placed it.
  void Present();
  void PlaceAwayFromMap();
  void LoadPlacement();
  void StorePlacement();
  void ChooseFont(QWidget* control, TUiFont& font);

  TVoiceHost host_;
  TVoiceSettings settings_;
  TUiFont adrFont_;
  TUiFont timeFont_;
  TCallView shown_;   // the view drawn last
  bool drawn_ = false;

  // The information line and the direction pictures.
  QLabel* infoLine_ = nullptr;
  QLabel* talkPicture_ = nullptr;
  QLabel* listenPicture_ = nullptr;
  // The microphone column.
  QWidget* microphoneColumn_ = nullptr;
  QSlider* micVolume_ = nullptr;
  QLabel* micVolumeText_ = nullptr;
  TGauge* micGauge_ = nullptr;
  // The recording column: the talk time and the level meters.
  QWidget* recordingColumn_ = nullptr;
  QLabel* talkTime_ = nullptr;
  QLabel* recordingMark_ = nullptr;  // red while the conversation is recorded
  TIndicator* dial_ = nullptr;
  TAudioIndicator* segments_ = nullptr;
  QLabel* segmentsCaption_ = nullptr;
  TGauge* gauge_ = nullptr;
  // The tabs: the address book and the history.
  QTabWidget* tabs_ = nullptr;
  QListWidget* subscribers_ = nullptr;
  QLabel* bookNotice_ = nullptr;  // above the list: why it shows fewer entries than the file holds
  // Below the list: the book's edits without the menu.
  QPushButton* addButton_ = nullptr;
  QPushButton* changeButton_ = nullptr;
  QPushButton* deleteButton_ = nullptr;
  QTableWidget* history_ = nullptr;
  THistoryRecords* historyRecords_ = nullptr;  // the history's records and their player
  // The buttons: one for the call, or answer and refuse for a ring.
  QPushButton* callButton_ = nullptr;
  QPushButton* answerButton_ = nullptr;
  QPushButton* refuseButton_ = nullptr;
  TGauge* buttonGauge_ = nullptr;
  // Whom the call is with.
  QLabel* addressStrip_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  std::array<QLabel*, 2> statusPanels_{};
  TGatewayLinkLabel* gatewayLink_ = nullptr;
  QLabel* notRecording_ = nullptr;
  // Nothing shows these: the video panel and its buttons.
  QWidget* videoPanel_ = nullptr;
  QWidget* doorPanel_ = nullptr;
  QPushButton* doorButton_ = nullptr;
  std::array<QAction*, kMeterKinds> meterItems_{};
  QAction* autoSoundItem_ = nullptr;
  QAction* hideRecordingItem_ = nullptr;
  QAction* hideMicrophoneItem_ = nullptr;
  QAction* hideAddressItem_ = nullptr;
  QAction* doorItem_ = nullptr;

  QRect keepClear_;
  QPoint givenPos_;  // where the window was last put by itself (once placed_)
  bool placed_ = false;
  bool placedByHand_ = false;
};

}  // namespace vertamo::ui

Q_DECLARE_METATYPE(vertamo::TCallAgain)
