// The table of the operational journal: 100 entry rows under one header row,
// newest on top, each drawn in the colours the server gave it.
#pragma once

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <array>

namespace vertamo::ui {

// One row of the journal. An empty row has all three numbers 0 and no texts.
struct TLogRow {
  int color = 0;      // background, 0x00BBGGRR
  int fontColor = 0;  // text, 0x00BBGGRR
  int object = 0;     // position of the entry's object in the object list
  std::array<QString, 6> texts;
  // An event of the day read back from the journal's file (before this start
  // or this connection): drawn pale, without the server's colours, and not
  // tied to an object of the maps.
  bool earlier = false;
};

// The rows: index 0 is the newest entry (the first row under the header).
class TLogModel : public QAbstractTableModel {
 public:
  static constexpr int kRows = 100;
  static constexpr int kColumns = 6;

  explicit TLogModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kRows; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Only rows that hold an entry can be selected.
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Every row moves one down and `row` becomes row 0; the last row is lost.
  void Push(TLogRow row);
  // Empties every row.
  void Clear();
  const TLogRow& Row(int index) const { return rows_[static_cast<size_t>((head_ + index) % kRows)]; }
  // A row that holds no entry (all three numbers 0, no texts).
  bool IsEmptyRow(int index) const;

  static QString HeaderText(int column);

 private:
  std::array<TLogRow, kRows> rows_;
  int head_ = 0;  // ring buffer: rows_[head_] is row 0
};

// Draws a cell the way the journal does; shared by the cells and the header.
// Shaded: FillShaded in `background`; otherwise a flat fill. Columns 0 and 1
// are centred, the others start 4 pixels in; the text is centred vertically.
void PaintLogCell(QPainter& painter, const QRect& rect, int column, const QString& text,
                  const QColor& background, const QColor& foreground, bool shaded);

class TLogGrid;

class TLogDelegate : public QStyledItemDelegate {
 public:
  explicit TLogDelegate(TLogGrid* grid);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  TLogGrid* grid_;
};

class TLogHeader : public QHeaderView {
 public:
  explicit TLogHeader(TLogGrid* grid);
  QSize sizeHint() const override;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  TLogGrid* grid_;
};

// The grid ("StringGrid1"). Row numbers here are entry rows, 0 = newest.
class TLogGrid : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 18;
  static constexpr int kCellColor = 0xC0C0C0;    // silver, the plain look
  static constexpr int kHeaderColor = 0xE2E2E2;  // the plain header
  // The selected row: white on a dark blue, readable over any shade.
  static constexpr int kSelectedColor = 0xA0561E;
  static constexpr int kSelectedFontColor = 0xFFFFFF;
  // Events read back from the day's file: pale grey on a paler grey.
  static constexpr int kEarlierColor = 0xF4F4F4;
  static constexpr int kEarlierFontColor = 0x808080;

  explicit TLogGrid(QWidget* parent = nullptr);

  TLogModel& Model() { return model_; }
  const TLogModel& Model() const { return model_; }

  // The server's colours (shaded) or the grid's plain colours.
  void SetUseColor(bool on);
  bool UseColor() const { return useColor_; }

  // Makes `row` the current row without reporting it as the dispatcher's
  // choice; it is selected when it holds an entry, otherwise nothing is.
  void SelectRow(int row);
  int CurrentRow() const;
  // The selected row; -1 when none is.
  int SelectedRow() const;

  // A new entry on top (row 0). A selected entry keeps its selection as it
  // moves one row down, and a grid scrolled down to older entries keeps
  // showing them; true when the selected entry dropped off the last row, which
  // leaves nothing selected.
  bool PushEntry(TLogRow row);
  // Every row emptied, nothing selected, row 0 current.
  void ClearEntries();

  // Colours of a cell as drawn with the server's colours; row -1 is the header.
  void CellColors(int row, bool selected, QColor& background, QColor& foreground) const;

 signals:
  // The dispatcher chose a row, with the mouse or the keys.
  void RowSelected(int row);
  // Right or middle mouse button, at this screen point.
  void MenuRequested(const QPoint& globalPos);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  TLogModel model_;
  TLogDelegate delegate_;
  bool useColor_ = true;
  bool selecting_ = false;  // a SelectRow in progress
};

}  // namespace vertamo::ui
