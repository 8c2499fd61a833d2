// The charts of a day's summary, built from its counts: events per hour
// stacked by kind (in the server's colours), calls per hour by outcome, the
// wait from ring or dial to answer (median and longest per hour), and the ten
// objects with the most events as bars.
#pragma once

#include <QString>
#include <functional>

#include "summary/day_summary.h"

class QChart;

namespace vertamo::ui {

QChart* EventsPerHourChart(const TDaySummary& day);
QChart* CallsPerHourChart(const TDaySummary& day);
QChart* WaitPerHourChart(const TDaySummary& day);
// `clicked` gets the object number of a bar (for objects whose lines kept it).
QChart* TopObjectsChart(const TDaySummary& day, std::function<void(int object)> clicked);
// The day's totals in one line.
QString DayTotalsText(const TDaySummary& day);

}  // namespace vertamo::ui
