#include "summary/ui/day_charts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "uikit/qt_text.h"
#include "uikit/win_color.h"

namespace vertamo::ui {
namespace {

// Small print for the 24 hours and the legends, so that they fit a chart a
// quarter of the window wide.
QFont SmallFont(QFont font) {
  font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.8));
  return font;
}

QChart* NewChart(const QString& title) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->legend()->setFont(SmallFont(chart->legend()->font()));
  chart->setMargins(QMargins(4, 4, 4, 4));
  return chart;
}

// A count axis of whole numbers in steps of 1, 2 or 5 times a power of ten.
QValueAxis* CountAxis(double most) {
  double step = 1;
  while (most / step > 5) {
    for (const double factor : {2.0, 2.5, 2.0}) {
      step *= factor;
      if (most / step <= 5) break;
    }
  }
  const int ticks = static_cast<int>(std::ceil(std::max(most, 1.0) / step));
  auto* axis = new QValueAxis;
  axis->setRange(0, ticks * step);
  axis->setTickCount(ticks + 1);
  axis->setLabelFormat(QStringLiteral("%d"));
  axis->setLabelsFont(SmallFont(axis->labelsFont()));
  return axis;
}

// The 24 hours under bars: a label every third hour, where a category axis
// would cut two digits of each of 24 narrow bars to "…".
void AttachHours(QChart* chart, QAbstractSeries* series, double most) {
  auto* hours = new QCategoryAxis;
  hours->setRange(-0.5, 23.5);
  hours->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  hours->setLabelsFont(SmallFont(hours->labelsFont()));
  for (int h = 0; h < 24; h += 3) hours->append(QString::number(h), h);
  hours->setGridLineVisible(false);
  chart->addAxis(hours, Qt::AlignBottom);
  series->attachAxis(hours);
  QValueAxis* counts = CountAxis(most);
  chart->addAxis(counts, Qt::AlignLeft);
  series->attachAxis(counts);
}

QBarSet* HourSet(const QString& label, const QColor& color, const std::array<int, 24>& perHour) {
  auto* set = new QBarSet(label);
  set->setColor(color);
  set->setBorderColor(color.darker(130));
  for (int n : perHour) *set << n;
  return set;
}

}  // namespace

QChart* EventsPerHourChart(const TDaySummary& day) {
  QChart* chart = NewChart(QStringLiteral("События по часам"));
  auto* series = new QStackedBarSeries;
  std::array<int, 24> sums{};
  for (const TEventKind& kind : day.kinds) {
    const QColor color = kind.colorKnown ? WinColorToQColor(kind.color) : QColor(Qt::lightGray);
    QString label = FromCp1251(kind.label);
    if (label.isEmpty()) label = QStringLiteral("без названия");
    if (!kind.colorKnown) label = QStringLiteral("без цвета: ") + label;
    series->append(HourSet(label, color, kind.perHour));
    for (size_t h = 0; h < 24; ++h) sums[h] += kind.perHour[h];
  }
  chart->addSeries(series);
  AttachHours(chart, series, *std::max_element(sums.begin(), sums.end()));
  return chart;
}

QChart* CallsPerHourChart(const TDaySummary& day) {
  QChart* chart = NewChart(QStringLiteral("Звонки по часам"));
  std::array<int, 24> answered{}, missed{}, busy{}, failed{}, sums{};
  for (size_t h = 0; h < 24; ++h) {
    answered[h] = day.calls[h].answered;
    missed[h] = day.calls[h].missed;
    busy[h] = day.calls[h].busy;
    failed[h] = day.calls[h].failed;
    sums[h] = day.calls[h].Total();
  }
  auto* series = new QStackedBarSeries;
  series->append(HourSet(QStringLiteral("отвечены"), QColor(0x2E, 0x8B, 0x57), answered));
  series->append(HourSet(QStringLiteral("пропущены"), QColor(0xD0, 0x30, 0x30), missed));
  series->append(HourSet(QStringLiteral("занято"), QColor(0xE0, 0xA0, 0x20), busy));
  series->append(HourSet(QStringLiteral("ошибка"), QColor(0x70, 0x70, 0x70), failed));
  chart->addSeries(series);
  AttachHours(chart, series, *std::max_element(sums.begin(), sums.end()));
  return chart;
}

QChart* WaitPerHourChart(const TDaySummary& day) {
  QChart* chart = NewChart(QStringLiteral("Ожидание ответа, с"));
  auto* median = new QLineSeries;
  median->setName(QStringLiteral("медиана"));
  auto* longest = new QLineSeries;
  longest->setName(QStringLiteral("дольше всего"));
  int most = 0;
  for (int h = 0; h < 24; ++h) {
    const TCallCounts& c = day.calls[static_cast<size_t>(h)];
    if (c.answered == 0) continue;
    *median << QPointF(h, c.medianWait);
    *longest << QPointF(h, c.longestWait);
    most = std::max(most, c.longestWait);
  }
  for (QLineSeries* s : {median, longest}) {
    s->setPointsVisible(true);
    chart->addSeries(s);
  }
  median->setColor(QColor(0x20, 0x60, 0xC0));
  longest->setColor(QColor(0xD0, 0x30, 0x30));
  auto* hours = new QValueAxis;
  hours->setRange(0, 24);
  hours->setTickCount(9);  // every third hour
  hours->setLabelFormat(QStringLiteral("%d"));
  hours->setLabelsFont(SmallFont(hours->labelsFont()));
  chart->addAxis(hours, Qt::AlignBottom);
  QValueAxis* seconds = CountAxis(most);
  chart->addAxis(seconds, Qt::AlignLeft);
  for (QLineSeries* s : {median, longest}) {
    s->attachAxis(hours);
    s->attachAxis(seconds);
  }
  return chart;
}

QChart* TopObjectsChart(const TDaySummary& day, std::function<void(int object)> clicked) {
  QChart* chart = NewChart(QStringLiteral("Больше всего событий"));
  chart->legend()->hide();
  auto* set = new QBarSet(QStringLiteral("события"));
  set->setColor(QColor(0x40, 0x70, 0xB0));
  auto* names = new QBarCategoryAxis;
  std::vector<int> objects;
  int most = 0;
  // The busiest at the top: a horizontal series draws its first bar lowest.
  for (auto it = day.topObjects.rbegin(); it != day.topObjects.rend(); ++it) {
    *set << it->events;
    QString name = FromCp1251(it->name);
    if (!it->place.empty()) name += QStringLiteral(", ") + FromCp1251(it->place);
    // A category is its label: two objects of one name must stay two bars.
    while (names->categories().contains(name)) name += QLatin1Char(' ');
    names->append(name);
    objects.push_back(it->object);
    most = std::max(most, it->events);
  }
  auto* series = new QHorizontalBarSeries;
  series->append(set);
  chart->addSeries(series);
  chart->addAxis(names, Qt::AlignLeft);
  series->attachAxis(names);
  QValueAxis* counts = CountAxis(most);
  chart->addAxis(counts, Qt::AlignBottom);
  series->attachAxis(counts);
  QObject::connect(set, &QBarSet::clicked, chart, [objects, clicked](int index) {
    if (clicked && index >= 0 && index < static_cast<int>(objects.size()) && objects[static_cast<size_t>(index)] >= 0)
      clicked(objects[static_cast<size_t>(index)]);
  });
  return chart;
}

QString DayTotalsText(const TDaySummary& day) {
  const TCallCounts& c = day.callTotals;
  QString text = QStringLiteral("Событий: %1.  Звонков: %2 (отвечено %3, пропущено %4, занято %5, с ошибкой %6).")
                     .arg(day.events)
                     .arg(c.Total())
                     .arg(c.answered)
                     .arg(c.missed)
                     .arg(c.busy)
                     .arg(c.failed);
  if (c.answered > 0)
    text += QStringLiteral("  Ожидание ответа: медиана %1 с, дольше всего %2 с.").arg(c.medianWait).arg(c.longestWait);
  return text;
}

}  // namespace vertamo::ui
