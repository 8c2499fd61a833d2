// The voice window's controls, settings and window events.
#include "voice/ui/form_voice.h"

#include "voice/ui/history_records.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QDateTime>
#include <QFontDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include "iptel/telephony.h"
#include "settings/fast_ini.h"
#include "uikit/indicator.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "uikit/win_color.h"
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
  Timer1->stop();
  Timer2->stop();
  qApp->removeEventFilter(this);
  if (host_.ini) {
    const TWidgetBounds bounds(this);
    host_.ini->WriteFormBounds(&bounds);
  }
  StorePlacement();
  CloseGateway();
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
  Panel1 = Strip("Panel1", 51, this);
  auto* top = new QHBoxLayout(Panel1);
  top->setContentsMargins(0, 0, 0, 0);
  Label1 = new QLabel(Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setFont(PixelFont(QStringLiteral("Tahoma"), 21, true));
  top->addWidget(Label1);
  ImageMic = new QLabel(Panel1);
  ImageMic->setObjectName(QStringLiteral("ImageMic"));
  ImageMic->setPixmap(QPixmap::fromImage(MicrophonePicture()));
  ImageMic->setGeometry(2, 1, kVoicePictureSize, kVoicePictureSize);
  ImageMic->hide();
  ImageSpeaker = new QLabel(Panel1);
  ImageSpeaker->setObjectName(QStringLiteral("ImageSpeaker"));
  ImageSpeaker->setPixmap(QPixmap::fromImage(LoudspeakerPicture()));
  ImageSpeaker->setGeometry(2, 1, kVoicePictureSize, kVoicePictureSize);
  ImageSpeaker->hide();
  column->addWidget(Panel1);

  // The middle: microphone, recording, the tabs; the video panel never shows.
  auto* middle = new QHBoxLayout;
  middle->setSpacing(0);
  BuildPanelMic();
  middle->addWidget(PanelMic);
  BuildPanelRecord();
  middle->addWidget(PanelRecord);
  PanelVideo = new QWidget(this);
  PanelVideo->setObjectName(QStringLiteral("PanelVideo"));
  PanelVideo->hide();
  middle->addWidget(PanelVideo);
  BuildPages();
  middle->addWidget(PageControl1, 1);
  column->addLayout(middle, 1);

  // The bottom strips, from the top: the call button, the hidden door panel,
  // the address strip, the status bar.
  Panel2 = Strip("Panel2", 70, this);
  Button1 = new QPushButton(Panel2);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setFont(PixelFont(QStringLiteral("Tahoma"), 21, true));
  Button1->setFocusPolicy(Qt::NoFocus);
  CGaugeMic2 = new TGauge(Panel2, 110);
  CGaugeMic2->setObjectName(QStringLiteral("CGaugeMic2"));
  CGaugeMic2->SetKind(TGauge::TKind::Horizontal);
  CGaugeMic2->hide();
  auto* buttonRow = new QHBoxLayout(Panel2);
  buttonRow->setContentsMargins(8, 8, 8, 8);
  buttonRow->addWidget(Button1, 1);
  buttonRow->addWidget(CGaugeMic2);
  connect(Button1, &QPushButton::clicked, this, &TFVoice::Button1Click);
  column->addWidget(Panel2);

  PanelPni = Strip("PanelPni", 40, this);
  BitBtnTest = new QPushButton(QStringLiteral("Тест"), PanelPni);
  BitBtnTest->setObjectName(QStringLiteral("BitBtnTest"));
  BitBtnLocal = new QPushButton(PanelPni);
  BitBtnLocal->setObjectName(QStringLiteral("BitBtnLocal"));
  BitBtnLocal->move(90, 0);
  PanelPni->hide();
  column->addWidget(PanelPni);

  PanelAdr = new QLabel(this);
  PanelAdr->setObjectName(QStringLiteral("PanelAdr"));
  PanelAdr->setFixedHeight(47);
  PanelAdr->setAlignment(Qt::AlignCenter);
  PanelAdr->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  PanelAdr->setContextMenuPolicy(Qt::CustomContextMenu);
  column->addWidget(PanelAdr);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setMouseTracking(true);
  for (size_t i = 0; i < StatusPanels.size(); ++i) {
    StatusPanels[i] = new QLabel(StatusBar1);
    StatusPanels[i]->setMouseTracking(true);
  }
  StatusPanels[0]->setFixedWidth(200);
  StatusPanels[1]->setMinimumWidth(50);
  StatusBar1->addWidget(StatusPanels[0]);
  StatusBar1->addWidget(StatusPanels[1], 1);
  GatewayLink = new TGatewayLinkLabel(StatusBar1);
  StatusBar1->addPermanentWidget(GatewayLink);
  StatusBar1->installEventFilter(this);
  for (QLabel* panel : StatusPanels) panel->installEventFilter(this);
  column->addWidget(StatusBar1);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kTimer1Ms);
  connect(Timer1, &QTimer::timeout, this, &TFVoice::Timer1Timer);
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(kTimer2Ms);
  connect(Timer2, &QTimer::timeout, this, &TFVoice::Timer2Timer);
  BuildMenus();
}

void TFVoice::BuildPanelMic() {
  PanelMic = new QWidget(this);
  PanelMic->setObjectName(QStringLiteral("PanelMic"));
  PanelMic->setFixedWidth(145);
  Title(QStringLiteral("Микрофон"), PanelMic, 0, 8, 145);
  TrackBarMic = new QSlider(Qt::Vertical, PanelMic);
  TrackBarMic->setObjectName(QStringLiteral("TrackBarMic"));
  TrackBarMic->setRange(0, 65535);
  TrackBarMic->setTickInterval(4096);
  TrackBarMic->setTickPosition(QSlider::TicksBothSides);
  TrackBarMic->setToolTip(QStringLiteral("Громкость микрофона"));
  TrackBarMic->setFocusPolicy(Qt::NoFocus);
  TrackBarMic->setGeometry(50, 34, 45, 250);
  LabelVolume = new QLabel(PanelMic);
  LabelVolume->setObjectName(QStringLiteral("LabelVolume"));
  LabelVolume->setAlignment(Qt::AlignCenter);
  LabelVolume->setGeometry(0, 290, 145, 20);
  connect(TrackBarMic, &QSlider::valueChanged, this, [this] {
    LabelVolume->setText(QStringLiteral("%1%").arg(settings_.micVolume * 100 / 65535));
  });
  CGaugeMic = new TGauge(PanelMic, 110);
  CGaugeMic->setObjectName(QStringLiteral("CGaugeMic"));
  CGaugeMic->SetKind(TGauge::TKind::Vertical);
  CGaugeMic->setGeometry(104, 34, 25, 250);
  CGaugeMic->hide();
}

void TFVoice::BuildPanelRecord() {
  PanelRecord = new QWidget(this);
  PanelRecord->setObjectName(QStringLiteral("PanelRecord"));
  PanelRecord->setFixedWidth(200);
  PanelRecord->setContextMenuPolicy(Qt::CustomContextMenu);
  Title(QStringLiteral("Запись"), PanelRecord, 0, 8, 200);
  LabelTime = new QLabel(QStringLiteral("00 мин 00 сек"), PanelRecord);
  LabelTime->setObjectName(QStringLiteral("LabelTime"));
  LabelTime->setToolTip(QStringLiteral("Счетчик времени записи разговора..."));
  LabelTime->setFont(PixelFont(QStringLiteral("Arial"), 23));
  LabelTime->setAlignment(Qt::AlignCenter);
  LabelTime->setGeometry(8, 34, 184, 40);
  LabelRecording = NewRecordingMark(PanelRecord);
  LabelRecording->setGeometry(176, 10, 20, 20);
  LabelTime->setContextMenuPolicy(Qt::CustomContextMenu);
  SetBackground(LabelTime, QColor(kOliveColor));
  Title(QStringLiteral("Уровень"), PanelRecord, 0, 150, 200);

  Indicator = new TIndicator(PanelRecord);
  Indicator->setObjectName(QStringLiteral("Indicator"));
  Indicator->move(52, 180);
  Indicator->SetCaption(QStringLiteral("Микрофон"));
  Indicator->SetMarker(0);
  LabelInd = new QLabel(QStringLiteral("Микрофон"), PanelRecord);
  LabelInd->setObjectName(QStringLiteral("LabelInd"));
  LabelInd->setGeometry(16, 188, 172, 18);
  PaintBoxInd = new TAudioIndicator(PanelRecord);
  PaintBoxInd->setObjectName(QStringLiteral("PaintBoxInd"));
  PaintBoxInd->setGeometry(16, 208, 172, 25);
  CGauge1 = new TGauge(PanelRecord);
  CGauge1->setObjectName(QStringLiteral("CGauge1"));
}

void TFVoice::BuildPages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setFocusPolicy(Qt::NoFocus);
  ListBox1 = new QListWidget;
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setFont(PixelFont(QStringLiteral("MS Sans Serif"), 16));
  ListBox1->setFlow(QListView::TopToBottom);
  ListBox1->setWrapping(true);
  ListBox1->setResizeMode(QListView::Adjust);
  ListBox1->setUniformItemSizes(true);
  ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  // The subscribers' page: a book not read whole says so above the list, and
  // the book is edited with the buttons below it as well as its menu.
  auto* subscribers = new QWidget;
  auto* page = new QVBoxLayout(subscribers);
  page->setContentsMargins(0, 0, 0, 0);
  page->setSpacing(2);
  BookNotice = new QLabel(subscribers);
  BookNotice->setObjectName(QStringLiteral("BookNotice"));
  BookNotice->setWordWrap(true);
  BookNotice->setStyleSheet(QStringLiteral("QLabel { background: #FFE0E0; color: #A00000; padding: 3px; }"));
  BookNotice->hide();
  page->addWidget(BookNotice);
  page->addWidget(ListBox1, 1);
  auto* buttons = new QHBoxLayout;
  for (auto [button, text] : {std::pair{&ButtonAdd, "Добавить..."}, std::pair{&ButtonChange, "Изменить..."},
                              std::pair{&ButtonDelete, "Удалить"}}) {
    *button = new QPushButton(QString::fromUtf8(text), subscribers);
    (*button)->setFocusPolicy(Qt::TabFocus);
    (*button)->setAutoDefault(false);
    buttons->addWidget(*button);
  }
  ButtonAdd->setObjectName(QStringLiteral("ButtonAdd"));
  ButtonChange->setObjectName(QStringLiteral("ButtonChange"));
  ButtonDelete->setObjectName(QStringLiteral("ButtonDelete"));
  buttons->addStretch(1);
  page->addLayout(buttons);
  PageControl1->addTab(subscribers, QStringLiteral("Абоненты"));
  StringGrid1 = new QTableWidget(100, kHistoryColumns);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setHorizontalHeaderLabels({QStringLiteral("Время"), QStringLiteral("Звонок"),
                                          QStringLiteral("Абонент"), QStringLiteral("Длит."),
                                          QStringLiteral("Итог"), QStringLiteral("Запись")});
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  // The times, the talk time and the outcome as wide as their texts; who
  // takes the rest.
  StringGrid1->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  historyRecords_ = new THistoryRecords(StringGrid1, host_.workFolder, this);
  PageControl1->addTab(historyRecords_->Page(), QStringLiteral("История разговоров"));
  // In the window's font, which the grid has once it is on the tab.
  const QFontMetrics metrics(StringGrid1->font());
  const int pad = 2 * metrics.averageCharWidth();
  for (const int column : {0, 1, 3}) StringGrid1->setColumnWidth(column, metrics.horizontalAdvance(QStringLiteral("Звонок")) + pad);
  StringGrid1->setColumnWidth(4, metrics.horizontalAdvance(QStringLiteral("Разговор завершен")) + pad);
  // Missed calls count as seen once the dispatcher has the history in view.
  connect(PageControl1, &QTabWidget::currentChanged, this, [this] { HistorySeen(); });
}

void TFVoice::BuildMenus() {
  PopupMenuInd = new QMenu(this);
  auto* kinds = new QActionGroup(PopupMenuInd);
  const char* names[kMeterKinds] = {"Индикатор уровня", "Аудиоиндикатор", "Горизонтальная шкала уровня",
                                    "Вертикальная шкала уровня", "Полукруглая шкала уровня"};
  for (int kind = 0; kind < kMeterKinds; ++kind) {
    QAction* item = PopupMenuInd->addAction(QString::fromUtf8(names[kind]));
    item->setCheckable(true);
    kinds->addAction(item);
    connect(item, &QAction::triggered, this, [this, kind] { SetIndKind(kind); });
    MeterItems[static_cast<size_t>(kind)] = item;
  }
  connect(PanelRecord, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenuInd->popup(PanelRecord->mapToGlobal(at)); });

  PopupMenuOptions = new QMenu(this);
  auto option = [this](const char* text, bool* value) {
    QAction* item = PopupMenuOptions->addAction(QString::fromUtf8(text));
    item->setCheckable(true);
    connect(item, &QAction::toggled, this, [this, value](bool on) {
      *value = on;
      UpdatePanels();
    });
    return item;
  };
  mAutoSound = option("Автопереключение звука", &settings_.autoSound);
  PopupMenuOptions->addSeparator();
  mHidePanelRecord = option("Скрывать панель записи при показе видео", &settings_.hidePanelRecordOnVideo);
  mHidePanelMic = option("Скрывать панель микрофона при показе видео", &settings_.hidePanelMicOnVideo);
  mHidePanelAdr = option("Скрывать панель адреса при показе видео", &settings_.hidePanelAdrOnVideo);
  mShowDoorOpen = option("Показывать кнопку \"Открыть дверь\"", &settings_.showDoorOpen);
  Label1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Label1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenuOptions->popup(Label1->mapToGlobal(at)); });

  PopupMenuList = new QMenu(this);
  mAdd = PopupMenuList->addAction(QStringLiteral("&Добавить"), this, [this] {
    if (host_.telephony && AddSubscriber(host_.telephony->Book(), host_.prompts, this)) FillSubscriberList();
  });
  mChange = PopupMenuList->addAction(QStringLiteral("&Изменить"), this, [this] {
    if (host_.telephony &&
        ChangeSubscriber(host_.telephony->Book(), SelectedSubscriber(), host_.prompts, this))
      FillSubscriberList();
  });
  mDelete = PopupMenuList->addAction(QStringLiteral("&Удалить"), this, [this] {
    if (host_.telephony && DeleteSubscriber(host_.telephony->Book(), SelectedSubscriber(), host_.prompts, this))
      FillSubscriberList();
  });
  // The keys of the list: Delete removes (asking first), F2 changes.
  mDelete->setShortcut(QKeySequence(Qt::Key_Delete));
  mChange->setShortcut(QKeySequence(Qt::Key_F2));
  for (QAction* item : {mDelete, mChange}) {
    item->setShortcutContext(Qt::WidgetShortcut);
    ListBox1->addAction(item);
  }
  connect(ButtonAdd, &QPushButton::clicked, mAdd, &QAction::trigger);
  connect(ButtonChange, &QPushButton::clicked, mChange, &QAction::trigger);
  connect(ButtonDelete, &QPushButton::clicked, mDelete, &QAction::trigger);
  PopupMenuList->addSeparator();
  mImport = PopupMenuList->addAction(QStringLiteral("И&мпорт из ..."));
  mExport = PopupMenuList->addAction(QStringLiteral("Экспорт в ..."), this, [this] {
    if (host_.telephony)
      ExportSubscribers(host_.telephony->Book(), host_.prompts, this, QString::fromStdString(host_.workFolder));
  });
  connect(ListBox1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenuList->popup(ListBox1->mapToGlobal(at)); });

  auto* adrMenu = new QMenu(this);
  adrMenu->addAction(QStringLiteral("&Шрифт"), this, [this] { ChooseFont(PanelAdr, adrFont_); });
  connect(PanelAdr, &QWidget::customContextMenuRequested, this,
          [this, adrMenu](const QPoint& at) { adrMenu->popup(PanelAdr->mapToGlobal(at)); });
  auto* timeMenu = new QMenu(this);
  timeMenu->addAction(QStringLiteral("Шрифт"), this, [this] { ChooseFont(LabelTime, timeFont_); });
  connect(LabelTime, &QWidget::customContextMenuRequested, this,
          [this, timeMenu](const QPoint& at) { timeMenu->popup(LabelTime->mapToGlobal(at)); });
}

void TFVoice::ChooseFont(QWidget* control, TUiFont& font) {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font.font, this);
  if (!ok) return;
  font.font = chosen;
  ApplyFont(control, font);
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
  ApplyFont(PanelAdr, adrFont_);
  ApplyFont(LabelTime, timeFont_);
  settings_.colw = {StringGrid1->columnWidth(0), StringGrid1->columnWidth(1)};
  if (host_.ini) LoadVoiceSettings(*host_.ini, settings_);
  ApplySettings();
  FillSubscriberList();
  if (ListBox1->count() > 0) ListBox1->setCurrentRow(0);
  FillCallHistory();
  // The column widths once the grid has its place.
  QMetaObject::invokeMethod(
      this,
      [this] {
        for (int column = 0; column < 2; ++column)
          if (settings_.colw[static_cast<size_t>(column)] != 0)
            StringGrid1->setColumnWidth(column, settings_.colw[static_cast<size_t>(column)]);
      },
      Qt::QueuedConnection);
  // The window sees every key before its controls.
  qApp->installEventFilter(this);
  Timer1->start();
  Timer2->start();
}

void TFVoice::ApplySettings() {
  SetIndKind(settings_.indKind);
  mAutoSound->setChecked(settings_.autoSound);
  mHidePanelRecord->setChecked(settings_.hidePanelRecordOnVideo);
  mHidePanelMic->setChecked(settings_.hidePanelMicOnVideo);
  mHidePanelAdr->setChecked(settings_.hidePanelAdrOnVideo);
  mShowDoorOpen->setChecked(settings_.showDoorOpen);
  BitBtnLocal->setVisible(settings_.showDoorOpen);
  if (settings_.page >= 0 && settings_.page < PageControl1->count()) PageControl1->setCurrentIndex(settings_.page);
  TrackBarMic->setValue(65535 - settings_.micVolume);
}

void TFVoice::StoreSettings() {
  if (!host_.ini) return;
  settings_.page = PageControl1->currentIndex();
  settings_.colw = {StringGrid1->columnWidth(0), StringGrid1->columnWidth(1)};
  SaveVoiceSettings(*host_.ini, settings_);
}

void TFVoice::SetIndKind(int kind) {
  settings_.indKind = kind;
  Indicator->setVisible(kind == 0);
  LabelInd->setVisible(kind == 1);
  PaintBoxInd->setVisible(kind == 1);
  CGauge1->setVisible(kind >= 2 && kind <= 4);
  switch (kind) {
    case 2:
      CGauge1->SetKind(TGauge::TKind::Horizontal);
      CGauge1->setGeometry(24, 200, 153, 25);
      break;
    case 3:
      CGauge1->SetKind(TGauge::TKind::Vertical);
      CGauge1->setGeometry(80, 176, 41, 73);
      break;
    case 4:
      CGauge1->SetKind(TGauge::TKind::Needle);
      CGauge1->setGeometry(24, 176, 153, 73);
      break;
    default:
      break;
  }
  for (int i = 0; i < kMeterKinds; ++i) MeterItems[static_cast<size_t>(i)]->setChecked(i == kind);
  if (kind < 0 || kind >= kMeterKinds) {
    // A stored kind out of range: no item checked (the group would keep one).
    for (QAction* item : MeterItems) {
      QActionGroup* group = item->actionGroup();
      group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
      item->setChecked(false);
      group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
  }
}

void TFVoice::UpdatePanels() {
  const bool video = !PanelVideo->isHidden();
  PanelRecord->setVisible(!(settings_.hidePanelRecordOnVideo && video));
  PanelMic->setVisible(!(settings_.hidePanelMicOnVideo && video));
  PanelAdr->setVisible(!(settings_.hidePanelAdrOnVideo && video));
  CGaugeMic->setVisible(PanelRecord->isHidden() && !PanelMic->isHidden());
  CGaugeMic2->setVisible(PanelRecord->isHidden() && PanelMic->isHidden());
}

void TFVoice::FillSubscriberList() {
  ListBox1->clear();
  if (!host_.telephony) return;
  const TPhoneBook& book = host_.telephony->Book();
  for (int i = 0; i < book.Count(); ++i) ListBox1->addItem(FromCp1251(book.At(i)->Name));
  // A book the file holds more of than is shown says so, on the list and in
  // the status bar: a save keeps the rest, but the dispatcher must know.
  ListBox1->setToolTip(FromCp1251(book.NotReadWholeText()));
  BookNotice->setText(FromCp1251(book.NotReadWholeText()));
  BookNotice->setVisible(!book.ReadWhole());
  if (!book.ReadWhole()) StatusPanels[1]->setText(FromCp1251(book.NotReadWholeText()));
}

void TFVoice::FillCallHistory() {
  StringGrid1->clearContents();
  if (!host_.history) return;
  const std::vector<TCallRecord> calls = host_.history->Newest(static_cast<std::size_t>(StringGrid1->rowCount()));
  const auto cell = [this](std::size_t row, int column, const QString& text, const QString& tip = {}) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(tip.isEmpty() ? text : tip);
    StringGrid1->setItem(static_cast<int>(row), column, item);
  };
  for (std::size_t row = 0; row < calls.size(); ++row) {
    const TCallRecord& call = calls[row];
    // A call's time is when it was answered (when it began, if never), with
    // the moment it began to ring or dial beside it.
    const QDateTime start = QDateTime::fromSecsSinceEpoch(call.start);
    const QDateTime when = call.answered != 0 ? QDateTime::fromSecsSinceEpoch(call.answered) : start;
    // The day and the seconds are in the tips.
    cell(row, 0, when.toString(QStringLiteral("hh:mm")), when.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    cell(row, 1, start.toString(QStringLiteral("hh:mm")), start.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    cell(row, 2, FromCp1251(call.who));
    cell(row, 3, call.answered != 0 ? QStringLiteral("%1:%2").arg(call.seconds / 60).arg(call.seconds % 60, 2, 10, QLatin1Char('0')) : QString(),
         call.answered != 0 ? CallClockText(call.seconds) : QString());
    cell(row, 4, FromCp1251(call.outcome));
    historyRecords_->SetRecordCell(static_cast<int>(row), call);
  }
}

int TFVoice::SelectedSubscriber() const {
  // The list takes the focus with a current row but no selection: that
  // names nobody.
  const QListWidgetItem* item = ListBox1->currentItem();
  return item && item->isSelected() ? ListBox1->currentRow() : -1;
}

void TFVoice::HistorySeen() {
  if (!host_.session || !isVisible() || PageControl1->currentIndex() != 1) return;
  const bool missed = host_.session->MissedUnseen() > 0;
  host_.session->MissedSeen();
  ShowMissed();
  // Seen in the history, the missed ring's notice on the line has done its work.
  if (missed && CallState() == TCallState::Idle && Label1->text().startsWith(QStringLiteral("Пропущен звонок: ")))
    ShowIdleTexts();
}

void TFVoice::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  HistorySeen();
  SetBackground(LabelTime, QColor(kOliveColor));
  TrackBarMic->setEnabled(true);
  TrackBarMic->setValue(65535 - settings_.micVolume);
  UpdatePanels();
}

void TFVoice::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  GatewayLink->ShowLink(true);
  historyRecords_->StopPlaying();  // a hidden window plays nothing
  StoreSettings();
  StorePlacement();
  PanelVideo->hide();
}

void TFVoice::closeEvent(QCloseEvent* event) {
  // Closing ends the call as Esc does ("n" while ringing, "h" otherwise).
  if (LinkUp() && host_.session) host_.session->HangUp();
  event->accept();
}

void TFVoice::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  StatusPanels[0]->setFixedWidth(width() / 2);
  UpdatePanels();
  const int columns = std::max(1, width() / 300);
  // Whole columns across the list (a line or two spare, so that no scroll bar comes up).
  const int cell = std::max(1, (ListBox1->viewport()->width() - 2) / columns);
  ListBox1->setGridSize(QSize(cell, 20));
}

}  // namespace vertamo::ui
