#include "map/ui/map_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <vector>

#include "uikit/qt_text.h"
#include "uikit/win_color.h"

namespace vertamo::ui {
namespace {

constexpr int kLabelTopShift = 4;  // a text label sits 4 pixels above the server's Y

Qt::Alignment HorizontalAlignment(uint8_t alignment) {
  switch (alignment) {
    case 1:
      return Qt::AlignRight;
    case 2:
      return Qt::AlignHCenter;
    default:
      // 0, and every value the label controls do not know (the stored default
      // 3 among them): the label's own default, left.
      return Qt::AlignLeft;
  }
}

Qt::Alignment VerticalAlignment(uint8_t layout) {
  switch (layout) {
    case 1:
      return Qt::AlignVCenter;
    case 2:
      return Qt::AlignBottom;
    default:
      return Qt::AlignTop;
  }
}

}  // namespace

// --- TMapImage -------------------------------------------------------------

TMapImage::TMapImage(const TBitmap* picture, QWidget* tab) : QWidget(tab), source_(picture) {
  setObjectName(QStringLiteral("Image"));
  // The tab sees the mouse wherever the background is.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  if (tab) setGeometry(tab->rect());
}

const QImage& TMapImage::Picture() {
  if (made_) return picture_;
  made_ = true;
  if (!source_ || source_->Empty()) return picture_;
  const Image& pixels = source_->Pixels;
  if (source_->Transparent) {
    picture_ = ToQImage(pixels, true).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  } else {
    // The model's pixels as they are; the alpha byte of an opaque picture is
    // not looked at.
    picture_ = QImage(reinterpret_cast<const uchar*>(pixels.argb.data()), pixels.width, pixels.height,
                      static_cast<qsizetype>(pixels.width) * 4, QImage::Format_RGB32);
  }
  return picture_;
}

QSize TMapImage::PictureSize() const {
  if (!source_ || source_->Empty()) return {};
  return QSize(source_->Pixels.width, source_->Pixels.height);
}

void TMapImage::paintEvent(QPaintEvent* event) {
  const QImage& picture = Picture();
  if (picture.isNull()) return;
  QPainter painter(this);
  // On a scaled desktop even 100 % is a scaling of the picture.
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const auto* page = qobject_cast<const TMapPage*>(parentWidget());
  const TMapZoom* zoom = page ? page->Zoom() : nullptr;
  const double scale = zoom ? zoom->Zoom() : 1.0;
  const QPoint offset = zoom ? zoom->Offset() : QPoint();
  // Only what was invalidated: a changed object repaints the background below
  // its own rectangle, not the whole map.
  if (scale == 1.0) {
    const QRect area = event->rect().translated(offset) & picture.rect();
    if (!area.isEmpty()) painter.drawImage(area.translated(-offset), picture, area);
    return;
  }
  const QRectF exposed = event->rect();
  const QRectF source = QRectF((exposed.x() + offset.x()) / scale - 1, (exposed.y() + offset.y()) / scale - 1,
                               exposed.width() / scale + 2, exposed.height() / scale + 2) &
                        QRectF(picture.rect());
  if (source.isEmpty()) return;
  painter.translate(-offset);
  painter.scale(scale, scale);
  painter.drawImage(source, picture, source);
}

// --- TMapPage --------------------------------------------------------------

TMapPage::TMapPage(QWidget* parent) : QWidget(parent), zoom_(new TMapZoom(this)) {
  setObjectName(QStringLiteral("Tab"));
  setMouseTracking(true);
  // Where the map ends, the window's own silver rather than a white band
  // that looks like part of the map not loaded.
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(kBeyondMapColor));
  setPalette(pal);
}

void TMapPage::SetImage(TMapImage* image) {
  image_ = image;
  zoom_->SetBackground(image, image ? image->PictureSize() : QSize());
}

void TMapPage::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (OnMouseMove) OnMouseMove();
}

void TMapPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (image_) image_->setGeometry(rect());  // the image fills the tab
}

TMapTab::~TMapTab() { delete page_.data(); }

// --- TMapTextLabel -----------------------------------------------------------

TMapTextLabel::TMapTextLabel(QWidget* owner) : QLabel(owner) {
  setObjectName(QStringLiteral("TextLabel"));
  setTextFormat(Qt::PlainText);
  // A label without handlers keeps the mouse to itself, as the tab below must
  // not see it.
  setAttribute(Qt::WA_NoMousePropagation);
}

void TMapTextLabel::SwapColours() {
  QPalette pal = palette();
  const QColor background = pal.color(QPalette::Window);
  pal.setColor(QPalette::Window, pal.color(QPalette::WindowText));
  pal.setColor(QPalette::WindowText, background);
  setPalette(pal);
}

void TMapTextLabel::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (const auto handler = OnMouseDown) handler(this, event->button(), event->modifiers());  // see TMapPict
}

void TMapTextLabel::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (const auto handler = OnMouseMove) handler(this);
}

// --- creation ----------------------------------------------------------------

TMapPage* PageOf(const MAP& map) {
  const auto* tab = dynamic_cast<const TMapTab*>(map.Tab.get());
  return tab ? tab->Page() : nullptr;
}

TMapPage* CreateMapPage(MAP& map, QTabWidget* pageControl) {
  // The tab page, the last tab, captioned with the map's name.
  auto* page = new TMapPage();
  pageControl->addTab(page, FromCp1251(map.Name.str()));
  map.Tab = std::make_unique<TMapTab>(page);
  // A map without a background has an empty tab.
  if (!map.Picture || map.Picture->Empty()) return page;
  // The background, unscaled from the top-left corner, below everything.
  auto* background = new TMapImage(map.Picture.get(), page);
  background->lower();
  page->SetImage(background);
  return page;
}

QString HintToolTip(std::string_view hint) {
  if (hint.empty()) return {};
  // Rich text on purpose: a hint is shown exactly as sent (a "<" is a "<"), its
  // line feeds break the lines and nothing else does.
  return QStringLiteral("<p style='white-space:pre'>") + FromCp1251(hint).toHtmlEscaped() +
         QStringLiteral("</p>");
}

TMapPict* CreateMapPict(MAPOBJECT& object, QWidget* tab, TPictureCache* cache) {
  auto* pict = new TMapPict(tab, cache);
  object.Widget = pict;
  pict->SetMapObject(&object);
  pict->setToolTip(HintToolTip(object.Hint.str()));
  return pict;
}

bool TextLabelIsBound(const MAPTEXT& text) { return text.Action != 0; }

void CreateTextLabels(MAPTEXT_LIST& texts, QTabWidget* pageControl, const TTextLabelHandlers& handlers) {
  const int pages = pageControl->count();
  // The texts of each page in list order, found in one pass over the list.
  std::vector<std::vector<MAPTEXT*>> byPage(static_cast<std::size_t>(pages > 0 ? pages : 0));
  for (int i = 0; i < texts.Count(); ++i) {
    MAPTEXT* text = texts.Get(i);
    if (text->MapIndex >= 0 && text->MapIndex < pages)
      byPage[static_cast<std::size_t>(text->MapIndex)].push_back(text);
  }
  for (int p = 0; p < pages; ++p)
    for (MAPTEXT* text : byPage[static_cast<std::size_t>(p)])
      CreateTextLabel(*text, pageControl->widget(p), handlers);
}

TMapTextLabel* CreateTextLabel(MAPTEXT& text, QWidget* tab, const TTextLabelHandlers& handlers) {
  // A text that is not visible gets no label at all.
  if (!text.HasFlag(kTextVisible)) return nullptr;
  // The label, owned by the tab; it appears once complete.
  auto* label = new TMapTextLabel(tab);
  label->hide();
  text.Label = label;
  // Bounds: four pixels above the server's Y.
  label->setGeometry(text.X, text.Y - kLabelTopShift, text.W, text.H);
  // Caption, alignment, layout, transparency, word wrap.
  label->setText(FromCp1251(text.Caption.str()));
  label->setAlignment(HorizontalAlignment(text.Alignment) | VerticalAlignment(text.Layout));
  label->setAutoFillBackground(!text.HasFlag(kTextTransparent));
  label->setWordWrap(text.HasFlag(kTextWordWrap));
  // Colours and font; the styles of the flags are added to the font's own.
  QPalette pal = label->palette();
  pal.setColor(QPalette::Window, WinColorToQColor(text.Color, pal));
  pal.setColor(QPalette::WindowText, WinColorToQColor(text.FontColor, pal));
  label->setPalette(pal);
  QFont font = label->font();
  font.setFamily(FromCp1251(text.FontName.str()));
  if (text.FontSize > 0)
    font.setPointSize(text.FontSize);
  else if (text.FontSize < 0)
    font.setPixelSize(-text.FontSize);  // a negative size is a height in pixels
  if (text.HasFlag(kTextBold)) font.setBold(true);
  if (text.HasFlag(kTextItalic)) font.setItalic(true);
  if (text.HasFlag(kTextUnderline)) font.setUnderline(true);
  if (text.HasFlag(kTextStrikeOut)) font.setStrikeOut(true);
  // The character set needs nothing here: the text is already Unicode.
  if (text.Pitch == 1) font.setFixedPitch(false);
  if (text.Pitch == 2) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
  }
  label->setFont(font);
  // Auto size: the label fits its text; with word wrap it keeps its width.
  if (text.HasFlag(kTextAutoSize)) {
    if (text.HasFlag(kTextWordWrap) && text.W > 0)
      label->resize(text.W, label->heightForWidth(text.W));
    else
      label->resize(label->sizeHint());
  }
  // The mouse handlers of the main window.
  if (TextLabelIsBound(text)) {
    label->OnMouseDown = handlers.mouseDown;
    label->OnMouseMove = handlers.mouseMove;
    label->setMouseTracking(true);
  }
  // Complete: shown on the tab.
  label->show();
  return label;
}

MAPTEXT* FindByLabel(MAPTEXT_LIST& texts, const QObject* label) {
  const auto* mapLabel = qobject_cast<const TMapTextLabel*>(label);
  if (!mapLabel) return nullptr;
  const ITextLabel* wanted = mapLabel;
  for (int i = 0; i < texts.Count(); ++i) {
    MAPTEXT* text = texts.Get(i);
    if (text->Label == wanted) return text;
  }
  return nullptr;
}

}  // namespace vertamo::ui
