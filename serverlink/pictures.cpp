#include "serverlink/pictures.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <string>
#include <utility>
#include <vector>

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "codec/base64.h"
#include "serverlink/picture_cache.h"
#include "codec/picture_checksum.h"

namespace vertamo {
namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

// Reads an integer key that must be there and pass `valid`; a missing key is
// logged by the channel, an invalid value with "Неправильное значение <KEY> в
// ответе <line>...".
template <class Valid>
bool CheckedInt(TLoadContext& ctx, const char* key, const char* name, int& value, Valid valid) {
  if (!ctx.channel.LineInt(key, value)) return false;
  if (valid(value)) return true;
  ctx.log.Debug("Неправильное значение %s в ответе %s...", name, std::string(ctx.channel.Line()).c_str());
  return false;
}

// The server's checksum against the computed one ("Неcовпадение": the third
// letter is a Latin c in the log text).
bool ChecksumMatches(TLoadContext& ctx, const std::string& serverText, uint32_t computed) {
  const uint32_t server = ParsePictureChecksum(serverText);
  if (server == computed) return true;
  ctx.log.Debug(
      "Не"
      "c"
      "овпадение CS %X и %X",
      server, computed);
  return false;
}

// The size of received picture data (Base64 of a PNG file) from its header,
// the only part decoded here; the rest is decoded where the pictures are.
bool ReceivedPictureSize(std::string_view base64, int& width, int& height) {
  constexpr std::size_t kHeaderChars = 64;  // 48 bytes: signature and IHDR
  std::string head;
  return base64.size() % 4 == 0 && Base64Decode(base64.substr(0, std::min(base64.size(), kHeaderChars)), head) &&
         PngDimensions(head, width, height);
}

// Takes received picture data of the size its header gives, within what the
// load has left: a picture over a bound logs it and fails; data without a
// picture's header logs "Не удалось преобразовать в PNG...".
bool TakeReceivedPicture(TLoadContext& ctx, std::string_view base64) {
  int width = 0, height = 0;
  if (!ReceivedPictureSize(base64, width, height)) {
    ctx.log.Debug("Не удалось преобразовать в PNG...");
    return false;
  }
  if (!PictureFits(ctx.limits, ctx.budget, width, height, &ctx.log)) return false;
  ctx.budget.pixels += int64_t{width} * height;
  return true;
}

// Decodes received picture data into `png` (the file) and `picture`;
// undecodable data logs "Не удалось преобразовать в PNG...". Safe on any
// thread (the log has a lock).
bool DecodeReceived(const TLoadContext& ctx, std::string_view base64, std::string& png, Image& picture) {
  if (Base64Decode(base64, png) && DecodePng(png, picture)) return true;
  ctx.log.Debug("Не удалось преобразовать в PNG...");
  return false;
}

// A cache file fit to be used: a PNG header within the picture bounds and
// what the load has left beyond `pending` pixels, and no larger than the
// project's encoder would write for that size (anything more, such as zeros
// appended, would not change the byte sum). Otherwise it counts as a mismatch
// and the download writes it anew. Adds the picture's pixels to `pending`.
bool SaneCacheFile(const TLoadContext& ctx, std::string_view bytes, int64_t& pending) {
  int width = 0, height = 0;
  TLoadBudget budget = ctx.budget;
  budget.pixels += pending;
  if (!PngDimensions(bytes, width, height) || !PictureFits(ctx.limits, budget, width, height, nullptr) ||
      static_cast<int64_t>(bytes.size()) > MaxEncodedPngBytes(width, height))
    return false;
  pending += int64_t{width} * height;
  return true;
}

}  // namespace

bool DecodePictureData(std::string_view base64, Image& picture) {
  picture = Image{};
  std::string png;
  return Base64Decode(base64, png) && DecodePng(png, picture);
}

// ---- map backgrounds ----------------------------------------------------------

bool MapPictureFromCache(TLoadContext& ctx, int index) {
  MAP* map = ctx.model.MapList.Get(index);
  if (!map || !map->Picture) return false;
  const std::string path = MapCacheFile(ctx.cacheFolder, map->Name);
  if (!FileExists(path)) return false;

  TLineChannel& ch = ctx.channel;
  ch.SendLine("GETPICTMAPCS MAP=" + std::to_string(index));
  if (!ch.ExpectLine("MAP=")) return false;
  int number = 0, transparent = 0;
  std::string cs;
  if (!CheckedInt(ctx, "MAP=", "MAP", number, [&](int v) { return v == index; })) return false;
  if (!ch.LineInt(" TRANSPARENT=", transparent) || !ch.LineStr(" CS=", kChecksumTextMax + 1, cs))
    return false;

  std::string bytes;
  int64_t pixels = 0;
  if (!ReadCacheFile(path, bytes) || !SaneCacheFile(ctx, bytes, pixels)) return false;
  if (!ChecksumMatches(ctx, cs, PictureChecksum(bytes))) return false;
  ctx.budget.pixels += pixels;
  TBitmap* target = map->Picture.get();
  const std::size_t size = bytes.size();
  // Decoded here, a file that fails is downloaded at once; on the pool, once
  // the pool is done (the load has read on by then).
  const bool pooled = ctx.decodePool != nullptr;
  const bool decoded = ctx.Decode(
      [target, transparent, bytes = std::move(bytes), pooled, undecoded = ctx.undecodedCacheFiles, index, pixels] {
        Image picture;
        if (!DecodePng(bytes, picture)) {
          if (pooled) undecoded->Add(TUndecodedCacheFiles::Kind::Background, index, {pixels, 0});
          return pooled;
        }
        target->Transparent = transparent != 0;
        target->Pixels = std::move(picture);
        return true;
      },
      size);
  if (!decoded) ctx.budget.pixels -= pixels;
  return decoded;
}

bool DownloadMapPicture(TLoadContext& ctx, int index) {
  MAP* map = ctx.model.MapList.Get(index);
  if (!map || !map->Picture) return false;

  TLineChannel& ch = ctx.channel;
  ch.SendLine("GETPICTMAP MAP=" + std::to_string(index));
  if (!ch.ExpectLine("MAP=")) return false;
  int number = 0, width = 0, height = 0;
  const auto positive = [](int v) { return v > 0; };
  if (!CheckedInt(ctx, "MAP=", "MAP", number, [&](int v) { return v == index; }) ||
      !CheckedInt(ctx, "W=", "W", width, positive) || !CheckedInt(ctx, "H=", "H", height, positive))
    return false;

  std::string data;
  if (!ch.ReadQuotedData("DATA=", data)) {
    ctx.log.Debug("Не удалось получить DATA=...");
    return false;
  }
  if (!TakeReceivedPicture(ctx, data)) return false;
  // A picture that cannot be cached is still shown.
  std::string cachePath = ctx.cacheEnable ? MapCacheFile(ctx.cacheFolder, map->Name) : std::string();
  TBitmap* target = map->Picture.get();
  const std::size_t size = data.size();
  return ctx.Decode(
      [&ctx, target, data = std::move(data), cachePath = std::move(cachePath)] {
        Image picture;
        std::string png;
        if (!DecodeReceived(ctx, data, png, picture)) return false;
        if (!cachePath.empty()) ctx.CachePicture(cachePath, picture, std::move(png));
        target->Pixels = std::move(picture);
        return true;
      },
      size);
}

bool LoadMapPictures(TLoadContext& ctx) {
  ctx.channel.DiscardInput();
  const int count = ctx.model.MapList.Count();
  ctx.log.Debug("Всего карт= %d...", count);
  const std::string progress = Cp("Получение подложки карты ");
  const std::string of = Cp(" из ") + std::to_string(count);
  for (int i = 0; i < count; ++i) {
    if (!ctx.model.MapList.Get(i)->Picture) continue;
    if (!ctx.ShowStatus(progress + std::to_string(i + 1) + of)) return false;
    if (!ctx.ShowProgress(i + 1, count)) return false;
    if (ctx.cacheEnable && MapPictureFromCache(ctx, i)) {
      ctx.log.Debug("Картинка карты %d: взята из кэш", i);
    } else if (DownloadMapPicture(ctx, i)) {
      ctx.log.Debug("Картинка карты %d: успешно получена", i);
    } else {
      return false;
    }
  }
  return true;
}

// ---- picture sets -------------------------------------------------------------

bool PictureSetFromCache(TLoadContext& ctx, int index) {
  MAPOBJECT* object = ctx.model.ObjectList.Get(index);
  if (!object) return false;
  const std::string name = object->ImlName.str();
  if (!FileExists(PictureSetCacheFile(ctx.cacheFolder, name, 0))) return false;

  TLineChannel& ch = ctx.channel;
  ch.SendLine("GETPICTIMLCS OBJ=" + std::to_string(index));
  if (!ch.ExpectLine("OBJ=")) return false;
  int number = 0, count = 0, transparent = 0;
  std::string cs;
  if (!CheckedInt(ctx, "OBJ=", "OBJ", number, [&](int v) { return v == index; }) ||
      !CheckedInt(ctx, " PCOUNT=", "PCOUNT", count, [&](int v) { return v == object->PCount; }))
    return false;
  if (!ch.LineInt(" TRANSPARENT=", transparent) || !ch.LineStr(" CS=", kChecksumTextMax + 1, cs))
    return false;
  // A set over a bound is left to the download, which refuses it aloud.
  if (count > ctx.limits.maxPicturesPerSet || ctx.budget.pictures + count > ctx.limits.maxPictures) return false;

  // The files one after the other (the count comes from the server, so
  // nothing is reserved for it): the first that cannot be read ends the path.
  std::vector<std::string> files;
  uint32_t sum = 0;
  int64_t pixels = 0;
  for (int j = 0; j < count; ++j) {
    std::string bytes;
    if (!ReadCacheFile(PictureSetCacheFile(ctx.cacheFolder, name, j), bytes) ||
        !SaneCacheFile(ctx, bytes, pixels))
      return false;
    sum = AddToPictureChecksum(sum, bytes);
    files.push_back(std::move(bytes));
  }
  if (!ChecksumMatches(ctx, cs, sum)) return false;

  int width = 0, height = 0;
  TPictureSet* set = ctx.model.PictureSets.FindSet(name);
  if (!set || files.empty() || !PngDimensions(files[0], width, height)) return false;
  const auto makeRoom = [&] {
    if (set->MakeRoom(static_cast<int>(files.size()), width, height)) return true;
    ctx.log.Debug("Не удалось добавить в набор картинок %s объекта %d...", name.c_str(), index);
    return false;
  };
  if (!ctx.decodePool) {
    // Every file is decoded before the set takes any, so a file that fails
    // leaves the set empty for the download that follows.
    std::vector<TBitmap> pictures(files.size());
    for (std::size_t j = 0; j < files.size(); ++j) {
      if (!DecodePng(files[j], pictures[j].Pixels)) return false;
      pictures[j].Transparent = transparent != 0;
      files[j] = std::string();
    }
    if (!makeRoom()) return false;
    for (std::size_t j = 0; j < pictures.size(); ++j) set->Fill(static_cast<int>(j), std::move(pictures[j]));
  } else {
    // The checksum has vouched for the files: the pool decodes them, and a
    // file that fails after all has the set downloaded once the pool is done.
    if (!makeRoom()) return false;
    const TUndecodedCacheFiles::Taken taken{pixels, count};
    for (std::size_t j = 0; j < files.size(); ++j) {
      const std::size_t size = files[j].size();
      ctx.Decode(
          [set, j, transparent, bytes = std::move(files[j]), undecoded = ctx.undecodedCacheFiles, index, taken] {
            TBitmap bitmap;
            bitmap.Transparent = transparent != 0;
            if (DecodePng(bytes, bitmap.Pixels)) return set->Fill(static_cast<int>(j), std::move(bitmap));
            undecoded->Add(TUndecodedCacheFiles::Kind::PictureSet, index, taken);
            return true;
          },
          size);
    }
  }
  ctx.budget.pictures += count;
  ctx.budget.pixels += pixels;
  return true;
}

bool DownloadPictureSet(TLoadContext& ctx, int index) {
  MAPOBJECT* object = ctx.model.ObjectList.Get(index);
  if (!object) return false;
  const std::string name = object->ImlName.str();

  TLineChannel& ch = ctx.channel;
  ch.SendLine("GETPICTIML OBJ=" + std::to_string(index));
  if (!ch.ExpectLine("OBJ=")) return false;
  int number = 0, count = 0, width = 0, height = 0, transparent = 0;
  const auto positive = [](int v) { return v > 0; };
  if (!CheckedInt(ctx, "OBJ=", "OBJ", number, [&](int v) { return v == index; }) ||
      !CheckedInt(ctx, " PCOUNT=", "PCOUNT", count, [&](int v) { return v == object->PCount; }) ||
      !CheckedInt(ctx, " W=", "W", width, positive) || !CheckedInt(ctx, " H=", "H", height, positive) ||
      !ch.LineInt(" TRANSPARENT=", transparent))
    return false;
  if (!WithinLimit(&ctx.log, "PCOUNT", count, ctx.limits.maxPicturesPerSet) ||
      !WithinLimit(&ctx.log, "картинок в каталоге", ctx.budget.pictures + int64_t{count}, ctx.limits.maxPictures))
    return false;

  TPictureSet* set = ctx.model.PictureSets.FindSet(name);
  if (!set) return false;
  std::string data;
  for (int j = 0; j < count; ++j) {
    const std::string number_text = std::to_string(j);
    const std::string prefix = "DATA" + number_text + "=";
    ctx.log.Always(">>> Получение %s", prefix.c_str());
    if (!ch.ReadQuotedData(prefix, data)) {
      ctx.log.Debug("Не удалось получить DATA%s=...", number_text.c_str());
      return false;
    }
    ctx.log.Always("<<< OK");
    if (!TakeReceivedPicture(ctx, data)) return false;
    ++ctx.budget.pictures;
    // The first picture's size is the set's.
    int pictureWidth = 0, pictureHeight = 0;
    if (j == 0 && (!ReceivedPictureSize(data, pictureWidth, pictureHeight) ||
                   !set->MakeRoom(count, pictureWidth, pictureHeight))) {
      ctx.log.Debug("Не удалось добавить в набор картинок %s объекта %d...", name.c_str(), index);
      return false;
    }
    std::string cachePath = ctx.cacheEnable ? PictureSetCacheFile(ctx.cacheFolder, name, j) : std::string();
    const std::size_t size = data.size();
    const bool decoded = ctx.Decode(
        [&ctx, set, j, transparent, data = std::move(data), cachePath = std::move(cachePath)] {
          TBitmap bitmap;
          bitmap.Transparent = transparent != 0;
          std::string png;
          if (!DecodeReceived(ctx, data, png, bitmap.Pixels)) return false;
          if (!cachePath.empty()) ctx.CachePicture(cachePath, bitmap.Pixels, std::move(png));
          return set->Fill(j, std::move(bitmap));
        },
        size);
    data = std::string();
    if (!decoded) return false;
  }
  return true;
}

// Downloads what the pool could not decode from the cache, as if its cache
// files had not been there; the download writes them anew.
bool DownloadUndecodedCacheFiles(TLoadContext& ctx) {
  if (!ctx.DecodesDone()) return false;
  const auto undecoded = ctx.undecodedCacheFiles->Take();
  for (const auto& [key, taken] : undecoded) {
    const auto [kind, index] = key;
    ctx.budget.pixels -= taken.pixels;
    ctx.budget.pictures -= taken.pictures;
    if (kind == TUndecodedCacheFiles::Kind::Background) {
      if (!DownloadMapPicture(ctx, index)) return false;
      ctx.log.Debug("Картинка карты %d: успешно получена", index);
      continue;
    }
    const MAPOBJECT* object = ctx.model.ObjectList.Get(index);
    TPictureSet* set = object ? ctx.model.PictureSets.FindSet(object->ImlName.str()) : nullptr;
    if (!set) return false;
    // Emptied for the download, which sizes it by its first picture; the
    // objects that point at it keep pointing at it.
    *set = TPictureSet(set->Name(), 1, 1);
    if (!DownloadPictureSet(ctx, index)) return false;
    ctx.log.Debug("Успешно заполнен набор картинок %s...", set->Name().c_str());
  }
  return undecoded.empty() || ctx.DecodesDone();
}

bool LoadPictureSets(TLoadContext& ctx) {
  ctx.channel.DiscardInput();
  MAPOBJECT_LIST& objects = ctx.model.ObjectList;
  IMAGELIST_LIST& sets = ctx.model.PictureSets;
  const std::string progress = Cp("Получение набора картинок ");
  // The status text names the set but not how many there are: count the sets
  // the loop below will fill (first object naming each valid set, with pictures).
  std::unordered_set<std::string> seen;
  int setTotal = 0;
  for (int i = 0; i < objects.Count(); ++i) {
    const MAPOBJECT* object = objects.Get(i);
    const std::string name = object->ImlName.str();
    if (name.empty() || sets.FindSet(name) || !IsPictureSetName(name) || !seen.insert(name).second) continue;
    if (object->PCount != 0) ++setTotal;
  }
  int setsDone = 0;
  for (int i = 0; i < objects.Count(); ++i) {
    MAPOBJECT* object = objects.Get(i);
    const std::string name = object->ImlName.str();
    if (name.empty()) {
      ctx.log.Debug("Не задано имя набора картинок объекта %d...", i);
      continue;
    }
    if (TPictureSet* set = sets.FindSet(name)) {
      object->Pictures = set;
      continue;
    }
    if (!sets.FindOrCreateSet(name, 1, 1)) {
      ctx.log.Debug("Не удалось создать набор картинок %s объекта %d...", name.c_str(), i);
      continue;
    }
    if (object->PCount == 0) {
      ctx.log.Debug("Не задано количество картинок  объекта %d...", i);
      continue;
    }
    if (!ctx.ShowStatus(progress + name)) return false;
    if (!ctx.ShowProgress(++setsDone, setTotal)) return false;
    const bool cached = ctx.cacheEnable && PictureSetFromCache(ctx, i);
    if (!cached && !DownloadPictureSet(ctx, i)) return false;
    object->Pictures = sets.FindSet(name);
    if (cached)
      ctx.log.Debug("Набор картинок %s получен из кэш...", name.c_str());
    else
      ctx.log.Debug("Успешно заполнен набор картинок %s...", name.c_str());
  }
  // The catalogue leaves this step with every picture in its place.
  return DownloadUndecodedCacheFiles(ctx);
}

}  // namespace vertamo
