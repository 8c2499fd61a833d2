// The map view: tabs with their backgrounds, object pictures with their
// captions, text labels with every attribute, and the lookups.
#include <QPainter>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "map/map_model.h"
#include "map/ui/map_pict.h"
#include "map/ui/map_view.h"
#include "platform/cp1251.h"
#include "support/solid_image.h"
#include "ui/widget_shots.h"
#include "uikit/win_color.h"

using namespace vertamo;
using namespace vertamo::ui;
using vertamo::testing::SolidImage;

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

// A set of `count` pictures of w x h, picture i filled with colours[i].
TPictureSet* AddSet(TMapModel& model, const char* name, int w, int h, std::vector<uint32_t> colours) {
  TPictureSet* set = model.PictureSets.FindOrCreateSet(name, 1, 1);
  for (uint32_t colour : colours)
    model.PictureSets.AddPicture(name, TBitmap{SolidImage(w, h, colour), false});
  return set;
}

MAPOBJECT Object(int x, int y, TPictureSet* set) {
  MAPOBJECT object;
  object.SetX(x);
  object.SetY(y);
  object.Pictures = set;
  return object;
}

// A tab to put widgets on, 400 x 300, shown off-screen.
struct Canvas {
  QTabWidget pageControl;
  TMapModel model;
  TPictureCache cache;
  TMapPage* page = nullptr;

  Canvas() {
    pageControl.resize(400, 330);
    MAP* map = model.MapList.Add("Map", true);
    map->Picture->Pixels = SolidImage(400, 300, 0xFF102030);
    page = CreateMapPage(*map, &pageControl);
    pageControl.show();
  }
  TMapPict* Place(MAPOBJECT record) {
    MAPOBJECT* object = model.ObjectList.Add(record);
    TMapPict* pict = CreateMapPict(*object, page, &cache);
    pict->Show(page);
    return pict;
  }
};

}  // namespace

class MapViewTest : public QObject {
  Q_OBJECT

 private slots:
  void objectGeometryAndCaptionPlace() {
    Canvas canvas;
    TPictureSet* set = AddSet(canvas.model, "lift", 32, 24, {0xFFFF0000});
    MAPOBJECT record = Object(10, 20, set);
    record.SetCapVisible(true);
    record.SetCX(0);
    record.SetCY(2);
    record.SetName(Cp("Лифт 1"));
    TMapPict* pict = canvas.Place(record);

    // The widget covers 10,18 to 42,42; the caption's top-left is at 10,44.
    QCOMPARE(pict->geometry(), QRect(QPoint(10, 18), QPoint(41, 41)));
    QVERIFY(pict->CaptionLabel() != nullptr);
    QVERIFY(pict->CaptionBox() == nullptr);
    QCOMPARE(pict->CaptionLabel()->pos(), QPoint(10, 44));
    QCOMPARE(pict->CaptionLabel()->parentWidget(), canvas.page);
    QCOMPARE(pict->parentWidget(), canvas.page);
    QCOMPARE(pict->GetMapObject(), canvas.model.ObjectList.Get(0));
    QCOMPARE(canvas.model.ObjectList.Get(0)->Widget, static_cast<IObjectView*>(pict));

    // The caption lies above the picture, and sizes itself to its text.
    const QObjectList& children = canvas.page->children();
    QVERIFY(children.indexOf(pict->CaptionLabel()) > children.indexOf(pict));
    QCOMPARE(pict->CaptionLabel()->size(), pict->CaptionLabel()->sizeHint());
    QCOMPARE(pict->CaptionLabel()->font().pixelSize(), canvas.page->font().pixelSize());
  }

  void captionOffsetsAndObjectsWithoutPictures() {
    Canvas canvas;
    TPictureSet* set = AddSet(canvas.model, "sensor", 20, 10, {0xFF00FF00});
    MAPOBJECT shifted = Object(100, 50, set);
    shifted.SetCapVisible(true);
    shifted.SetCX(-5);
    shifted.SetCY(7);
    TMapPict* a = canvas.Place(shifted);
    QCOMPARE(a->geometry(), QRect(100, 48, 20, 10));
    QCOMPARE(a->CaptionLabel()->pos(), QPoint(95, 48 + 7 + 10));

    // Without a picture set: 16 x 16, and the caption is not shifted by a height.
    MAPOBJECT bare = Object(30, 40, nullptr);
    bare.SetCapVisible(true);
    bare.SetCY(3);
    TMapPict* b = canvas.Place(bare);
    QCOMPARE(b->geometry(), QRect(30, 38, 16, 16));
    QCOMPARE(b->CaptionLabel()->pos(), QPoint(30, 41));

    // CapVisible clear: no caption control at all.
    TMapPict* c = canvas.Place(Object(5, 5, set));
    QVERIFY(c->CaptionLabel() == nullptr && c->CaptionBox() == nullptr);
  }

  void captionKindsTextsAndColours() {
    Canvas canvas;
    TPictureSet* set = AddSet(canvas.model, "lift", 32, 24, {0xFFFF0000});

    MAPOBJECT boxed = Object(10, 10, set);
    boxed.SetType(1);
    boxed.SetCapVisible(true);
    boxed.SetName(Cp("Лифт"));
    boxed.SetCaption(Cp("П1"));
    boxed.SetCapColor(0x0000FF);
    boxed.SetCapTransparent(false);
    TMapPict* box = canvas.Place(boxed);
    QVERIFY(box->CaptionBox() != nullptr);
    QVERIFY(box->CaptionLabel() == nullptr);
    QCOMPARE(box->CaptionBox()->frameShape(), QFrame::Box);
    QCOMPARE(box->CaptionBox()->lineWidth(), 1);
    QCOMPARE(box->CaptionBox()->text(), QStringLiteral("П1"));
    QVERIFY(box->CaptionBox()->autoFillBackground());
    QCOMPARE(box->CaptionBox()->palette().color(QPalette::Window), QColor(255, 0, 0));

    for (int type : {0, 2, 5}) {
      MAPOBJECT plain = Object(100, 10, set);
      plain.SetType(type);
      plain.SetCapVisible(true);
      TMapPict* pict = canvas.Place(plain);
      QVERIFY2(pict->CaptionLabel() && !pict->CaptionBox(), "a plain label for every type but 1");
      QCOMPARE(pict->CaptionLabel()->frameShape(), QFrame::NoFrame);
    }

    // An empty caption shows the name; a later caption replaces it, and an
    // empty one brings the name back.
    MAPOBJECT named = Object(200, 10, set);
    named.SetCapVisible(true);
    named.SetName(Cp("Подъезд 3"));
    TMapPict* pict = canvas.Place(named);
    MAPOBJECT* object = pict->GetMapObject();
    QCOMPARE(pict->CaptionLabel()->text(), QStringLiteral("Подъезд 3"));
    object->SetCaption(Cp("Авария лифта"));
    pict->UpdateLabel();
    QCOMPARE(pict->CaptionLabel()->text(), QStringLiteral("Авария лифта"));
    QCOMPARE(pict->CaptionLabel()->size(), pict->CaptionLabel()->sizeHint());
    object->SetCaption("");
    pict->UpdateLabel();
    QCOMPARE(pict->CaptionLabel()->text(), QStringLiteral("Подъезд 3"));

    // Transparent at download: a colour set later changes the background
    // colour property, not the transparency.
    QVERIFY(!pict->CaptionLabel()->autoFillBackground());
    object->SetCapColor(0x00FF00);
    pict->UpdateLabel();
    QVERIFY(!pict->CaptionLabel()->autoFillBackground());
    QCOMPARE(pict->CaptionLabel()->palette().color(QPalette::Window), QColor(0, 255, 0));
  }

  void paintsThePictureOfTheStateOnly() {
    Canvas canvas;
    TPictureSet* set = AddSet(canvas.model, "lift", 8, 8, {0xFFFF0000, 0xFF0000FF});
    TMapPict* pict = canvas.Place(Object(10, 10, set));
    MAPOBJECT* object = pict->GetMapObject();
    const QRgb background = qRgb(0x10, 0x20, 0x30);

    QImage shown = vertamo::test::Rendered(*pict);
    QCOMPARE(vertamo::test::CountColor(shown, qRgb(255, 0, 0)), 64);
    object->SetIdx(1);
    shown = vertamo::test::Rendered(*pict);
    QCOMPARE(vertamo::test::CountColor(shown, qRgb(0, 0, 255)), 64);
    // A state outside the set, or a negative one, paints nothing: the map shows.
    for (int idx : {2, -1}) {
      object->SetIdx(idx);
      shown = vertamo::test::Rendered(*pict);
      QCOMPARE(vertamo::test::CountColor(shown, background), 64);
    }
    // An object without a set paints nothing either.
    TMapPict* bare = canvas.Place(Object(100, 100, nullptr));
    QCOMPARE(vertamo::test::CountColor(vertamo::test::Rendered(*bare), background), 256);
  }

  void transparentPicturesShowTheMapThrough() {
    Canvas canvas;
    TPictureSet* set = canvas.model.PictureSets.FindOrCreateSet("masked", 1, 1);
    Image image = SolidImage(4, 4, 0xFFFFFFFF);  // white all round ...
    image.argb[5] = 0xFF00FF00;             // ... but a green pixel at 1,1
    canvas.model.PictureSets.AddPicture("masked", TBitmap{image, true});
    TMapPict* pict = canvas.Place(Object(10, 12, set));
    const QImage shown = vertamo::test::Rendered(*pict);
    QCOMPARE(vertamo::test::CountColor(shown, qRgb(0, 255, 0)), 1);
    QCOMPARE(vertamo::test::CountColor(shown, qRgb(0x10, 0x20, 0x30)), 15);
  }

  void picturesAreConvertedOncePerPicture() {
    Canvas canvas;
    TPictureSet* set = AddSet(canvas.model, "lift", 8, 8, {0xFFFF0000, 0xFF00FF00});
    std::vector<TMapPict*> picts;
    for (int i = 0; i < 10; ++i) picts.push_back(canvas.Place(Object(10 * i, 10, set)));
    for (int round = 0; round < 3; ++round)
      for (TMapPict* pict : picts) vertamo::test::Rendered(*pict);
    QCOMPARE(canvas.cache.Conversions(), 1LL);
    picts[3]->GetMapObject()->SetIdx(1);
    vertamo::test::Rendered(*picts[3]);
    QCOMPARE(canvas.cache.Conversions(), 2LL);
    // The cache forgets the sets when the model frees them.
    canvas.cache.Clear();
    vertamo::test::Rendered(*picts[3]);
    QCOMPARE(canvas.cache.Conversions(), 3LL);
  }

  void anUpdateRepaintsOnlyItsWidget() {
    Canvas canvas;
    TPictureSet* set = AddSet(canvas.model, "lift", 16, 16, {0xFFFF0000, 0xFF0000FF});
    std::vector<TMapPict*> picts;
    for (int i = 0; i < 20; ++i) picts.push_back(canvas.Place(Object(20 * i, 40, set)));
    QVERIFY(QTest::qWaitForWindowExposed(&canvas.pageControl));
    QTRY_VERIFY(picts.back()->PaintCount() > 0);
    std::vector<long long> before;
    for (TMapPict* pict : picts) before.push_back(pict->PaintCount());
    picts[7]->GetMapObject()->SetIdx(1);
    picts[7]->update();
    QTRY_VERIFY(picts[7]->PaintCount() > before[7]);
    QCoreApplication::processEvents();
    for (size_t i = 0; i < picts.size(); ++i)
      if (i != 7) QCOMPARE(picts[i]->PaintCount(), before[i]);
  }

  void mapPagesAndTheirBackgrounds() {
    QTabWidget pageControl;
    pageControl.resize(300, 200);
    TMapModel model;
    MAP* first = model.MapList.Add(Cp("Центр"), true);
    first->Picture->Pixels = SolidImage(500, 100, 0xFF00FF00);
    MAP* second = model.MapList.Add(Cp("Север"), false);
    MAP* third = model.MapList.Add("Empty", true);  // said to have one, none arrived

    TMapPage* p1 = CreateMapPage(*first, &pageControl);
    TMapPage* p2 = CreateMapPage(*second, &pageControl);
    TMapPage* p3 = CreateMapPage(*third, &pageControl);
    QCOMPARE(pageControl.count(), 3);
    QCOMPARE(pageControl.tabText(0), QStringLiteral("Центр"));
    QCOMPARE(pageControl.tabText(1), QStringLiteral("Север"));
    QCOMPARE(pageControl.widget(2), p3);
    QCOMPARE(PageOf(*first), p1);
    QVERIFY(p1->Image() != nullptr);
    QVERIFY(p2->Image() == nullptr);
    QVERIFY(p3->Image() == nullptr);
    QCOMPARE(p1->Image()->parentWidget(), p1);
    QCOMPARE(p1->Image()->Picture().size(), QSize(500, 100));
    QCOMPARE(p1->Image()->Picture().constBits(),
             reinterpret_cast<const uchar*>(first->Picture->Pixels.argb.data()));
    QVERIFY(p1->Image()->testAttribute(Qt::WA_TransparentForMouseEvents));

    pageControl.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pageControl));
    QCOMPARE(p1->Image()->geometry(), p1->rect());  // fills the tab
    // Unscaled from the top-left corner: green at the top, cut at the tab's edge.
    const QImage shown = p1->grab().toImage();
    QCOMPARE(shown.pixelColor(0, 0), QColor(0, 255, 0));
    QCOMPARE(shown.pixelColor(shown.width() - 1, 99), QColor(0, 255, 0));
    QVERIFY(shown.pixelColor(0, 100) != QColor(0, 255, 0));

    // Freeing a map frees its tab and everything on it.
    QPointer<QWidget> image = p1->Image();
    model.MapList.Clear();
    QCOMPARE(pageControl.count(), 0);
    QVERIFY(image.isNull());
  }

  void transparentBackgroundShowsTheTab() {
    const QImage image = ToQImage(SolidImage(2, 2, 0xFF123456), true);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    Image mixed = SolidImage(2, 2, 0xFF123456);
    mixed.argb[0] = 0xFFFFFFFF;
    const QImage partly = ToQImage(mixed, true);
    QCOMPARE(partly.pixel(0, 0), 0xFFFFFFFFu);  // not the bottom-left colour: kept
    QCOMPARE(qAlpha(partly.pixel(1, 1)), 0);
    QVERIFY(ToQImage(Image{}).isNull());
    Image truncated = SolidImage(4, 4, 0xFF000000);
    truncated.argb.resize(3);
    QVERIFY(ToQImage(truncated).isNull());
  }

  void hintsAreShownAsSent() {
    QCOMPARE(HintToolTip(""), QString());
    const QString tip = HintToolTip(Cp("Лифт <1>\nэтаж 5"));
    QVERIFY(tip.contains(QStringLiteral("Лифт &lt;1&gt;\nэтаж 5")));
    QVERIFY(tip.contains(QStringLiteral("white-space:pre")));

    Canvas canvas;
    MAPOBJECT record = Object(1, 2, nullptr);
    record.SetHint(Cp("Адрес$Состояние"));
    TMapPict* pict = canvas.Place(record);
    QCOMPARE(pict->toolTip(), HintToolTip(Cp("Адрес\nСостояние")));
  }

  void textLabelDefaults() {
    Canvas canvas;
    MAPTEXT text;  // nothing but the required keys
    text.X = 50;
    text.Y = 60;
    text.W = 300;
    text.H = 40;
    text.Caption = Cp("Котельная");
    MAPTEXT* stored = canvas.model.TextList.Add(text);
    TMapTextLabel* label = CreateTextLabel(*stored, canvas.page, {});
    QVERIFY(label != nullptr);
    QCOMPARE(stored->Label, static_cast<ITextLabel*>(label));
    QCOMPARE(label->parentWidget(), canvas.page);
    QVERIFY(label->isVisibleTo(canvas.page));
    QCOMPARE(label->text(), QStringLiteral("Котельная"));
    QCOMPARE(label->pos(), QPoint(50, 56));
    QCOMPARE(label->size(), label->sizeHint());  // auto-sized
    QVERIFY(!label->autoFillBackground());       // transparent
    QCOMPARE(label->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(label->font().pointSize(), 8);
    QVERIFY(!label->font().bold() && !label->font().italic());
    QCOMPARE(label->FontColor(), WinColorToQColor(kColorWindowText, label->palette()));
    QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);  // alignment 3 reads as left
    QVERIFY(!label->wordWrap());
    QVERIFY(!label->OnMouseDown && !label->OnMouseMove);  // no action, no handlers
  }

  void textLabelAttributes_data() {
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("expected");
    QTest::newRow("left top") << 0 << 0 << int(Qt::AlignLeft | Qt::AlignTop);
    QTest::newRow("right centre") << 1 << 1 << int(Qt::AlignRight | Qt::AlignVCenter);
    QTest::newRow("centre bottom") << 2 << 2 << int(Qt::AlignHCenter | Qt::AlignBottom);
    QTest::newRow("3 is left") << 3 << 0 << int(Qt::AlignLeft | Qt::AlignTop);
    QTest::newRow("200 is left, layout 9 top") << 200 << 9 << int(Qt::AlignLeft | Qt::AlignTop);
  }
  void textLabelAttributes() {
    QFETCH(int, alignment);
    QFETCH(int, layout);
    QFETCH(int, expected);
    Canvas canvas;
    MAPTEXT text;
    text.X = 5;
    text.Y = 4;
    text.W = 120;
    text.H = 30;
    text.Caption = "Text";
    text.Alignment = static_cast<uint8_t>(alignment);
    text.Layout = static_cast<uint8_t>(layout);
    text.Flags = kTextVisible | kTextBold | kTextItalic | kTextUnderline | kTextStrikeOut;
    text.Color = 0x00FFFF;
    text.FontColor = 0xFF0000;
    text.FontName = "Arial";
    text.FontSize = 14;
    text.Pitch = 2;
    MAPTEXT* stored = canvas.model.TextList.Add(text);
    TMapTextLabel* label = CreateTextLabel(*stored, canvas.page, {});
    QCOMPARE(int(label->alignment()), expected);
    QCOMPARE(label->geometry(), QRect(5, 0, 120, 30));  // no auto size: the server's size
    QVERIFY(label->autoFillBackground());               // opaque
    QCOMPARE(label->BackgroundColor(), QColor(255, 255, 0));
    QCOMPARE(label->FontColor(), QColor(0, 0, 255));
    const QFont font = label->font();
    QCOMPARE(font.family(), QStringLiteral("Arial"));
    QCOMPARE(font.pointSize(), 14);
    QVERIFY(font.bold() && font.italic() && font.underline() && font.strikeOut());
    QVERIFY(font.fixedPitch());
  }

  void wordWrapAndAutoSizeKeepTheWidth() {
    Canvas canvas;
    MAPTEXT text;
    text.X = 0;
    text.Y = 10;
    text.W = 60;
    text.H = 5;
    text.Caption = Cp("Длинный текст, который не помещается в одну строку");
    text.SetFlag(kTextWordWrap, true);
    MAPTEXT* stored = canvas.model.TextList.Add(text);
    TMapTextLabel* label = CreateTextLabel(*stored, canvas.page, {});
    QVERIFY(label->wordWrap());
    QCOMPARE(label->width(), 60);
    QVERIFY(label->height() > label->fontMetrics().height());  // more than one line
  }

  void invisibleTextsGetNoLabel() {
    Canvas canvas;
    MAPTEXT text;
    text.SetFlag(kTextVisible, false);
    text.Action = 1;
    MAPTEXT* stored = canvas.model.TextList.Add(text);
    QVERIFY(CreateTextLabel(*stored, canvas.page, {}) == nullptr);
    QVERIFY(stored->Label == nullptr);
  }

  void highlightingSwapsColoursOnce() {
    Canvas canvas;
    MAPTEXT text;
    text.Color = 0x112233;
    text.FontColor = 0x445566;
    MAPTEXT* stored = canvas.model.TextList.Add(text);
    TMapTextLabel* label = CreateTextLabel(*stored, canvas.page, {});
    const QColor background = label->BackgroundColor(), font = label->FontColor();
    stored->HighlightText();
    stored->HighlightText();
    QVERIFY(stored->Highlighted);
    QCOMPARE(label->BackgroundColor(), font);
    QCOMPARE(label->FontColor(), background);
    stored->UnhighlightText();
    QVERIFY(!stored->Highlighted);
    QCOMPARE(label->BackgroundColor(), background);
    QCOMPARE(label->FontColor(), font);
  }

  void labelsOfActionTextsGetTheHandlers() {
    // Bound when the text has an action, whatever its parameter: a link to
    // the first map (APARAM=0) works.
    struct Case {
      int action, aparam;
      bool bound;
    };
    for (const Case& c :
         {Case{0, 0, false}, Case{0, 3, false}, Case{1, 0, true}, Case{1, 2, true}, Case{2, -1, true}}) {
      MAPTEXT text;
      text.Action = c.action;
      text.AParam = c.aparam;
      QCOMPARE(TextLabelIsBound(text), c.bound);
    }

    Canvas canvas;
    int downs = 0, moves = 0;
    TMapTextLabel* lastSender = nullptr;
    Qt::MouseButton lastButton = Qt::NoButton;
    Qt::KeyboardModifiers lastModifiers;
    TTextLabelHandlers handlers;
    handlers.mouseDown = [&](TMapTextLabel* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
      ++downs;
      lastSender = sender;
      lastButton = button;
      lastModifiers = modifiers;
    };
    handlers.mouseMove = [&](TMapTextLabel*) { ++moves; };
    MAPTEXT link;
    link.Action = 1;
    link.AParam = 0;
    link.Caption = "Link";
    link.X = 10;
    link.Y = 30;
    MAPTEXT plain;
    plain.Caption = "Plain";
    plain.X = 100;
    plain.Y = 30;
    TMapTextLabel* linkLabel = CreateTextLabel(*canvas.model.TextList.Add(link), canvas.page, handlers);
    TMapTextLabel* plainLabel = CreateTextLabel(*canvas.model.TextList.Add(plain), canvas.page, handlers);
    QVERIFY(QTest::qWaitForWindowExposed(&canvas.pageControl));

    QTest::mouseClick(linkLabel, Qt::MiddleButton, Qt::ControlModifier, QPoint(2, 2));
    QCOMPARE(downs, 1);
    QCOMPARE(lastSender, linkLabel);
    QCOMPARE(lastButton, Qt::MiddleButton);
    QCOMPARE(lastModifiers, Qt::KeyboardModifiers(Qt::ControlModifier));
    QTest::mouseMove(linkLabel, QPoint(3, 3));
    QTRY_VERIFY(moves >= 1);
    QTest::mouseClick(plainLabel, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(downs, 1);
    QVERIFY(!plainLabel->hasMouseTracking());
  }

  void textsGoToThePageOfTheirMap() {
    QTabWidget pageControl;
    TMapModel model;
    for (const char* name : {"A", "B"}) CreateMapPage(*model.MapList.Add(name, false), &pageControl);
    struct Placed {
      int map;
      const char* caption;
    };
    for (const Placed& s :
         {Placed{1, "b1"}, Placed{0, "a1"}, Placed{5, "nowhere"}, Placed{1, "b2"}, Placed{-1, "neg"}}) {
      MAPTEXT text;
      text.MapIndex = s.map;
      text.Caption = s.caption;
      model.TextList.Add(text);
    }
    CreateTextLabels(model.TextList, &pageControl, {});
    auto labelsOf = [&](int page) {
      QStringList texts;
      for (auto* label : pageControl.widget(page)->findChildren<TMapTextLabel*>(Qt::FindDirectChildrenOnly))
        texts << label->text();
      return texts;
    };
    QCOMPARE(labelsOf(0), QStringList({"a1"}));
    QCOMPARE(labelsOf(1), QStringList({"b1", "b2"}));
    QVERIFY(model.TextList.Get(2)->Label == nullptr);
    QVERIFY(model.TextList.Get(4)->Label == nullptr);

    // FindByLabel: the text of a label; nothing for anything else.
    auto* b2 = dynamic_cast<TMapTextLabel*>(model.TextList.Get(3)->Label);
    QCOMPARE(FindByLabel(model.TextList, b2), model.TextList.Get(3));
    QVERIFY(FindByLabel(model.TextList, &pageControl) == nullptr);
    QVERIFY(FindByLabel(model.TextList, nullptr) == nullptr);
    QLabel stranger;
    QVERIFY(FindByLabel(model.TextList, &stranger) == nullptr);
  }

  void movingOverPicturesDoesNotReachTheTab() {
    Canvas canvas;
    int tabMoves = 0;
    canvas.page->OnMouseMove = [&] { ++tabMoves; };
    TPictureSet* set = AddSet(canvas.model, "lift", 16, 16, {0xFFFF0000});
    MAPOBJECT record = Object(100, 100, set);
    record.SetCapVisible(true);
    TMapPict* pict = canvas.Place(record);
    QVERIFY(QTest::qWaitForWindowExposed(&canvas.pageControl));
    int downs = 0;
    Qt::MouseButton button = Qt::NoButton;
    pict->OnMouseDown = [&](TMapPict* sender, Qt::MouseButton b) {
      QCOMPARE(sender, pict);
      button = b;
      ++downs;
    };
    QTest::mouseMove(pict, QPoint(4, 4));
    QTest::mouseMove(pict->CaptionLabel(), QPoint(1, 1));
    QCoreApplication::processEvents();
    QCOMPARE(tabMoves, 0);
    QTest::mouseMove(canvas.page, QPoint(300, 20));
    QTRY_COMPARE(tabMoves, 1);
    QTest::mousePress(pict, Qt::RightButton, {}, QPoint(3, 3));
    QCOMPARE(downs, 1);
    QCOMPARE(button, Qt::RightButton);
  }
};

QTEST_MAIN(MapViewTest)
#include "map_view_test.moc"
