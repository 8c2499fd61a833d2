#include "journal/ui/journal_day_view.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/fast_ini.h"
#include "uikit/qt_text.h"
#include "uikit/widget_bounds.h"

namespace vertamo::ui {
namespace {

// The time the workstation wrote the line, then the six texts of the server.
const QStringList& Headers() {
  static const QStringList headers = {QStringLiteral(" Получено"), QStringLiteral(" Дата"),
                                      QStringLiteral(" Время"),    QStringLiteral(" Объект"),
                                      QStringLiteral(" Расположение"), QStringLiteral(" Событие"),
                                      QStringLiteral(" Примечание")};
  return headers;
}

QString DayCaption(const std::string& day) {
  const QDate date = QDate::fromString(QString::fromStdString(day), Qt::ISODate);
  return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : QString::fromStdString(day);
}

}  // namespace

TJournalDayView::TJournalDayView(const TJournalFile& files, TFastIni* ini, QWidget* owner)
    : QWidget(owner, Qt::Window), files_(files), ini_(ini) {
  setObjectName(QString::fromLatin1(kSection));
  setAttribute(Qt::WA_DeleteOnClose);
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(13);
  setFont(f);

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  auto* dayLabel = new QLabel(QStringLiteral("День:"), this);
  ComboBoxDay = new QComboBox(this);
  ComboBoxDay->setObjectName(QStringLiteral("ComboBoxDay"));
  ComboBoxDay->setMinimumContentsLength(10);
  dayLabel->setBuddy(ComboBoxDay);
  auto* searchLabel = new QLabel(QStringLiteral("Поиск:"), this);
  EditSearch = new QLineEdit(this);
  EditSearch->setObjectName(QStringLiteral("EditSearch"));
  EditSearch->setPlaceholderText(QStringLiteral("текст в любом столбце"));
  EditSearch->setClearButtonEnabled(true);
  searchLabel->setBuddy(EditSearch);
  ButtonReload = new QPushButton(QStringLiteral("Обновить"), this);
  ButtonReload->setObjectName(QStringLiteral("ButtonReload"));
  LabelCount = new QLabel(this);
  LabelCount->setObjectName(QStringLiteral("LabelCount"));
  bar->addWidget(dayLabel);
  bar->addWidget(ComboBoxDay);
  bar->addSpacing(12);
  bar->addWidget(searchLabel);
  bar->addWidget(EditSearch, 1);
  bar->addWidget(ButtonReload);
  bar->addSpacing(12);
  bar->addWidget(LabelCount);

  model_ = NewDayModel();
  filter_ = new QSortFilterProxyModel(this);
  filter_->setSourceModel(model_);
  filter_->setFilterKeyColumn(-1);
  filter_->setFilterCaseSensitivity(Qt::CaseInsensitive);
  StringGrid1 = new QTableView(this);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setModel(filter_);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setAlternatingRowColors(true);
  StringGrid1->setWordWrap(false);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setDefaultSectionSize(StringGrid1->fontMetrics().height() + 6);
  StringGrid1->horizontalHeader()->setStretchLastSection(true);
  StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(StringGrid1, 1);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  QAction* pmText = PopupMenu1->addAction(QStringLiteral("&Экспорт в текстовый файл"));
  pmText->setObjectName(QStringLiteral("pmText"));
  QAction* pmExcel = PopupMenu1->addAction(QStringLiteral("Экспорт в \"Open Office\" и \"Microsoft &Excel\""));
  pmExcel->setObjectName(QStringLiteral("pmExcel"));
  // The report window's keys: Alt+T, Alt+E; Escape closes; F5 reads again.
  pmText->setShortcut(QKeySequence(Qt::ALT | Qt::Key_T));
  pmExcel->setShortcut(QKeySequence(Qt::ALT | Qt::Key_E));
  auto* escape = new QAction(this);
  escape->setShortcut(QKeySequence(Qt::Key_Escape));
  auto* reload = new QAction(this);
  reload->setShortcut(QKeySequence(Qt::Key_F5));
  addActions({pmText, pmExcel, escape, reload});
  connect(pmText, &QAction::triggered, this, [this] { Export(TExportFormat::Text); });
  connect(pmExcel, &QAction::triggered, this, [this] { Export(TExportFormat::Csv); });
  connect(escape, &QAction::triggered, this, &QWidget::close);
  connect(reload, &QAction::triggered, this, &TJournalDayView::Reload);
  connect(ButtonReload, &QPushButton::clicked, this, &TJournalDayView::Reload);
  connect(StringGrid1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos)); });
  connect(EditSearch, &QLineEdit::textChanged, this, &TJournalDayView::Search);
  connect(ComboBoxDay, &QComboBox::activated, this,
          [this](int index) { ShowDay(ComboBoxDay->itemData(index).toString().toStdString()); });

  UseDesktopExportDialogs(Dialogs, this, QStringLiteral("Экспорт журнала"));

  resize(1000, 600);
  if (ini_) {
    TWidgetBounds bounds(this);
    ini_->ReadFormBounds(&bounds);
  }
  ShowDay(files_.TodayName());
}

QStandardItemModel* TJournalDayView::NewDayModel() {
  auto* model = new QStandardItemModel(0, static_cast<int>(Headers().size()), this);
  model->setHorizontalHeaderLabels(Headers());
  return model;
}

void TJournalDayView::FillDays() {
  std::vector<std::string> days = files_.Days();
  if (std::find(days.begin(), days.end(), day_) == days.end()) days.push_back(day_);
  std::sort(days.rbegin(), days.rend());  // the newest first
  ComboBoxDay->clear();
  for (const std::string& day : days) ComboBoxDay->addItem(DayCaption(day), QString::fromStdString(day));
  ComboBoxDay->setCurrentIndex(ComboBoxDay->findData(QString::fromStdString(day_)));
}

void TJournalDayView::ShowDay(const std::string& day) {
  day_ = day;
  setWindowTitle(QStringLiteral("Журнал за ") + DayCaption(day));
  FillDays();
  const std::vector<TJournalRecord> records = ReadJournalDay(files_.DayPath(day));
  // The day is filled in a model of its own and only then handed to the
  // search: filled in place, the search would look at the whole table again
  // for every cell, which holds the workstation for seconds on a busy day.
  auto* filled = NewDayModel();
  filled->setRowCount(static_cast<int>(records.size()));
  // The newest on top, as in the journal window.
  for (size_t i = 0; i < records.size(); ++i) {
    const TJournalRecord& r = records[records.size() - 1 - i];
    const int row = static_cast<int>(i);
    filled->setItem(row, 0, new QStandardItem(QString::fromStdString(r.arrived)));
    for (size_t t = 0; t < r.texts.size(); ++t)
      filled->setItem(row, static_cast<int>(t) + 1, new QStandardItem(FromCp1251(r.texts[t])));
  }
  filter_->setSourceModel(filled);
  delete model_;
  model_ = filled;
  StringGrid1->resizeColumnsToContents();
  for (int c = 0; c < model_->columnCount(); ++c)
    StringGrid1->setColumnWidth(c, std::min(StringGrid1->columnWidth(c), 320));
  UpdateCount();
}

void TJournalDayView::Reload() { ShowDay(day_); }

void TJournalDayView::Search(const QString& text) {
  if (EditSearch->text() != text) EditSearch->setText(text);  // comes back here
  filter_->setFilterFixedString(text);
  UpdateCount();
}

void TJournalDayView::UpdateCount() {
  const int shown = filter_->rowCount();
  const int all = model_->rowCount();
  LabelCount->setText(shown == all ? QStringLiteral("Событий: %1").arg(all)
                                   : QStringLiteral("Событий: %1 из %2").arg(shown).arg(all));
}

TExportRows TJournalDayView::ShownRows() const {
  TExportRows rows;
  rows.emplace_back();
  for (const QString& header : Headers()) rows.back().push_back(ToCp1251(header));
  for (int row = 0; row < filter_->rowCount(); ++row) {
    rows.emplace_back();
    for (int col = 0; col < filter_->columnCount(); ++col)
      rows.back().push_back(ToCp1251(filter_->index(row, col).data().toString()));
  }
  return rows;
}

void TJournalDayView::Export(TExportFormat format) {
  ExportThroughDialogs(Dialogs, format,
                       [this, format](const std::string& path) { return ExportRowsFile(ShownRows(), format, path); });
}

void TJournalDayView::closeEvent(QCloseEvent* event) {
  if (ini_) {
    const TWidgetBounds bounds(this);
    ini_->WriteFormBounds(&bounds);
  }
  QWidget::closeEvent(event);
}

}  // namespace vertamo::ui
