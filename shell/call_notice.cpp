#include "shell/call_notice.h"

#include <QStatusBar>

#include "uikit/qt_text.h"

namespace vertamo::ui {

TCallNotice::TCallNotice(QStatusBar* bar, std::function<void(const std::string&)> log)
    : QLabel(bar), log_(std::move(log)) {
  setObjectName(QStringLiteral("CallNotice"));
  setStyleSheet(
      QStringLiteral("QLabel { background: #FFFF00; color: #800000; font-weight: bold; padding: 0 6px; }"));
  hide();
  bar->addPermanentWidget(this);
  hide_.setSingleShot(true);
  hide_.setInterval(kShownMs);
  connect(&hide_, &QTimer::timeout, this, &QWidget::hide);
}

void TCallNotice::Tell(const QString& text) {
  setText(text);
  setToolTip(text);
  show();
  hide_.start();
  if (log_) log_(ToCp1251(text));
}

}  // namespace vertamo::ui
