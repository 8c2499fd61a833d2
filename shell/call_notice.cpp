#include "shell/call_notice.h"

#include <QSizePolicy>
#include <QStatusBar>

#include "uikit/qt_text.h"

namespace vertamo::ui {

TCallNotice::TCallNotice(QStatusBar* bar, std::function<void(const std::string&)> log)
    : QLabel(bar), log_(std::move(log)) {
  setObjectName(QStringLiteral("CallNotice"));
  setStyleSheet(
      QStringLiteral("QLabel { background: #FFFF00; color: #800000; font-weight: bold; padding: 0 6px; }"));
  // A long notice is cut at the window's edge (the tool-tip has it whole)
  // instead of widening the main window.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  hide();
  bar->addPermanentWidget(this, 2);
  hide_.setSingleShot(true);
  hide_.setInterval(kShownMs);
  connect(&hide_, &QTimer::timeout, this, &QWidget::hide);
}

void TCallNotice::Tell(const QString& text, bool standing) {
  const bool together = isVisible() && lastTold_.isValid() && lastTold_.elapsed() < kTogetherMs;
  if (!together) {
    shown_.clear();
    standing_ = false;
  }
  lastTold_.start();
  shown_ << text;
  standing_ = standing_ || standing;
  setText(shown_.join(QStringLiteral("  •  ")));
  setToolTip(shown_.join(QLatin1Char('\n')) +
             (standing_ ? QStringLiteral("\n\nЩёлкните, чтобы убрать") : QString()));
  show();
  if (standing_)
    hide_.stop();
  else
    hide_.start();
  if (log_) log_(ToCp1251(text));
}

void TCallNotice::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  if (standing_) hide();
}

}  // namespace vertamo::ui
