#include "serverlink/pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "codec/base64.h"
#include "codec/picture_checksum.h"
#include "load_fixture.h"
#include "support/solid_image.h"

namespace vertamo::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

std::string Data(const Image& image) { return "\"" + Base64Encode(EncodePng(image)) + "\""; }

std::string Hex(uint32_t sum) { return "\"" + FormatPictureChecksum(sum) + "\""; }

class Pictures : public LoadFixture {
 protected:
  MAP* AddMap(const std::string& name, bool picture) { return model.MapList.Add(name, picture); }
  MAPOBJECT* AddObject(const std::string& iml, int pcount) {
    MAPOBJECT o;
    o.SetImlName(iml);
    o.SetPCount(pcount);
    return model.ObjectList.Add(o);
  }
  std::string CacheFolder() const { return CacheFolderIn(work.path()); }
  bool CacheExists() const { return fs::exists(CacheFolder()); }
  uint32_t FileSum(const std::string& path) const { return PictureChecksum(ReadWholeFile(path)); }
};

// ---------------------------------------------------------------- map backgrounds

TEST_F(Pictures, BackgroundsAreDownloadedWithoutTouchingACacheWhenItIsOff) {
  const Image picture = PatternImage(4, 3, 1);
  AddMap(Cp("Этаж 1"), true);
  AddMap("plain", false);
  AddMap("second", true);
  server->On("GETPICTMAP MAP=0", "MAP=0 W=4 H=3\rDATA=" + Data(picture) + "\r");
  server->On("GETPICTMAP MAP=2", "MAP=2 W=4 H=3\r\nDATA=" + Data(PatternImage(2, 2, 9)) + "\r\n");
  Connect();
  ASSERT_TRUE(LoadMapPictures(*ctx)) << LogText();

  EXPECT_EQ(server->Requests(), (Strings{"GETPICTMAP MAP=0", "GETPICTMAP MAP=2"}));
  EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.argb, picture.argb);
  EXPECT_FALSE(model.MapList.Get(0)->Picture->Transparent);
  EXPECT_EQ(model.MapList.Get(1)->Picture, nullptr);
  EXPECT_EQ(model.MapList.Get(2)->Picture->Pixels.width, 2);
  EXPECT_FALSE(CacheExists()) << "no Cache folder while the cache is off";
  EXPECT_EQ(events.statuses, (Strings{"Получение подложки карты 1 из 3", "Получение подложки карты 3 из 3"}));
  EXPECT_TRUE(Logged("Всего карт= 3...")) << LogText();
  EXPECT_TRUE(Logged("Картинка карты 0: успешно получена"));
  EXPECT_TRUE(Logged("Картинка карты 2: успешно получена"));
}

TEST_F(Pictures, ABackgroundIsServedFromTheCacheOnTheNextConnection) {
  const Image picture = PatternImage(6, 5, 2);
  Start(true, /*cacheEnable=*/true);
  AddMap(Cp("Этаж 1"), true);
  server->On("GETPICTMAP MAP=0", "MAP=0 W=6 H=5\rDATA=" + Data(picture) + "\r");
  Connect();
  ASSERT_TRUE(LoadMapPictures(*ctx)) << LogText();
  EXPECT_EQ(server->Requests(), Strings{"GETPICTMAP MAP=0"}) << "no checksum request without a cache file";
  const std::string file = MapCacheFile(CacheFolder(), Cp("Этаж 1"));
  EXPECT_EQ(fs::path(file).filename().string(), "Этаж 1.png");
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(ReadWholeFile(file), EncodePng(picture));

  // Second connection: only the checksum is asked for.
  Reconnect(true);
  model.Clear();
  AddMap(Cp("Этаж 1"), true);
  server->On("GETPICTMAPCS MAP=0", "MAP=0 TRANSPARENT=1 CS=" + Hex(FileSum(file)) + "\r");
  Connect();
  ASSERT_TRUE(LoadMapPictures(*ctx)) << LogText();
  EXPECT_EQ(server->Requests(), Strings{"GETPICTMAPCS MAP=0"});
  EXPECT_EQ(server->CountRequests("GETPICTMAP "), 0);
  EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.argb, picture.argb);
  EXPECT_TRUE(model.MapList.Get(0)->Picture->Transparent);
  EXPECT_TRUE(Logged("Картинка карты 0: взята из кэш")) << LogText();
}

TEST_F(Pictures, AChecksumMismatchFallsBackToTheDownload) {
  const Image cached = PatternImage(3, 3, 3), fresh = PatternImage(3, 3, 4);
  Start(true, true);
  AddMap("m", true);
  const std::string file = MapCacheFile(CacheFolder(), "m");
  ASSERT_TRUE(WriteCacheFile(CacheFolder(), file, cached));
  const uint32_t sum = FileSum(file);
  server->On("GETPICTMAPCS MAP=0", "MAP=0 TRANSPARENT=0 CS=\"0x1A\"\r");
  server->On("GETPICTMAP MAP=0", "MAP=0 W=3 H=3\rDATA=" + Data(fresh) + "\r");
  Connect();
  ASSERT_TRUE(LoadMapPictures(*ctx));
  EXPECT_EQ(server->Requests(), (Strings{"GETPICTMAPCS MAP=0", "GETPICTMAP MAP=0"}));
  EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.argb, fresh.argb);
  char expected[64];
  std::snprintf(expected, sizeof expected,
                "Не"
                "c"
                "овпадение CS 1A и %X",
                sum);  // Latin c
  EXPECT_TRUE(Logged(expected)) << LogText();
  EXPECT_EQ(ReadWholeFile(file), EncodePng(fresh)) << "the cache file is written anew";
}

TEST_F(Pictures, ChecksumPathFailuresFallBackToTheDownload) {
  struct Case {
    const char* what;
    std::string csReply;
    std::string cacheBytes;  // empty: a valid cached picture
    std::string log;         // expected somewhere in the log, UTF-8; empty: none
  };
  const Image good = PatternImage(2, 2, 5);
  const std::string goodPng = EncodePng(good);
  const std::string notPng = "definitely not a PNG file";
  const std::vector<Case> cases = {
      {"wrong map number", "MAP=1 TRANSPARENT=0 CS=" + Hex(PictureChecksum(goodPng)) + "\r", "",
       "Неправильное значение MAP в ответе MAP=1 TRANSPARENT=0 CS=" + Hex(PictureChecksum(goodPng)) + "..."},
      {"no checksum", "MAP=0 TRANSPARENT=0\r", "", "Не получена строка  CS=...Получено:MAP=0 TRANSPARENT=0"},
      {"no transparency", "MAP=0 CS=\"0\"\r", "",
       "Не получена строка  TRANSPARENT=... Получено:MAP=0 CS=\"0\""},
      {"wrong first line", "OBJ=0\r", "", "Не получена строка MAP=...Получено:OBJ=0"},
      {"checksum right but the file is no PNG",
       "MAP=0 TRANSPARENT=0 CS=" + Hex(PictureChecksum(notPng)) + "\r", notPng, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server = std::make_unique<ScriptedServer>();
    model.Clear();
    Start(true, true);
    AddMap("m", true);
    fs::create_directories(CacheFolder());
    WriteWholeFile(MapCacheFile(CacheFolder(), "m"), c.cacheBytes.empty() ? goodPng : c.cacheBytes);
    server->On("GETPICTMAPCS MAP=0", c.csReply);
    server->On("GETPICTMAP MAP=0", "MAP=0 W=2 H=2\rDATA=" + Data(good) + "\r");
    Connect();
    ASSERT_TRUE(LoadMapPictures(*ctx)) << LogText();
    EXPECT_EQ(server->Requests(), (Strings{"GETPICTMAPCS MAP=0", "GETPICTMAP MAP=0"}));
    EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.argb, good.argb);
    if (!c.log.empty()) EXPECT_TRUE(Logged(c.log)) << LogText();
  }
}

TEST_F(Pictures, BackgroundDownloadFailures) {
  const std::string good = Data(PatternImage(2, 2, 6));
  struct Case {
    const char* what;
    std::string reply;
    std::string log;  // the last log line, UTF-8
  };
  const std::vector<Case> cases = {
      {"wrong map", "MAP=1 W=2 H=2\rDATA=" + good + "\r",
       "Неправильное значение MAP в ответе MAP=1 W=2 H=2..."},
      {"zero width", "MAP=0 W=0 H=2\rDATA=" + good + "\r",
       "Неправильное значение W в ответе MAP=0 W=0 H=2..."},
      {"negative height", "MAP=0 W=2 H=-1\r", "Неправильное значение H в ответе MAP=0 W=2 H=-1..."},
      {"width missing", "MAP=0 H=2\r", "Не получена строка W=... Получено:MAP=0 H=2"},
      {"no MAP line", "ERROR\r", "Не получена строка MAP=...Получено:ERROR"},
      {"data missing", "MAP=0 W=2 H=2\rDATE=" + good + "\r", "Не удалось получить DATA=..."},
      {"data not quoted", "MAP=0 W=2 H=2\rDATA=abcd\r", "Не удалось получить DATA=..."},
      {"length not a multiple of 4",
       "MAP=0 W=2 H=2\rDATA=\"" + Base64Encode(EncodePng(PatternImage(2, 2, 6))) + "A\"\r",
       "Не удалось преобразовать в PNG..."},
      {"character outside the alphabet", "MAP=0 W=2 H=2\rDATA=\"ab-d\"\r",
       "Не удалось преобразовать в PNG..."},
      {"fill in the middle", "MAP=0 W=2 H=2\rDATA=\"ab=dabcd\"\r", "Не удалось преобразовать в PNG..."},
      {"Base64 of no PNG", "MAP=0 W=2 H=2\rDATA=\"" + Base64Encode("GIF89a....") + "\"\r",
       "Не удалось преобразовать в PNG..."},
      {"empty data", "MAP=0 W=2 H=2\rDATA=\"\"\r", "Не удалось преобразовать в PNG..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server = std::make_unique<ScriptedServer>();
    model.Clear();
    Start(true, true);
    AddMap("m", true);
    server->On("GETPICTMAP MAP=0", c.reply);
    Connect();
    channel->SetReadTimeout(300);
    EXPECT_FALSE(LoadMapPictures(*ctx));
    EXPECT_TRUE(model.MapList.Get(0)->Picture->Empty());
    const Strings lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), c.log);
    EXPECT_FALSE(fs::exists(MapCacheFile(CacheFolder(), "m"))) << "nothing is cached from a failed download";
  }
}

TEST_F(Pictures, AMapNameCannotWriteOutsideTheCacheFolder) {
  Start(true, true);
  const Image picture = PatternImage(2, 2, 7);
  AddMap("../../evil", true);
  AddMap("a/b", true);
  server->On("GETPICTMAP MAP=0", "MAP=0 W=2 H=2\rDATA=" + Data(picture) + "\r");
  server->On("GETPICTMAP MAP=1", "MAP=1 W=2 H=2\rDATA=" + Data(picture) + "\r");
  Connect();
  ASSERT_TRUE(LoadMapPictures(*ctx));
  std::vector<std::string> cached;
  for (const auto& entry : fs::directory_iterator(CacheFolder()))
    cached.push_back(entry.path().filename().string());
  std::sort(cached.begin(), cached.end());
  EXPECT_EQ(cached, (Strings{"%2E.%2F..%2Fevil.png", "a%2Fb.png"}));
  std::vector<std::string> inWork;
  for (const auto& entry : fs::recursive_directory_iterator(work.path()))
    if (entry.is_regular_file()) inWork.push_back(fs::relative(entry.path(), work.path()).string());
  std::sort(inWork.begin(), inWork.end());
  EXPECT_EQ(inWork, (Strings{"Cache/%2E.%2F..%2Fevil.png", "Cache/a%2Fb.png", "Client.log"}));
  EXPECT_FALSE(fs::exists(fs::path(work.path()).parent_path().parent_path() / "evil.png"));
}

TEST_F(Pictures, DecodePictureDataRefusesCorruptText) {
  Image out;
  EXPECT_TRUE(DecodePictureData(Base64Encode(EncodePng(PatternImage(3, 2, 1))), out));
  EXPECT_EQ(out.width, 3);
  for (const std::string& bad : {std::string("abc"), std::string("ab\ncd=="), std::string("====")}) {
    EXPECT_FALSE(DecodePictureData(bad, out)) << bad;
    EXPECT_TRUE(out.argb.empty());
  }
}

// ---------------------------------------------------------------- picture sets

std::string SetReply(int obj, const std::vector<Image>& pictures, int transparent = 0, int w = 24,
                     int h = 24) {
  std::string reply = "OBJ=" + std::to_string(obj) + " PCOUNT=" + std::to_string(pictures.size()) +
                      " W=" + std::to_string(w) + " H=" + std::to_string(h) +
                      " TRANSPARENT=" + std::to_string(transparent) + "\r";
  for (size_t j = 0; j < pictures.size(); ++j)
    reply += "DATA" + std::to_string(j) + "=" + Data(pictures[j]) + "\r";
  return reply;
}

TEST_F(Pictures, OneRequestPerSetNameAndTheObjectsThatCannotHaveOne) {
  const std::vector<Image> lift = {PatternImage(24, 24, 1), PatternImage(24, 24, 2)};
  AddObject("lift", 2);      // 0: downloads the set
  AddObject("lift", 2);      // 1: links to it
  AddObject("", 2);          // 2: no name
  AddObject("bad-name", 2);  // 3: not an identifier
  AddObject("door", 0);      // 4: no picture count
  AddObject("door", 3);      // 5: finds the empty set of object 4
  server->On("GETPICTIML OBJ=0", SetReply(0, lift));
  Connect();
  ASSERT_TRUE(LoadPictureSets(*ctx)) << LogText();

  EXPECT_EQ(server->Requests(), Strings{"GETPICTIML OBJ=0"});
  EXPECT_EQ(events.progress, Strings{"1/1"});  // only "lift" is filled
  TPictureSet* set = model.PictureSets.FindSet("lift");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->Count(), 2);
  EXPECT_EQ(set->Get(1)->Pixels.argb, lift[1].argb);
  EXPECT_EQ(model.ObjectList.Get(0)->Pictures, set);
  EXPECT_EQ(model.ObjectList.Get(1)->Pictures, set);
  EXPECT_EQ(model.ObjectList.Get(2)->Pictures, nullptr);
  EXPECT_EQ(model.ObjectList.Get(3)->Pictures, nullptr);
  EXPECT_EQ(model.ObjectList.Get(4)->Pictures, nullptr);
  ASSERT_NE(model.PictureSets.FindSet("door"), nullptr);
  EXPECT_EQ(model.ObjectList.Get(5)->Pictures, model.PictureSets.FindSet("door"));
  EXPECT_EQ(model.PictureSets.Count(), 2);

  EXPECT_EQ(events.statuses, Strings{"Получение набора картинок lift"});
  EXPECT_EQ(LogLines(), (Strings{
                            "Послано: GETPICTIML OBJ=0",
                            "Получено: OBJ=0 PCOUNT=2 W=24 H=24 TRANSPARENT=0",
                            ">>> Получение DATA0=",
                            "Получено: DATA0=...",
                            "<<< OK",
                            ">>> Получение DATA1=",
                            "Получено: DATA1=...",
                            "<<< OK",
                            "Успешно заполнен набор картинок lift...",
                            "Не задано имя набора картинок объекта 2...",
                            "Не удалось создать набор картинок bad-name объекта 3...",
                            "Не задано количество картинок  объекта 4...",
                        }));
}

TEST_F(Pictures, ThePictureProgressLinesAreWrittenWhateverDebugSays) {
  Start(false);
  AddObject("lift", 1);
  server->On("GETPICTIML OBJ=0", SetReply(0, {PatternImage(2, 2, 1)}));
  Connect();
  ASSERT_TRUE(LoadPictureSets(*ctx));
  EXPECT_EQ(LogLines(), (Strings{">>> Получение DATA0=", "<<< OK"}));
}

TEST_F(Pictures, PicturesAreCutOrExtendedToTheFirstOnesSizeAndMasked) {
  Image first = SolidImage(24, 24, 0xFF00FF00);
  first.argb[0] = 0xFF000000;
  const Image big = SolidImage(32, 32, 0xFFFF00FF);
  const Image small = SolidImage(10, 10, 0xFF0000FF);
  AddObject("lamp", 3);
  server->On("GETPICTIML OBJ=0", SetReply(0, {first, big, small}, /*transparent=*/1, 1, 1));
  Connect();
  ASSERT_TRUE(LoadPictureSets(*ctx)) << LogText();
  TPictureSet* set = model.PictureSets.FindSet("lamp");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->Width(), 24);
  EXPECT_EQ(set->Height(), 24);
  ASSERT_EQ(set->Count(), 3);
  for (int j = 0; j < 3; ++j) {
    SCOPED_TRACE(j);
    EXPECT_EQ(set->Get(j)->Pixels.width, 24);
    EXPECT_EQ(set->Get(j)->Pixels.height, 24);
    EXPECT_TRUE(set->Get(j)->Masked);
  }
  EXPECT_EQ(set->Get(0)->MaskColour, 0xFF00FF00u);
  EXPECT_EQ(set->Get(0)->Mask[0], 0) << "the black corner stays visible";
  EXPECT_EQ(set->Get(0)->Mask[1], 1);
  EXPECT_EQ(set->Get(1)->MaskColour, 0xFFFF00FFu);
  EXPECT_EQ(set->Get(2)->MaskColour, 0xFF0000FFu);
  EXPECT_EQ(set->Get(2)->Mask[23 * 24 + 23], 1) << "the added area shows through";
}

TEST_F(Pictures, PictureSetDownloadFailures) {
  const std::string p = Data(PatternImage(2, 2, 1));
  struct Case {
    const char* what;
    std::string reply;
    std::string log;
  };
  const std::vector<Case> cases = {
      {"wrong object", "OBJ=1 PCOUNT=2 W=2 H=2 TRANSPARENT=0\r",
       "Неправильное значение OBJ в ответе OBJ=1 PCOUNT=2 W=2 H=2 TRANSPARENT=0..."},
      {"other count", "OBJ=0 PCOUNT=3 W=2 H=2 TRANSPARENT=0\r",
       "Неправильное значение PCOUNT в ответе OBJ=0 PCOUNT=3 W=2 H=2 TRANSPARENT=0..."},
      {"zero width", "OBJ=0 PCOUNT=2 W=0 H=2 TRANSPARENT=0\r",
       "Неправильное значение W в ответе OBJ=0 PCOUNT=2 W=0 H=2 TRANSPARENT=0..."},
      {"zero height", "OBJ=0 PCOUNT=2 W=2 H=0 TRANSPARENT=0\r",
       "Неправильное значение H в ответе OBJ=0 PCOUNT=2 W=2 H=0 TRANSPARENT=0..."},
      {"no transparency", "OBJ=0 PCOUNT=2 W=2 H=2\r",
       "Не получена строка  TRANSPARENT=... Получено:OBJ=0 PCOUNT=2 W=2 H=2"},
      {"second picture missing", "OBJ=0 PCOUNT=2 W=2 H=2 TRANSPARENT=0\rDATA0=" + p + "\rDATA2=" + p + "\r",
       "Не удалось получить DATA1=..."},
      {"second picture corrupt", "OBJ=0 PCOUNT=2 W=2 H=2 TRANSPARENT=0\rDATA0=" + p + "\rDATA1=\"abc\"\r",
       "Не удалось преобразовать в PNG..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server = std::make_unique<ScriptedServer>();
    model.Clear();
    Start(true);
    AddObject("lift", 2);
    server->On("GETPICTIML OBJ=0", c.reply);
    Connect();
    channel->SetReadTimeout(300);
    EXPECT_FALSE(LoadPictureSets(*ctx));
    EXPECT_EQ(model.ObjectList.Get(0)->Pictures, nullptr);
    EXPECT_EQ(LogLines().back(), c.log);
  }
}

TEST_F(Pictures, APictureSetIsServedFromTheCacheOnTheNextConnection) {
  const std::vector<Image> lift = {PatternImage(8, 8, 1), PatternImage(8, 8, 2), PatternImage(8, 8, 3)};
  Start(true, true);
  AddObject("lift", 3);
  server->On("GETPICTIML OBJ=0", SetReply(0, lift));
  Connect();
  ASSERT_TRUE(LoadPictureSets(*ctx)) << LogText();
  EXPECT_EQ(server->Requests(), Strings{"GETPICTIML OBJ=0"});
  uint32_t sum = 0;
  for (int j = 0; j < 3; ++j) {
    const std::string file = PictureSetCacheFile(CacheFolder(), "lift", j);
    EXPECT_EQ(fs::path(file).filename().string(), "lift_" + std::to_string(j) + ".png");
    EXPECT_EQ(ReadWholeFile(file), EncodePng(lift[static_cast<size_t>(j)]));
    sum += FileSum(file);
  }

  Reconnect(true);
  model.Clear();
  AddObject("", 0);
  AddObject("lift", 3);
  server->On("GETPICTIMLCS OBJ=1", "OBJ=1 PCOUNT=3 TRANSPARENT=1 CS=" + Hex(sum) + "\r");
  Connect();
  ASSERT_TRUE(LoadPictureSets(*ctx)) << LogText();
  EXPECT_EQ(server->Requests(), Strings{"GETPICTIMLCS OBJ=1"});
  TPictureSet* set = model.PictureSets.FindSet("lift");
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(set->Count(), 3);
  EXPECT_EQ(set->Get(2)->Pixels.argb, lift[2].argb);
  EXPECT_TRUE(set->Get(0)->Masked);
  EXPECT_EQ(model.ObjectList.Get(1)->Pictures, set);
  EXPECT_TRUE(Logged("Набор картинок lift получен из кэш...")) << LogText();
}

TEST_F(Pictures, PictureSetChecksumFailuresFallBackToTheDownload) {
  const std::vector<Image> lift = {PatternImage(4, 4, 1), PatternImage(4, 4, 2)};
  const std::string png0 = EncodePng(lift[0]), png1 = EncodePng(lift[1]);
  const uint32_t sum = PictureChecksum(png0 + png1);
  struct Case {
    const char* what;
    std::string file0, file1;  // cache files; "-" = absent, "fifo" = a FIFO
    std::string csReply;
    std::string log;
  };
  const std::vector<Case> cases = {
      {"checksum mismatch", png0, png1, "OBJ=0 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(sum + 1) + "\r", ""},
      {"second file missing", png0, "-", "OBJ=0 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(sum) + "\r", ""},
      {"wrong object", png0, png1, "OBJ=3 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(sum) + "\r",
       "Неправильное значение OBJ в ответе OBJ=3 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(sum) + "..."},
      {"other count", png0, png1, "OBJ=0 PCOUNT=1 TRANSPARENT=0 CS=" + Hex(sum) + "\r",
       "Неправильное значение PCOUNT в ответе OBJ=0 PCOUNT=1 TRANSPARENT=0 CS=" + Hex(sum) + "..."},
      // The byte sum cannot tell swapped bytes apart: the second file is no
      // PNG any more, yet sums the same. The set must not keep the first
      // picture twice.
      {"sum matches but a file does not decode", png0, std::string(png1.rbegin(), png1.rend()),
       "OBJ=0 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(sum) + "\r", ""},
      // Read without blocking: nobody ever writes to this FIFO.
      {"a FIFO under the second file's name", png0, "fifo", "OBJ=0 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(sum) + "\r",
       ""},
      // Zeros leave the byte sum as it was; the file is too large for its picture.
      {"zeros appended to a file", png0, png1 + std::string(100000, '\0'),
       "OBJ=0 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(sum) + "\r", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server = std::make_unique<ScriptedServer>();
    model.Clear();
    Start(true, true);
    fs::remove_all(CacheFolder());
    fs::create_directories(CacheFolder());
    WriteWholeFile(PictureSetCacheFile(CacheFolder(), "lift", 0), c.file0);
    const std::string file1 = PictureSetCacheFile(CacheFolder(), "lift", 1);
    if (c.file1 == "fifo")
      ASSERT_EQ(::mkfifo(file1.c_str(), 0600), 0);
    else if (c.file1 != "-")
      WriteWholeFile(file1, c.file1);
    AddObject("lift", 2);
    server->On("GETPICTIMLCS OBJ=0", c.csReply);
    server->On("GETPICTIML OBJ=0", SetReply(0, lift));
    Connect();
    ASSERT_TRUE(LoadPictureSets(*ctx)) << LogText();
    EXPECT_EQ(server->Requests(), (Strings{"GETPICTIMLCS OBJ=0", "GETPICTIML OBJ=0"}));
    TPictureSet* set = model.PictureSets.FindSet("lift");
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->Count(), 2) << "exactly the pictures of the download";
    EXPECT_EQ(set->Get(1)->Pixels.argb, lift[1].argb);
    if (!c.log.empty()) EXPECT_TRUE(Logged(c.log)) << LogText();
    EXPECT_EQ(ReadWholeFile(PictureSetCacheFile(CacheFolder(), "lift", 1)), png1)
        << "rewritten by the download";
  }
}

TEST_F(Pictures, ACacheWriterWritesTheSameFilesOnItsOwnThread) {
  const std::vector<Image> lift = {PatternImage(8, 8, 1), PatternImage(8, 8, 2)};
  const Image background = PatternImage(30, 20, 3);
  TCacheWriter writer;
  Start(true, true);
  ctx->cacheWriter = &writer;
  AddMap("m", true);
  AddObject("lift", 2);
  server->On("GETPICTMAP MAP=0", "MAP=0 W=30 H=20\rDATA=" + Data(background) + "\r");
  server->On("GETPICTIML OBJ=0", SetReply(0, lift));
  Connect();
  ASSERT_TRUE(LoadMapPictures(*ctx));
  ASSERT_TRUE(LoadPictureSets(*ctx));
  writer.WaitIdle();
  EXPECT_EQ(writer.Written(), 3);
  EXPECT_EQ(ReadWholeFile(MapCacheFile(CacheFolder(), "m")), EncodePng(background));
  EXPECT_EQ(ReadWholeFile(PictureSetCacheFile(CacheFolder(), "lift", 1)), EncodePng(lift[1]));
  EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.argb, background.argb);
}

TEST_F(Pictures, NoChecksumRequestWithoutTheFirstCacheFile) {
  Start(true, true);
  fs::create_directories(CacheFolder());
  WriteWholeFile(PictureSetCacheFile(CacheFolder(), "lift", 1), "x");
  AddObject("lift", 2);
  server->On("GETPICTIML OBJ=0", SetReply(0, {PatternImage(2, 2, 1), PatternImage(2, 2, 2)}));
  Connect();
  ASSERT_TRUE(LoadPictureSets(*ctx));
  EXPECT_EQ(server->Requests(), Strings{"GETPICTIML OBJ=0"});
}

TEST_F(Pictures, TheCacheIsLeftAloneWhenItIsOff) {
  const std::vector<Image> lift = {PatternImage(4, 4, 1)};
  fs::create_directories(CacheFolder());
  WriteWholeFile(PictureSetCacheFile(CacheFolder(), "lift", 0), EncodePng(lift[0]));
  Start(true, false);
  AddObject("lift", 1);
  server->On("GETPICTIML OBJ=0", SetReply(0, {PatternImage(4, 4, 9)}));
  Connect();
  ASSERT_TRUE(LoadPictureSets(*ctx));
  EXPECT_EQ(server->Requests(), Strings{"GETPICTIML OBJ=0"});
  EXPECT_EQ(ReadWholeFile(PictureSetCacheFile(CacheFolder(), "lift", 0)), EncodePng(lift[0]));
}

TEST_F(Pictures, ACacheThatCannotBeWrittenDoesNotFailTheDownload) {
  WriteWholeFile(work.file("Cache"), "a file where the folder should be");
  Start(true, true);
  AddMap("m", true);
  AddObject("lift", 1);
  server->On("GETPICTMAP MAP=0", "MAP=0 W=2 H=2\rDATA=" + Data(PatternImage(2, 2, 1)) + "\r");
  server->On("GETPICTIML OBJ=0", SetReply(0, {PatternImage(2, 2, 2)}));
  Connect();
  EXPECT_TRUE(LoadMapPictures(*ctx));
  EXPECT_TRUE(LoadPictureSets(*ctx));
  EXPECT_EQ(model.PictureSets.FindSet("lift")->Count(), 1);
}

// The load as the connection thread runs it: a pool decodes while the load
// reads on, and the model, the cache and a cached reconnection come out as
// when each picture is decoded on arrival.
TEST_F(Pictures, APoolFillsTheSamePlacesAsDecodingOnArrival) {
  Image corner = SolidImage(24, 24, 0xFF00FF00);
  corner.argb[0] = 0xFF000000;
  const std::vector<Image> lamp = {corner, SolidImage(32, 32, 0xFFFF00FF), SolidImage(10, 10, 0xFF0000FF)};
  const std::vector<Image> lift = {PatternImage(8, 8, 1), PatternImage(8, 8, 2)};
  const Image floor = PatternImage(40, 30, 3);
  const auto load = [&](bool pooled, bool cached) {
    channel->Link().Close();
    server = std::make_unique<ScriptedServer>();
    Start(true, true);
    ctx->decodePool = pooled ? &pool : nullptr;
    model.Clear();
    AddMap("floor", true);
    AddObject("lamp", 3);
    AddObject("lift", 2);
    server->On("GETPICTMAP MAP=0", "MAP=0 W=40 H=30\rDATA=" + Data(floor) + "\r");
    server->On("GETPICTIML OBJ=0", SetReply(0, lamp, /*transparent=*/1, 1, 1));
    server->On("GETPICTIML OBJ=1", SetReply(1, lift));
    if (cached) {
      uint32_t lampSum = 0, liftSum = 0;
      for (int j = 0; j < 3; ++j) lampSum += FileSum(PictureSetCacheFile(CacheFolder(), "lamp", j));
      for (int j = 0; j < 2; ++j) liftSum += FileSum(PictureSetCacheFile(CacheFolder(), "lift", j));
      server->On("GETPICTMAPCS MAP=0",
                 "MAP=0 TRANSPARENT=0 CS=" + Hex(FileSum(MapCacheFile(CacheFolder(), "floor"))) + "\r");
      server->On("GETPICTIMLCS OBJ=0", "OBJ=0 PCOUNT=3 TRANSPARENT=1 CS=" + Hex(lampSum) + "\r");
      server->On("GETPICTIMLCS OBJ=1", "OBJ=1 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(liftSum) + "\r");
    } else {
      fs::remove_all(CacheFolder());
    }
    Connect();
    EXPECT_TRUE(LoadMapPictures(*ctx)) << LogText();
    EXPECT_TRUE(LoadPictureSets(*ctx)) << LogText();
  };
  load(false, false);
  const TSetPicture inlineCorner = *model.PictureSets.FindSet("lamp")->Get(0);
  const TSetPicture inlineSmall = *model.PictureSets.FindSet("lamp")->Get(2);

  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "from the cache" : "downloaded");
    load(true, cached);
    EXPECT_EQ(server->CountRequests("GETPICTIML "), cached ? 0 : 2);
    EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.argb, floor.argb);
    const TPictureSet* set = model.PictureSets.FindSet("lamp");
    ASSERT_EQ(set->Count(), 3);
    EXPECT_EQ(set->Width(), 24);
    EXPECT_EQ(set->Get(0)->Pixels.argb, inlineCorner.Pixels.argb);
    EXPECT_EQ(set->Get(0)->Mask, inlineCorner.Mask);
    EXPECT_EQ(set->Get(2)->Pixels.argb, inlineSmall.Pixels.argb);
    EXPECT_EQ(set->Get(2)->Mask, inlineSmall.Mask);
    ASSERT_EQ(model.PictureSets.FindSet("lift")->Count(), 2);
    EXPECT_EQ(model.PictureSets.FindSet("lift")->Get(1)->Pixels.argb, lift[1].argb);
    EXPECT_EQ(ReadWholeFile(MapCacheFile(CacheFolder(), "floor")), EncodePng(floor));
  }
}

// Bytes of a cache file shuffled behind its header sum the same and look
// sound, but do not decode; the pool finds that out after the load has read
// on. The picture is then downloaded and its cache file written anew, rather
// than failing this load and every one after it.
TEST_F(Pictures, ACachedPictureThePoolCannotDecodeIsDownloaded) {
  const Image floor = PatternImage(6, 5, 1);
  const std::vector<Image> lift = {PatternImage(4, 4, 2), PatternImage(4, 4, 3)};
  const auto shuffled = [](std::string png) {
    std::sort(png.begin() + 33, png.end());  // behind the signature and the header chunk
    return png;
  };
  Start(true, true);
  ctx->decodePool = &pool;
  fs::create_directories(CacheFolder());
  const std::string mapFile = MapCacheFile(CacheFolder(), "floor");
  const std::string setFile0 = PictureSetCacheFile(CacheFolder(), "lift", 0);
  const std::string setFile1 = PictureSetCacheFile(CacheFolder(), "lift", 1);
  WriteWholeFile(mapFile, shuffled(EncodePng(floor)));
  WriteWholeFile(setFile0, EncodePng(lift[0]));
  WriteWholeFile(setFile1, shuffled(EncodePng(lift[1])));
  AddMap("floor", true);
  AddObject("lift", 2);
  server->On("GETPICTMAPCS MAP=0", "MAP=0 TRANSPARENT=0 CS=" + Hex(FileSum(mapFile)) + "\r");
  server->On("GETPICTIMLCS OBJ=0",
             "OBJ=0 PCOUNT=2 TRANSPARENT=0 CS=" + Hex(FileSum(setFile0) + FileSum(setFile1)) + "\r");
  server->On("GETPICTMAP MAP=0", "MAP=0 W=6 H=5\rDATA=" + Data(floor) + "\r");
  server->On("GETPICTIML OBJ=0", SetReply(0, lift));
  Connect();
  ASSERT_TRUE(LoadMapPictures(*ctx)) << LogText();
  ASSERT_TRUE(LoadPictureSets(*ctx)) << LogText();

  EXPECT_EQ(server->Requests(),
            (Strings{"GETPICTMAPCS MAP=0", "GETPICTIMLCS OBJ=0", "GETPICTMAP MAP=0", "GETPICTIML OBJ=0"}));
  EXPECT_EQ(model.MapList.Get(0)->Picture->Pixels.argb, floor.argb);
  const TPictureSet* set = model.PictureSets.FindSet("lift");
  ASSERT_EQ(set->Count(), 2) << "exactly the pictures of the download";
  EXPECT_EQ(set->Get(0)->Pixels.argb, lift[0].argb);
  EXPECT_EQ(set->Get(1)->Pixels.argb, lift[1].argb);
  EXPECT_EQ(model.ObjectList.Get(0)->Pictures, set);
  EXPECT_EQ(ReadWholeFile(mapFile), EncodePng(floor));
  EXPECT_EQ(ReadWholeFile(setFile1), EncodePng(lift[1]));
}

TEST_F(Pictures, APooledPictureThatDoesNotDecodeFailsTheLoad) {
  // A picture's header, then nothing that decodes.
  std::string png = EncodePng(PatternImage(8, 8, 1));
  png.resize(png.size() - 12);
  png.append(12, 'x');
  ctx->decodePool = &pool;
  AddObject("lift", 2);
  server->On("GETPICTIML OBJ=0", "OBJ=0 PCOUNT=2 W=8 H=8 TRANSPARENT=0\rDATA0=" + Data(PatternImage(8, 8, 2)) +
                                     "\rDATA1=\"" + Base64Encode(png) + "\"\r");
  Connect();
  EXPECT_FALSE(LoadPictureSets(*ctx));
  EXPECT_TRUE(Logged("Не удалось преобразовать в PNG...")) << LogText();
}

}  // namespace
}  // namespace vertamo::testing
