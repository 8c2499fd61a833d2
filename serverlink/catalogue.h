// Catalogue download: the map list with the layout lines of the map-level
// widgets (GETMAP), the map objects (GETMAPOBJ) and the free texts (GETTEXT).
//
// Each exchange is one request line and a counted list of record lines. A
// record line begins with its number (MAP=0, OBJ=1, IDX=2, …, matched as a
// prefix ignoring case) and the server numbers its records from 0 in list
// order; the other items are found by their blank-prefixed keys in any order.
// Records go into the model in arrival order. A missing or wrong mandatory item
// fails the exchange; the records added so far stay until the next cycle clears
// the model.
#pragma once

#include "serverlink/load_context.h"

namespace vertamo {

// Reading sizes of the quoted values (a value keeps at most size − 1 bytes
// before the record's own field cuts it further).
inline constexpr std::size_t kWireTextRead = 256;  // "up to 255 read"
inline constexpr std::size_t kFontNameRead = 64;   // layout lines: font name up to 63

// GETMAP: status "Запрос карт...", then per map "Получение карты <i+1>". Adds
// the maps to model.MapList and posts each complete layout line through
// ctx.notifier (a counter: its layout, then its value). The layout lines end at
// a line beginning with END, or at a read failure, which is not an error.
bool LoadMaps(TLoadContext& ctx);

// GETMAPOBJ: status "Запрос объектов карты", then per object "Получение
// объекта <i+1> из <n>". Adds the objects to model.ObjectList.
bool LoadMapObjects(TLoadContext& ctx);

// GETTEXT: per text "Получение текста <i>" (counted from 0). Adds the texts to
// model.TextList. The connection thread drops pending input before it.
bool LoadTexts(TLoadContext& ctx);

}  // namespace vertamo
