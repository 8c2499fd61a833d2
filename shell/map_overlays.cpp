#include "shell/map_overlays.h"

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
  counter->setGeometry(layout.x, layout.y, layout.w, layout.h);
  counter->SetFontName(FromCp1251(layout.fontName));
  const int index = kind == TCounterKind::LiftBreak ? kLiftB
                    : kind == TCounterKind::OhrAlr  ? kOhrAlr
                                                    : kPuErr;
  visible_[static_cast<size_t>(index)] = true;
  if (counter->parentWidget()) counter->show();
}

void TMapOverlays::SetClockLayout(const TClockLayout& layout) {
  Detach(kClk);
  Clk->setGeometry(layout.x, layout.y, layout.w, layout.h);
  QFont font = Clk->font();
  font.setFamily(FromCp1251(layout.fontName));
  if (layout.fontSize > 0)
    font.setPointSize(layout.fontSize);
  else if (layout.fontSize < 0)
    font.setPixelSize(-layout.fontSize);
  font.setBold(layout.bold);
  font.setItalic(layout.italic);
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
  BigSpk->setGeometry(layout.x, layout.y, layout.w, layout.h);
  BigSpk->SetCallState(layout.call);
  visible_[kBigSpk] = true;
}

void TMapOverlays::ShowTime(const QString& time) {
  if (visible_[kClk] && Clk->parentWidget()) Clk->setText(time);
}

void TMapOverlays::PlaceOn(QWidget* tab) {
  for (int i = 0; i < kOverlays; ++i) {
    if (!visible_[static_cast<size_t>(i)]) continue;  // hidden ones keep no parent
    QWidget* overlay = Overlay(i);
    if (overlay->parentWidget() != tab) overlay->setParent(tab);
    overlay->show();
    overlay->raise();
  }
}

void TMapOverlays::Lift() {
  for (int i = 0; i < kOverlays; ++i) Detach(i);
}

void TMapOverlays::Clear() {
  Lift();
  visible_.fill(false);
}

}  // namespace vertamo::ui
