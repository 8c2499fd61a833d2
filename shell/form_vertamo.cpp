#include "shell/form_vertamo.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QRegularExpression>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QUrl>
#include <QToolTip>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "journal/report.h"
#include "journal/ui/form_view.h"
#include "journal/ui/log_last.h"
#include "map/ui/bigspk.h"
#include "map/ui/map_view.h"
#include "map/ui/valind.h"
#include "platform/audio_output.h"
#include "platform/folders.h"
#include "protocol/txtfunc.h"
#include "shell/form_setup.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "uikit/win_color.h"
#include "voice/sound_file_player.h"
#include "voice/sound_thread.h"

namespace vertamo::ui {
namespace {

QFont Tahoma(int pixelSize) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixelSize);
  return font;
}

bool IsLoadStage(int stage) { return stage >= kStageMaps && stage <= kStageTexts; }

}  // namespace

// --- what the connection thread reaches ---------------------------------------

// The hand-overs of the connection thread, run on the main thread.
class TFormVertamo::TEvents final : public IClientEvents {
 public:
  explicit TEvents(TFormVertamo& form) : form_(form) {}
  void ClearMaps() override { form_.ClearMaps(); }
  void BuildMaps() override { form_.BuildMaps(); }
  void ShowStatusText(const std::string& text) override { form_.ShowStatusText(text); }
  void ShowProgress(int done, int total) override { form_.ShowProgress(done, total); }
  void SetCounterLayout(TCounterKind counter, const TCounterLayout& layout) override {
    form_.SetCounterLayout(counter, layout);
  }
  void SetCounterValue(TCounterKind counter, int value) override { form_.SetCounterValue(counter, value); }
  void SetClockLayout(const TClockLayout& layout) override { form_.SetClockLayout(layout); }
  void SetSpeakerLayout(const TSpeakerLayout& layout) override { form_.SetSpeakerLayout(layout); }
  void SetSpeakerCall(int call) override { form_.SetSpeakerCall(call); }
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

// A routine of the connection thread reaches the main thread as a queued call
// on the window; one that is still queued when the window goes is dropped,
// which the waiting thread notices.
class TFormVertamo::TExecutor final : public IMainThreadExecutor {
 public:
  explicit TExecutor(QObject* context) : context_(context) {}
  void Post(std::function<void()> task) override {
    QMetaObject::invokeMethod(context_, std::move(task), Qt::QueuedConnection);
  }

 private:
  QObject* context_;
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

// --- the marker ---------------------------------------------------------------

TMarkerShape::TMarkerShape(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Shape"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hide();
}

void TMarkerShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPen pen(QColor(255, 0, 0));
  pen.setWidth(kPenWidth);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  // The pen lies inside the bounds, as a shape control draws it.
  const qreal inset = kPenWidth / 2.0;
  painter.drawEllipse(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

// --- load progress -------------------------------------------------------------

TLoadProgress ParseLoadProgress(const QString& statusText) {
  static const QRegularExpression ofTotal(QStringLiteral("(\\d+) из (\\d+)\\s*$"));
  static const QRegularExpression trailing(QStringLiteral("(\\d+)\\s*$"));
  TLoadProgress progress;
  QRegularExpressionMatch match = ofTotal.match(statusText);
  if (match.hasMatch()) {
    progress.done = match.captured(1).toInt();
    progress.total = match.captured(2).toInt();
    return progress;
  }
  match = trailing.match(statusText);
  if (match.hasMatch()) progress.done = match.captured(1).toInt();
  return progress;
}

// --- construction ----------------------------------------------------------------

TFormVertamo::TFormVertamo(TAppSettings& settings, QWidget* parent)
    : TFormVertamo(settings, TFormOptions{}, parent) {}

TFormVertamo::TFormVertamo(TAppSettings& settings, const TFormOptions& options, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      options_(options),
      events_(std::make_unique<TEvents>(*this)),
      executor_(std::make_unique<TExecutor>(this)) {
  // 1. The work folder becomes the current folder and gets its "Wave" folder.
  if (settings_.WorkFolder.empty()) settings_.ChooseWorkFolder("Vertamo");
  SetCurrentFolder(settings_.WorkFolder);
  MakeFolder(settings_.WorkPath("Wave"));
  journalFile_ = std::make_unique<TJournalFile>(settings_.WorkFolder);
  // 2. ProgramFolder is known to the settings since they were made.

  BuildWindow();
  // 3.-5. The counters, the clock and the speaker symbol.
  CreateOverlays();
  FormCreate();
}

TFormVertamo::~TFormVertamo() {
  // A window destroyed without being closed keeps its settings all the same,
  // and never leaves a connection thread behind.
  if (!closed_) FormClose();
  // The overlays and the marker have no parent once the maps are cleared.
  for (int i = 0; i < kOverlays; ++i) delete Overlay(i);
  delete Shape;
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
  layout->addWidget(LabelSrv, 0, 0);
  PageControl1 = new QTabWidget(client);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setTabPosition(QTabWidget::South);
  PageControl1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  PageControl1->setMouseTracking(true);
  PageControl1->tabBar()->setMouseTracking(true);
  PageControl1->installEventFilter(this);
  PageControl1->tabBar()->installEventFilter(this);
  PageControl1->hide();
  layout->addWidget(PageControl1, 0, 0);
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

  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  mFile = menuBar()->addMenu(QStringLiteral("&Файл"));
  mFile->setObjectName(QStringLiteral("mFile"));
  mSetup = mFile->addAction(QStringLiteral("Настройки"));
  mSetup->setObjectName(QStringLiteral("mSetup"));
  mJournal = mFile->addAction(QStringLiteral("Журнал за сегодня"));
  mJournal->setObjectName(QStringLiteral("mJournal"));
  mFile->addSeparator();
  mClose = mFile->addAction(QStringLiteral("Выход"));
  mClose->setObjectName(QStringLiteral("mClose"));
  connect(mSetup, &QAction::triggered, this, &TFormVertamo::mSetupClick);
  connect(mJournal, &QAction::triggered, this, &TFormVertamo::mJournalClick);
  connect(mClose, &QAction::triggered, this, &TFormVertamo::mCloseClick);

  // F5 reconnects whichever control of the window has the focus.
  auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
  f5->setObjectName(QStringLiteral("F5"));
  f5->setContext(Qt::WindowShortcut);
  connect(f5, &QShortcut::activated, this, &TFormVertamo::Reconnect);

  Shape = new TMarkerShape();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kTimerMs);
  connect(Timer1, &QTimer::timeout, this, &TFormVertamo::Timer1Timer);
  Timer1->start();

  // Outer size 909 x 596 at 0,0 until the settings say otherwise.
  TWidgetBounds bounds(this);
  bounds.setLeft(0);
  bounds.setTop(0);
  bounds.setWidth(kInitialWidth);
  bounds.setHeight(kInitialHeight);
}

void TFormVertamo::CreateOverlays() {
  struct CounterDef {
    TValInd** counter;
    const char* name;
    int type;
  };
  for (const CounterDef& def :
       {CounterDef{&LiftB, "LiftB", 1}, CounterDef{&OhrAlr, "OhrAlr", 2}, CounterDef{&PuErr, "PuErr", 3}}) {
    auto* counter = new TValInd();
    counter->setObjectName(QString::fromLatin1(def.name));
    counter->SetType(def.type);
    connect(counter, &TValInd::DblClick, this, [this, counter] { ValIndDblClick(counter); });
    *def.counter = counter;
  }
  Clk = new QLabel();
  Clk->setObjectName(QStringLiteral("Clk"));
  Clk->setAlignment(Qt::AlignCenter);
  Clk->hide();
  BigSpk = new TBigSpk();
  BigSpk->SetPicture(0);
  // The mouse over an overlay stays with it (the tab below would take the
  // highlight off the current map text).
  for (int i = 0; i < kOverlays; ++i) Overlay(i)->setAttribute(Qt::WA_NoMousePropagation);
}

void TFormVertamo::FormCreate() {
  // 1. The main settings and the window's place.
  settings_.OpenMainIni(kMainIniName);
  TWidgetBounds bounds(this);
  settings_.RestoreFormPos(bounds);
  // 2. The server profile.
  profile_ = LoadProfile(*settings_.MainIni, kProfileSection);
  // 3. The server caption.
  ShowServerCaption();
  // The IP-telephony settings, before anything of the telephony starts.
  phone_ = std::make_unique<TPhoneStation>(this, settings_.ProgramFolder, settings_.WorkFolder, options_.phone);
  if (settings_.MainIni) phone_->ReadSettings(*settings_.MainIni);
  // The sound thread runs before the connection, so that no "PLAY" finds it
  // missing.
  StartSounds();
  // The connection; a workstation that names no server asks for one first.
  if (options_.startClient && options_.setupWhenUnconfigured &&
      !ProfileNamesServer(*settings_.MainIni, kProfileSection))
    QMetaObject::invokeMethod(this, &TFormVertamo::FirstStartSetup, Qt::QueuedConnection);
  else if (options_.startClient)
    StartClient();
  // 6. Hints in Arial, 16 pixels.
  QFont hintFont(QStringLiteral("Arial"));
  hintFont.setPixelSize(16);
  QToolTip::setFont(hintFont);
  // IP telephony is always on: the address book and the telephony thread.
  phone_->Start();
  // 10. The journal window, owned by the main window.
  logLast_ = new TLogLast(settings_.MainIni.get(), this);
  connect(logLast_, &TLogLast::ReconnectRequested, this, &TFormVertamo::Reconnect);
  connect(logLast_, &TLogLast::ActivateMainWindowRequested, this, [this] {
    raise();
    activateWindow();
  });
  connect(logLast_, &TLogLast::ShowObjectOnMapRequested, this, &TFormVertamo::ShowObjectOnMap);
  connect(logLast_, &TLogLast::HideMapMarkerRequested, this, [this] { Shape->hide(); });
  // Shown together with the main window (showEvent): a tool window shown
  // before its owner would give the owner its frame before it has a place.
}

void TFormVertamo::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (journalShown_ || !logLast_) return;
  journalShown_ = true;
  logLast_->show();
}

void TFormVertamo::FormClose() {
  closed_ = true;
  Timer1->stop();
  // 1. The window's place.
  settings_.SaveFormPos(TWidgetBounds(this));
  // 2. The server profile.
  if (settings_.MainIni) SaveProfile(*settings_.MainIni, kProfileSection, profile_);
  // The IP-telephony settings.
  if (phone_ && settings_.MainIni) phone_->WriteSettings(*settings_.MainIni);
  // The connection, then the sounds it fed.
  StopClient();
  StopSounds();
  // 5. The maps.
  ClearMaps();
  // 6. The phone program is told to quit; the telephony thread is freed.
  if (phone_) phone_->Close();
  // 7. The voice window arrives with the voice dispatch.
  // The report window stores its settings as it closes.
  if (FormView) FormView->close();
  if (logLast_) logLast_->close();
  // A settings dialog still open goes without storing anything (hiding ends
  // its modal loop): the settings it writes to are closed here.
  for (TFormSetup* dialog : findChildren<TFormSetup*>()) dialog->hide();
  // 8. The main settings reach the disk.
  settings_.CloseMainIni();
}

TLogLast* TFormVertamo::LogLast() const { return logLast_; }

void TFormVertamo::ShowServerCaption() {
  LabelSrv->setText(QStringLiteral("Подключение к серверу ") + FromCp1251(profile_.Name));
}

void TFormVertamo::closeEvent(QCloseEvent* event) {
  if (!closed_) FormClose();
  event->accept();
}

bool TFormVertamo::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && (watched == PageControl1 || watched == PageControl1->tabBar()))
    PageControl1MouseMove();
  return QMainWindow::eventFilter(watched, event);
}

// --- connection ----------------------------------------------------------------

void TFormVertamo::StartClient() {
  StopClient();
  ISoundOutput* sound = options_.sound ? options_.sound : soundFeed_.get();
  client_ = std::make_unique<TOrvexClientThread>(profile_, settings_.WorkFolder, model_, *events_, *executor_,
                                                 sound);
  client_->SetTimings(options_.timings);
  client_->Start();
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

void TFormVertamo::StopClient() {
  if (!client_) return;
  // The stop withdraws every hand-over the thread waits for, so the wait ends
  // even when the thread was just handing something to this thread.
  client_->Stop();
  client_.reset();
}

void TFormVertamo::Reconnect() {
  StopClient();
  ClearMaps();
  StartClient();
}

bool TFormVertamo::SendCommand(std::string_view request) { return client_ && client_->SendCommand(request); }

bool TFormVertamo::SendListCommand(std::string_view request) {
  return client_ && client_->SendListCommand(request);
}

// --- maps ---------------------------------------------------------------------

void TFormVertamo::ClearMaps() {
  // 1. The journal.
  if (logLast_) logLast_->Clear();
  // 2. The overlays and the marker leave the tabs before the tabs go.
  PlaceOverlays(false);
  // 3. The model with every tab, picture, caption and label; the lit text
  // goes with the texts.
  hotText_ = nullptr;
  PageControl1->setUpdatesEnabled(false);
  {
    const QSignalBlocker blocker(PageControl1);
    changingTabs_ = true;
    model_.Clear();
    changingTabs_ = false;
  }
  PageControl1->setUpdatesEnabled(true);
  pictures_.Clear();
  // 4. The caption.
  setWindowTitle(QStringLiteral("Подключение..."));
}

bool TFormVertamo::BuildMaps() {
  if (model_.MapList.Count() == 0) return false;
  pictures_.Clear();
  // The objects of each map in list order, found in one pass over the list.
  std::vector<std::vector<MAPOBJECT*>> onMap(static_cast<size_t>(model_.MapList.Count()));
  for (int i = 0; i < model_.ObjectList.Count(); ++i) {
    MAPOBJECT* object = model_.ObjectList.Get(i);
    if (object->MapIndex >= 0 && object->MapIndex < model_.MapList.Count())
      onMap[static_cast<size_t>(object->MapIndex)].push_back(object);
  }
  changingTabs_ = true;
  {
    const QSignalBlocker blocker(PageControl1);
    for (int m = 0; m < model_.MapList.Count(); ++m) {
      // 1. The tab; the mouse over it and its background takes the highlight
      // off the lit text.
      TMapPage* page = CreateMapPage(*model_.MapList.Get(m), PageControl1);
      page->OnMouseMove = [this] { PageControl1MouseMove(); };
      // 2. The object pictures on it.
      for (MAPOBJECT* object : onMap[static_cast<size_t>(m)]) {
        TMapPict* pict = CreateMapPict(*object, page, &pictures_);
        pict->Show(page);
        pict->OnMouseDown = [this](TMapPict* sender, Qt::MouseButton button) {
          MapObjectMouseDown(sender, button);
        };
      }
    }
    // 3. The texts.
    TTextLabelHandlers handlers;
    handlers.mouseDown = [this](TMapTextLabel* sender, Qt::MouseButton button,
                                Qt::KeyboardModifiers modifiers) {
      LabelMouseDown(sender, button, modifiers);
    };
    handlers.mouseMove = [this](TMapTextLabel* sender) { LabelMouseMove(sender); };
    CreateTextLabels(model_.TextList, PageControl1, handlers);
  }
  changingTabs_ = false;
  LoadProgress->hide();
  progressStage_ = -1;
  // 4. The first map.
  return ShowMap(0);
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

QWidget* TFormVertamo::Overlay(int index) const {
  switch (index) {
    case kLiftB:
      return LiftB;
    case kOhrAlr:
      return OhrAlr;
    case kPuErr:
      return PuErr;
    case kClk:
      return Clk;
    case kBigSpk:
      return BigSpk;
    default:
      return nullptr;
  }
}

bool TFormVertamo::OverlayVisible(const QWidget* overlay) const {
  for (int i = 0; i < kOverlays; ++i)
    if (Overlay(i) == overlay) return overlayVisible_[static_cast<size_t>(i)];
  return false;
}

// Hidden and without a parent: a parentless widget is never shown (it would
// become a window of its own), whatever its layout says.
void TFormVertamo::DetachOverlay(int index) {
  QWidget* overlay = Overlay(index);
  overlay->hide();
  if (overlay->parentWidget()) overlay->setParent(nullptr);
}

void TFormVertamo::PlaceOverlays(bool show) {
  if (show) {
    // Over the server label, which stays below for the connecting state.
    PageControl1->show();
    PageControl1->raise();
    QWidget* tab = PageControl1->currentWidget();
    if (!tab) return;
    for (int i = 0; i < kOverlays; ++i) {
      if (!overlayVisible_[static_cast<size_t>(i)]) continue;  // hidden ones keep no parent
      QWidget* overlay = Overlay(i);
      if (overlay->parentWidget() != tab) overlay->setParent(tab);
      overlay->show();
      overlay->raise();
    }
    return;
  }
  Shape->hide();
  if (Shape->parentWidget()) Shape->setParent(nullptr);
  for (int i = 0; i < kOverlays; ++i) {
    DetachOverlay(i);
    overlayVisible_[static_cast<size_t>(i)] = false;
  }
  PageControl1->hide();
}

TMapPict* TFormVertamo::WidgetOf(int object) const {
  const MAPOBJECT* record = model_.ObjectList.Get(object);
  return record ? dynamic_cast<TMapPict*>(record->Widget) : nullptr;
}

void TFormVertamo::ShowObjectOnMap(int object) {
  // 1.-3. The marker goes; it comes back only around a picture on a map.
  Shape->hide();
  TMapPict* widget = WidgetOf(object);
  if (!widget) return;
  if (!ShowMap(widget->GetMapObject()->MapIndex)) return;
  // 4. Twice the picture's size, centred on it.
  const QRect r = widget->geometry();
  Shape->setGeometry(r.left() - r.width() / 2, r.top() - r.height() / 2, 2 * r.width(), 2 * r.height());
  // 5. On the active tab, in front.
  QWidget* tab = PageControl1->currentWidget();
  if (Shape->parentWidget() != tab) Shape->setParent(tab);
  Shape->show();
  Shape->raise();
}

// --- the change feed -------------------------------------------------------------

void TFormVertamo::SetObjectState(int object, int state) {
  MAPOBJECT* record = model_.ObjectList.Get(object);
  if (!record) return;
  record->Changed = false;
  record->SetIdx(state);
  if (!record->Changed) return;
  if (TMapPict* widget = WidgetOf(object)) {
    widget->setToolTip(HintToolTip(record->Hint.str()));
    widget->update();  // its own rectangle only
  }
}

void TFormVertamo::SetObjectHint(int object, const std::string& hint) {
  MAPOBJECT* record = model_.ObjectList.Get(object);
  if (!record) return;
  record->Changed = false;
  record->SetHint(hint);
  if (!record->Changed) return;
  if (TMapPict* widget = WidgetOf(object)) {
    widget->setToolTip(HintToolTip(record->Hint.str()));
    widget->update();
  }
}

void TFormVertamo::SetObjectCaption(int object, const std::string& caption) {
  MAPOBJECT* record = model_.ObjectList.Get(object);
  if (!record) return;
  record->Changed = false;
  record->SetCaption(caption);
  if (!record->Changed) return;
  if (TMapPict* widget = WidgetOf(object)) {
    widget->UpdateLabel();
    widget->update();
  }
}

void TFormVertamo::SetObjectCapColor(int object, int color) {
  MAPOBJECT* record = model_.ObjectList.Get(object);
  if (!record) return;
  record->Changed = false;
  record->SetCapColor(color);
  if (!record->Changed) return;
  if (TMapPict* widget = WidgetOf(object)) widget->UpdateLabel();
}

void TFormVertamo::ShowStatusText(const std::string& text) {
  const QString shown = FromCp1251(text);
  StatusPanels[1]->setText(shown);
  ShowLoadProgress(shown);
}

TValInd* TFormVertamo::Counter(TCounterKind kind) const {
  switch (kind) {
    case TCounterKind::LiftBreak:
      return LiftB;
    case TCounterKind::OhrAlr:
      return OhrAlr;
    case TCounterKind::PuErr:
      return PuErr;
  }
  return nullptr;
}

void TFormVertamo::SetCounterLayout(TCounterKind kind, const TCounterLayout& layout) {
  TValInd* counter = Counter(kind);
  if (!counter) return;
  counter->setGeometry(layout.x, layout.y, layout.w, layout.h);
  counter->SetFontName(FromCp1251(layout.fontName));
  const int index = kind == TCounterKind::LiftBreak ? kLiftB
                    : kind == TCounterKind::OhrAlr  ? kOhrAlr
                                                    : kPuErr;
  overlayVisible_[static_cast<size_t>(index)] = true;
  if (counter->parentWidget()) counter->show();
}

void TFormVertamo::SetCounterValue(TCounterKind kind, int value) {
  if (TValInd* counter = Counter(kind)) counter->SetValue(value);
}

void TFormVertamo::SetClockLayout(const TClockLayout& layout) {
  DetachOverlay(kClk);
  Clk->setGeometry(layout.x, layout.y, layout.w, layout.h);
  QFont font = Clk->font();
  font.setFamily(FromCp1251(layout.fontName));
  if (layout.fontSize > 0)
    font.setPointSize(layout.fontSize);
  else if (layout.fontSize < 0)
    font.setPixelSize(-layout.fontSize);
  font.setBold(layout.bold);
  font.setItalic(layout.italic);
  Clk->setFont(font);
  QPalette pal = Clk->palette();
  pal.setColor(QPalette::Window, WinColorToQColor(layout.color, pal));
  pal.setColor(QPalette::WindowText, WinColorToQColor(layout.fontColor, pal));
  Clk->setPalette(pal);
  Clk->setAutoFillBackground(!layout.transparent);
  overlayVisible_[kClk] = true;
}

void TFormVertamo::SetSpeakerLayout(const TSpeakerLayout& layout) {
  DetachOverlay(kBigSpk);
  BigSpk->setGeometry(layout.x, layout.y, layout.w, layout.h);
  BigSpk->SetCallState(layout.call);
  overlayVisible_[kBigSpk] = true;
}

void TFormVertamo::SetSpeakerCall(int call) { BigSpk->SetCallState(call); }

void TFormVertamo::AddLogEntry(const TLogEntry& entry) {
  // Every entry is kept on disk; the window drops one once the desktop closed it.
  journalFile_->Append(entry);
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
  const bool loading = IsLoadStage(stage) && !PageControl1->isVisibleTo(this);
  if (!loading) progressStage_ = -1;
  LoadProgress->setVisible(loading);
}

// The bar follows the counts of the load: those the connection thread hands
// over with each record, and those its progress texts carry ("i из n"). Each
// step of the load starts it anew; while a step's total is not known the bar
// is a busy one.
void TFormVertamo::ShowLoadProgress(const QString& text) {
  const TLoadProgress progress = ParseLoadProgress(text);
  ShowProgress(progress.done, progress.total);
}

void TFormVertamo::ShowProgress(int done, int total) {
  const int stage = client_ ? client_->Stage() : -1;
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
  // 1. Nothing once the window is closing.
  if (closed_) return;
  // 2. The connection state.
  if (client_) {
    const int stage = client_->Stage();
    StatusPanels[0]->setText(FromCp1251(TOrvexClientThread::StageText(stage)));
    UpdateProgressVisibility(stage);
  }
  // 3. The clock, once its layout has put it on a map.
  if (overlayVisible_[kClk] && Clk->parentWidget())
    Clk->setText(QTime::currentTime().toString(QStringLiteral("hh:mm")));
}

// --- menu -------------------------------------------------------------------------

void TFormVertamo::mSetupClick() {
  const TSetupResult result = RunSetupDialog(this, settings_.MainIni.get(), profile_);
  if (!result.accepted) return;
  ShowServerCaption();
  if (settings_.MainIni) settings_.MainIni->Save();
  if (result.reconnect) Reconnect();
}

void TFormVertamo::mJournalClick() {
  // A day without events yet shows an empty file.
  const QString path = QFile::decodeName(journalFile_->Today().c_str());
  if (options_.openFile)
    options_.openFile(path);
  else
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TFormVertamo::FirstStartSetup() {
  if (closed_) return;
  mSetupClick();
  // OK with a changed profile has connected already.
  if (!client_ && !closed_) StartClient();
}

void TFormVertamo::mCloseClick() { close(); }

// --- the mouse on the map ------------------------------------------------------------

void TFormVertamo::MapObjectMouseDown(TMapPict* sender, Qt::MouseButton) {
  // 1. The object of the picture, by its position in the list.
  if (!sender) return;
  MAPOBJECT* object = sender->GetMapObject();
  const int index = model_.ObjectList.IndexOf(object);
  if (index < 0) return;
  // 2. The server is told of the click (any button).
  if (!SendCommand("MOUSEDOWN OBJ=" + std::to_string(index))) return;
  // 3. A reply about this object, of its type, reachable through a gateway.
  const std::string reply = client_ ? client_->Reply() : std::string();
  int replyObject = 0, replyType = 0;
  std::string gateway;
  if (!GetIntParam(reply, "OBJ=", replyObject) || replyObject != index) return;
  if (!GetIntParam(reply, " TYPE=", replyType) || replyType != object->Type) return;
  if (!GetStrParam(reply, " KelmoGW=", 128, gateway)) return;
  // The call itself (the telephony link, the selector, the voice window)
  // arrives with the voice dispatch. Mind that this runs inside the picture's
  // own mouse handler: a modal selector runs an event loop in which a
  // hand-over of the connection thread (a new load: ClearMaps) may free the
  // picture and its object; look the object up again after it.
}

void TFormVertamo::LabelMouseDown(TMapTextLabel* sender, Qt::MouseButton button,
                                  Qt::KeyboardModifiers modifiers) {
  // 1. Left and middle buttons, without Shift or Ctrl.
  if (!sender || button == Qt::RightButton) return;
  if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) return;
  // 2. The text of the label.
  MAPTEXT* text = FindByLabel(model_.TextList, sender);
  if (!text) return;
  // 3. A link to another map.
  if (text->Action == 1 && text->AParam >= 0) ShowMap(text->AParam);
}

void TFormVertamo::LabelMouseMove(TMapTextLabel* sender) {
  MAPTEXT* text = FindByLabel(model_.TextList, sender);
  if (!text) return;
  if (text->Action != 0) {
    if (text == hotText_) return;
    if (hotText_) hotText_->UnhighlightText();
    text->HighlightText();
    hotText_ = text;
    return;
  }
  PageControl1MouseMove();
}

void TFormVertamo::PageControl1MouseMove() {
  if (!hotText_) return;
  hotText_->UnhighlightText();
  hotText_ = nullptr;
}

void TFormVertamo::ValIndDblClick(QObject* sender) {
  if (!sender) return;
  const TListRequest request = [this](const std::string& line, std::vector<std::string>& lines) {
    lines.clear();
    if (!client_) return false;
    const bool answered = client_->SendListCommand(line);
    if (answered) lines = client_->ReplyList();
    client_->ClearReplyList();
    return answered;
  };
  const TReportMapLink link{[this](int object) { ShowObjectOnMap(object); }, [this] { Shape->hide(); }};
  OpenCounterReport(FormView, sender->objectName().toStdString(), this, settings_.MainIni.get(), request,
                    link);
}

}  // namespace vertamo::ui
