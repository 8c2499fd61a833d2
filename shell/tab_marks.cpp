#include "shell/tab_marks.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "uikit/win_color.h"

namespace vertamo::ui {
namespace {

constexpr char kBadgeName[] = "UnseenBadge";

// A line of background and text both 0 is white, as the journal shows it.
void BadgeColours(const TUnseenMarks::TMark& mark, QColor& background, QColor& text) {
  if (mark.color == TUnseenMarks::kNoColor) {
    background = QColor(0xFF, 0xA0, 0x30);
    text = Qt::black;
    return;
  }
  background = mark.color == 0 && mark.fontColor == 0 ? QColor(Qt::white) : WinColorToQColor(mark.color);
  text = WinColorToQColor(mark.fontColor);
}

}  // namespace

TTabMarks::TTabMarks(QTabWidget* tabs) : QObject(tabs), tabs_(tabs) {
  connect(tabs_, &QTabWidget::currentChanged, this, &TTabMarks::Show);
}

void TTabMarks::Reset() {
  marks_.Reset(tabs_->count());
  for (int map = 0; map < tabs_->count(); ++map) Draw(map);
  Show(tabs_->currentIndex());
}

void TTabMarks::Show(int map) {
  marks_.Show(map);
  Draw(map);
}

void TTabMarks::JournalLine(int map, int color, int fontColor) {
  if (marks_.JournalLine(map, color, fontColor)) Draw(map);
}

void TTabMarks::StateChange(int map) {
  if (marks_.StateChange(map)) Draw(map);
}

QLabel* TTabMarks::Badge(int map) const {
  if (map < 0 || map >= tabs_->count()) return nullptr;
  auto* badge = qobject_cast<QLabel*>(tabs_->tabBar()->tabButton(map, QTabBar::RightSide));
  return badge && badge->objectName() == QLatin1String(kBadgeName) ? badge : nullptr;
}

void TTabMarks::Draw(int map) {
  if (map < 0 || map >= tabs_->count()) return;
  const TUnseenMarks::TMark mark = marks_.Mark(map);
  QTabBar* bar = tabs_->tabBar();
  if (mark.count == 0) {
    if (QLabel* badge = Badge(map)) {
      bar->setTabButton(map, QTabBar::RightSide, nullptr);
      badge->deleteLater();
      Relayout();
    }
    return;
  }
  QLabel* badge = Badge(map);
  if (!badge) {
    badge = new QLabel(bar);
    badge->setObjectName(QLatin1String(kBadgeName));
    badge->setAlignment(Qt::AlignCenter);
    QFont bold = badge->font();
    bold.setBold(true);
    badge->setFont(bold);
  }
  QColor background, text;
  BadgeColours(mark, background, text);
  badge->setText(QString::number(mark.count));
  // Large enough to read at a glance, whatever the tab bar's own metrics.
  const QFontMetrics metrics(badge->font());
  const int height = metrics.height() + 4;
  const QSize size(std::max(height + 4, metrics.horizontalAdvance(badge->text()) + 12), height);
  badge->setToolTip(QStringLiteral("Непросмотренных событий: %1").arg(mark.count));
  badge->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; border: 1px solid #404040; "
                                      "border-radius: 4px; }")
                           .arg(background.name(), text.name()));
  // Set once its size is known, so that the tab makes room for it; a badge
  // that changed size is taken off first (setting the same one again would
  // hide it).
  if (bar->tabButton(map, QTabBar::RightSide) == badge) {
    if (badge->size() == size) return;
    bar->setTabButton(map, QTabBar::RightSide, nullptr);
  }
  badge->setFixedSize(size);
  bar->setTabButton(map, QTabBar::RightSide, badge);
  Relayout();
}

void TTabMarks::Relayout() {
  // The tab widget gives its bar the width the bar asked for before: a tab
  // that grew by its badge would squeeze the others behind scroll buttons
  // until the next resize. A changed text makes the bar ask again.
  QTabBar* bar = tabs_->tabBar();
  bar->updateGeometry();
}

}  // namespace vertamo::ui
