#include "shell/stale_banner.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolTip>
#include <QWheelEvent>
#include <chrono>

#include "uikit/qt_text.h"

namespace vertamo::ui {
namespace {

// The server as the banner names it: "Центральная (10.0.0.5:9900)", or the
// address alone for a profile without a name.
QString ServerName(const TLinkDown& event) {
  const QString address = FromCp1251(event.host) + QLatin1Char(':') + QString::number(event.port);
  const QString name = FromCp1251(event.server).trimmed();
  return name.isEmpty() ? address : name + QStringLiteral(" (") + address + QLatin1Char(')');
}

}  // namespace

QString LinkDownText(const TLinkDown& event, const QDateTime& now) {
  using namespace std::chrono;
  const QDateTime since =
      QDateTime::fromMSecsSinceEpoch(duration_cast<milliseconds>(event.since.time_since_epoch()).count());
  const QString when = since.toString(since.date() == now.date() ? QStringLiteral("HH:mm:ss")
                                                                 : QStringLiteral("dd.MM HH:mm:ss"));
  return QStringLiteral("Нет связи с сервером ") + ServerName(event) + QStringLiteral(" с ") + when +
         QStringLiteral(": ") + FromCp1251(LinkFaultText(event.fault, event.error));
}

// --- the curtain ------------------------------------------------------------------

TStaleCurtain::TStaleCurtain(QTabWidget* maps) : QWidget(maps), maps_(maps) {
  setObjectName(QStringLiteral("StaleCurtain"));
  hide();
}

void TStaleCurtain::Cover() {
  QWidget* page = maps_->currentWidget();
  QWidget* pages = page ? page->parentWidget() : nullptr;
  if (!pages) {
    hide();
    return;
  }
  setGeometry(QRect(pages->mapTo(maps_, QPoint(0, 0)), pages->size()));
  show();
  raise();
}

QWidget* TStaleCurtain::Below(const QPoint& global) const {
  QWidget* page = maps_->currentWidget();
  if (!page) return nullptr;
  QWidget* below = page->childAt(page->mapFromGlobal(global));
  return below ? below : page;
}

bool TStaleCurtain::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      // The map's scroll bars still scroll it; nothing else below could be
      // answered while the link is down.
      const auto* mouse = static_cast<QMouseEvent*>(event);
      scrolling_ = qobject_cast<QScrollBar*>(Below(mouse->globalPosition().toPoint()));
      if (scrolling_) PassOn(*mouse);
      event->accept();
      return true;
    }
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
      // A drag that began on a scroll bar stays with it until the button is up.
      if (scrolling_) PassOn(*static_cast<QMouseEvent*>(event));
      if (event->type() == QEvent::MouseButtonRelease) scrolling_ = nullptr;
      event->accept();
      return true;
    }
    case QEvent::ContextMenu:
      event->accept();
      return true;
    case QEvent::Wheel: {
      // The wheel still moves the map below (and on up to whoever takes it).
      const auto* wheel = static_cast<QWheelEvent*>(event);
      if (QWidget* below = Below(wheel->globalPosition().toPoint())) {
        QWheelEvent copy(below->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                         wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                         wheel->phase(), wheel->inverted());
        QApplication::sendEvent(below, &copy);
      }
      return true;
    }
    case QEvent::ToolTip: {
      // The hint of what is below (a picture of the map, the speaker), as
      // without the curtain.
      const auto* help = static_cast<QHelpEvent*>(event);
      if (QWidget* below = Below(help->globalPos())) {
        QHelpEvent copy(QEvent::ToolTip, below->mapFromGlobal(help->globalPos()), help->globalPos());
        QApplication::sendEvent(below, &copy);
      } else {
        QToolTip::hideText();
      }
      return true;
    }
    default:
      return QWidget::event(event);
  }
}

void TStaleCurtain::PassOn(const QMouseEvent& mouse) {
  const QPointF global = mouse.globalPosition();
  QMouseEvent copy(mouse.type(), scrolling_->mapFromGlobal(global), global, mouse.button(), mouse.buttons(),
                   mouse.modifiers());
  QApplication::sendEvent(scrolling_, &copy);
}

void TStaleCurtain::paintEvent(QPaintEvent*) {
  // The window's silver over the map: the pictures show through, faded.
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0xC0, 0xC0, 0xC0, 170));
}

// --- the stale view ------------------------------------------------------------------

TStaleView::TStaleView(QGridLayout* layout, QTabWidget* maps) : QObject(maps), maps_(maps) {
  // The banner's row: the text, and right of it the way on from a link that
  // never came up.
  row_ = new QWidget(layout->parentWidget());
  row_->setObjectName(QStringLiteral("StaleBannerRow"));
  row_->setAutoFillBackground(true);
  row_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);  // never widens the window
  auto* rowLayout = new QHBoxLayout(row_);
  rowLayout->setContentsMargins(0, 0, 6, 0);
  Banner = new QLabel(row_);
  Banner->setObjectName(QStringLiteral("StaleBanner"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(16);
  font.setBold(true);
  Banner->setFont(font);
  Banner->setAlignment(Qt::AlignCenter);
  Banner->setWordWrap(true);
  Banner->setMargin(6);
  Banner->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  rowLayout->addWidget(Banner, 1);
  QFont buttonFont = font;
  buttonFont.setBold(false);
  buttonFont.setPixelSize(13);
  DemoButton = new QPushButton(QStringLiteral("Учебный район"), row_);
  DemoButton->setObjectName(QStringLiteral("BannerDemo"));
  DemoButton->setToolTip(QStringLiteral("Запустить учебный район без сервера (vertamo --demo)"));
  SettingsButton = new QPushButton(QStringLiteral("Настройки…"), row_);
  SettingsButton->setObjectName(QStringLiteral("BannerSettings"));
  for (QPushButton* button : {DemoButton, SettingsButton}) {
    button->setFont(buttonFont);
    button->hide();
    rowLayout->addWidget(button);
  }
  row_->hide();
  layout->addWidget(row_, 0, 0);
  layout->setRowStretch(1, 1);
  Curtain = new TStaleCurtain(maps);
}

void TStaleView::SetOffers(std::function<void()> settings, std::function<void()> demo) {
  QObject::disconnect(SettingsButton, nullptr, nullptr, nullptr);
  QObject::disconnect(DemoButton, nullptr, nullptr, nullptr);
  if (settings) connect(SettingsButton, &QPushButton::clicked, this, std::move(settings));
  demoOffered_ = static_cast<bool>(demo);
  if (demo) connect(DemoButton, &QPushButton::clicked, this, std::move(demo));
}

void TStaleView::ShowBanner(const QString& text, bool down) {
  QPalette palette = row_->palette();
  palette.setColor(QPalette::Window, down ? QColor(0xB0, 0x20, 0x20) : QColor(0xF0, 0xD0, 0x60));
  palette.setColor(QPalette::WindowText, down ? Qt::white : Qt::black);
  row_->setPalette(palette);
  Banner->setPalette(palette);
  Banner->setText(text);
  SettingsButton->setVisible(down && !linkEverUp_);
  DemoButton->setVisible(down && !linkEverUp_ && demoOffered_);
  SetBannerShown(true);
}

void TStaleView::SetBannerShown(bool shown) {
  Banner->setVisible(shown);
  row_->setVisible(shown);
}

void TStaleView::LinkDown(const TLinkDown& event, bool mapsShown) {
  server_ = FromCp1251(event.server).trimmed();
  if (server_.isEmpty()) server_ = FromCp1251(event.host);
  ShowBanner(LinkDownText(event), true);
  if (mapsShown) Freeze();
}

void TStaleView::LinkUp() {
  linkEverUp_ = true;
  if (frozen_)
    ShowBanner(QStringLiteral("Связь с сервером ") + server_ + QStringLiteral(" восстановлена, загрузка карт..."),
               false);
  else
    SetBannerShown(false);
}

void TStaleView::Freeze() {
  // What a load cut short kept is of no use to the next one.
  later_.clear();
  frozen_ = true;
  Curtain->Cover();
  // The pages are laid out after the tab widget's own resize: follow them.
  if (QWidget* pages = Curtain->isHidden() ? nullptr : maps_->currentWidget()->parentWidget())
    pages->installEventFilter(this);
}

void TStaleView::Later(std::function<void()> call) {
  if (frozen_)
    later_.push_back(std::move(call));
  else
    call();
}

std::vector<std::function<void()>> TStaleView::TakeLater() { return std::exchange(later_, {}); }

void TStaleView::Thaw() {
  frozen_ = false;
  later_.clear();
  Curtain->hide();
}

void TStaleView::Reset() {
  Thaw();
  SetBannerShown(false);
}

bool TStaleView::eventFilter(QObject* watched, QEvent* event) {
  if (frozen_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move) && watched != Curtain)
    Curtain->Cover();
  return QObject::eventFilter(watched, event);
}

}  // namespace vertamo::ui
