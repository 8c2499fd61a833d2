#include "journal/ui/log_last.h"

#include <QKeyEvent>
#include <QVBoxLayout>
#include <string>

#include "settings/fast_ini.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"

namespace vertamo::ui {

namespace {

std::string ColWidthKey(int column) { return "ColWidths" + std::to_string(column); }

Qt::WindowFlags HeaderFlags(bool header) {
  if (header) return Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;  // no border icons
  return Qt::Tool | Qt::FramelessWindowHint;
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

TLogLast::TLogLast(TFastIni* ini, QWidget* parent) : QWidget(parent, HeaderFlags(true)), ini_(ini) {
  setObjectName(QString::fromLatin1(kSection));
  setWindowTitle(QStringLiteral("Оперативный журнал"));
  // Closing only hides it: the journal of the shift is never lost for the
  // rest of the run, and "Вид → Оперативный журнал" shows it again.
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(13);
  setFont(f);
  setMinimumWidth(kMinWidth);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);  // border width 1
  panel_ = new QFrame(this);
  panel_->setObjectName(QStringLiteral("PanelLog"));
  layout->addWidget(panel_);
  auto* panelLayout = new QVBoxLayout(panel_);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  grid_ = new TLogGrid(panel_);
  panelLayout->addWidget(grid_);
  panel_->installEventFilter(this);
  grid_->installEventFilter(this);
  connect(grid_, &TLogGrid::RowSelected, this, &TLogLast::OnRowSelected);
  connect(grid_, &TLogGrid::MenuRequested, this, &TLogLast::OnMenuRequested);

  menu_ = new QMenu(this);
  menu_->setObjectName(QStringLiteral("PopupMenu1"));
  pmUseColor_ = AddCheck("pmUseColor", QStringLiteral("  &Использовать цветовую раскраску"), true);
  pmShowNew_ = AddCheck("pmShowNew", QStringLiteral("  П&оказывать новое сообщение в журнале"), false);
  pmShowOnMap_ =
      AddCheck("pmShowOnMap", QStringLiteral("  Показывать объект на карте при просмотре журнала"), false);
  menu_->addSeparator();
  pmHeader_ = AddCheck("pmHeader", QStringLiteral("  &Заголовок"), true);
  menu_->addSeparator();
  // Two blanks ahead, as the other items have, so that the texts line up.
  pmSavePos_ = menu_->addAction(QStringLiteral("  З&апомнить положение на экране"));
  pmSavePos_->setObjectName(QStringLiteral("pmSavePos"));
  pmClear_ = menu_->addAction(QStringLiteral("  &Очистить журнал"));
  pmClear_->setObjectName(QStringLiteral("pmClear"));
  connect(pmUseColor_, &QAction::toggled, grid_, &TLogGrid::SetUseColor);
  connect(pmHeader_, &QAction::toggled, this, &TLogLast::ApplyHeader);
  connect(pmSavePos_, &QAction::triggered, this, &TLogLast::SavePos);
  connect(pmClear_, &QAction::triggered, this, &TLogLast::Clear);

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(1000);
  connect(timer_, &QTimer::timeout, this, &TLogLast::TimerTick);
  timer_->start();

  // Design bounds: client area 1053 x 182 at 215, 448.
  resize(1053, 182);
  move(215, 448);
  ReadSettings();  // a saved place comes back whole on the screen it opens on
  // A tool window of the main window stays in front of it, also with window
  // managers that do not keep it there themselves.
  if (parent) parent->installEventFilter(this);
}

QAction* TLogLast::AddCheck(const char* name, const QString& caption, bool checked) {
  QAction* action = menu_->addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  action->setCheckable(true);
  action->setChecked(checked);
  return action;
}

void TLogLast::ReadSettings() {
  if (!ini_) return;
  TWidgetBounds bounds(this);
  ini_->ReadFormBounds(&bounds);
  pmUseColor_->setChecked(ini_->ReadBool(kSection, "UseColor", true));
  pmHeader_->setChecked(ini_->ReadBool(kSection, "Header", true));
  pmShowOnMap_->setChecked(ini_->ReadBool(kSection, "ShowOnMap", true));
  pmShowNew_->setChecked(ini_->ReadBool(kSection, "ShowNew", false));
  ApplyHeader();
  // A width that was never saved stays what the window gives the column.
  for (int c = 0; c < TLogModel::kColumns; ++c) {
    const std::string key = ColWidthKey(c);
    if (ini_->ValueExists(kSection, key))
      savedWidths_[static_cast<size_t>(c)] = ini_->ReadInteger(kSection, key, grid_->columnWidth(c));
  }
}

void TLogLast::ApplyHeader() {
  const Qt::WindowFlags wanted = HeaderFlags(pmHeader_->isChecked());
  if (windowFlags() == wanted) return;
  const bool visible = isVisible();
  const QPoint framePos = frameGeometry().topLeft();
  setWindowFlags(wanted);  // hides the window
  move(framePos);
  if (visible) show();
}

void TLogLast::ApplyShareWidths() {
  const int width = panel_->contentsRect().width();
  if (width == shareWidth_) return;
  shareWidth_ = width;
  for (int c = 0; c < TLogModel::kColumns; ++c)
    grid_->setColumnWidth(c, width * kWidthShares[static_cast<size_t>(c)] / 100);
}

void TLogLast::ApplySavedWidths() {
  for (int c = 0; c < TLogModel::kColumns; ++c)
    if (const auto& w = savedWidths_[static_cast<size_t>(c)]; w && *w >= 0) grid_->setColumnWidth(c, *w);
}

void TLogLast::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (savedWidthsPosted_) return;
  savedWidthsPosted_ = true;
  // After the first layout: the saved widths replace the shares once.
  QMetaObject::invokeMethod(this, &TLogLast::ApplySavedWidths, Qt::QueuedConnection);
}

void TLogLast::AddLogEntry(const TLogEntry& entry) {
  TLogRow row;
  row.color = entry.color;
  row.fontColor = entry.fontColor;
  row.object = entry.object;
  for (size_t i = 0; i < row.texts.size(); ++i) row.texts[i] = FromCp1251(entry.texts[i]);
  // The marker that circles the object of the selected entry goes with it
  // when the entry drops off the grid.
  if (grid_->PushEntry(std::move(row)) && markerShown_) HideMarker();
  if (pmShowNew_->isChecked()) {
    grid_->SelectRow(0);
    ShowObject(entry.object);
  }
}

void TLogLast::AddEarlierEntries(const std::vector<TJournalRecord>& records) {
  const size_t first = records.size() > TLogModel::kRows ? records.size() - TLogModel::kRows : 0;
  for (size_t i = first; i < records.size(); ++i) {
    TLogRow row;
    row.earlier = true;
    for (size_t t = 0; t < row.texts.size(); ++t) row.texts[t] = FromCp1251(records[i].texts[t]);
    if (grid_->PushEntry(std::move(row)) && markerShown_) HideMarker();
  }
}

void TLogLast::Clear() {
  grid_->ClearEntries();
  markerShown_ = false;
}

void TLogLast::ShowObject(int object) {
  markerShown_ = true;
  emit ShowObjectOnMapRequested(object);
}

void TLogLast::HideMarker() {
  markerShown_ = false;
  emit HideMapMarkerRequested();
}

void TLogLast::SavePos() {
  if (!ini_) return;
  TWidgetBounds bounds(this);
  ini_->WriteFormBounds(&bounds);
  ini_->WriteBool(kSection, "UseColor", pmUseColor_->isChecked());
  ini_->WriteBool(kSection, "Header", pmHeader_->isChecked());
  ini_->WriteBool(kSection, "ShowOnMap", pmShowOnMap_->isChecked());
  ini_->WriteBool(kSection, "ShowNew", pmShowNew_->isChecked());
  for (int c = 0; c < TLogModel::kColumns; ++c)
    ini_->WriteInteger(kSection, ColWidthKey(c), grid_->columnWidth(c));
}

void TLogLast::OnRowSelected(int row) {
  const TLogRow& r = grid_->Model().Row(row);
  if (pmShowOnMap_->isChecked() && !r.earlier && !r.texts[0].isEmpty())
    ShowObject(r.object);
  else
    HideMarker();
}

void TLogLast::OnMenuRequested(const QPoint& globalPos) { menu_->popup(globalPos); }

void TLogLast::TimerTick() {
  if (!isActiveWindow()) {
    idle_ = 0;
    return;
  }
  if (++idle_ > kIdleSeconds) emit ActivateMainWindowRequested();
}

bool TLogLast::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::WindowActivate && isVisible()) {
    raise();
  } else if (watched == panel_ && event->type() == QEvent::Resize) {
    ApplyShareWidths();
  } else if (watched == grid_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    idle_ = 0;
    if (key == Qt::Key_F5) {
      emit ReconnectRequested();
      emit ActivateMainWindowRequested();
      return true;
    }
    if (IsEnter(key)) {
      emit ActivateMainWindowRequested();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TLogLast::keyPressEvent(QKeyEvent* event) {
  if (IsEnter(event->key())) {
    emit ActivateMainWindowRequested();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace vertamo::ui
