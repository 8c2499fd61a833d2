#include "map/map_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/cp1251.h"
#include "support/solid_image.h"

namespace vertamo {
namespace {

using testing::SolidImage;

// ---------------------------------------------------------------- texts

TEST(FixedText, KeepsAtMostCapacityMinusOneBytes) {
  FixedText<4> text = "abcdef";
  EXPECT_EQ(text, "abc");
  text = "ab";
  EXPECT_EQ(text, "ab");
  text = std::string(3, 'x');
  EXPECT_EQ(text.size(), 3u);
  FixedText<1> none = "abc";
  EXPECT_TRUE(none.empty());
}

TEST(FixedText, EndsAtAZeroByteLikeAZeroTerminatedField) {
  FixedText<16> text = std::string_view("ab\0cd", 5);
  EXPECT_EQ(text, "ab");
}

TEST(FixedText, CutsCodePage1251BytesNotUtf8) {
  // 70 Cyrillic letters are 70 bytes of code page 1251: 63 are kept.
  std::string utf8;
  for (int i = 0; i < 70; ++i) utf8 += "ж";
  const std::string name = Utf8ToCp1251(utf8);
  ASSERT_EQ(name.size(), 70u);
  MAPOBJECT object;
  object.SetName(name);
  EXPECT_EQ(object.Name.str(), name.substr(0, 63));
}

// ---------------------------------------------------------------- MAPOBJECT

TEST(MapObject, DefaultsAreZeroExceptCapTransparent) {
  const MAPOBJECT o;
  EXPECT_TRUE(o.Name.empty());
  EXPECT_TRUE(o.Hint.empty());
  EXPECT_TRUE(o.ImlName.empty());
  EXPECT_TRUE(o.Caption.empty());
  EXPECT_EQ(o.Type, 0);
  EXPECT_EQ(o.Idx, 0);
  EXPECT_EQ(o.MapIndex, 0);
  EXPECT_EQ(o.X, 0);
  EXPECT_EQ(o.Y, 0);
  EXPECT_EQ(o.CX, 0);
  EXPECT_EQ(o.CY, 0);
  EXPECT_FALSE(o.CapVisible);
  EXPECT_EQ(o.CapColor, 0);
  EXPECT_TRUE(o.CapTransparent);
  EXPECT_FALSE(o.Changed);
  EXPECT_EQ(o.Pictures, nullptr);
  EXPECT_EQ(o.PCount, 0);
}

struct SetterCase {
  const char* field;
  std::function<void(MAPOBJECT&)> setFirst;  // a value different from the default
  std::function<void(MAPOBJECT&)> setAgain;  // the same value once more
  std::function<void(MAPOBJECT&)> setOther;  // yet another value
  std::function<bool(const MAPOBJECT&)> holdsOther;
};

std::vector<SetterCase> SetterCases() {
  const std::string longName(100, 'n');
  return {
      {"Name", [](MAPOBJECT& o) { o.SetName("Lift 1"); }, [](MAPOBJECT& o) { o.SetName("Lift 1"); },
       [](MAPOBJECT& o) { o.SetName("lift 1"); }, [](const MAPOBJECT& o) { return o.Name == "lift 1"; }},
      {"Name (over-long, cut alike)", [=](MAPOBJECT& o) { o.SetName(longName); },
       [=](MAPOBJECT& o) { o.SetName(longName + "tail"); }, [](MAPOBJECT& o) { o.SetName("short"); },
       [](const MAPOBJECT& o) { return o.Name == "short"; }},
      {"Type", [](MAPOBJECT& o) { o.SetType(1); }, [](MAPOBJECT& o) { o.SetType(1); },
       [](MAPOBJECT& o) { o.SetType(2); }, [](const MAPOBJECT& o) { return o.Type == 2; }},
      {"Hint", [](MAPOBJECT& o) { o.SetHint("a$b"); }, [](MAPOBJECT& o) { o.SetHint("a$b"); },
       [](MAPOBJECT& o) { o.SetHint("a b"); }, [](const MAPOBJECT& o) { return o.Hint == "a b"; }},
      {"Hint (line feed given directly equals $)", [](MAPOBJECT& o) { o.SetHint("a$b"); },
       [](MAPOBJECT& o) { o.SetHint("a\nb"); }, [](MAPOBJECT& o) { o.SetHint(""); },
       [](const MAPOBJECT& o) { return o.Hint.empty(); }},
      {"ImlName", [](MAPOBJECT& o) { o.SetImlName("lift"); }, [](MAPOBJECT& o) { o.SetImlName("lift"); },
       [](MAPOBJECT& o) { o.SetImlName("Lift"); }, [](const MAPOBJECT& o) { return o.ImlName == "Lift"; }},
      {"Idx", [](MAPOBJECT& o) { o.SetIdx(2); }, [](MAPOBJECT& o) { o.SetIdx(2); },
       [](MAPOBJECT& o) { o.SetIdx(-1); }, [](const MAPOBJECT& o) { return o.Idx == -1; }},
      {"MapIndex", [](MAPOBJECT& o) { o.SetMapIndex(3); }, [](MAPOBJECT& o) { o.SetMapIndex(3); },
       [](MAPOBJECT& o) { o.SetMapIndex(0); }, [](const MAPOBJECT& o) { return o.MapIndex == 0; }},
      {"X", [](MAPOBJECT& o) { o.SetX(10); }, [](MAPOBJECT& o) { o.SetX(10); },
       [](MAPOBJECT& o) { o.SetX(11); }, [](const MAPOBJECT& o) { return o.X == 11; }},
      {"Y", [](MAPOBJECT& o) { o.SetY(-5); }, [](MAPOBJECT& o) { o.SetY(-5); },
       [](MAPOBJECT& o) { o.SetY(5); }, [](const MAPOBJECT& o) { return o.Y == 5; }},
      {"CX", [](MAPOBJECT& o) { o.SetCX(4); }, [](MAPOBJECT& o) { o.SetCX(4); },
       [](MAPOBJECT& o) { o.SetCX(0); }, [](const MAPOBJECT& o) { return o.CX == 0; }},
      {"CY", [](MAPOBJECT& o) { o.SetCY(7); }, [](MAPOBJECT& o) { o.SetCY(7); },
       [](MAPOBJECT& o) { o.SetCY(8); }, [](const MAPOBJECT& o) { return o.CY == 8; }},
      {"CapVisible", [](MAPOBJECT& o) { o.SetCapVisible(true); }, [](MAPOBJECT& o) { o.SetCapVisible(true); },
       [](MAPOBJECT& o) { o.SetCapVisible(false); }, [](const MAPOBJECT& o) { return !o.CapVisible; }},
      {"Caption", [](MAPOBJECT& o) { o.SetCaption("A"); }, [](MAPOBJECT& o) { o.SetCaption("A"); },
       [](MAPOBJECT& o) { o.SetCaption("B"); }, [](const MAPOBJECT& o) { return o.Caption == "B"; }},
      {"CapColor", [](MAPOBJECT& o) { o.SetCapColor(255); }, [](MAPOBJECT& o) { o.SetCapColor(255); },
       [](MAPOBJECT& o) { o.SetCapColor(kColorWhite); },
       [](const MAPOBJECT& o) { return o.CapColor == kColorWhite; }},
      {"CapTransparent", [](MAPOBJECT& o) { o.SetCapTransparent(false); },
       [](MAPOBJECT& o) { o.SetCapTransparent(false); }, [](MAPOBJECT& o) { o.SetCapTransparent(true); },
       [](const MAPOBJECT& o) { return o.CapTransparent; }},
      {"PCount", [](MAPOBJECT& o) { o.SetPCount(8); }, [](MAPOBJECT& o) { o.SetPCount(8); },
       [](MAPOBJECT& o) { o.SetPCount(9); }, [](const MAPOBJECT& o) { return o.PCount == 9; }},
  };
}

TEST(MapObject, SettersMarkChangedOnlyWhenTheValueDiffers) {
  for (const SetterCase& c : SetterCases()) {
    SCOPED_TRACE(c.field);
    MAPOBJECT o;
    c.setFirst(o);
    EXPECT_TRUE(o.Changed) << "a new value marks the record changed";

    o.Changed = false;
    c.setAgain(o);
    EXPECT_FALSE(o.Changed) << "the present value leaves Changed untouched";

    c.setOther(o);
    EXPECT_TRUE(o.Changed);
    EXPECT_TRUE(c.holdsOther(o));

    // A setter never clears Changed by itself.
    c.setOther(o);
    EXPECT_TRUE(o.Changed);
  }
}

TEST(MapObject, SettingXToItsPresentValueLeavesChangedUntouched) {
  MAPOBJECT o;
  o.SetX(0);
  EXPECT_FALSE(o.Changed);
}

TEST(MapObject, HintTurnsEveryDollarIntoALineFeed) {
  MAPOBJECT o;
  o.SetHint("a$b");
  EXPECT_EQ(o.Hint.str(), "a\nb");
  o.SetHint("$$x$");
  EXPECT_EQ(o.Hint.str(), "\n\nx\n");
}

TEST(MapObject, HintNamesTheObjectAndItsHouseEvenWhenAStateHintDoesNot) {
  struct Case {
    const char* name;
    std::vector<const char*> hints;  // as the catalogue and then the change feed send them
    const char* shown;
  } cases[] = {
      {"Лифт 2", {"Лифт 2, подъезд 1$ул. Лесная, 12$пассажирский", "Лифт неисправен$Заявка передана механику"},
       "Лифт 2, подъезд 1\nул. Лесная, 12\nЛифт неисправен\nЗаявка передана механику"},
      {"Лифт 2", {"Лифт 2, подъезд 1$ул. Лесная, 12", "Лифт неисправен", "Лифт 2$ул. Лесная, 14$На ремонте"},
       "Лифт 2\nул. Лесная, 14\nНа ремонте"},  // the server's own naming is shown as sent
      {"ПУ", {"Переговорное устройство$ПУ$ул. Мира, 1", "Нет связи с объектом"}, "ПУ\nул. Мира, 1\nНет связи с объектом"},
      {"Лифт 5", {"Нет связи"}, "Лифт 5\nНет связи"},  // no house was ever given
      {"Лифт 6", {"Лифт 6$ул. Мира, 1", ""}, ""},
  };
  for (const Case& c : cases) {
    MAPOBJECT o;
    o.SetName(Utf8ToCp1251(c.name));
    for (const char* hint : c.hints) o.SetHint(Utf8ToCp1251(hint));
    EXPECT_EQ(o.HintText(), Utf8ToCp1251(c.shown)) << c.name << " " << c.hints.back();
  }
}

TEST(MapObject, HintIsCutTo255CharactersBeforeTheDollarsAreReplaced) {
  MAPOBJECT o;
  o.SetHint(std::string(254, 'h') + "$$$");
  EXPECT_EQ(o.Hint.size(), 255u);
  EXPECT_EQ(o.Hint.str(), std::string(254, 'h') + "\n");
}

TEST(MapObject, TextCapacities) {
  struct Case {
    const char* field;
    std::function<std::size_t(MAPOBJECT&, const std::string&)> set;
    std::size_t kept;
  };
  const std::vector<Case> cases = {
      {"Name",
       [](MAPOBJECT& o, const std::string& v) {
         o.SetName(v);
         return o.Name.size();
       },
       63},
      {"ImlName",
       [](MAPOBJECT& o, const std::string& v) {
         o.SetImlName(v);
         return o.ImlName.size();
       },
       63},
      {"Caption",
       [](MAPOBJECT& o, const std::string& v) {
         o.SetCaption(v);
         return o.Caption.size();
       },
       63},
      {"Hint",
       [](MAPOBJECT& o, const std::string& v) {
         o.SetHint(v);
         return o.Hint.size();
       },
       255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    MAPOBJECT o;
    EXPECT_EQ(c.set(o, std::string(1000, 'q')), c.kept);
    EXPECT_EQ(c.set(o, std::string(c.kept, 'r')), c.kept);
    EXPECT_EQ(c.set(o, std::string(c.kept + 1, 's')), c.kept);
  }
}

TEST(MapObject, AnObjectNameOf100CharactersKeepsItsFirst63) {
  std::string name;
  for (int i = 0; i < 100; ++i) name += static_cast<char>('a' + i % 26);
  MAPOBJECT o;
  o.SetName(name);
  EXPECT_EQ(o.Name.str(), name.substr(0, 63));
}

// ---------------------------------------------------------------- MAPTEXT

TEST(MapText, Defaults) {
  const MAPTEXT t;
  EXPECT_TRUE(t.Caption.empty());
  EXPECT_EQ(t.FontName, "Tahoma");
  EXPECT_TRUE(t.VideoTag.empty());
  EXPECT_EQ(t.X, 0);
  EXPECT_EQ(t.Y, 0);
  EXPECT_EQ(t.MapIndex, 0);
  EXPECT_EQ(t.W, 0);
  EXPECT_EQ(t.H, 0);
  EXPECT_EQ(t.Flags, 7);
  EXPECT_TRUE(t.HasFlag(kTextTransparent));
  EXPECT_TRUE(t.HasFlag(kTextVisible));
  EXPECT_TRUE(t.HasFlag(kTextAutoSize));
  EXPECT_FALSE(t.HasFlag(kTextWordWrap));
  EXPECT_EQ(t.Alignment, 3);
  EXPECT_EQ(t.Layout, 0);
  EXPECT_EQ(t.Color, -16777201);
  EXPECT_EQ(t.FontColor, -16777208);
  EXPECT_EQ(t.FontSize, 8);
  EXPECT_EQ(t.Charset, 1);
  EXPECT_EQ(t.Pitch, 0);
  EXPECT_EQ(t.Action, 0);
  EXPECT_EQ(t.AParam, 0);
  EXPECT_FALSE(t.Highlighted);
}

TEST(MapText, CapacitiesAndFlags) {
  MAPTEXT t;
  t.Caption = std::string(300, 'c');
  t.FontName = std::string(40, 'f');
  t.VideoTag = std::string(200, 'v');
  EXPECT_EQ(t.Caption.size(), 255u);
  EXPECT_EQ(t.FontName.size(), 31u);
  EXPECT_EQ(t.VideoTag.size(), 127u);

  t.SetFlag(kTextVisible, false);
  t.SetFlag(kTextStrikeOut, true);
  EXPECT_EQ(t.Flags, kTextTransparent | kTextAutoSize | kTextStrikeOut);
}

// ---------------------------------------------------------------- lists

TEST(MapList, AddNumbersMapsAndCreatesAPictureOnlyWhenAsked) {
  TMapModel model;
  MAP* first = model.MapList.Add("First", true);
  MAP* second = model.MapList.Add(std::string(80, 'm'), false);
  ASSERT_EQ(model.MapList.Count(), 2);
  EXPECT_EQ(first->Index, 0);
  EXPECT_EQ(second->Index, 1);
  EXPECT_EQ(first->Name, "First");
  EXPECT_EQ(second->Name.size(), 63u);
  ASSERT_NE(first->Picture, nullptr);
  EXPECT_TRUE(first->Picture->Empty());
  EXPECT_EQ(second->Picture, nullptr);
}

TEST(Lists, GetOutsideTheListGivesNoneAndIndexOfFindsRecords) {
  TMapModel model;
  MAPOBJECT o;
  o.SetName("a");
  MAPOBJECT* a = model.ObjectList.Add(o);
  o.SetName("b");
  MAPOBJECT* b = model.ObjectList.Add(o);
  EXPECT_EQ(model.ObjectList.Get(-1), nullptr);
  EXPECT_EQ(model.ObjectList.Get(2), nullptr);
  EXPECT_EQ(model.ObjectList.Get(0), a);
  EXPECT_EQ(model.ObjectList.Get(1), b);
  EXPECT_EQ(model.ObjectList.IndexOf(b), 1);
  EXPECT_EQ(model.ObjectList.IndexOf(&o), -1);
  EXPECT_EQ(model.ObjectList.IndexOf(nullptr), -1);

  EXPECT_EQ(model.MapList.Get(0), nullptr);
  EXPECT_EQ(model.TextList.Get(0), nullptr);
  EXPECT_EQ(model.PictureSets.Get(0), nullptr);
}

TEST(Lists, AddStoresACopyOfTheCallersRecord) {
  TMapModel model;
  MAPTEXT t;
  t.Caption = "one";
  MAPTEXT* stored = model.TextList.Add(t);
  t.Caption = "two";
  EXPECT_EQ(stored->Caption, "one");
  EXPECT_NE(stored, &t);
}

TEST(MapModel, ClearEmptiesEveryList) {
  TMapModel model;
  model.MapList.Add("a", true);
  model.MapList.Add("b", false);
  model.ObjectList.Add(MAPOBJECT{});
  model.PictureSets.FindOrCreateSet("lift", 1, 1);
  model.TextList.Add(MAPTEXT{});

  model.Clear();
  EXPECT_EQ(model.MapList.Count(), 0);
  EXPECT_EQ(model.ObjectList.Count(), 0);
  EXPECT_EQ(model.PictureSets.Count(), 0);
  EXPECT_EQ(model.TextList.Count(), 0);

  // The model is usable again, numbering from 0.
  EXPECT_EQ(model.MapList.Add("c", false)->Index, 0);
}

TEST(MapModel, TwoModelsAreIndependent) {
  TMapModel one, two;
  one.MapList.Add("one", false);
  one.PictureSets.FindOrCreateSet("lift", 1, 1);
  EXPECT_EQ(two.MapList.Count(), 0);
  EXPECT_EQ(two.PictureSets.FindSet("lift"), nullptr);
}

// ---------------------------------------------------------------- picture sets

uint32_t Pixel(const Image& image, int x, int y) {
  return image.argb[static_cast<std::size_t>(y) * image.width + x];
}

TEST(PictureSets, OnlyIdentifiersNameASet) {
  struct Case {
    std::string name;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"lift", true},
      {"_", true},
      {"Lift_2", true},
      {"a1b2", true},
      {"", false},
      {"2lift", false},
      {"lift-2", false},
      {"lift 2", false},
      {"../x", false},
      {"a/b", false},
      {"a.b", false},
      {Utf8ToCp1251("лифт"), false},
      {"lift\\x", false},
      {"\xC0"
       "bc",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMapModel model;
    TPictureSet* set = model.PictureSets.FindOrCreateSet(c.name, 1, 1);
    EXPECT_EQ(set != nullptr, c.valid);
    EXPECT_EQ(IsPictureSetName(c.name), c.valid);
    EXPECT_EQ(model.PictureSets.Count(), c.valid ? 1 : 0);
  }
}

TEST(PictureSets, FindOrCreateReturnsTheExistingSetAndComparesNamesExactly) {
  TMapModel model;
  TPictureSet* lift = model.PictureSets.FindOrCreateSet("lift", 1, 1);
  ASSERT_NE(lift, nullptr);
  EXPECT_EQ(model.PictureSets.FindOrCreateSet("lift", 5, 5), lift);
  EXPECT_EQ(lift->Width(), 1);
  TPictureSet* upper = model.PictureSets.FindOrCreateSet("Lift", 1, 1);
  EXPECT_NE(upper, lift);
  EXPECT_EQ(model.PictureSets.Count(), 2);
  EXPECT_EQ(model.PictureSets.FindSet("LIFT"), nullptr);
  EXPECT_EQ(model.PictureSets.IndexOf(upper), 1);
  EXPECT_EQ(model.PictureSets.FindOrCreateSet("zero", 0, 1), nullptr);
}

TEST(PictureSets, AddPictureRefusesEmptyBitmapsAndUnknownSets) {
  TMapModel model;
  model.PictureSets.FindOrCreateSet("lift", 1, 1);
  TBitmap empty;
  EXPECT_EQ(model.PictureSets.AddPicture("lift", empty), nullptr);
  TBitmap shortPixels;
  shortPixels.Pixels.width = 4;
  shortPixels.Pixels.height = 4;
  shortPixels.Pixels.argb.resize(15);
  EXPECT_EQ(model.PictureSets.AddPicture("lift", shortPixels), nullptr);
  TBitmap fine{SolidImage(2, 2, 0xFF102030), false};
  EXPECT_EQ(model.PictureSets.AddPicture("nosuch", fine), nullptr);
  EXPECT_EQ(model.PictureSets.FindSet("lift")->Count(), 0);
}

TEST(PictureSets, TheFirstPictureFixesTheSizeAndLaterOnesAreCutOrExtended) {
  TMapModel model;
  model.PictureSets.FindOrCreateSet("lift", 1, 1);

  Image first = SolidImage(24, 24, 0xFF00FF00);
  TPictureSet* set = model.PictureSets.AddPicture("lift", TBitmap{first, false});
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->Width(), 24);
  EXPECT_EQ(set->Height(), 24);

  // 32 x 32 is cut to 24 x 24: the top-left part stays, no scaling.
  Image big = SolidImage(32, 32, 0xFF000000);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) big.argb[static_cast<std::size_t>(y) * 32 + x] = 0xFF000000u | (y << 8) | x;
  ASSERT_EQ(model.PictureSets.AddPicture("lift", TBitmap{big, false}), set);
  const Image& cut = set->Get(1)->Pixels;
  EXPECT_EQ(cut.width, 24);
  EXPECT_EQ(cut.height, 24);
  EXPECT_EQ(Pixel(cut, 23, 23), 0xFF000000u | (23 << 8) | 23);
  EXPECT_EQ(Pixel(cut, 5, 7), 0xFF000000u | (7 << 8) | 5);

  // 10 x 30 is cut in height and extended in width with white.
  ASSERT_EQ(model.PictureSets.AddPicture("lift", TBitmap{SolidImage(10, 30, 0xFF112233), false}), set);
  const Image& mixed = set->Get(2)->Pixels;
  EXPECT_EQ(mixed.width, 24);
  EXPECT_EQ(mixed.height, 24);
  EXPECT_EQ(Pixel(mixed, 9, 23), 0xFF112233u);
  EXPECT_EQ(Pixel(mixed, 10, 0), 0xFFFFFFFFu);
  EXPECT_FALSE(set->Get(2)->Masked);
  EXPECT_EQ(set->Count(), 3);
  EXPECT_EQ(set->Get(3), nullptr);
  EXPECT_EQ(set->Get(-1), nullptr);
}

TEST(PictureSets, ASetOfAFixedSizeKeepsIt) {
  TMapModel model;
  TPictureSet* set = model.PictureSets.FindOrCreateSet("fixed", 24, 24);
  ASSERT_EQ(model.PictureSets.AddPicture("fixed", TBitmap{SolidImage(32, 32, 0xFF000000), false}), set);
  EXPECT_EQ(set->Width(), 24);
  EXPECT_EQ(set->Get(0)->Pixels.width, 24);
}

TEST(PictureSets, APictureOneWideDoesNotLetTheNextOneResizeTheSet) {
  TMapModel model;
  TPictureSet* set = model.PictureSets.FindOrCreateSet("thin", 1, 1);
  model.PictureSets.AddPicture("thin", TBitmap{SolidImage(1, 5, 0xFF000000), false});
  model.PictureSets.AddPicture("thin", TBitmap{SolidImage(8, 8, 0xFF000000), false});
  EXPECT_EQ(set->Width(), 1);
  EXPECT_EQ(set->Height(), 5);
  EXPECT_EQ(set->Get(1)->Pixels.width, 1);
  EXPECT_EQ(set->Get(1)->Pixels.height, 5);
}

TEST(PictureSets, TransparentPicturesGetAMaskFromTheirBottomLeftPixel) {
  TMapModel model;
  model.PictureSets.FindOrCreateSet("lamp", 1, 1);
  Image image = SolidImage(3, 2, 0xFFFF00FF);  // magenta background
  image.argb[1] = 0xFF0000FF;             // one blue pixel in the top row
  image.argb[5] = 0x00FF00FF;             // magenta with no alpha still matches
  TPictureSet* set = model.PictureSets.AddPicture("lamp", TBitmap{image, true});
  ASSERT_NE(set, nullptr);
  const TSetPicture* p = set->Get(0);
  ASSERT_TRUE(p->Masked);
  EXPECT_EQ(p->MaskColour, 0xFFFF00FFu);
  EXPECT_EQ(p->Mask, (std::vector<uint8_t>{1, 0, 1, 1, 1, 1}));
  const Image drawable = p->Drawable();
  EXPECT_EQ(drawable.argb[0] >> 24, 0u);
  EXPECT_EQ(drawable.argb[1], 0xFF0000FFu);

  // Opaque pictures carry no mask and draw as they are.
  set = model.PictureSets.AddPicture("lamp", TBitmap{image, false});
  EXPECT_FALSE(set->Get(1)->Masked);
  EXPECT_TRUE(set->Get(1)->Mask.empty());
  EXPECT_EQ(set->Get(1)->Drawable().argb, image.argb);
}

TEST(PictureSets, AnExtendedTransparentPictureShowsThroughInTheAddedArea) {
  TMapModel model;
  model.PictureSets.FindOrCreateSet("lamp", 4, 4);
  Image image = SolidImage(2, 2, 0xFF00FF00);  // green background
  image.argb[0] = 0xFF000000;             // black top-left
  TPictureSet* set = model.PictureSets.AddPicture("lamp", TBitmap{image, true});
  ASSERT_NE(set, nullptr);
  const TSetPicture* p = set->Get(0);
  EXPECT_EQ(p->MaskColour, 0xFF00FF00u);
  const std::vector<uint8_t> expected = {0, 1, 1, 1,  //
                                         1, 1, 1, 1,  //
                                         1, 1, 1, 1,  //
                                         1, 1, 1, 1};
  EXPECT_EQ(p->Mask, expected);
}

TEST(PictureSets, ObjectsWithTheSameImlNameShareOneSet) {
  TMapModel model;
  MAPOBJECT o;
  o.SetImlName("lift");
  MAPOBJECT* a = model.ObjectList.Add(o);
  MAPOBJECT* b = model.ObjectList.Add(o);
  a->Pictures = model.PictureSets.FindOrCreateSet(a->ImlName, 1, 1);
  b->Pictures = model.PictureSets.FindSet(b->ImlName);
  EXPECT_EQ(a->Pictures, b->Pictures);
  EXPECT_EQ(model.PictureSets.Count(), 1);
}

TEST(FitToSize, KeepsTopLeftAndFills) {
  const Image out = FitToSize(SolidImage(2, 3, 0xFF000001), 3, 2, 0xFFABCDEF);
  EXPECT_EQ(out.argb, (std::vector<uint32_t>{0xFF000001, 0xFF000001, 0xFFABCDEF,  //
                                             0xFF000001, 0xFF000001, 0xFFABCDEF}));
  EXPECT_TRUE(FitToSize(SolidImage(2, 2, 0), 0, 5, 0).argb.empty());
}

}  // namespace
}  // namespace vertamo
