// The voice window drawing the call's view, and its own keys.
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

#include "uikit/indicator.h"
#include "uikit/qt_text.h"
#include "uikit/win_color.h"
#include "voice/call_clock.h"
#include "voice/call_history.h"
#include "sounds/sound_file_player.h"
#include "sounds/sound_thread.h"
#include "voice/ui/form_voice.h"

#include "voice/history_columns.h"
#include "records/record_place.h"
#include "voice/ui/gateway_link_label.h"
#include "voice/ui/history_records.h"
#include "voice/ui/level_meters.h"

namespace vertamo::ui {

namespace {

constexpr const char* kCaption = "Голосовая диспетчерская связь";
constexpr const char* kKeyPressSound = "KeyPress.wav";

QColor InfoColor(std::uint32_t color) {
  if (color == TCallView::kHintColor) return WinColorToQColor(SysColorValue(kSysInfoBk));
  return QColor(QRgb(color));
}

}  // namespace

void TFVoice::Show(const TCallView& view) {
  const bool first = !drawn_;
  const TCallView& was = shown_;
  if (first || view.info != was.info || view.infoColor != was.infoColor) {
    infoLine_->setText(FromCp1251(view.info));
    SetBackground(infoLine_, InfoColor(view.infoColor));
  }
  if (first || view.infoTip != was.infoTip) infoLine_->setToolTip(FromCp1251(view.infoTip));
  if (first || view.button != was.button) callButton_->setText(FromCp1251(view.button));
  if (first || view.answerOrRefuse != was.answerOrRefuse) {
    // A question of this window's own (the address book's form, a font)
    // would block "Ответить": a ring goes first, and the question goes.
    if (view.answerOrRefuse)
      for (QDialog* dialog : findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly))
        if (dialog->isVisible()) dialog->reject();
    callButton_->setVisible(!view.answerOrRefuse);
    answerButton_->setVisible(view.answerOrRefuse);
    refuseButton_->setVisible(view.answerOrRefuse);
  }
  if (first || view.title != was.title) ShowTitle(view.title);
  for (std::size_t panel = 0; panel < view.status.size(); ++panel)
  {
    if (first || view.status[panel] != was.status[panel]) statusPanels_[panel]->setText(FromCp1251(view.status[panel]));
    if (first || view.statusTips[panel] != was.statusTips[panel])
      statusPanels_[panel]->setToolTip(FromCp1251(view.statusTips[panel]));
  }
  if (first || view.clock != was.clock) talkTime_->setText(FromCp1251(view.clock));
  // A ring or a call stops a record playing: the dispatcher hears the call.
  if (view.state != TCallState::Idle && (first || view.state != was.state)) historyRecords_->StopPlaying();
  if (first || view.state != was.state || view.record != was.record)
    recordingMark_->setVisible(view.state == TCallState::Talking && IsRecordPath(view.record));
  if (first || view.clockRunning != was.clockRunning)
    SetBackground(talkTime_, QColor(view.clockRunning ? QRgb(TCallView::kTalkColor) : kOliveColor));
  if (first || view.gatewayDown != was.gatewayDown) gatewayLink_->ShowLink(!view.gatewayDown);
  if (first || view.level != was.level || view.lineMode != was.lineMode || view.threshold != was.threshold)
    ShowMeters(view);
  if (first || view.missed != was.missed) ShowMissed(view.missed);
  if (first || view.notRecording != was.notRecording) ShowRecordingState(view.notRecording);
  if (first || view.historyTurn != was.historyTurn) ShowHistory();
  if (!first && view.selectTurn != was.selectTurn) {
    subscribers_->setCurrentRow(view.selectRow);
    if (view.selectRow < 0) subscribers_->clearSelection();
  }
  const bool present = view.shown && (first || view.presentTurn != was.presentTurn || !isVisible());
  shown_ = view;
  drawn_ = true;
  if (present)
    Present();
  else if (!view.shown && isVisible())
    hide();
}

void TFVoice::ShowTitle(const std::string& title) {
  addressStrip_->setText(FromCp1251(title));
  // Without the address strip the caption names the call.
  if (addressStrip_->isHidden() && !title.empty())
    setWindowTitle(QString::fromUtf8(kCaption) + QStringLiteral(": ") + FromCp1251(title));
  else
    setWindowTitle(QString::fromUtf8(kCaption));
}

void TFVoice::ShowMeters(const TCallView& view) {
  const bool talking = view.lineMode == TKelmoClient::kModeTalk;
  const bool listening = view.lineMode == TKelmoClient::kModeListen;
  talkPicture_->setVisible(talking);
  listenPicture_->setVisible(listening);
  for (TGauge* gauge : {gauge_, micGauge_, buttonGauge_}) {
    if (gauge->isHidden()) continue;
    if (view.threshold != 0)
      gauge->SetForeColor(QColor(view.level < view.threshold ? kOliveColor : QRgb(TCallView::kTalkColor)));
    gauge->SetProgress(view.level);
  }
  // The dial rests unless the voice flows one way or the other.
  dial_->SetPosition(talking || listening ? view.level : 0);
  if (dial_->Marker() == 0) dial_->SetMarker(view.threshold);
  segments_->SetThreshold(view.threshold);
  segments_->SetLevel(view.level);
}

void TFVoice::ShowMissed(int missed) {
  tabs_->setTabText(1, missed > 0 ? QStringLiteral("История разговоров (пропущено: %1)").arg(missed)
                                  : QStringLiteral("История разговоров"));
}

void TFVoice::ShowRecordingState(bool notRecording) {
  if (notRecording && !notRecording_) {
    notRecording_ = new QLabel(FromCp1251(TCallHistory::NotRecordingText()), statusBar_);
    notRecording_->setObjectName(QStringLiteral("LabelNotRecording"));
    notRecording_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    // The window keeps its size: the notice takes the room there is, the
    // whole of it in the tip (and in the main window's status bar).
    notRecording_->setMinimumWidth(1);
    notRecording_->setWordWrap(true);
    notRecording_->setToolTip(notRecording_->text());
    statusBar_->addPermanentWidget(notRecording_, 3);
  }
  if (notRecording_) notRecording_->setVisible(notRecording);
}

void TFVoice::ShowHistory() {
  history_->clearContents();
  if (!host_.history) return;
  const std::vector<TCallRecord> calls = host_.history->Newest(static_cast<std::size_t>(history_->rowCount()));
  const auto cell = [this](std::size_t row, int column, const QString& text, const QString& tip = {}) {
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(tip.isEmpty() ? text : tip);
    history_->setItem(static_cast<int>(row), column, item);
  };
  for (std::size_t row = 0; row < calls.size(); ++row) {
    const TCallRecord& call = calls[row];
    // A call's time is when it was answered (when it began, if never), with
    // the moment it began to ring or dial beside it.
    const QDateTime start = QDateTime::fromSecsSinceEpoch(call.start);
    const QDateTime when = call.answered != 0 ? QDateTime::fromSecsSinceEpoch(call.answered) : start;
    // The day beside the time; the year and the seconds are in the tips.
    const QString full = QStringLiteral("dd.MM.yyyy hh:mm:ss");
    cell(row, THistoryRecords::kWhenColumn, when.toString(QStringLiteral("dd.MM hh:mm")), when.toString(full));
    cell(row, 1, start.toString(QStringLiteral("hh:mm")), start.toString(full));
    cell(row, THistoryRecords::kWhoColumn, FromCp1251(call.who));
    history_->item(static_cast<int>(row), THistoryRecords::kWhoColumn)->setData(kCallAgainRole, QVariant::fromValue(call.again));
    cell(row, 3,
         call.answered != 0 ? QStringLiteral("%1:%2").arg(call.seconds / 60).arg(call.seconds % 60, 2, 10, QLatin1Char('0'))
                            : QString(),
         call.answered != 0 ? FromCp1251(CallClockText(call.seconds)) : QString());
    cell(row, 4, FromCp1251(call.outcome));
    historyRecords_->SetRecordCell(static_cast<int>(row), call);
  }
  FitHistoryColumns();
}

void TFVoice::FitHistoryColumns() {
  const int columns = history_->columnCount();
  std::vector<int> wanted(static_cast<std::size_t>(columns));
  std::vector<bool> elidable(static_cast<std::size_t>(columns));
  const int pad = history_->fontMetrics().averageCharWidth();
  for (int column = 0; column < columns; ++column) {
    wanted[static_cast<std::size_t>(column)] =
        std::max(static_cast<const QAbstractItemView*>(history_)->sizeHintForColumn(column),
                 history_->horizontalHeader()->sectionSizeHint(column)) +
        pad;
    elidable[static_cast<std::size_t>(column)] = column == THistoryRecords::kWhoColumn || column == 4 ||
                                                 column == THistoryRecords::kColumn;
  }
  const std::vector<int> widths =
      HistoryColumnWidths(history_->viewport()->width(), wanted, elidable, THistoryRecords::kWhoColumn);
  for (int column = 0; column < columns; ++column) history_->setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
}

void TFVoice::TakeFocus() {
  if (!isVisible()) return;
  raise();
  activateWindow();
  setFocus(Qt::OtherFocusReason);
}

// --- keys ----------------------------------------------------------------------

bool TFVoice::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat()) return false;
    switch (key->key()) {
      case Qt::Key_F9:
        KeyPressSound();
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        // On a history row with a record, at rest, Enter plays it.
        if (shown_.state == TCallState::Idle && tabs_->currentIndex() == 1 && historyRecords_->PlaySelected())
          return true;
        CallButtonClicked();
        return true;
      case Qt::Key_Escape:
        emit escapePressed();
        return true;
      default:
        return false;
    }
  }
  // The history's columns share the grid's width anew as it changes.
  if (type == QEvent::Resize && history_ && watched == history_->viewport()) FitHistoryColumns();
  if (type == QEvent::MouseMove &&
      (watched == statusBar_ || watched == statusPanels_[0] || watched == statusPanels_[1]) &&
      (static_cast<QMouseEvent*>(event)->modifiers() & Qt::ControlModifier))
    emit switchSettingsWanted();
  return QWidget::eventFilter(watched, event);
}

void TFVoice::KeyPressSound() {
  if (!host_.soundFiles) return;
  const TSoundRequest sound = ResolveSoundName(kKeyPressSound, host_.programFolder, host_.workFolder);
  if (sound.kind == TSoundRequest::TKind::Sound) host_.soundFiles->PlaySoundFile(sound.path);
}

}  // namespace vertamo::ui
