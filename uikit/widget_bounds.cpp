#include "uikit/widget_bounds.h"

#include <QAbstractItemModel>
#include <QEvent>

#include "uikit/qt_text.h"

namespace vertamo::ui {
namespace {

QSize FrameMargins(const QWidget* w) { return w->frameGeometry().size() - w->size(); }

bool FrameKnown(const QWidget* w) {
  const QSize m = FrameMargins(w);
  return m.width() > 0 || m.height() > 0;
}

// Lives on a window whose outer size was set before its frame was known; once
// the frame is known it gives the window that outer size and goes.
class OuterSizeKeeper : public QObject {
 public:
  static constexpr const char* kName = "vertamoOuterSizeKeeper";

  OuterSizeKeeper(QWidget* window, QSize outer) : QObject(window), outer_(outer) {
    setObjectName(kName);
    window->installEventFilter(this);
  }
  void SetOuter(QSize outer) { outer_ = outer; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type t = event->type();
    if (t != QEvent::Move && t != QEvent::Resize && t != QEvent::Show) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->isVisible() && FrameKnown(w)) {
      w->removeEventFilter(this);
      w->resize(outer_ - FrameMargins(w));
      deleteLater();
    }
    return false;
  }

 private:
  QSize outer_;
};

}  // namespace

std::string TWidgetBounds::name() const { return window_ ? ToCp1251(window_->objectName()) : std::string(); }
int TWidgetBounds::left() const { return window_ ? window_->frameGeometry().x() : 0; }
int TWidgetBounds::top() const { return window_ ? window_->frameGeometry().y() : 0; }
int TWidgetBounds::width() const { return window_ ? window_->frameGeometry().width() : 0; }
int TWidgetBounds::height() const { return window_ ? window_->frameGeometry().height() : 0; }

// For a window, move() places its frame.
void TWidgetBounds::setLeft(int value) {
  if (window_) window_->move(value, window_->frameGeometry().y());
}

void TWidgetBounds::setTop(int value) {
  if (window_) window_->move(window_->frameGeometry().x(), value);
}

void TWidgetBounds::setWidth(int value) {
  if (window_) SetOuterSize(QSize(value, height()));
}

void TWidgetBounds::setHeight(int value) {
  if (window_) SetOuterSize(QSize(width(), value));
}

void TWidgetBounds::SetOuterSize(QSize outer) {
  window_->resize(outer - FrameMargins(window_));
  if (!window_->isWindow() || FrameKnown(window_)) return;
  if (QObject* keeper = window_->findChild<QObject*>(OuterSizeKeeper::kName, Qt::FindDirectChildrenOnly))
    static_cast<OuterSizeKeeper*>(keeper)->SetOuter(outer);
  else
    new OuterSizeKeeper(window_, outer);
}

std::string TTableColumns::name() const { return table_ ? ToCp1251(table_->objectName()) : std::string(); }

std::string TTableColumns::ownerName() const {
  return table_ ? ToCp1251(table_->window()->objectName()) : std::string();
}

int TTableColumns::columnCount() const {
  return table_ && table_->model() ? table_->model()->columnCount() : 0;
}

int TTableColumns::width(int column) const { return table_ ? table_->columnWidth(column) : 0; }

void TTableColumns::setWidth(int column, int width) {
  if (table_) table_->setColumnWidth(column, width);
}

}  // namespace vertamo::ui
