// Picture download and cache: the map backgrounds and the picture sets.
//
// Pictures travel as Base64 text of PNG files in quoted values. With
// CacheEnable every received picture is also kept as a PNG file in the cache
// folder (see picture_cache.h); on later connections the client asks the
// server only for a checksum (the byte sum of the cache files) and, when it
// matches, loads the pictures from disk. A failed checksum path is no error:
// the client then downloads the picture. A failed download fails the step.
#pragma once

#include <string>
#include <string_view>

#include "serverlink/load_context.h"
#include "codec/png_codec.h"

namespace vertamo {

// Map backgrounds: every map that has a Picture, from the cache when
// ctx.cacheEnable and its checksum matches, else downloaded. Status per map:
// "Получение подложки карты <i+1> из <number of maps>".
bool LoadMapPictures(TLoadContext& ctx);

// Picture sets: one per distinct ImlName of the objects, linked as each
// object's Pictures. Status per set: "Получение набора картинок <name>".
bool LoadPictureSets(TLoadContext& ctx);

// The single paths, for the steps above and for tests.
// GETPICTMAPCS for map `index`; sent only when its cache file exists.
bool MapPictureFromCache(TLoadContext& ctx, int index);
// GETPICTMAP for map `index`; with ctx.cacheEnable the picture is also cached.
bool DownloadMapPicture(TLoadContext& ctx, int index);
// GETPICTIMLCS for object `index`; sent only when picture 0 of its set is cached.
bool PictureSetFromCache(TLoadContext& ctx, int index);
// GETPICTIML for object `index`.
bool DownloadPictureSet(TLoadContext& ctx, int index);

// Base64 text of a PNG file → picture. False for a text that is not strict
// Base64 or data that is not a PNG file.
bool DecodePictureData(std::string_view base64, Image& picture);

}  // namespace vertamo
