#include "journal/ui/form_view.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cstdlib>

#include "journal/ui/form_print.h"
#include "uikit/fill_shaded.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"
#include "uikit/win_color.h"
#include "uikit/window_modal.h"

namespace vertamo::ui {
namespace {

constexpr const char* kSection = "FormView";
constexpr int kDefaultFontSize = 10;
constexpr int kColumn0Width = 64;  // the grid's design width of the number column

// Colours of the report, 0x00BBGGRR.
constexpr int kSelectedColor = 0xA0561E;  // white on a dark blue, as in the journal
constexpr int kColumnColors[4] = {0xFFFFFF, 0xBDFFFF, 0xD9FFD9, 0xFFFFE1};

// A report's columns under the name of its kind, so that each of the three
// reports keeps its own widths.
class TReportColumns : public TTableColumns {
 public:
  TReportColumns(QTableView* table, const std::string& kind) : TTableColumns(table), kind_(kind) {}
  std::string name() const override { return kind_.empty() ? TTableColumns::name() : kind_; }

 private:
  std::string kind_;
};

}  // namespace

// ---------------------------------------------------------------- TReportModel

int TReportModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : table_.RowCount() - 1;
}

int TReportModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : table_.ColCount();
}

QVariant TReportModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  return FromCp1251(table_.Cell(index.row() + 1, index.column()));
}

QVariant TReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return FromCp1251(table_.Cell(0, section));
}

Qt::ItemFlags TReportModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || table_.Cell(index.row() + 1, 0).empty()) return Qt::ItemIsEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TReportModel::Reset() {
  beginResetModel();
  table_ = TReportTable();
  endResetModel();
}

void TReportModel::SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3) {
  table_.SetReportHeader(t1, t2, t3);
  emit headerDataChanged(Qt::Horizontal, 0, table_.ColCount() - 1);
}

void TReportModel::AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3,
                                int object) {
  if (table_.Cell(1, 0).empty()) {
    table_.AddReportRow(t1, t2, t3, object);
    emit dataChanged(index(0, 0), index(0, table_.ColCount() - 1));
    return;
  }
  const int row = table_.RowCount() - 1;  // the new grid row
  beginInsertRows({}, row, row);
  table_.AddReportRow(t1, t2, t3, object);
  endInsertRows();
}

// ---------------------------------------------------------------- painting

void TReportGrid::CellColors(int tableRow, int column, bool selected, QColor& background,
                             QColor& foreground) {
  // Row 0 and column 0 are the fixed cells: never drawn as selected.
  if (selected && tableRow > 0 && column > 0) {
    background = WinColorToQColor(kSelectedColor);
    foreground = Qt::white;
    return;
  }
  foreground = Qt::black;
  const int c = tableRow == 0 || column <= 0 || column > 3 ? 0 : column;
  background = WinColorToQColor(kColumnColors[c]);
}

void TReportGrid::PaintCell(QPainter& painter, const QRect& rect, int column, const QString& text,
                            const QColor& background, const QColor& foreground) {
  FillShaded(painter, rect, background);
  DrawCellText(painter, rect, text, foreground, column == 0 || column == 3);
}

TReportDelegate::TReportDelegate(TReportGrid* grid) : QStyledItemDelegate(grid) {}

void TReportDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QColor background;
  QColor foreground;
  TReportGrid::CellColors(index.row() + 1, index.column(), option.state & QStyle::State_Selected, background,
                          foreground);
  painter->setFont(option.font);
  TReportGrid::PaintCell(*painter, option.rect, index.column(), index.data().toString(), background,
                         foreground);
}

TReportHeader::TReportHeader(TReportGrid* grid) : QHeaderView(Qt::Horizontal, grid) {
  setSectionsClickable(false);
  setHighlightSections(false);
  setMinimumSectionSize(8);
}

void TReportHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  QColor background;
  QColor foreground;
  TReportGrid::CellColors(0, logicalIndex, false, background, foreground);
  // The grid lines of the header row: one pixel right and below each cell.
  painter->setFont(font());
  TReportGrid::PaintCell(*painter, rect.adjusted(0, 0, -1, -1), logicalIndex,
                         model()->headerData(logicalIndex, Qt::Horizontal).toString(), background,
                         foreground);
  painter->setPen(palette().color(QPalette::Mid));
  painter->drawLine(rect.topRight(), rect.bottomRight());
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
}

// ---------------------------------------------------------------- TReportGrid

TReportGrid::TReportGrid(QWidget* parent) : QTableView(parent), delegate_(this) {
  setObjectName(QStringLiteral("StringGrid1"));
  setModel(&model_);
  setItemDelegate(&delegate_);
  setHorizontalHeader(new TReportHeader(this));
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setStretchLastSection(false);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setColumnWidth(0, kColumn0Width);
  SetRowHeight(20);
  // Row 1 is the current row from the start, as the grid always has one; only
  // a change of it is the dispatcher's click. It shows as selected once it
  // holds a report line (SelectFirstLine), never while it is empty.
  selectionModel()->setCurrentIndex(model_.index(0, 0),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            if (current.isValid()) emit RowClicked(current.row() + 1);
          });
}

void TReportGrid::Restart() {
  // No row of the new table was clicked: the first is current, as at creation.
  const QSignalBlocker blocker(selectionModel());
  model_.Reset();
  selectionModel()->setCurrentIndex(model_.index(0, 0),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TReportGrid::SelectFirstLine() {
  const QModelIndex first = model_.index(0, 0);
  if (currentIndex() == first && !selectionModel()->hasSelection())
    selectionModel()->select(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TReportGrid::SetRowHeight(int height) {
  rowHeight_ = std::max(height, 1);
  verticalHeader()->setDefaultSectionSize(rowHeight_);
  horizontalHeader()->setFixedHeight(rowHeight_);
  viewport()->update();
}

// ---------------------------------------------------------------- TFormView

TFormView::TFormView(TFastIni* ini, TReportMapLink link, QWidget* owner, std::string_view kind)
    : QWidget(owner, Qt::Window), ini_(ini), kind_(kind), link_(std::move(link)) {
  setObjectName(QStringLiteral("FormView"));
  setAttribute(Qt::WA_DeleteOnClose);
  // A window of its own (its own taskbar button) with only the system menu.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  QFont windowFont(QStringLiteral("Tahoma"));
  windowFont.setPixelSize(13);
  setFont(windowFont);
  setGeometry(219, 94, 620, 529);

  StringGrid1 = new TReportGrid(this);
  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(70);
  BitBtnClose = new QPushButton(QStringLiteral("       &Закрыть"), Panel1);
  BitBtnClose->setObjectName(QStringLiteral("BitBtnClose"));
  BitBtnClose->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  BitBtnClose->setFixedSize(169, 49);
  auto* panelLayout = new QHBoxLayout(Panel1);
  panelLayout->addStretch(1);
  panelLayout->addWidget(BitBtnClose);
  panelLayout->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(StringGrid1, 1);
  layout->addWidget(Panel1);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  auto add = [this](const char* name, const QString& caption, QKeySequence key = {}) {
    QAction* action = PopupMenu1->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) {
      action->setShortcut(key);
      action->setShortcutContext(Qt::WindowShortcut);
      addAction(action);  // window-wide keys
    }
    return action;
  };
  pmText = add("pmText", QStringLiteral("&Экспорт в текстовый файл"), QKeySequence(Qt::ALT | Qt::Key_T));
  pmExcel = add("pmExcel", QStringLiteral("Экспорт в \"Open Office\" и \"Microsoft &Excel\""),
                QKeySequence(Qt::ALT | Qt::Key_E));
  PopupMenu1->addSeparator();
  pmFontUp = add("pmFontUp", QStringLiteral("Увеличить шрифт"));
  mFontDown = add("mFontDown", QStringLiteral("Уменьшить шрифт"));
  PopupMenu1->addSeparator();
  pmFont = add("pmFont", QStringLiteral("Шрифт"));
  PopupMenu1->addSeparator();
  pmPrint = add("pmPrint", QStringLiteral("Печать"), QKeySequence(Qt::ALT | Qt::Key_P));
  PopupMenu1->addSeparator();
  pmShowOnMap = add("pmShowOnMap", QStringLiteral("Показывать на карте"));
  pmShowOnMap->setCheckable(true);
  auto* escape = new QAction(this);
  escape->setObjectName(QStringLiteral("CloseKey"));
  escape->setShortcut(QKeySequence(Qt::Key_Escape));
  escape->setShortcutContext(Qt::WindowShortcut);
  addAction(escape);

  connect(pmText, &QAction::triggered, this, [this] { Export(TExportFormat::Text); });
  connect(pmExcel, &QAction::triggered, this, [this] { Export(TExportFormat::Csv); });
  connect(pmFontUp, &QAction::triggered, this, &TFormView::FontUp);
  connect(mFontDown, &QAction::triggered, this, &TFormView::FontDown);
  connect(pmFont, &QAction::triggered, this, &TFormView::ChooseFont);
  connect(pmPrint, &QAction::triggered, this, &TFormView::Print);
  connect(escape, &QAction::triggered, this, &QWidget::close);
  connect(BitBtnClose, &QPushButton::clicked, this, &QWidget::close);
  connect(StringGrid1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos)); });
  connect(StringGrid1, &TReportGrid::RowClicked, this, &TFormView::StringGrid1RowClicked);

  UseDesktopExportDialogs(Dialogs, this, QStringLiteral("Экспорт отчета"));
  Dialogs.chooseFont = [this](const QFont& font, std::function<void(bool, const QFont&)> closed) {
    AskFont(this, QString(), font, std::move(closed));
  };
  Dialogs.print = [](TFormView& view, std::function<void()> done) {
    PrintGrid(&view, view.windowTitle(), view.PrintData(), view.ini_, WorkstationPrinter(), {},
              [done = std::move(done)](const TPrintOutcome&) { done(); });
  };

  // Creation: bounds, font, "ShowOnMap", column widths; the row heights
  // follow once the window has settled.
  font_.font = QFont(QStringLiteral("Arial"), kDefaultFontSize);
  if (ini_) {
    TWidgetBounds bounds(this);
    restoring_ = ini_->ValueExists(kSection, "Left");
    ini_->ReadFormBounds(&bounds);
    LoadFont(*ini_, font_, kSection, kDefaultFontSize);
    pmShowOnMap->setChecked(ini_->ReadBool(kSection, "ShowOnMap", false));
  }
  ApplyGridFont();
  ApplyResizeRule();
  ReadColumnWidths();
  QMetaObject::invokeMethod(this, &TFormView::ApplyRowHeight, Qt::QueuedConnection);
}

TFormView::~TFormView() = default;

void TFormView::SetReportHeader(const std::string& t1, const std::string& t2, const std::string& t3) {
  StringGrid1->Model().SetReportHeader(t1, t2, t3);
}

void TFormView::AddReportRow(const std::string& t1, const std::string& t2, const std::string& t3,
                             int object) {
  StringGrid1->Model().AddReportRow(t1, t2, t3, object);
  StringGrid1->SelectFirstLine();
}

void TFormView::Export(TExportFormat format) {
  ExportThroughDialogs(
      Dialogs, format, [this, format](const std::string& path) { return ExportReportFile(Table(), format, path); },
      [this] { close(); });
}

void TFormView::SetFontSize(int points) {
  // Qt fonts have no size below 1 point.
  font_.font.setPointSize(std::max(points, 1));
  ApplyGridFont();
  ApplyRowHeight();
}

void TFormView::FontUp() {
  const int size = font_.font.pointSize() > 0 ? font_.font.pointSize() : QFontInfo(font_.font).pointSize();
  SetFontSize(size + 1);
}

void TFormView::FontDown() {
  const int size = font_.font.pointSize() > 0 ? font_.font.pointSize() : QFontInfo(font_.font).pointSize();
  SetFontSize(size - 1);
}

void TFormView::ChooseFont() {
  if (!Dialogs.chooseFont) return;
  SetStayOnTop(false);
  Dialogs.chooseFont(font_.font, [this](bool chosen, const QFont& font) {
    if (chosen) {
      font_.font = font;
      ApplyGridFont();
    }
    ApplyRowHeight();
    SetStayOnTop(true);
  });
}

void TFormView::Print() {
  if (!Dialogs.print) return;
  SetStayOnTop(false);
  Dialogs.print(*this, [this] { SetStayOnTop(true); });
}

void TFormView::ApplyGridFont() {
  StringGrid1->setFont(font_.font);
  StringGrid1->horizontalHeader()->setFont(font_.font);
}

void TFormView::ApplyRowHeight() {
  // The font's height in pixels on this screen, as the size in points gives it.
  int pixels = font_.font.pixelSize();
  if (pixels <= 0) pixels = qRound(font_.font.pointSizeF() * logicalDpiY() / 72.0);
  StringGrid1->SetRowHeight(std::abs(pixels) + 8);
}

void TFormView::ApplyResizeRule() {
  if (width() < kMinWidth) resize(kMinWidth, height());
  ruleWidth_ = width();
  const int rest = width() - StringGrid1->columnWidth(0);
  StringGrid1->setColumnWidth(1, rest * 50 / 100);
  StringGrid1->setColumnWidth(2, rest * 30 / 100);
  StringGrid1->setColumnWidth(3, rest * 20 / 100);
}

void TFormView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (width() == ruleWidth_) return;
  ApplyResizeRule();
  // A restored window settles at its stored size once its frame is known,
  // after it was created: that is no resize of the dispatcher's, and the
  // stored column widths stay. The first resize from the desktop ends this.
  if (restoring_ && !event->spontaneous())
    ReadColumnWidths();
  else
    restoring_ = false;
}

void TFormView::ReadColumnWidths() {
  if (ini_ == nullptr) return;
  TReportColumns columns(StringGrid1, kind_);
  ini_->ReadGridColWidths(&columns);
}

void TFormView::WriteColumnWidths() {
  if (ini_ == nullptr) return;
  TReportColumns columns(StringGrid1, kind_);
  ini_->WriteGridColWidths(&columns);
}

void TFormView::Refresh() {
  if (refresh_) refresh_();
}

void TFormView::Refill() {
  StringGrid1->Restart();
  made_ = QDateTime::currentDateTime();
}

QString TFormView::Heading() const {
  QString heading;
  if (!source_.isEmpty()) heading = QStringLiteral("Сервер: ") + source_ + QStringLiteral(". ");
  return heading + QStringLiteral("Составлен: ") + made_.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

TPrintGrid TFormView::PrintData() const {
  TPrintGrid grid;
  grid.heading = ToCp1251(Heading());
  const TReportTable& table = Table();
  for (int row = 0; row < table.RowCount(); ++row) {
    std::vector<std::string> cells;
    for (int col = 0; col < table.ColCount(); ++col) cells.push_back(table.Cell(row, col));
    grid.cells.push_back(std::move(cells));
  }
  for (int col = 0; col < table.ColCount(); ++col) grid.colWidths.push_back(StringGrid1->columnWidth(col));
  grid.referenceWidth = width();
  return grid;
}

void TFormView::StringGrid1RowClicked(int tableRow) {
  const TReportTable& table = Table();
  if (pmShowOnMap->isChecked() && tableRow >= 1 && tableRow < table.RowCount() &&
      !table.Cell(tableRow, 0).empty()) {
    const int object = table.Object(tableRow);
    if (object >= 0 && link_.showObject) link_.showObject(object);
    return;
  }
  if (link_.hideMarker) link_.hideMarker();
}

void TFormView::SetStayOnTop(bool on) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (shown) show();
}

void TFormView::closeEvent(QCloseEvent* event) {
  if (ini_) {
    TWidgetBounds bounds(this);
    ini_->WriteFormBounds(&bounds);
    SaveFont(*ini_, font_, kSection);
    ini_->WriteBool(kSection, "ShowOnMap", pmShowOnMap->isChecked());
    WriteColumnWidths();
  }
  event->accept();
}

// ---------------------------------------------------------------- the counters

TFormView* OpenCounterReport(QPointer<TFormView>& formView, std::string_view counterName, QWidget* owner,
                             TFastIni* ini, const TListRequest& request, const TReportMapLink& link,
                             const QString& source) {
  if (formView) {
    formView->close();
    delete formView.data();
  }
  const TReportCounter* counter = FindReportCounter(counterName);
  if (counter == nullptr) return nullptr;
  auto* view = new TFormView(ini, link, owner, counter->name);
  view->setWindowTitle(QString::fromUtf8(counter->caption));
  view->SetSource(source);
  view->show();
  formView = view;
  const QPointer<TFormView> target(view);
  // Each answer replaces the table: the first one, and each refresh's.
  view->SetRefresh([counter, request, target] {
    RequestReport(*counter, request, [target]() -> IReportSink* {
      if (!target) return nullptr;
      target->Refill();
      return target.data();
    });
  });
  view->Refresh();
  return view;
}

}  // namespace vertamo::ui
