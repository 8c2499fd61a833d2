#include "shell/map_overlays.h"

#include <algorithm>
#include <cmath>

#include "uikit/qt_text.h"
#include "uikit/win_color.h"

namespace vertamo::ui {

TMapOverlays::TMapOverlays() {
  struct CounterDef {
    TValInd** counter;
    const char* name;
    int type;
  };
  for (const CounterDef& def :
       {CounterDef{&LiftB, "LiftB", 1}, CounterDef{&OhrAlr, "OhrAlr", 2}, CounterDef{&PuErr, "PuErr", 3}}) {
    auto* counter = new TValInd();
    counter->setObjectName(QString::fromLatin1(def.name));
    counter->SetType(def.type);
    *def.counter = counter;
  }
  Clk = new QLabel();
  Clk->setObjectName(QStringLiteral("Clk"));
  Clk->setAlignment(Qt::AlignCenter);
  Clk->hide();
  BigSpk = new TBigSpk();
  BigSpk->SetPicture(0);
  // The mouse over an overlay stays with it (the tab below would take the
  // highlight off the current map text).
  for (int i = 0; i < kOverlays; ++i) Overlay(i)->setAttribute(Qt::WA_NoMousePropagation);
}

TMapOverlays::~TMapOverlays() {
  for (int i = 0; i < kOverlays; ++i) delete Overlay(i);
}

QWidget* TMapOverlays::Overlay(int index) const {
  switch (index) {
    case kLiftB:
      return LiftB;
    case kOhrAlr:
      return OhrAlr;
    case kPuErr:
      return PuErr;
    case kClk:
      return Clk;
    case kBigSpk:
      return BigSpk;
    default:
      return nullptr;
  }
}

TValInd* TMapOverlays::Counter(TCounterKind kind) const {
  switch (kind) {
    case TCounterKind::LiftBreak:
      return LiftB;
    case TCounterKind::OhrAlr:
      return OhrAlr;
    case TCounterKind::PuErr:
      return PuErr;
  }
  return nullptr;
}

bool TMapOverlays::Visible(const QWidget* overlay) const {
  for (int i = 0; i < kOverlays; ++i)
    if (Overlay(i) == overlay) return visible_[static_cast<size_t>(i)];
  return false;
}

// Hidden and without a parent: a parentless widget is never shown, whatever
// its layout says.
void TMapOverlays::Detach(int index) {
  QWidget* overlay = Overlay(index);
  overlay->hide();
  if (overlay->parentWidget()) overlay->setParent(nullptr);
}

void TMapOverlays::SetCounterLayout(TCounterKind kind, const TCounterLayout& layout) {
  TValInd* counter = Counter(kind);
  if (!counter) return;
  counter->SetFontName(FromCp1251(layout.fontName));
  const int index = kind == TCounterKind::LiftBreak ? kLiftB
                    : kind == TCounterKind::OhrAlr  ? kOhrAlr
                                                    : kPuErr;
  visible_[static_cast<size_t>(index)] = true;
  layout_[static_cast<size_t>(index)] = QRect(layout.x, layout.y, layout.w, layout.h);
  Follow();
  if (counter->parentWidget()) counter->show();
}

void TMapOverlays::SetClockLayout(const TClockLayout& layout) {
  Detach(kClk);
  layout_[kClk] = QRect(layout.x, layout.y, layout.w, layout.h);
  QFont font = Clk->font();
  font.setFamily(FromCp1251(layout.fontName));
  if (layout.fontSize > 0)
    font.setPointSize(layout.fontSize);
  else if (layout.fontSize < 0)
    font.setPixelSize(-layout.fontSize);
  font.setBold(layout.bold);
  font.setItalic(layout.italic);
  clockFont_ = font;
  Clk->setFont(font);
  QPalette pal = Clk->palette();
  pal.setColor(QPalette::Window, WinColorToQColor(layout.color, pal));
  pal.setColor(QPalette::WindowText, WinColorToQColor(layout.fontColor, pal));
  Clk->setPalette(pal);
  Clk->setAutoFillBackground(!layout.transparent);
  visible_[kClk] = true;
}

void TMapOverlays::SetSpeakerLayout(const TSpeakerLayout& layout) {
  Detach(kBigSpk);
  layout_[kBigSpk] = QRect(layout.x, layout.y, layout.w, layout.h);
  BigSpk->SetCallState(layout.call);
  visible_[kBigSpk] = true;
}

void TMapOverlays::ShowTime(const QString& time) {
  if (visible_[kClk] && Clk->parentWidget()) Clk->setText(time);
}

void TMapOverlays::PlaceOn(TMapView* view) {
  if (view != view_) {
    QObject::disconnect(following_);
    view_ = view;
    if (view) following_ = QObject::connect(view, &TMapView::Moved, view, [this] { Follow(); });
  }
  Follow();
  for (int i = 0; i < kOverlays; ++i) {
    if (!visible_[static_cast<size_t>(i)]) continue;  // hidden ones keep no parent
    QWidget* overlay = Overlay(i);
    if (overlay->parentWidget() != view) overlay->setParent(view);
    overlay->show();
    overlay->raise();
  }
}

void TMapOverlays::Follow() {
  // Shrunk with the map, never grown past the designed size.
  const double scale = view_ ? std::min(1.0, view_->Zoom()) : 1.0;
  // As the server arranged them, at that scale, from where the map puts the
  // corner of their group.
  QRect designed;
  for (int i = 0; i < kOverlays; ++i)
    if (visible_[static_cast<size_t>(i)]) designed |= layout_[static_cast<size_t>(i)];
  const QPoint corner = view_ && !designed.isEmpty() ? view_->ToView(QRectF(designed)).topLeft() : designed.topLeft();
  std::array<QRect, kOverlays> placed;
  QRect group;
  for (int i = 0; i < kOverlays; ++i) {
    const QRect& map = layout_[static_cast<size_t>(i)];
    const QPoint offset = map.topLeft() - designed.topLeft();
    const QPoint at = corner + QPoint(int(std::lround(offset.x() * scale)), int(std::lround(offset.y() * scale)));
    const QSize size(std::max(1, int(std::lround(map.width() * scale))),
                     std::max(1, int(std::lround(map.height() * scale))));
    placed[static_cast<size_t>(i)] = QRect(at, size);
    if (visible_[static_cast<size_t>(i)]) group |= placed[static_cast<size_t>(i)];
  }
  // Moved together into the view when the map takes them out of it, so that
  // they stay in sight as the server arranged them.
  QPoint shift;
  if (view_ && !group.isEmpty()) {
    const QRect area = view_->viewport()->rect();
    if (group.right() > area.right()) shift.rx() = area.right() - group.right();
    if (group.left() + shift.x() < area.left()) shift.rx() = area.left() - group.left();
    if (group.bottom() > area.bottom()) shift.ry() = area.bottom() - group.bottom();
    if (group.top() + shift.y() < area.top()) shift.ry() = area.top() - group.top();
  }
  const QPoint origin = view_ ? view_->viewport()->geometry().topLeft() : QPoint();
  for (int i = 0; i < kOverlays; ++i) Overlay(i)->setGeometry(placed[static_cast<size_t>(i)].translated(origin + shift));
  for (TValInd* counter : {LiftB, OhrAlr, PuErr}) counter->SetZoom(scale);
  BigSpk->SetZoom(scale);
  QFont font = clockFont_;
  if (font.pixelSize() > 0)
    font.setPixelSize(std::max(1, int(std::lround(font.pixelSize() * scale))));
  else if (font.pointSizeF() > 0)
    font.setPointSizeF(std::max(1.0, font.pointSizeF() * scale));
  Clk->setFont(font);
}

void TMapOverlays::Lift() {
  QObject::disconnect(following_);
  view_ = nullptr;
  for (int i = 0; i < kOverlays; ++i) Detach(i);
}

void TMapOverlays::Clear() {
  Lift();
  visible_.fill(false);
}

}  // namespace vertamo::ui
