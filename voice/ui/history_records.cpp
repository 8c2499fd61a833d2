#include "voice/ui/history_records.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/folders.h"
#include "records/record_place.h"
#include "records/ui/record_player_widget.h"
#include "uikit/qt_text.h"

namespace vertamo::ui {
namespace {

constexpr int kPathRole = Qt::UserRole + 1;

}  // namespace

THistoryRecords::THistoryRecords(QTableWidget* grid, std::string workFolder, QWidget* owner,
                                 TRecordPlayerWidget* player)
    : QObject(owner), grid_(grid), workFolder_(WithTrailingSlash(workFolder)), page_(new QWidget(owner)) {
  player_ = player ? player
                   : new TRecordPlayerWidget(
                         std::make_unique<TRecordPlayer>(CreateSoundServerStream({}, "Vertamo")), page_);
  player_->setParent(page_);
  auto* layout = new QVBoxLayout(page_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(grid_, 1);
  layout->addWidget(player_);
  grid_->setHorizontalHeaderItem(kColumn, new QTableWidgetItem(QStringLiteral("Запись")));
  const QFontMetrics metrics(grid_->font());
  grid_->setColumnWidth(kColumn, metrics.horizontalAdvance(QStringLiteral("Запись")) + 4 * metrics.averageCharWidth());
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const QTableWidgetItem* mark = grid_->item(grid_->rowAt(at.y()), kColumn);
    if (!mark || mark->data(kPathRole).toString().isEmpty()) return;
    // Popped up, not run in an event loop of its own.
    auto* menu = new QMenu(grid_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Прослушать"), this, [this] { PlaySelected(); });
    menu->popup(grid_->viewport()->mapToGlobal(at));
  });
}

void THistoryRecords::SetRecordCell(int row, const TCallRecord& call) {
  auto* item = new QTableWidgetItem;
  if (IsRecordPath(call.record) && FileExists(workFolder_ + call.record)) {
    item->setText(QStringLiteral("▶"));
    item->setTextAlignment(Qt::AlignCenter);
    item->setToolTip(QStringLiteral("Прослушать запись (двойной щелчок или Enter): ") + FromCp1251(call.record));
    item->setData(kPathRole, QString::fromStdString(workFolder_ + call.record));
  } else if (IsRecordPath(call.record)) {
    item->setText(QStringLiteral("нет файла"));
    item->setToolTip(QStringLiteral("Файла записи нет: ") + FromCp1251(call.record));
  } else {
    item->setText(FromCp1251(call.record));
    item->setToolTip(item->text());
  }
  grid_->setItem(row, kColumn, item);
}

bool THistoryRecords::PlaySelected() {
  const int row = grid_->currentRow();
  const QTableWidgetItem* mark = grid_->item(row, kColumn);
  const QString path = mark ? mark->data(kPathRole).toString() : QString();
  if (path.isEmpty()) return false;
  const QTableWidgetItem* who = grid_->item(row, kWhoColumn);
  const QTableWidgetItem* when = grid_->item(row, kWhenColumn);
  player_->PlayRecord(path, (when ? when->toolTip() + QStringLiteral("  ") : QString()) + (who ? who->text() : QString()));
  return true;
}

void THistoryRecords::StopPlaying() { player_->Stop(); }

QLabel* NewRecordingMark(QWidget* parent) {
  auto* mark = new QLabel(QStringLiteral("●"), parent);
  mark->setObjectName(QStringLiteral("LabelRecording"));
  mark->setToolTip(QStringLiteral("Разговор записывается"));
  mark->setStyleSheet(QStringLiteral("QLabel { color: #E00000; font-size: 18px; }"));
  mark->hide();
  return mark;
}

}  // namespace vertamo::ui
