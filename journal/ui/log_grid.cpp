#include "journal/ui/log_grid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>

#include "uikit/fill_shaded.h"
#include "uikit/win_color.h"

namespace vertamo::ui {

// ---------------------------------------------------------------- TLogModel

QString TLogModel::HeaderText(int column) {
  switch (column) {
    case 0:
      return QStringLiteral(" Дата");
    case 1:
      return QStringLiteral(" Время");
    case 2:
      return QStringLiteral(" Объект");
    case 3:
      return QStringLiteral(" Расположение");
    case 4:
      return QStringLiteral(" Событие");
    case 5:
      return QStringLiteral(" Примечание");
    default:
      return {};
  }
}

QVariant TLogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= kRows || index.column() >= kColumns) return {};
  if (role == Qt::DisplayRole) return Row(index.row()).texts[static_cast<size_t>(index.column())];
  return {};
}

QVariant TLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return HeaderText(section);
  return {};
}

Qt::ItemFlags TLogModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || IsEmptyRow(index.row())) return Qt::ItemIsEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool TLogModel::IsEmptyRow(int index) const {
  const TLogRow& r = Row(index);
  if (r.color != 0 || r.fontColor != 0 || r.object != 0 || r.earlier) return false;
  for (const QString& text : r.texts)
    if (!text.isEmpty()) return false;
  return true;
}

void TLogModel::Push(TLogRow row) {
  head_ = (head_ + kRows - 1) % kRows;
  rows_[static_cast<size_t>(head_)] = std::move(row);
  emit dataChanged(index(0, 0), index(kRows - 1, kColumns - 1));
}

void TLogModel::Clear() {
  for (TLogRow& row : rows_) row = TLogRow{};
  head_ = 0;
  emit dataChanged(index(0, 0), index(kRows - 1, kColumns - 1));
}

// ---------------------------------------------------------------- painting

void PaintLogCell(QPainter& painter, const QRect& rect, int column, const QString& text,
                  const QColor& background, const QColor& foreground, bool shaded) {
  if (shaded)
    FillShaded(painter, rect, background);
  else
    painter.fillRect(rect, background);
  DrawCellText(painter, rect, text, foreground, column == 0 || column == 1);
}

TLogDelegate::TLogDelegate(TLogGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

void TLogDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  QColor background;
  QColor foreground;
  if (grid_->UseColor()) {
    grid_->CellColors(index.row(), selected, background, foreground);
  } else if (selected) {
    background = option.palette.color(QPalette::Highlight);
    foreground = option.palette.color(QPalette::HighlightedText);
  } else {
    background = WinColorToQColor(TLogGrid::kCellColor);
    foreground = grid_->Model().Row(index.row()).earlier ? WinColorToQColor(TLogGrid::kEarlierFontColor)
                                                         : option.palette.color(QPalette::Text);
  }
  painter->setFont(option.font);
  PaintLogCell(*painter, option.rect, index.column(), index.data().toString(), background, foreground,
               grid_->UseColor());
}

TLogHeader::TLogHeader(TLogGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid) {
  setSectionsClickable(false);
  setHighlightSections(false);
  setMinimumSectionSize(8);
}

QSize TLogHeader::sizeHint() const {
  QSize s = QHeaderView::sizeHint();
  s.setHeight(TLogGrid::kRowHeight);
  return s;
}

void TLogHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  QColor background;
  QColor foreground;
  if (grid_->UseColor())
    grid_->CellColors(-1, false, background, foreground);
  else {
    background = WinColorToQColor(TLogGrid::kHeaderColor);
    foreground = Qt::black;
  }
  // The grid lines of the header row: one pixel right and below each cell.
  const QRect cell = rect.adjusted(0, 0, -1, -1);
  painter->setFont(font());
  PaintLogCell(*painter, cell, logicalIndex, TLogModel::HeaderText(logicalIndex), background, foreground,
               grid_->UseColor());
  painter->setPen(palette().color(QPalette::Mid));
  painter->drawLine(rect.topRight(), rect.bottomRight());
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
}

// ---------------------------------------------------------------- TLogGrid

namespace {

// Grid lines that stay visible on silver cells and on the lighter shades.
class TLogGridStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_Table_GridLineColor) return static_cast<int>(qRgb(0x90, 0x90, 0x90));
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

TLogGrid::TLogGrid(QWidget* parent) : QTableView(parent), delegate_(this) {
  setObjectName(QStringLiteral("StringGrid1"));
  auto* style = new TLogGridStyle;
  style->setParent(this);
  setStyle(style);
  setModel(&model_);
  setItemDelegate(&delegate_);
  setHorizontalHeader(new TLogHeader(this));
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setFixedHeight(kRowHeight);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  static constexpr std::array<int, TLogModel::kColumns> kDesignWidths{90, 79, 112, 109, 113, 141};
  for (int c = 0; c < TLogModel::kColumns; ++c) setColumnWidth(c, kDesignWidths[static_cast<size_t>(c)]);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            if (!selecting_ && current.isValid()) emit RowSelected(current.row());
          });
  SelectRow(0);
}

void TLogGrid::SetUseColor(bool on) {
  useColor_ = on;
  viewport()->update();
  horizontalHeader()->viewport()->update();
}

void TLogGrid::SelectRow(int row) {
  if (row < 0 || row >= TLogModel::kRows) return;
  selecting_ = true;
  const QModelIndex index = model_.index(row, std::max(currentIndex().column(), 0));
  if (model_.IsEmptyRow(row)) {
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
  } else {
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  selecting_ = false;
}

int TLogGrid::CurrentRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

int TLogGrid::SelectedRow() const {
  const int row = CurrentRow();
  return row >= 0 && selectionModel()->isRowSelected(row, {}) ? row : -1;
}

bool TLogGrid::PushEntry(TLogRow row) {
  const int selected = SelectedRow();
  model_.Push(std::move(row));
  // Older entries that the dispatcher scrolled to stay where they are.
  if (QScrollBar* bar = verticalScrollBar(); bar->value() > 0)
    bar->setValue(bar->value() + (verticalScrollMode() == ScrollPerItem ? 1 : kRowHeight));
  if (selected < 0) return false;
  if (selected + 1 < TLogModel::kRows) {
    const bool autoScrolls = hasAutoScroll();
    setAutoScroll(false);  // the view stays where the dispatcher has it
    SelectRow(selected + 1);
    setAutoScroll(autoScrolls);
    return false;
  }
  selectionModel()->clearSelection();
  return true;
}

void TLogGrid::ClearEntries() {
  model_.Clear();
  selectionModel()->clearSelection();
  SelectRow(0);
}

void TLogGrid::CellColors(int row, bool selected, QColor& background, QColor& foreground) const {
  if (row < 0) {
    background = WinColorToQColor(0xFFFFFF);
    foreground = WinColorToQColor(0x000000);
    return;
  }
  if (selected) {
    background = WinColorToQColor(kSelectedColor);
    foreground = WinColorToQColor(kSelectedFontColor);
    return;
  }
  const TLogRow& r = model_.Row(row);
  if (r.earlier) {
    background = WinColorToQColor(kEarlierColor);
    foreground = WinColorToQColor(kEarlierFontColor);
    return;
  }
  // Both colours 0 is an empty row (or an entry without colours): black on
  // white. A black background with a coloured text stays black, so a white
  // text on black is never lost on a white shade.
  background = WinColorToQColor(r.color == 0 && r.fontColor == 0 ? 0xFFFFFF : r.color);
  foreground = WinColorToQColor(r.fontColor);
}

void TLogGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
    emit MenuRequested(event->globalPosition().toPoint());
    event->accept();
    return;
  }
  const int before = CurrentRow();
  QTableView::mousePressEvent(event);
  // A click on the row that is already selected is a choice all the same.
  const QModelIndex hit = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && hit.isValid() && hit.row() == before && CurrentRow() == before)
    emit RowSelected(before);
}

}  // namespace vertamo::ui
