#include "summary/ui/form_day_summary.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QGridLayout>
#include <QImage>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "settings/fast_ini.h"
#include "summary/day_summary.h"
#include "summary/ui/day_charts.h"
#include "uikit/widget_bounds.h"
#include "uikit/window_modal.h"

namespace vertamo::ui {
namespace {

// "2026-12-08" as a dispatcher reads it, "08.12.2026".
QString DayText(const std::string& day) {
  const QDate date = QDate::fromString(QString::fromStdString(day), QStringLiteral("yyyy-MM-dd"));
  return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : QString::fromStdString(day);
}

QChartView* ViewOf(QChart* chart) {
  auto* view = new QChartView(chart);
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(360, 240);
  return view;
}

}  // namespace

TFormDaySummary::TFormDaySummary(const TJournalFile& files, std::string workFolder, QString serverName, TFastIni* ini,
                                 QWidget* owner)
    : QWidget(owner, Qt::Window),
      files_(files),
      workFolder_(std::move(workFolder)),
      serverName_(std::move(serverName)),
      ini_(ini) {
  setObjectName(QString::fromLatin1(kSection));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Сводка за день"));
  resize(1100, 760);

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(QStringLiteral("День:"), this));
  ComboBoxDay = new QComboBox(this);
  ComboBoxDay->setObjectName(QStringLiteral("ComboBoxDay"));
  bar->addWidget(ComboBoxDay);
  bar->addStretch(1);
  ButtonPrint = new QPushButton(QStringLiteral("Печать"), this);
  ButtonPdf = new QPushButton(QStringLiteral("Экспорт в PDF"), this);
  ButtonPng = new QPushButton(QStringLiteral("Экспорт в PNG"), this);
  for (QPushButton* b : {ButtonPrint, ButtonPdf, ButtonPng}) bar->addWidget(b);
  layout->addLayout(bar);

  Sheet = new QWidget(this);
  Sheet->setObjectName(QStringLiteral("Sheet"));
  Sheet->setAutoFillBackground(true);
  auto* sheet = new QVBoxLayout(Sheet);
  LabelHeading = new QLabel(Sheet);
  QFont bold = LabelHeading->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  LabelHeading->setFont(bold);
  LabelTotals = new QLabel(Sheet);
  LabelTotals->setWordWrap(true);
  sheet->addWidget(LabelHeading);
  sheet->addWidget(LabelTotals);
  chartsArea_ = new QWidget(Sheet);
  charts_ = new QGridLayout(chartsArea_);
  charts_->setContentsMargins(0, 0, 0, 0);
  sheet->addWidget(chartsArea_, 1);
  layout->addWidget(Sheet, 1);

  connect(ComboBoxDay, &QComboBox::activated, this,
          [this](int index) { ShowDay(ComboBoxDay->itemData(index).toString().toStdString()); });
  connect(ButtonPrint, &QPushButton::clicked, this, &TFormDaySummary::Print);
  connect(ButtonPdf, &QPushButton::clicked, this, [this] {
    AskFile(QStringLiteral("Экспорт сводки в PDF"), QStringLiteral("Документ PDF (*.pdf)"), QStringLiteral("pdf"),
            [this](const QString& path) { return ExportPdf(path); });
  });
  connect(ButtonPng, &QPushButton::clicked, this, [this] {
    AskFile(QStringLiteral("Экспорт сводки в PNG"), QStringLiteral("Рисунок PNG (*.png)"), QStringLiteral("png"),
            [this](const QString& path) { return ExportPng(path); });
  });

  if (ini_) {
    TWidgetBounds bounds(this);
    ini_->ReadFormBounds(&bounds);
  }
  ShowDay(files_.TodayName());
}

void TFormDaySummary::FillDays() {
  std::vector<std::string> days = files_.Days();
  if (std::find(days.begin(), days.end(), day_) == days.end()) days.push_back(day_);
  std::sort(days.begin(), days.end());
  ComboBoxDay->clear();
  for (auto it = days.rbegin(); it != days.rend(); ++it) ComboBoxDay->addItem(DayText(*it), QString::fromStdString(*it));
  ComboBoxDay->setCurrentIndex(ComboBoxDay->findData(QString::fromStdString(day_)));
}

void TFormDaySummary::ShowDay(const std::string& day) {
  day_ = day;
  const TDaySummary summary = SummarizeDay(ReadJournalDay(files_.DayPath(day)), CallsOfDay(workFolder_, day));
  made_ = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
  FillDays();
  LabelHeading->setText(Heading());
  LabelTotals->setText(DayTotalsText(summary));
  while (QLayoutItem* item = charts_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  charts_->addWidget(ViewOf(EventsPerHourChart(summary)), 0, 0);
  charts_->addWidget(ViewOf(CallsPerHourChart(summary)), 0, 1);
  charts_->addWidget(ViewOf(WaitPerHourChart(summary)), 1, 0);
  charts_->addWidget(ViewOf(TopObjectsChart(summary, [this](int object) { emit ShowObjectOnMapRequested(object); })),
                     1, 1);
}

QString TFormDaySummary::Heading() const {
  QString heading = QStringLiteral("Сводка за день ") + DayText(day_);
  if (!serverName_.isEmpty()) heading += QStringLiteral(", сервер ") + serverName_;
  return heading + QStringLiteral(", составлена ") + made_;
}

bool TFormDaySummary::ExportPng(const QString& path) { return Sheet->grab().save(path, "PNG"); }

bool TFormDaySummary::ExportPdf(const QString& path) {
  QPdfWriter pdf(path);
  pdf.setTitle(Heading());
  pdf.setCreator(QStringLiteral("Vertamo"));
  pdf.setPageOrientation(QPageLayout::Landscape);
  pdf.setResolution(150);
  PaintSheet(pdf);
  return QFileInfo(path).size() > 0;
}

void TFormDaySummary::PaintSheet(QPagedPaintDevice& device) {
  QPainter painter;
  if (!painter.begin(&device)) return;
  // The heading and totals as text, the charts as they stand on screen at
  // twice their pixels (drawn onto a printer directly, they lose legend
  // entries), all scaled to the page's width.
  const QRect page = painter.viewport();
  const double scale = std::min(static_cast<double>(page.width()) / Sheet->width(),
                                static_cast<double>(page.height()) / Sheet->height());
  painter.scale(scale, scale);
  // Fonts in pixels of the sheet: in points they would grow with the printer's resolution.
  const auto pixelFont = [](const QLabel* label) {
    QFont font = label->font();
    font.setPixelSize(QFontInfo(label->font()).pixelSize());
    return font;
  };
  painter.setFont(pixelFont(LabelHeading));
  painter.drawText(LabelHeading->geometry(), Qt::AlignLeft | Qt::AlignVCenter, LabelHeading->text());
  painter.setFont(pixelFont(LabelTotals));
  painter.drawText(LabelTotals->geometry(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, LabelTotals->text());
  constexpr int kSharpness = 2;
  QImage charts(chartsArea_->size() * kSharpness, QImage::Format_RGB32);
  charts.setDevicePixelRatio(kSharpness);
  charts.fill(Qt::white);
  chartsArea_->render(&charts);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(chartsArea_->geometry(), charts);
  painter.end();
}

void TFormDaySummary::Print() {
  auto* printer = new QPrinter(QPrinter::HighResolution);
  printer->setPageOrientation(QPageLayout::Landscape);
  printer->setDocName(Heading());
  auto* dialog = new QPrintDialog(printer, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::finished, this, [this, printer](int result) {
    if (result == QDialog::Accepted) PaintSheet(*printer);
    delete printer;
  });
  dialog->open();
}

void TFormDaySummary::AskFile(const QString& title, const QString& filter, const QString& suffix,
                              std::function<bool(const QString&)> write) {
  auto* dialog = new QFileDialog(this, title, QString(), filter);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setDefaultSuffix(suffix);
  dialog->selectFile(QStringLiteral("Сводка %1.%2").arg(QString::fromStdString(day_), suffix));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QFileDialog::fileSelected, this, [this, write](const QString& path) {
    if (!write(path)) Tell(this, windowTitle(), QStringLiteral("Не удалось записать файл ") + path);
  });
  dialog->open();
}

void TFormDaySummary::closeEvent(QCloseEvent* event) {
  if (ini_) {
    const TWidgetBounds bounds(this);
    ini_->WriteFormBounds(&bounds);
  }
  QWidget::closeEvent(event);
}

}  // namespace vertamo::ui
