// TFormView: the report window ("FormView") of a counter's report: a
// numbered table of up to three text columns, its export to a text or CSV
// file, printing, its font, and pointing at a listed object on the map.
//
// The window knows nothing of the main window: what it needs from it comes
// in as callbacks (TReportMapLink), its settings as the main settings file.
// Only one report window exists at a time: OpenCounterReport closes the open
// one before it makes the next.
//
// Settings in section "FormView": the window bounds, the grid font (default
// size 10), "ShowOnMap", and the column widths of each kind of report, under
// the name of its counter: "LiftB_col1" ... "LiftB_col4", "OhrAlr_col1" ...,
// "PuErr_col1" ... (a report of no kind: "StringGrid1_col1" ...).
#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHeaderView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

#include "journal/print_layout.h"
#include "journal/report.h"
#include "journal/ui/export_dialogs.h"
#include "settings/fast_ini.h"
#include "uikit/font_settings.h"

class QAction;
class QMenu;
class QPushButton;

namespace vertamo::ui {

// What the report window asks of the map.
struct TReportMapLink {
  // Show that object (its position in the object list, 0 or more) on its map
  // with the marker.
  std::function<void(int object)> showObject;
  // Hide the map marker.
  std::function<void()> hideMarker;
};

// The report table as the grid shows it: the table's row 0 is the grid's
// header, table row r + 1 is grid row r.
class TReportModel : public QAbstractTableModel {
 public:
  explicit TReportModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Only rows that hold a report line can be selected.
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  const TReportTable& Table() const { return table_; }
  // Back to the empty table a new report starts with.
  void Reset();
  void SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3);
  void AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3, int object);

 private:
  TReportTable table_;
};

class TReportGrid;

class TReportDelegate : public QStyledItemDelegate {
 public:
  explicit TReportDelegate(TReportGrid* grid);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TReportHeader : public QHeaderView {
 public:
  explicit TReportHeader(TReportGrid* grid);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

// The grid ("StringGrid1"): column 0 holds the row numbers, the header row
// the column titles. Colours are those of the report: row 0 and column 0
// white, column 1 light yellow, column 2 light green, column 3 light cyan,
// the selected row blue with white text, every cell shaded.
class TReportGrid : public QTableView {
  Q_OBJECT
 public:
  explicit TReportGrid(QWidget* parent = nullptr);

  TReportModel& Model() { return model_; }
  const TReportModel& Model() const { return model_; }

  // Background and text colour of a cell; table row 0 is the header.
  static void CellColors(int tableRow, int column, bool selected, QColor& background, QColor& foreground);
  // Paints one cell: shaded background, text centred vertically, columns 0
  // and 3 centred, columns 1 and 2 four pixels in.
  static void PaintCell(QPainter& painter, const QRect& rect, int column, const QString& text,
                        const QColor& background, const QColor& foreground);

  // An empty table for a new answer, row 1 current.
  void Restart();
  // Row 1, the current row from the start, shows as selected once it holds
  // a report line, unless the dispatcher has chosen a row already.
  void SelectFirstLine();

  // The height of every row, the header included.
  void SetRowHeight(int height);
  int RowHeight() const { return rowHeight_; }

 signals:
  // The selected row changed to table row `tableRow` (1 ... n).
  void RowClicked(int tableRow);

 private:
  TReportModel model_;
  TReportDelegate delegate_;
  int rowHeight_ = 20;
};

class TFormView : public QWidget, public IReportSink {
  Q_OBJECT
 public:
  static constexpr int kMinWidth = 300;

  // `ini` (may be null: nothing is read or stored) outlives the window. The
  // window deletes itself when closed. `kind`: the component name of the
  // counter whose report it shows, under which its column widths are kept.
  TFormView(TFastIni* ini, TReportMapLink link, QWidget* owner = nullptr, std::string_view kind = {});
  ~TFormView() override;

  // The server's reply, line by line.
  void SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3) override;
  void AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3, int object) override;
  const TReportTable& Table() const { return StringGrid1->Model().Table(); }
  // The counter whose report this is ("LiftB", ...).
  const std::string& Kind() const { return kind_; }

  // Where the report comes from, for the printed heading (the server's name
  // and address).
  void SetSource(const QString& server) { source_ = server; }
  // How the report is asked for again; Refresh asks, and the answer replaces
  // the table when it arrives (the window stays where it is).
  void SetRefresh(std::function<void()> ask) { refresh_ = std::move(ask); }
  void Refresh();
  // The table emptied for the server's answer, which is made now.
  void Refill();
  // "Сервер: <source>. Составлен: dd.MM.yyyy hh:mm:ss".
  QString Heading() const;

  // Context-menu actions.
  // Export (pmText / pmExcel): the save dialog, the file, the question; the
  // window closes once the file is written and the question answered.
  void Export(TExportFormat format);
  void FontUp();
  void FontDown();
  void ChooseFont();
  void Print();

  // Row-height rule: every row |font height in pixels| + 8.
  void ApplyRowHeight();
  // Resize rule: at least 300 wide; columns 1, 2, 3 share the width left
  // after column 0 in 50 %, 30 %, 20 %.
  void ApplyResizeRule();

  const TUiFont& GridFont() const { return font_; }
  // The grid as the printer gets it.
  TPrintGrid PrintData() const;

  // The dialogs of the window; tests replace them.
  struct TDialogs : TExportDialogs {
    // The font dialog, started with `font`; `closed` gets whether the user
    // chose and the font (`font` itself when not).
    std::function<void(const QFont& font, std::function<void(bool chosen, const QFont& font)> closed)> chooseFont;
    // Printing of the grid; `done` once the dialog is answered.
    std::function<void(TFormView& view, std::function<void()> done)> print;
  } Dialogs;

  // Controls, under their component names.
  TReportGrid* StringGrid1 = nullptr;
  QWidget* Panel1 = nullptr;
  QPushButton* BitBtnClose = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* pmText = nullptr;
  QAction* pmExcel = nullptr;
  QAction* pmFontUp = nullptr;
  QAction* mFontDown = nullptr;
  QAction* pmFont = nullptr;
  QAction* pmPrint = nullptr;
  QAction* pmShowOnMap = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void StringGrid1RowClicked(int tableRow);
  void ReadColumnWidths();
  void WriteColumnWidths();
  void SetFontSize(int points);
  void ApplyGridFont();
  // The font dialog and printing run with stay-on-top off; the window stays
  // on top afterwards.
  void SetStayOnTop(bool on);

  TFastIni* ini_;
  std::string kind_;
  QString source_;
  QDateTime made_ = QDateTime::currentDateTime();
  std::function<void()> refresh_;
  TReportMapLink link_;
  TUiFont font_;
  int ruleWidth_ = -1;      // the width the column rule was last applied at
  bool restoring_ = false;  // created at stored bounds, not yet resized by the dispatcher
};

// What a double-click on a counter does: closes the open report window,
// makes a new one for the counter named `counterName` ("LiftB", "OhrAlr",
// "PuErr"), captions and shows it, asks the server through `request` and
// fills the window when the reply arrives (an empty window stays when nothing
// came; a reply that finds the window gone is dropped).
// `formView` is the one report window of the program. Nothing happens for
// any other name (nullptr). `source` names the server for the printed heading.
TFormView* OpenCounterReport(QPointer<TFormView>& formView, std::string_view counterName, QWidget* owner,
                             TFastIni* ini, const TListRequest& request, const TReportMapLink& link,
                             const QString& source = {});

}  // namespace vertamo::ui
