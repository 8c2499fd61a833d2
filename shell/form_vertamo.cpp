#include "shell/form_vertamo.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <optional>
#include <utility>
#include <cstdio>
#include <vector>

#include "journal/report.h"
#include "journal/ui/form_view.h"
#include "journal/ui/journal_day_view.h"
#include "summary/ui/form_day_summary.h"
#include "journal/ui/log_last.h"
#include "map/ui/bigspk.h"
#include "map/ui/map_items.h"
#include "map/ui/map_view.h"
#include "map/ui/valind.h"
#include "platform/audio_output.h"
#include "platform/folders.h"
#include "protocol/txtfunc.h"
#include "shell/call_notice.h"
#include "shell/form_setup.h"
#include "shell/menu_keys.h"
#include "shell/window_places.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "uikit/window_modal.h"
#include "uikit/win_color.h"
#include "voice/map_call.h"
#include "sounds/sound_file_player.h"
#include "voice/ui/form_sel_lift_mp.h"
#include "sounds/sound_thread.h"

namespace vertamo::ui {
namespace {

QFont Tahoma(int pixelSize) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixelSize);
  return font;
}

bool IsLoadStage(int stage) { return stage >= kStageMaps && stage <= kStageTexts; }

// The keys of a "MOUSEDOWN OBJ=" reply that only an object with voice has.
constexpr const char* kCallKeys[] = {" KelmoGW=", " H323=", " COM=", " ADR=", " PUL=", " PU="};

}  // namespace

// --- what the connection thread reaches ---------------------------------------

// The routines of the connection thread, run on the main thread.
class TFormVertamo::TEvents final : public IClientEvents {
 public:
  explicit TEvents(TFormVertamo& form) : form_(form) {}
  void ClearMaps() override { form_.NewCycle(); }
  void BuildMaps(TMapModel& loaded) override { form_.NewLoad(loaded); }
  void LinkDown(const TLinkDown& event) override { form_.LinkDown(event); }
  void LinkUp() override { form_.LinkUp(); }
  void ShowStatusText(const std::string& text) override { form_.ShowStatusText(text); }
  void ShowProgress(int done, int total) override { form_.ShowProgress(done, total); }
  // The overlays of a new load wait while stale maps still show.
  void SetCounterLayout(TCounterKind counter, const TCounterLayout& layout) override {
    form_.Stale().Later([this, counter, layout] { form_.SetCounterLayout(counter, layout); });
  }
  void SetCounterValue(TCounterKind counter, int value) override {
    form_.Stale().Later([this, counter, value] { form_.SetCounterValue(counter, value); });
  }
  void SetClockLayout(const TClockLayout& layout) override {
    form_.Stale().Later([this, layout] { form_.SetClockLayout(layout); });
  }
  void SetSpeakerLayout(const TSpeakerLayout& layout) override {
    form_.Stale().Later([this, layout] { form_.SetSpeakerLayout(layout); });
  }
  void SetSpeakerCall(int call) override {
    form_.Stale().Later([this, call] { form_.SetSpeakerCall(call); });
  }
  void SetObjectState(int object, int index) override { form_.SetObjectState(object, index); }
  void SetObjectHint(int object, const std::string& hint) override { form_.SetObjectHint(object, hint); }
  void SetObjectCaption(int object, const std::string& caption) override {
    form_.SetObjectCaption(object, caption);
  }
  void SetObjectCapColor(int object, int color) override { form_.SetObjectCapColor(object, color); }
  void AddLogEntry(const TLogEntry& entry) override { form_.AddLogEntry(entry); }

 private:
  TFormVertamo& form_;
};

// The server's "PLAY", on the connection thread: only queued, never played
// there.
class TFormVertamo::TSoundFeed final : public ISoundOutput {
 public:
  explicit TSoundFeed(SoundThread& sounds) : sounds_(sounds) {}
  void Play(const std::string& wave) override { sounds_.PlayByName(wave); }

 private:
  SoundThread& sounds_;
};

// --- construction ----------------------------------------------------------------

TFormVertamo::TFormVertamo(TAppSettings& settings, QWidget* parent)
    : TFormVertamo(settings, TFormOptions{}, parent) {}

TFormVertamo::TFormVertamo(TAppSettings& settings, const TFormOptions& options, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      options_(options),
      events_(std::make_unique<TEvents>(*this)),
      link_(new TLinkController(*events_, this)) {
  // The work folder becomes the current folder and gets its "Wave" folder.
  if (settings_.WorkFolder.empty()) settings_.ChooseWorkFolder("Vertamo");
  SetCurrentFolder(settings_.WorkFolder);
  MakeFolder(settings_.WorkPath("Wave"));
  journalFile_ = std::make_unique<TJournalFile>(settings_.WorkFolder);
  BuildWindow();
  ConnectOverlays();
  FormCreate();
}

TFormVertamo::~TFormVertamo() {
  // A window destroyed without being closed keeps its settings all the same,
  // and never leaves a connection thread behind.
  if (!closed_) FormClose();
}

void TFormVertamo::BuildWindow() {
  setObjectName(QStringLiteral("FormVertamo"));
  setWindowTitle(QStringLiteral("Подключение..."));
  setFont(Tahoma(12));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  setPalette(pal);
  setAutoFillBackground(true);

  // The client area stacks its children in one cell: the server label, and
  // the map tabs over it once the maps are shown.
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  auto* layout = new QGridLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  LabelSrv = new QLabel(client);
  LabelSrv->setObjectName(QStringLiteral("LabelSrv"));
  LabelSrv->setFont(Tahoma(32));
  LabelSrv->setAlignment(Qt::AlignCenter);
  LabelSrv->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);  // never holds the window's size
  layout->addWidget(LabelSrv, 1, 0);
  PageControl1 = new QTabWidget(client);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setTabPosition(QTabWidget::South);
  PageControl1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  PageControl1->setMouseTracking(true);
  PageControl1->tabBar()->setMouseTracking(true);
  PageControl1->installEventFilter(this);
  PageControl1->tabBar()->installEventFilter(this);
  PageControl1->hide();
  layout->addWidget(PageControl1, 1, 0);
  maps_ = new TMapBoard(PageControl1);
  updates_ = std::make_unique<TObjectUpdates>(model_, *maps_);
  connect(maps_, &TMapBoard::ObjectPressed, this, &TFormVertamo::MapObjectMouseDown);
  connect(maps_, &TMapBoard::TextPressed, this, &TFormVertamo::MapTextMouseDown);
  stale_ = new TStaleView(layout, PageControl1);  // row 0: why the link is down
  TabMarks = new TTabMarks(PageControl1);
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
    if (!changingTabs_) PageControl1Change();
  });
  setCentralWidget(client);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    StatusPanels[i] = new QLabel(StatusBar1);
    StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    StatusPanels[i]->setFrameShape(QFrame::Panel);
    StatusPanels[i]->setFrameShadow(QFrame::Sunken);
  }
  StatusPanels[0]->setFixedWidth(200);
  StatusPanels[1]->setMinimumWidth(50);
  StatusBar1->addWidget(StatusPanels[0]);
  StatusBar1->addWidget(StatusPanels[1], 1);  // the last panel stretches
  LoadProgress = new QProgressBar(StatusBar1);
  LoadProgress->setObjectName(QStringLiteral("LoadProgress"));
  LoadProgress->setFixedWidth(200);
  LoadProgress->setMaximumHeight(16);
  LoadProgress->setRange(0, 0);
  LoadProgress->hide();
  StatusBar1->addPermanentWidget(LoadProgress);
  setStatusBar(StatusBar1);
  CallNotice = new TCallNotice(StatusBar1, [this](const std::string& text) {
    if (phone_) phone_->Telephony().Log().Write(text);
    // The voice window stays on top and may sit over this status bar: an
    // open one says it too, where the dispatcher is looking.
    if (voice_) voice_->TellOnWindow(FromCp1251(text));
  });

  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  mFile = menuBar()->addMenu(QStringLiteral("&Файл"));
  mFile->setObjectName(QStringLiteral("mFile"));
  mSetup = mFile->addAction(QStringLiteral("Настройки"));
  mSetup->setObjectName(QStringLiteral("mSetup"));
  mJournal = mFile->addAction(QStringLiteral("Журнал за сегодня"));
  mJournal->setObjectName(QStringLiteral("mJournal"));
  mSummary = mFile->addAction(QStringLiteral("Сводка за день"));
  mSummary->setObjectName(QStringLiteral("mSummary"));
  mFile->addSeparator();
  mClose = mFile->addAction(QStringLiteral("Выход"));
  mClose->setObjectName(QStringLiteral("mClose"));
  connect(mSetup, &QAction::triggered, this, &TFormVertamo::mSetupClick);
  connect(mJournal, &QAction::triggered, this, &TFormVertamo::mJournalClick);
  connect(mSummary, &QAction::triggered, this, &TFormVertamo::mSummaryClick);
  connect(mClose, &QAction::triggered, this, &TFormVertamo::mCloseClick);
  ZoomMenu = new TMapZoomMenu(menuBar(), PageControl1, settings_);
  ZoomMenu->mView->addSeparator();
  mShowJournal = ZoomMenu->mView->addAction(QStringLiteral("Оперативный журнал"));
  mShowJournal->setObjectName(QStringLiteral("mShowJournal"));
  mShowJournal->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
  connect(mShowJournal, &QAction::triggered, this, &TFormVertamo::ShowJournal);
  mDefaultPlaces = ZoomMenu->mView->addAction(QStringLiteral("Расположение окон по умолчанию"));
  mDefaultPlaces->setObjectName(QStringLiteral("mDefaultPlaces"));
  connect(mDefaultPlaces, &QAction::triggered, this, &TFormVertamo::DefaultWindowPlaces);
  mCall = menuBar()->addMenu(QStringLiteral("&Связь"));
  mCall->setObjectName(QStringLiteral("mCall"));
  mPhoneBook = mCall->addAction(QStringLiteral("Телефонная книга"));
  mPhoneBook->setObjectName(QStringLiteral("mPhoneBook"));
  mPhoneBook->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  connect(mPhoneBook, &QAction::triggered, this, &TFormVertamo::mPhoneBookClick);

  // F10 and the Latin letters of the menus, whatever the keyboard layout.
  AddMenuKeys(this, menuBar(), {{mFile, Qt::Key_F}, {ZoomMenu->mView, Qt::Key_V}, {mCall, Qt::Key_C}});

  // F5 reconnects whichever control of the window has the focus.
  auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
  f5->setObjectName(QStringLiteral("F5"));
  f5->setContext(Qt::WindowShortcut);
  connect(f5, &QShortcut::activated, this, &TFormVertamo::Reconnect);

  // The ring shows where the object is, then leaves the map clear again.
  MarkerTimer = new QTimer(this);
  MarkerTimer->setObjectName(QStringLiteral("MarkerTimer"));
  MarkerTimer->setSingleShot(true);
  MarkerTimer->setInterval(kMarkerMs);
  connect(MarkerTimer, &QTimer::timeout, maps_, &TMapBoard::HideMarker);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kTimerMs);
  connect(Timer1, &QTimer::timeout, this, &TFormVertamo::Timer1Timer);
  Timer1->start();
  // The connection state, as the link tells it.
  connect(link_, &TLinkController::StageChanged, this, [this](int stage) {
    if (closed_) return;
    StatusPanels[0]->setText(FromCp1251(TOrvexClientThread::StageText(stage)));
    UpdateProgressVisibility(stage);
  });

  // Outer size 909 x 596 at 0,0 until the settings say otherwise.
  TWidgetBounds bounds(this, TWidgetBounds::kAsGiven);
  bounds.setLeft(0);
  bounds.setTop(0);
  bounds.setWidth(kInitialWidth);
  bounds.setHeight(kInitialHeight);
}

void TFormVertamo::ConnectOverlays() {
  // A click on the speaker shows the object that calls.
  overlays_.BigSpk->installEventFilter(this);
  overlays_.BigSpk->setCursor(Qt::PointingHandCursor);
  for (TValInd* counter : {overlays_.LiftB, overlays_.OhrAlr, overlays_.PuErr})
    connect(counter, &TValInd::DblClick, this, [this, counter] { ValIndDblClick(counter); });
}

void TFormVertamo::FormCreate() {
  // The main settings and the window's place.
  settings_.OpenMainIni(kMainIniName);
  TWidgetBounds bounds(this);
  settings_.RestoreFormPos(bounds);
  // The server profile.
  profile_ = LoadProfile(*settings_.MainIni, kProfileSection);
  // The server caption.
  ShowServerCaption();
  // The IP-telephony settings, before anything of the telephony starts.
  phone_ =
      std::make_unique<TPhoneStation>(this, settings_.ProgramFolder, settings_.WorkFolder, options_.phone);
  if (settings_.MainIni) phone_->ReadSettings(*settings_.MainIni);
  // The sound thread runs before the connection, so that no "PLAY" finds it
  // missing.
  StartSounds();
  // The connection; a workstation that names no server asks for one first.
  firstStart_ = options_.setupWhenUnconfigured && !ProfileNamesServer(*settings_.MainIni, kProfileSection);
  // A link that never came up offers the settings, and on a first start the
  // training district.
  stale_->SetOffers([this] { mSetupClick(); }, firstStart_ ? std::function<void()>([this] { StartDemo(); })
                                                           : std::function<void()>());
  if (options_.startClient && firstStart_)
    QMetaObject::invokeMethod(this, &TFormVertamo::FirstStartSetup, Qt::QueuedConnection);
  else if (options_.startClient)
    StartClient();
  // Hints in Arial, 16 pixels.
  QFont hintFont(QStringLiteral("Arial"));
  hintFont.setPixelSize(16);
  QToolTip::setFont(hintFont);
  // IP telephony is always on: the address book and the telephony thread.
  phone_->Start();
  StartVoice();
  // The journal window, owned by the main window.
  logLast_ = new TLogLast(settings_.MainIni.get(), this);
  ArrangeDeskWindows(this, logLast_, settings_.MainIni.get());
  logLast_->AddEarlierEntries(journalFile_->TodayNewest(TLogModel::kRows));
  connect(logLast_, &TLogLast::ReconnectRequested, this, &TFormVertamo::Reconnect);
  connect(logLast_, &TLogLast::ActivateMainWindowRequested, this, [this] {
    raise();
    activateWindow();
  });
  connect(logLast_, &TLogLast::ShowObjectOnMapRequested, this, &TFormVertamo::ShowObjectOnMap);
  connect(logLast_, &TLogLast::HideMapMarkerRequested, maps_, &TMapBoard::HideMarker);
  // Shown together with the main window (showEvent): a tool window shown
  // before its owner would give the owner its frame before it has a place.
}

void TFormVertamo::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (journalShown_ || !logLast_) return;
  journalShown_ = true;
  logLast_->show();
  logLast_->raise();  // over the main window, never behind it
}

void TFormVertamo::FormClose() {
  closed_ = true;
  Timer1->stop();
  // The window's place.
  settings_.SaveFormPos(TWidgetBounds(this));
  // The server profile.
  if (settings_.MainIni) SaveProfile(*settings_.MainIni, kProfileSection, profile_);
  // The IP-telephony settings.
  if (phone_ && settings_.MainIni) phone_->WriteSettings(*settings_.MainIni);
  // A call still on ends while the server can still hear its "ENDSPEAK" and
  // the phone program its "n" or "h" (before the "q" below).
  if (voice_) voice_->Close();
  // The connection, then the sounds it fed.
  StopClient();
  StopSounds();
  // The maps.
  ClearMaps();
  // The voice window goes while the phone program still listens (a
  // conversation still on is hung up); then the phone program is told to
  // quit and the telephony thread is freed.
  voice_.reset();
  if (phone_) phone_->Close();
  // The report window stores its settings as it closes.
  if (FormView) FormView->close();
  for (TJournalDayView* view : findChildren<TJournalDayView*>(QString(), Qt::FindDirectChildrenOnly)) view->close();
  // The journal's place is kept like every window's; its switches and
  // columns only by its own "Запомнить положение на экране".
  if (logLast_) {
    settings_.SaveFormPos(TWidgetBounds(logLast_));
    logLast_->close();
  }
  // A settings dialog still open goes without storing anything: the
  // settings it writes to are closed here.
  for (TFormSetup* dialog : findChildren<TFormSetup*>()) delete dialog;
  // The main settings reach the disk.
  settings_.CloseMainIni();
}

TLogLast* TFormVertamo::LogLast() const { return logLast_; }

void TFormVertamo::ShowJournal() {
  if (!logLast_) return;
  logLast_->show();
  logLast_->raise();
}

void TFormVertamo::DefaultWindowPlaces() {
  DefaultDeskWindows(this, logLast_);
  ShowJournal();
}

void TFormVertamo::StartVoice() {
  TCallDeskHost host;
  host.ini = settings_.MainIni.get();
  host.sounds = soundThread_.get();
  host.window.ini = settings_.MainIni.get();
  host.window.soundFiles = soundFiles_.get();
  host.window.programFolder = settings_.ProgramFolder;
  host.window.workFolder = settings_.WorkFolder;
  host.gatewayPort = options_.gatewayPort;
  // The map on screen, which the voice window keeps clear of: its background
  // and objects as far as the tab shows them.
  host.window.mapArea = [this] {
    auto* view = PageControl1->isVisible() ? qobject_cast<TMapView*>(PageControl1->currentWidget()) : nullptr;
    if (!view) return QRect();
    const QRect shown =
        view->viewport()->rect() & view->ToView(QRectF(QPointF(0, 0), view->Extent()));
    return shown.translated(view->viewport()->mapToGlobal(QPoint(0, 0)));
  };
  // The request is queued at once and the window goes on; `settled` runs when
  // the server answered or its wait ran out. The server keeps who talks to
  // which lift, so the request reaches it even when the link was too busy to
  // send it within its second; queued while the window closes, it still goes
  // out before the connection ends.
  host.sendCommand = [this](const std::string& request, std::function<void()> settled) {
    TOrvexClientThread* client = link_->Client();
    if (!client) {
      if (settled) QMetaObject::invokeMethod(this, std::move(settled), Qt::QueuedConnection);
      return;
    }
    if (!settled) {
      client->TellServer(request);
      return;
    }
    client->TellServer(request, windowRequester_, [settled](const TRequestAnswer&) { settled(); });
  };
  host.tellDispatcher = [this](const QString& text, bool standing) { CallNotice->Tell(text, standing); };
  host.callLiftAgain = [this](int object, int unit, const std::string& who) { CallLiftAgain(object, unit, who); };
  voice_ = std::make_unique<TCallDesk>(this, *phone_, std::move(host));
}

TFVoice* TFormVertamo::VoiceWindow(bool create) { return voice_ ? voice_->VoiceWindow(create) : nullptr; }

void TFormVertamo::ShowServerCaption() {
  LabelSrv->setText(QStringLiteral("Подключение к серверу ") + FromCp1251(profile_.Name));
}

void TFormVertamo::closeEvent(QCloseEvent* event) {
  // The title bar's close button (or Alt+F4) asks like "Выход"; a close of
  // the program's own, such as on SIGTERM or at the session's end, does not.
  if (!closed_ && event->spontaneous() && !closeConfirmed_) {
    event->ignore();
    AskToClose();
    return;
  }
  if (!closed_) FormClose();
  event->accept();
}

bool TFormVertamo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && (watched == PageControl1 || watched == PageControl1->tabBar()))
    maps_->Unhighlight();
  if (watched == overlays_.BigSpk && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    ShowCallingObject();
  return QMainWindow::eventFilter(watched, event);
}

// --- connection ----------------------------------------------------------------

void TFormVertamo::StartClient() {
  StopClient();
  ISoundOutput* sound = options_.sound ? options_.sound : soundFeed_.get();
  link_->Start(profile_, settings_.WorkFolder, sound, options_.timings);
}

void TFormVertamo::StartSounds() {
  if (options_.muteSounds) {
    audio_ = std::make_unique<TSilentAudioOutput>();
  } else if (!options_.audio) {
    audio_ = CreateSoundServerOutput(
        {}, "Vertamo", [](const std::string& line) { std::fprintf(stderr, "vertamo: %s\n", line.c_str()); });
  }
  IAudioOutput& audio = audio_ ? *audio_ : *options_.audio;
  soundThread_ = std::make_unique<SoundThread>(audio, settings_.ProgramFolder, settings_.WorkFolder);
  soundThread_->Start();
  soundFiles_ = std::make_unique<TSoundFilePlayer>(audio);
  soundFeed_ = std::make_unique<TSoundFeed>(*soundThread_);
}

// The playing sounds are cut and the queue dropped.
void TFormVertamo::StopSounds() {
  soundFeed_.reset();
  soundFiles_.reset();
  soundThread_.reset();
  audio_.reset();
}

void TFormVertamo::StopClient() { link_->Stop(); }

void TFormVertamo::Reconnect() {
  StopClient();
  ClearMaps();
  stale_->Reset();
  StartClient();
}

bool TFormVertamo::SendCommand(std::string_view request, TRequesterToken requester, TAnswerHandler done) {
  TOrvexClientThread* client = link_->Client();
  if (!client) return false;
  client->SendCommand(request, std::move(requester), std::move(done));
  return true;
}

bool TFormVertamo::SendListCommand(std::string_view request, TRequesterToken requester, TAnswerHandler done) {
  TOrvexClientThread* client = link_->Client();
  if (!client) return false;
  client->SendListCommand(request, std::move(requester), std::move(done));
  return true;
}

// --- maps ---------------------------------------------------------------------

void TFormVertamo::ClearMaps() {
  // The journal.
  ClearJournal();
  // The overlays and the marker leave the tabs before the tabs go.
  PlaceOverlays(false);
  // Every tab with its scene, then the model they were drawn from.
  changingTabs_ = true;
  maps_->Clear();
  changingTabs_ = false;
  model_.Clear();
  stale_->Thaw();
  TabMarks->Reset();
  speakerCall_.Reset();
  // The caption.
  setWindowTitle(QStringLiteral("Подключение..."));
}

void TFormVertamo::NewCycle() {
  if (!stale_->Frozen() && model_.MapList.Count() == 0) {
    ClearMaps();
    return;
  }
  // The maps stay, stale; the journal and the caption go as at every cycle.
  ClearJournal();
  stale_->Freeze();
  setWindowTitle(QStringLiteral("Подключение..."));
}

void TFormVertamo::NewLoad(TMapModel& model) {
  // The stale maps go; the new load and the overlays that came with it replace them.
  TMapModel loaded = std::move(model);
  if (stale_->Frozen()) {
    auto overlays = stale_->TakeLater();
    ClearMaps();
    for (auto& call : overlays) call();
  }
  stale_->Reset();
  // The tabs of the model that goes are gone before it; the overlays that
  // came with the new load wait off them.
  overlays_.Lift();
  changingTabs_ = true;
  maps_->Clear();
  changingTabs_ = false;
  std::swap(model_, loaded);
  BuildMaps();
}

void TFormVertamo::LinkDown(const TLinkDown& event) { stale_->LinkDown(event, model_.MapList.Count() > 0); }

void TFormVertamo::LinkUp() { stale_->LinkUp(); }

bool TFormVertamo::BuildMaps() {
  if (model_.MapList.Count() == 0) return false;
  changingTabs_ = true;
  maps_->Build(model_);
  changingTabs_ = false;
  for (int m = 0; m < maps_->Count(); ++m) ZoomMenu->Attach(maps_->View(m), model_.MapList.Get(m)->Name.str(), m);
  LoadProgress->hide();
  progressStage_ = -1;
  ShowMap(0);
  TabMarks->Reset();
  return true;
}

bool TFormVertamo::ShowMap(int index) {
  if (index < 0 || index >= PageControl1->count()) return false;
  changingTabs_ = true;
  PageControl1->setCurrentIndex(index);
  changingTabs_ = false;
  setWindowTitle(PageControl1->tabText(index));
  PlaceOverlays(true);
  return true;
}

void TFormVertamo::PageControl1Change() {
  const int index = PageControl1->currentIndex();
  if (index < 0) return;
  setWindowTitle(PageControl1->tabText(index));
  PlaceOverlays(true);
}

void TFormVertamo::PlaceOverlays(bool show) {
  if (show) {
    // Over the server label, which stays below for the connecting state.
    PageControl1->show();
    PageControl1->raise();
    if (auto* view = qobject_cast<TMapView*>(PageControl1->currentWidget())) overlays_.PlaceOn(view);
    return;
  }
  maps_->HideMarker();
  overlays_.Clear();
  PageControl1->hide();
}

void TFormVertamo::ShowObjectOnMap(int object) {
  // The marker goes; it comes back only around a picture on a map.
  maps_->HideMarker();
  const TObjectItem* item = maps_->ObjectItem(object);
  if (!item || !ShowMap(item->Record().MapIndex)) return;
  maps_->ShowMarker(object);
  MarkerTimer->start();
}

// --- the change feed -------------------------------------------------------------

void TFormVertamo::SetObjectState(int object, int state) {
  const MAPOBJECT* record = model_.ObjectList.Get(object);
  const int before = record ? record->Idx : 0;
  updates_->SetState(object, state);
  // A change on a map behind the one in front marks its tab.
  if (record && record->Idx != before) TabMarks->StateChange(record->MapIndex);
}

void TFormVertamo::SetObjectHint(int object, const std::string& hint) { updates_->SetHint(object, hint); }

void TFormVertamo::SetObjectCaption(int object, const std::string& caption) {
  updates_->SetCaption(object, caption);
}

void TFormVertamo::SetObjectCapColor(int object, int color) { updates_->SetCapColor(object, color); }

void TFormVertamo::ShowStatusText(const std::string& text) {
  StatusPanels[1]->setText(FromCp1251(text));
  // A new step of the load shows a busy bar until its counts arrive.
  ShowProgress(0, 0);
}

void TFormVertamo::SetCounterLayout(TCounterKind kind, const TCounterLayout& layout) {
  overlays_.SetCounterLayout(kind, layout);
}

void TFormVertamo::SetCounterValue(TCounterKind kind, int value) {
  TValInd* counter = overlays_.Counter(kind);
  if (!counter) return;
  const bool changed = counter->Value() != value;
  counter->SetValue(value);
  // An open report of this counter follows it.
  if (changed && FormView && FormView->Kind() == counter->objectName().toStdString()) FormView->Refresh();
}

void TFormVertamo::SetClockLayout(const TClockLayout& layout) { overlays_.SetClockLayout(layout); }

void TFormVertamo::SetSpeakerLayout(const TSpeakerLayout& layout) { overlays_.SetSpeakerLayout(layout); }

void TFormVertamo::SetSpeakerCall(int call) {
  overlays_.BigSpk->SetCallState(call);
  speakerCall_.Speaker(call);
}

bool TFormVertamo::ShowCallingObject() {
  const int object = speakerCall_.Calling();
  if (object < 0 || !maps_->ObjectItem(object)) return false;
  ShowObjectOnMap(object);
  return true;
}

void TFormVertamo::ClearJournal() {
  if (!logLast_) return;
  logLast_->Clear();
  // The server's list starts anew; the day so far stays in view, pale.
  if (!closed_) logLast_->AddEarlierEntries(journalFile_->TodayNewest(TLogModel::kRows));
}

void TFormVertamo::AddLogEntry(const TLogEntry& entry) {
  // Every entry is kept on disk, and reaches the journal also while it is hidden.
  journalFile_->Append(entry);
  if (const MAPOBJECT* record = model_.ObjectList.Get(entry.object))
    TabMarks->JournalLine(record->MapIndex, entry.color, entry.fontColor);
  speakerCall_.JournalLine(entry.object);
  if (logLast_) logLast_->AddLogEntry(entry);
}

// --- status bar -----------------------------------------------------------------

void TFormVertamo::SetStatusText(int panel, const QString& text) {
  if (panel >= 0 && panel < 2) StatusPanels[panel]->setText(text);
}

QString TFormVertamo::StatusText(int panel) const {
  return panel >= 0 && panel < 2 ? StatusPanels[panel]->text() : QString();
}

void TFormVertamo::UpdateProgressVisibility(int stage) {
  const bool loading = IsLoadStage(stage) && (!PageControl1->isVisibleTo(this) || stale_->Frozen());
  if (!loading) progressStage_ = -1;
  LoadProgress->setVisible(loading);
}

// The bar follows the counts the connection thread hands over for each step
// of the load; each step starts it anew, and while a step's total is not known
// the bar is a busy one.
void TFormVertamo::ShowProgress(int done, int total) {
  const int stage = link_->Stage();
  if (IsLoadStage(stage)) {
    if (stage != progressStage_) {
      progressStage_ = stage;
      LoadProgress->setRange(0, 0);
    }
    if (total > 0) {
      LoadProgress->setRange(0, total);
      LoadProgress->setValue(std::clamp(done, 0, total));
    }
  }
  UpdateProgressVisibility(stage);
}

void TFormVertamo::Timer1Timer() {
  // Nothing once the window is closing.
  if (closed_) return;
  // The clock, once its layout has put it on a map.
  overlays_.ShowTime(QTime::currentTime().toString(QStringLiteral("hh:mm")));
}

// --- menu -------------------------------------------------------------------------

void TFormVertamo::mSetupClick() { OpenSettings({}); }

void TFormVertamo::OpenSettings(std::function<void()> then) {
  // One settings dialog at a time: a second request brings it forward.
  for (TFormSetup* open : findChildren<TFormSetup*>(QString(), Qt::FindDirectChildrenOnly))
    if (open->isVisible()) {
      open->raise();
      open->activateWindow();
      return;
    }
  OpenSetupDialog(
      this, settings_.MainIni.get(), profile_,
      [this, then = std::move(then)](const TSetupResult& result) {
        if (result.accepted) {
          ShowServerCaption();
          if (settings_.MainIni) settings_.MainIni->Save();
          if (result.reconnect) {
            stale_->NewServer();
            Reconnect();
          }
        }
        if (then) then();
      },
      firstStart_ ? FirstStartNote() : QString());
}

void TFormVertamo::StartDemo() {
  // The demo keeps a work folder of its own, so it runs beside this one.
  if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {QStringLiteral("--demo")}))
    SetStatusText(1, QStringLiteral("Учебный район не запустился"));
}

void TFormVertamo::mJournalClick() {
  // One day window: a second click brings it forward on today.
  TJournalDayView* view = findChild<TJournalDayView*>(QString(), Qt::FindDirectChildrenOnly);
  if (view)
    view->ShowDay(journalFile_->TodayName());
  else
    view = new TJournalDayView(*journalFile_, settings_.MainIni.get(), this);
  view->show();
  view->raise();
  view->activateWindow();
}

void TFormVertamo::mSummaryClick() {
  // One summary window: a second click brings it forward on today, afresh.
  TFormDaySummary* view = findChild<TFormDaySummary*>(QString(), Qt::FindDirectChildrenOnly);
  if (view) {
    view->ShowDay(journalFile_->TodayName());
  } else {
    view = new TFormDaySummary(*journalFile_, settings_.WorkFolder, FromCp1251(profile_.Name),
                               settings_.MainIni.get(), this);
    connect(view, &TFormDaySummary::ShowObjectOnMapRequested, this, &TFormVertamo::ShowObjectOnMap);
  }
  view->show();
  view->raise();
  view->activateWindow();
}

void TFormVertamo::FirstStartSetup() {
  if (closed_) return;
  OpenSettings([this] {
    // OK with a changed profile has connected already.
    if (!link_->Client() && !closed_) StartClient();
  });
}

void TFormVertamo::mCloseClick() { AskToClose(); }

// A dispatch console closed by a slip would leave the lifts unwatched, and a
// conversation going on would end: the dispatcher is asked, "Нет" the
// default, and the workstation goes on serving calls meanwhile.
void TFormVertamo::AskToClose() {
  if (closed_) return;
  if (exitQuestion_) {
    exitQuestion_->raise();
    exitQuestion_->activateWindow();
    return;
  }
  const bool callOn = voice_ && voice_->Session().State() != TCallState::Idle;
  exitQuestion_ = AskYesNo(this, QStringLiteral("Выход"),
                           callOn ? QStringLiteral("Идёт разговор. Завершить его и выйти из программы?")
                                  : QStringLiteral("Закрыть рабочее место диспетчера?"),
                           false, [this](bool yes) {
                             if (!yes || closed_) return;
                             closeConfirmed_ = true;
                             close();
                           });
}

void TFormVertamo::mPhoneBookClick() {
  if (!voice_ || !voice_->OpenBook()) CallNotice->Tell(kNoPhoneBook);
}

// --- the mouse on the map ------------------------------------------------------------

void TFormVertamo::MapObjectMouseDown(int index, Qt::MouseButton) { ClickObject(index, -1); }

void TFormVertamo::CallLiftAgain(int index, int unit, const std::string& who) {
  // Object numbers are the server's of today: the history's may name
  // another object, or none, since.
  const MAPOBJECT* object = model_.ObjectList.Get(index);
  const std::string name = object ? object->Name.str() : std::string();
  if (name.empty() || who.compare(0, name.size(), name) != 0) {
    CallNotice->Tell(kLiftNotOnMaps);
    return;
  }
  ClickObject(index, unit);
}

void TFormVertamo::ClickObject(int index, int unit) {
  if (!model_.ObjectList.Get(index)) return;
  // The server is told of the click (any button); the rest follows its
  // answer. A newer click takes the place of this one: its token goes, and
  // with it this answer.
  clickRequester_ = std::make_shared<int>(index);
  const bool asked = SendCommand("MOUSEDOWN OBJ=" + std::to_string(index), clickRequester_,
                                 [this, generation = maps_->Generation(), index, unit,
                                  click = clickRequester_.get()](const TRequestAnswer& answer) {
                                   MapObjectAnswer(generation, index, unit, answer);
                                   // Done with this click, unless a newer one came meanwhile
                                   // or the selector still asks.
                                   if (clickRequester_.get() == click && !selector_) clickRequester_.reset();
                                 });
  if (!asked) {
    clickRequester_.reset();
    CallNotice->Tell(kNoServerReply);
  }
}

void TFormVertamo::MapObjectAnswer(int generation, int index, int unit, const TRequestAnswer& answer) {
  if (!answer.answered) {
    CallNotice->Tell(kNoServerReply);
    return;
  }
  const std::string& reply = answer.line;
  // Objects without voice (sensors, doors) answer without any key of a call:
  // nothing to tell about them.
  const bool voiceObject = std::any_of(std::begin(kCallKeys), std::end(kCallKeys),
                                       [&](const char* key) { return reply.find(key) != std::string::npos; });
  // The maps were loaded anew while the server answered: the object number
  // may name another object now.
  MAPOBJECT* object = maps_->Generation() == generation ? model_.ObjectList.Get(index) : nullptr;
  if (!object) {
    if (voiceObject) CallNotice->Tell(kMapsReloaded);
    return;
  }
  // A reply about this object, of its type.
  int replyObject = 0, replyType = 0;
  if (!GetIntParam(reply, "OBJ=", replyObject) || replyObject != index) return;
  if (!GetIntParam(reply, " TYPE=", replyType) || replyType != object->Type) return;
  if (!voiceObject) return;
  // A call needs the phone program's link and the lift's gateway.
  if (!phone_ || !phone_->Telephony().PhoneLinkUp()) {
    CallNotice->Tell(kNoPhoneLink);
    return;
  }
  if (reply.find(" KelmoGW=") == std::string::npos) {
    CallNotice->Tell(kNoGateway);
    return;
  }
  // While the selector asks, a new load (ClearMaps) may free the object:
  // what the call needs of it is taken now.
  const QRect clickedArea = maps_->ScreenArea(index);
  const TMapCallObject called{index, object->Name.str(), profile_.Ip, object->HintText(), unit};
  // Both units answer: the dispatcher chooses, and the reply is read again
  // with the choice once the selector closes.
  std::optional<std::pair<std::string, std::string>> offered;
  const TMapCallResult result =
      MapCallFromReply(reply, called, [&](const std::string& cabin, const std::string& room) {
        offered.emplace(cabin, room);
        return TCallUnit::Cancelled;
      });
  if (!offered) {
    PlaceMapCall(result, generation, clickedArea);
    return;
  }
  const auto& [cabin, room] = *offered;
  const auto chosen = [this, reply, called, generation, clickedArea, click = clickRequester_.get()](TCallUnit unit) {
    // The click is done once the dispatcher has chosen.
    if (clickRequester_.get() == click) clickRequester_.reset();
    if (unit == TCallUnit::Cancelled || closed_) return;
    const auto choice = [unit](const std::string&, const std::string&) { return unit; };
    PlaceMapCall(MapCallFromReply(reply, called, choice), generation, clickedArea);
  };
  selector_ = OpenCallUnitChoice(this, settings_.MainIni.get(), cabin, room, SelectorTitle(called.name, cabin, room),
                                 chosen);
}

void TFormVertamo::PlaceMapCall(const TMapCallResult& result, int generation, const QRect& clickedArea) {
  if (!result.call) {
    if (!result.reason.empty()) {
      const QString reason = FromCp1251(result.reason);
      CallNotice->Tell(reason.contains(QStringLiteral("вызов не сделан"), Qt::CaseInsensitive)
                           ? reason
                           : QStringLiteral("Вызов не сделан: ") + reason);
    }
    return;
  }
  // The maps were loaded anew while the dispatcher chose: the object number
  // may name another object now.
  if (maps_->Generation() != generation) {
    CallNotice->Tell(kMapsReloaded);
    return;
  }
  // The call session tells the server ("STARTSPEAK") and dials; a call
  // already on is ended first if the dispatcher says so.
  if (voice_) voice_->MapCall(*result.call, clickedArea);
}

void TFormVertamo::MapTextMouseDown(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  // Left and middle buttons, without Shift or Ctrl.
  if (button == Qt::RightButton) return;
  if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) return;
  // A link to another map.
  const MAPTEXT* text = model_.TextList.Get(index);
  if (text && text->Action == 1 && text->AParam >= 0) ShowMap(text->AParam);
}

void TFormVertamo::ValIndDblClick(QObject* sender) {
  if (!sender) return;
  // The report window drops an answer that finds it gone.
  const TListRequest request = [this](const std::string& line, TListAnswer answer) {
    const bool asked = SendListCommand(line, windowRequester_, [answer](const TRequestAnswer& reply) {
      answer(reply.answered, reply.lines);
    });
    if (!asked) answer(false, {});
  };
  const TReportMapLink link{[this](int object) { ShowObjectOnMap(object); }, [this] { maps_->HideMarker(); }};
  const QString source = FromCp1251(profile_.Name).trimmed() + QStringLiteral(" (") + FromCp1251(profile_.Ip) +
                         QStringLiteral(":") + QString::number(profile_.Port) + QStringLiteral(")");
  OpenCounterReport(FormView, sender->objectName().toStdString(), this, settings_.MainIni.get(), request, link,
                    source);
}

}  // namespace vertamo::ui
