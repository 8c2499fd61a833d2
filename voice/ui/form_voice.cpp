// The voice window's controls, settings and window events.
#include "voice/ui/form_voice.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QFontDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <tuple>

#include "voice/phone_book.h"
#include "settings/fast_ini.h"
#include "uikit/indicator.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "uikit/win_color.h"
#include "voice/ui/gateway_link_label.h"
#include "voice/ui/history_records.h"
#include "voice/ui/level_meters.h"
#include "voice/ui/voice_artwork.h"

namespace vertamo::ui {

namespace {

constexpr const char* kCaption = "Голосовая диспетчерская связь";
constexpr const char* kTimeSection = "LTime";
constexpr int kFontSize = 12;

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* Title(const QString& text, QWidget* parent, int left, int top, int width) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(left, top, width, 18);
  label->setAlignment(Qt::AlignCenter);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

QWidget* Strip(const char* name, int height, QWidget* parent) {
  auto* strip = new QWidget(parent);
  strip->setObjectName(QString::fromLatin1(name));
  strip->setFixedHeight(height);
  return strip;
}

void ApplyFont(QWidget* widget, const TUiFont& font) {
  widget->setFont(font.font);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, WinColorToQColor(font.color));
  widget->setPalette(palette);
}

QPushButton* BigButton(const char* name, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(PixelFont(QStringLiteral("Tahoma"), 21, true));
  // The keyboard stays with the window, where Enter, Esc and Space act on the call.
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

void TFVoice::SetBackground(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

TFVoice::TFVoice(const TVoiceHost& host, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      host_(host) {
  setObjectName(QStringLiteral("FVoice"));
  setWindowTitle(QString::fromUtf8(kCaption));
  setFont(PixelFont(QStringLiteral("Tahoma"), 13));
  BuildWindow();
  FormCreate();
}

TFVoice::~TFVoice() {
  qApp->removeEventFilter(this);
  if (host_.ini) {
    const TWidgetBounds bounds(this);
    host_.ini->WriteFormBounds(&bounds);
  }
  StorePlacement();
  if (host_.ini) {
    SaveFont(*host_.ini, adrFont_, TVoiceSettings::kSection);
    SaveFont(*host_.ini, timeFont_, kTimeSection);
  }
}

void TFVoice::BuildWindow() {
  resize(kClientWidth, kClientHeight);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // The information line across the top, the direction pictures at its left.
  QWidget* top = Strip("Panel1", 51, this);
  auto* topRow = new QHBoxLayout(top);
  topRow->setContentsMargins(0, 0, 0, 0);
  infoLine_ = new QLabel(top);
  infoLine_->setObjectName(QStringLiteral("Label1"));
  infoLine_->setAlignment(Qt::AlignCenter);
  infoLine_->setFont(PixelFont(QStringLiteral("Tahoma"), 21, true));
  topRow->addWidget(infoLine_);
  talkPicture_ = new QLabel(top);
  talkPicture_->setObjectName(QStringLiteral("ImageMic"));
  talkPicture_->setPixmap(QPixmap::fromImage(MicrophonePicture()));
  talkPicture_->setGeometry(2, 1, kVoicePictureSize, kVoicePictureSize);
  talkPicture_->hide();
  listenPicture_ = new QLabel(top);
  listenPicture_->setObjectName(QStringLiteral("ImageSpeaker"));
  listenPicture_->setPixmap(QPixmap::fromImage(LoudspeakerPicture()));
  listenPicture_->setGeometry(2, 1, kVoicePictureSize, kVoicePictureSize);
  listenPicture_->hide();
  column->addWidget(top);

  // The middle: microphone, recording, the tabs; the video panel never shows.
  auto* middle = new QHBoxLayout;
  middle->setSpacing(0);
  BuildMicrophoneColumn();
  middle->addWidget(microphoneColumn_);
  BuildRecordingColumn();
  middle->addWidget(recordingColumn_);
  videoPanel_ = new QWidget(this);
  videoPanel_->setObjectName(QStringLiteral("PanelVideo"));
  videoPanel_->hide();
  middle->addWidget(videoPanel_);
  BuildPages();
  middle->addWidget(tabs_, 1);
  column->addLayout(middle, 1);

  // The bottom strips, from the top: the buttons, the hidden door panel, the
  // address strip, the status bar.
  BuildButtons();
  doorPanel_ = Strip("PanelPni", 40, this);
  doorButton_ = new QPushButton(doorPanel_);
  doorButton_->setObjectName(QStringLiteral("BitBtnLocal"));
  doorButton_->move(90, 0);
  doorPanel_->hide();
  column->addWidget(doorPanel_);

  addressStrip_ = new QLabel(this);
  addressStrip_->setObjectName(QStringLiteral("PanelAdr"));
  addressStrip_->setFixedHeight(47);
  addressStrip_->setAlignment(Qt::AlignCenter);
  addressStrip_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  addressStrip_->setContextMenuPolicy(Qt::CustomContextMenu);
  column->addWidget(addressStrip_);
  BuildStatusBar();
  column->addWidget(statusBar_);
  BuildMenus();
}

void TFVoice::BuildButtons() {
  QWidget* strip = Strip("Panel2", 70, this);
  callButton_ = BigButton("Button1", QString(), strip);
  answerButton_ = BigButton("AnswerButton", QStringLiteral("Ответить"), strip);
  refuseButton_ = BigButton("RefuseButton", QStringLiteral("Отклонить"), strip);
  answerButton_->hide();
  refuseButton_->hide();
  buttonGauge_ = new TGauge(strip, 110);
  buttonGauge_->setObjectName(QStringLiteral("CGaugeMic2"));
  buttonGauge_->SetKind(TGauge::TKind::Horizontal);
  buttonGauge_->hide();
  auto* row = new QHBoxLayout(strip);
  row->setContentsMargins(8, 8, 8, 8);
  row->addWidget(callButton_, 1);
  row->addWidget(answerButton_, 1);
  row->addWidget(refuseButton_, 1);
  row->addWidget(buttonGauge_);
  connect(callButton_, &QPushButton::clicked, this, &TFVoice::CallButtonClicked);
  connect(answerButton_, &QPushButton::clicked, this, &TFVoice::answerClicked);
  connect(refuseButton_, &QPushButton::clicked, this, &TFVoice::refuseClicked);
  static_cast<QBoxLayout*>(layout())->addWidget(strip);
}

void TFVoice::BuildStatusBar() {
  statusBar_ = new QStatusBar(this);
  statusBar_->setObjectName(QStringLiteral("StatusBar1"));
  statusBar_->setSizeGripEnabled(false);
  statusBar_->setMouseTracking(true);
  for (size_t i = 0; i < statusPanels_.size(); ++i) {
    statusPanels_[i] = new QLabel(statusBar_);
    statusPanels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    statusPanels_[i]->setMouseTracking(true);
    statusPanels_[i]->installEventFilter(this);
  }
  statusPanels_[0]->setFixedWidth(200);
  statusPanels_[1]->setMinimumWidth(50);
  statusBar_->addWidget(statusPanels_[0]);
  statusBar_->addWidget(statusPanels_[1], 1);
  gatewayLink_ = new TGatewayLinkLabel(statusBar_);
  statusBar_->addPermanentWidget(gatewayLink_);
  statusBar_->installEventFilter(this);
}

void TFVoice::BuildMicrophoneColumn() {
  microphoneColumn_ = new QWidget(this);
  microphoneColumn_->setObjectName(QStringLiteral("PanelMic"));
  microphoneColumn_->setFixedWidth(145);
  Title(QStringLiteral("Микрофон"), microphoneColumn_, 0, 8, 145);
  micVolume_ = new QSlider(Qt::Vertical, microphoneColumn_);
  micVolume_->setObjectName(QStringLiteral("TrackBarMic"));
  micVolume_->setRange(0, 65535);
  micVolume_->setTickInterval(4096);
  micVolume_->setTickPosition(QSlider::TicksBothSides);
  micVolume_->setToolTip(QStringLiteral("Громкость микрофона"));
  micVolume_->setFocusPolicy(Qt::NoFocus);
  micVolume_->setGeometry(50, 34, 45, 250);
  micVolumeText_ = new QLabel(microphoneColumn_);
  micVolumeText_->setObjectName(QStringLiteral("LabelVolume"));
  micVolumeText_->setAlignment(Qt::AlignCenter);
  micVolumeText_->setGeometry(0, 290, 145, 20);
  connect(micVolume_, &QSlider::valueChanged, this, [this](int value) {
    settings_.micVolume = 65535 - value;
    micVolumeText_->setText(QStringLiteral("%1%").arg(settings_.micVolume * 100 / 65535));
  });
  micGauge_ = new TGauge(microphoneColumn_, 110);
  micGauge_->setObjectName(QStringLiteral("CGaugeMic"));
  micGauge_->SetKind(TGauge::TKind::Vertical);
  micGauge_->setGeometry(104, 34, 25, 250);
  micGauge_->hide();
}

void TFVoice::BuildRecordingColumn() {
  recordingColumn_ = new QWidget(this);
  recordingColumn_->setObjectName(QStringLiteral("PanelRecord"));
  recordingColumn_->setFixedWidth(200);
  recordingColumn_->setContextMenuPolicy(Qt::CustomContextMenu);
  Title(QStringLiteral("Запись"), recordingColumn_, 0, 8, 200);
  talkTime_ = new QLabel(QStringLiteral("00 мин 00 сек"), recordingColumn_);
  talkTime_->setObjectName(QStringLiteral("LabelTime"));
  talkTime_->setToolTip(QStringLiteral("Счетчик времени записи разговора..."));
  talkTime_->setFont(PixelFont(QStringLiteral("Arial"), 23));
  talkTime_->setAlignment(Qt::AlignCenter);
  talkTime_->setGeometry(8, 34, 184, 40);
  recordingMark_ = NewRecordingMark(recordingColumn_);
  recordingMark_->setGeometry(176, 10, 20, 20);
  talkTime_->setContextMenuPolicy(Qt::CustomContextMenu);
  SetBackground(talkTime_, QColor(kOliveColor));
  Title(QStringLiteral("Уровень"), recordingColumn_, 0, 150, 200);

  dial_ = new TIndicator(recordingColumn_);
  dial_->setObjectName(QStringLiteral("Indicator"));
  dial_->move(52, 180);
  dial_->SetCaption(QStringLiteral("Микрофон"));
  dial_->SetMarker(0);
  segmentsCaption_ = new QLabel(QStringLiteral("Микрофон"), recordingColumn_);
  segmentsCaption_->setObjectName(QStringLiteral("LabelInd"));
  segmentsCaption_->setGeometry(16, 188, 172, 18);
  segments_ = new TAudioIndicator(recordingColumn_);
  segments_->setObjectName(QStringLiteral("PaintBoxInd"));
  segments_->setGeometry(16, 208, 172, 25);
  gauge_ = new TGauge(recordingColumn_);
  gauge_->setObjectName(QStringLiteral("CGauge1"));
}

void TFVoice::BuildPages() {
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("PageControl1"));
  tabs_->setFocusPolicy(Qt::NoFocus);
  subscribers_ = new QListWidget;
  subscribers_->setObjectName(QStringLiteral("ListBox1"));
  subscribers_->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 16));
  subscribers_->setFlow(QListView::TopToBottom);
  subscribers_->setWrapping(true);
  subscribers_->setResizeMode(QListView::Adjust);
  subscribers_->setUniformItemSizes(true);
  subscribers_->setContextMenuPolicy(Qt::CustomContextMenu);
  // The subscribers' page: a book not read whole says so above the list, and
  // the book is edited with the buttons below it as well as its menu.
  auto* subscribersPage = new QWidget;
  auto* page = new QVBoxLayout(subscribersPage);
  page->setContentsMargins(0, 0, 0, 0);
  page->setSpacing(2);
  bookNotice_ = new QLabel(subscribersPage);
  bookNotice_->setObjectName(QStringLiteral("BookNotice"));
  bookNotice_->setWordWrap(true);
  bookNotice_->setStyleSheet(QStringLiteral("QLabel { background: #FFE0E0; color: #A00000; padding: 3px; }"));
  bookNotice_->hide();
  page->addWidget(bookNotice_);
  page->addWidget(subscribers_, 1);
  auto* buttons = new QHBoxLayout;
  for (auto [button, text, name] :
       {std::tuple{&addButton_, "Добавить...", "ButtonAdd"}, std::tuple{&changeButton_, "Изменить...", "ButtonChange"},
        std::tuple{&deleteButton_, "Удалить", "ButtonDelete"}}) {
    *button = new QPushButton(QString::fromUtf8(text), subscribersPage);
    (*button)->setObjectName(QString::fromLatin1(name));
    (*button)->setFocusPolicy(Qt::TabFocus);
    (*button)->setAutoDefault(false);
    buttons->addWidget(*button);
  }
  buttons->addStretch(1);
  page->addLayout(buttons);
  tabs_->addTab(subscribersPage, QStringLiteral("Абоненты"));
  history_ = new QTableWidget(100, kHistoryColumns);
  history_->setObjectName(QStringLiteral("StringGrid1"));
  history_->setHorizontalHeaderLabels({QStringLiteral("Время"), QStringLiteral("Звонок"), QStringLiteral("Абонент"),
                                       QStringLiteral("Длит."), QStringLiteral("Итог"), QStringLiteral("Запись")});
  history_->verticalHeader()->hide();
  // Each column as wide as its texts where there is room, who takes the
  // rest (FitHistoryColumns). A text wider than its column keeps its start
  // and its end (a lift's name and its house), and the tip has it whole.
  history_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  history_->setTextElideMode(Qt::ElideMiddle);
  history_->setWordWrap(false);
  history_->setSelectionBehavior(QAbstractItemView::SelectRows);
  history_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  historyRecords_ = new THistoryRecords(history_, host_.workFolder, this);
  tabs_->addTab(historyRecords_->Page(), QStringLiteral("История разговоров"));
  // A double click on the record's mark plays it; anywhere else on the line
  // calls the party again.
  connect(history_, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
    if (column == THistoryRecords::kColumn && historyRecords_->PlaySelected()) return;
    const QTableWidgetItem* who = history_->item(row, THistoryRecords::kWhoColumn);
    if (!who) return;
    const QVariant again = who->data(kCallAgainRole);
    emit callAgainClicked(ToCp1251(who->text()), again.canConvert<TCallAgain>() ? again.value<TCallAgain>() : TCallAgain{});
  });
  // Missed calls count as seen once the dispatcher has the history in view.
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { HistoryMaybeInView(); });
}

void TFVoice::BuildMenus() {
  auto* meterMenu = new QMenu(this);
  auto* kinds = new QActionGroup(meterMenu);
  const char* names[kMeterKinds] = {"Индикатор уровня", "Аудиоиндикатор", "Горизонтальная шкала уровня",
                                    "Вертикальная шкала уровня", "Полукруглая шкала уровня"};
  for (int kind = 0; kind < kMeterKinds; ++kind) {
    QAction* item = meterMenu->addAction(QString::fromUtf8(names[kind]));
    item->setCheckable(true);
    kinds->addAction(item);
    connect(item, &QAction::triggered, this, [this, kind] { SetIndKind(kind); });
    meterItems_[static_cast<size_t>(kind)] = item;
  }
  connect(recordingColumn_, &QWidget::customContextMenuRequested, this,
          [this, meterMenu](const QPoint& at) { meterMenu->popup(recordingColumn_->mapToGlobal(at)); });

  auto* options = new QMenu(this);
  auto option = [this, options](const char* text, bool* value) {
    QAction* item = options->addAction(QString::fromUtf8(text));
    item->setCheckable(true);
    connect(item, &QAction::toggled, this, [this, value](bool on) {
      *value = on;
      UpdatePanels();
    });
    return item;
  };
  autoSoundItem_ = option("Автопереключение звука", &settings_.autoSound);
  connect(autoSoundItem_, &QAction::toggled, this, &TFVoice::autoSoundChanged);
  options->addSeparator();
  hideRecordingItem_ = option("Скрывать панель записи при показе видео", &settings_.hidePanelRecordOnVideo);
  hideMicrophoneItem_ = option("Скрывать панель микрофона при показе видео", &settings_.hidePanelMicOnVideo);
  hideAddressItem_ = option("Скрывать панель адреса при показе видео", &settings_.hidePanelAdrOnVideo);
  doorItem_ = option("Показывать кнопку \"Открыть дверь\"", &settings_.showDoorOpen);
  infoLine_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(infoLine_, &QWidget::customContextMenuRequested, this,
          [this, options](const QPoint& at) { options->popup(infoLine_->mapToGlobal(at)); });

  auto* listMenu = new QMenu(this);
  QAction* add = listMenu->addAction(QStringLiteral("&Добавить"), this, [this] {
    if (host_.book) AddSubscriber(*host_.book, host_.prompts, this, [this] { FillSubscriberList(); });
  });
  QAction* change = listMenu->addAction(QStringLiteral("&Изменить"), this, [this] {
    if (host_.book)
      ChangeSubscriber(*host_.book, SelectedSubscriber(), host_.prompts, this, [this] { FillSubscriberList(); });
  });
  QAction* remove = listMenu->addAction(QStringLiteral("&Удалить"), this, [this] {
    if (host_.book)
      DeleteSubscriber(*host_.book, SelectedSubscriber(), host_.prompts, this, [this] { FillSubscriberList(); });
  });
  // The keys of the list: Delete removes (asking first), F2 changes.
  remove->setShortcut(QKeySequence(Qt::Key_Delete));
  change->setShortcut(QKeySequence(Qt::Key_F2));
  for (QAction* item : {remove, change}) {
    item->setShortcutContext(Qt::WidgetShortcut);
    subscribers_->addAction(item);
  }
  connect(addButton_, &QPushButton::clicked, add, &QAction::trigger);
  connect(changeButton_, &QPushButton::clicked, change, &QAction::trigger);
  connect(deleteButton_, &QPushButton::clicked, remove, &QAction::trigger);
  listMenu->addSeparator();
  listMenu->addAction(QStringLiteral("И&мпорт из ..."));
  listMenu->addAction(QStringLiteral("Экспорт в ..."), this, [this] {
    if (host_.book) ExportSubscribers(*host_.book, host_.prompts, this, QString::fromStdString(host_.workFolder));
  });
  connect(subscribers_, &QWidget::customContextMenuRequested, this,
          [this, listMenu](const QPoint& at) { listMenu->popup(subscribers_->mapToGlobal(at)); });

  auto* adrMenu = new QMenu(this);
  adrMenu->addAction(QStringLiteral("&Шрифт"), this, [this] { ChooseFont(addressStrip_, adrFont_); });
  connect(addressStrip_, &QWidget::customContextMenuRequested, this,
          [this, adrMenu](const QPoint& at) { adrMenu->popup(addressStrip_->mapToGlobal(at)); });
  auto* timeMenu = new QMenu(this);
  timeMenu->addAction(QStringLiteral("Шрифт"), this, [this] { ChooseFont(talkTime_, timeFont_); });
  connect(talkTime_, &QWidget::customContextMenuRequested, this,
          [this, timeMenu](const QPoint& at) { timeMenu->popup(talkTime_->mapToGlobal(at)); });
}

void TFVoice::ChooseFont(QWidget* control, TUiFont& font) {
  // Modal to this window only, and without an event loop of its own: a ring
  // meanwhile is answered as ever.
  auto* dialog = new QFontDialog(font.font, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowModality(Qt::WindowModal);
  QPointer<QWidget> target(control);
  connect(dialog, &QFontDialog::fontSelected, this, [target, &font](const QFont& chosen) {
    if (!target) return;
    font.font = chosen;
    ApplyFont(target, font);
  });
  dialog->open();
}

void TFVoice::FormCreate() {
  if (host_.ini) {
    TWidgetBounds bounds(this);
    host_.ini->ReadFormBounds(&bounds);
    LoadFont(*host_.ini, adrFont_, TVoiceSettings::kSection, kFontSize);
    LoadFont(*host_.ini, timeFont_, kTimeSection, kFontSize);
  } else {
    adrFont_.font = PixelFont(QStringLiteral("Arial"), 16);
    timeFont_.font = adrFont_.font;
  }
  LoadPlacement();
  ApplyFont(addressStrip_, adrFont_);
  ApplyFont(talkTime_, timeFont_);
  settings_.colw = {history_->columnWidth(0), history_->columnWidth(1)};
  if (host_.ini) LoadVoiceSettings(*host_.ini, settings_);
  ApplySettings();
  FillSubscriberList();
  if (subscribers_->count() > 0) subscribers_->setCurrentRow(0);
  ShowHistory();
  // The window sees its keys before its controls.
  qApp->installEventFilter(this);
}

void TFVoice::ApplySettings() {
  SetIndKind(settings_.indKind);
  autoSoundItem_->setChecked(settings_.autoSound);
  hideRecordingItem_->setChecked(settings_.hidePanelRecordOnVideo);
  hideMicrophoneItem_->setChecked(settings_.hidePanelMicOnVideo);
  hideAddressItem_->setChecked(settings_.hidePanelAdrOnVideo);
  doorItem_->setChecked(settings_.showDoorOpen);
  doorButton_->setVisible(settings_.showDoorOpen);
  if (settings_.page >= 0 && settings_.page < tabs_->count()) tabs_->setCurrentIndex(settings_.page);
  const int volume = settings_.micVolume;
  micVolume_->setValue(65535 - volume);
}

void TFVoice::StoreSettings() {
  if (!host_.ini) return;
  settings_.page = tabs_->currentIndex();
  settings_.colw = {history_->columnWidth(0), history_->columnWidth(1)};
  SaveVoiceSettings(*host_.ini, settings_);
}

void TFVoice::SetIndKind(int kind) {
  settings_.indKind = kind;
  dial_->setVisible(kind == 0);
  segmentsCaption_->setVisible(kind == 1);
  segments_->setVisible(kind == 1);
  gauge_->setVisible(kind >= 2 && kind <= 4);
  switch (kind) {
    case 2:
      gauge_->SetKind(TGauge::TKind::Horizontal);
      gauge_->setGeometry(24, 200, 153, 25);
      break;
    case 3:
      gauge_->SetKind(TGauge::TKind::Vertical);
      gauge_->setGeometry(80, 176, 41, 73);
      break;
    case 4:
      gauge_->SetKind(TGauge::TKind::Needle);
      gauge_->setGeometry(24, 176, 153, 73);
      break;
    default:
      break;
  }
  for (int i = 0; i < kMeterKinds; ++i) meterItems_[static_cast<size_t>(i)]->setChecked(i == kind);
  if (kind < 0 || kind >= kMeterKinds) {
    // A stored kind out of range: no item checked (the group would keep one).
    for (QAction* item : meterItems_) {
      QActionGroup* group = item->actionGroup();
      group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
      item->setChecked(false);
      group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
  }
}

void TFVoice::UpdatePanels() {
  const bool video = !videoPanel_->isHidden();
  recordingColumn_->setVisible(!(settings_.hidePanelRecordOnVideo && video));
  microphoneColumn_->setVisible(!(settings_.hidePanelMicOnVideo && video));
  addressStrip_->setVisible(!(settings_.hidePanelAdrOnVideo && video));
  micGauge_->setVisible(recordingColumn_->isHidden() && !microphoneColumn_->isHidden());
  buttonGauge_->setVisible(recordingColumn_->isHidden() && microphoneColumn_->isHidden());
}

void TFVoice::FillSubscriberList() {
  subscribers_->clear();
  if (!host_.book) return;
  const TPhoneBook& book = *host_.book;
  for (int i = 0; i < book.Count(); ++i) subscribers_->addItem(FromCp1251(book.At(i)->Name));
  // A book the file holds more of than is shown says so, on the list and in
  // the status bar: a save keeps the rest, but the dispatcher must know.
  subscribers_->setToolTip(FromCp1251(book.NotReadWholeText()));
  bookNotice_->setText(FromCp1251(book.NotReadWholeText()));
  bookNotice_->setVisible(!book.ReadWhole());
  if (!book.ReadWhole()) statusPanels_[1]->setText(FromCp1251(book.NotReadWholeText()));
}

void TFVoice::ShowSubscribers() { tabs_->setCurrentIndex(0); }

int TFVoice::SelectedSubscriber() const {
  // The list takes the focus with a current row but no selection: that
  // names nobody.
  const QListWidgetItem* item = subscribers_->currentItem();
  return item && item->isSelected() ? subscribers_->currentRow() : -1;
}

void TFVoice::HistoryMaybeInView() {
  if (isVisible() && tabs_->currentIndex() == 1) emit historyInView();
}

void TFVoice::CallButtonClicked() { emit callButtonClicked(SelectedSubscriber(), tabs_->currentIndex() == 1); }

void TFVoice::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  HistoryMaybeInView();
  micVolume_->setEnabled(true);
  micVolume_->setValue(65535 - settings_.micVolume);
  UpdatePanels();
}

void TFVoice::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  historyRecords_->StopPlaying();  // a hidden window plays nothing
  StoreSettings();
  StorePlacement();
  videoPanel_->hide();
}

void TFVoice::closeEvent(QCloseEvent* event) {
  // The dispatcher's close ends the call as Esc does, and the controller
  // hides the window; the program's own close goes through.
  if (!event->spontaneous()) return event->accept();
  event->ignore();
  emit closedByHand();
}

void TFVoice::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  statusPanels_[0]->setFixedWidth(width() / 2);
  UpdatePanels();
  const int columns = std::max(1, width() / 300);
  // Whole columns across the list (a line or two spare, so that no scroll bar comes up).
  const int cell = std::max(1, (subscribers_->viewport()->width() - 2) / columns);
  subscribers_->setGridSize(QSize(cell, 20));
}

}  // namespace vertamo::ui
