#include "serverlink/catalogue.h"

#include <string>

#include "platform/cp1251.h"
#include "protocol/txtfunc.h"
#include "serverlink/load_limits.h"

namespace vertamo {
namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

// SendLine(keyword), then the count line; false when it does not come.
bool RequestCount(TLineChannel& channel, const char* keyword, const char* countKey, int& count) {
  channel.SendLine(keyword);
  return channel.ExpectLine(countKey) && channel.LineInt(countKey, count);
}

// The record line that must come next: "<key><number>".
bool ExpectRecord(TLineChannel& channel, const char* key, int number) {
  return channel.ExpectLine(key + std::to_string(number));
}

// Reads integer keys in order; the first missing one is logged and ends it.
bool ReadInts(TLineChannel& channel, std::initializer_list<std::pair<const char*, int*>> keys) {
  for (const auto& [key, value] : keys)
    if (!channel.LineInt(key, *value)) return false;
  return true;
}

// ---- the layout lines after the map list -----------------------------------

bool CounterLine(TLoadContext& ctx, TCounterKind kind) {
  TLineChannel& ch = ctx.channel;
  TCounterLayout layout;
  int value = 0;
  if (!ReadInts(ch, {{" X=", &layout.x}, {" Y=", &layout.y}, {" W=", &layout.w}, {" H=", &layout.h}}) ||
      !ch.LineStr(" FONTNAME=", kFontNameRead, layout.fontName) || !ch.LineInt(" VALUE=", value))
    return true;  // an incomplete line is ignored
  return ctx.notifier.Call<&IClientEvents::SetCounterLayout>(kind, layout) &&
         ctx.notifier.Call<&IClientEvents::SetCounterValue>(kind, value);
}

bool ClockLine(TLoadContext& ctx) {
  TLineChannel& ch = ctx.channel;
  TClockLayout layout;
  int transparent = 0, bold = 0, italic = 0;
  if (!ReadInts(ch, {{" X=", &layout.x}, {" Y=", &layout.y}, {" W=", &layout.w}, {" H=", &layout.h}}) ||
      !ch.LineStr(" FONTNAME=", kFontNameRead, layout.fontName) ||
      !ReadInts(ch, {{" COLOR=", &layout.color},
                     {" FONTCOLOR=", &layout.fontColor},
                     {" FONTSIZE=", &layout.fontSize},
                     {" TRANSPARENT=", &transparent},
                     {" BOLD=", &bold},
                     {" ITALIC=", &italic}}))
    return true;
  layout.transparent = transparent != 0;
  layout.bold = bold != 0;
  layout.italic = italic != 0;
  return ctx.notifier.Call<&IClientEvents::SetClockLayout>(layout);
}

bool SpeakerLine(TLoadContext& ctx) {
  TSpeakerLayout layout;
  if (!ReadInts(ctx.channel, {{" X=", &layout.x},
                              {" Y=", &layout.y},
                              {" W=", &layout.w},
                              {" H=", &layout.h},
                              {" CALL=", &layout.call}}))
    return true;
  return ctx.notifier.Call<&IClientEvents::SetSpeakerLayout>(layout);
}

// Until END or a read failure (neither is an error). False when the thread
// was stopped, or when more lines come than a layout can have.
bool ReadLayoutLines(TLoadContext& ctx) {
  TLineChannel& ch = ctx.channel;
  for (int lines = 1; ch.ReadLine(); ++lines) {
    const std::string_view line = ch.Line();
    bool handed = true;
    if (StartsWithText(line, "END")) {
      break;
    } else if (!WithinLimit(&ctx.log, "строк после списка карт", lines, ctx.limits.maxLayoutLines)) {
      return false;
    } else if (StartsWithText(line, "LIFTBREAK")) {
      handed = CounterLine(ctx, TCounterKind::LiftBreak);
    } else if (StartsWithText(line, "OHRALR")) {
      handed = CounterLine(ctx, TCounterKind::OhrAlr);
    } else if (StartsWithText(line, "PUERR")) {
      handed = CounterLine(ctx, TCounterKind::PuErr);
    } else if (StartsWithText(line, "CLOCK")) {
      handed = ClockLine(ctx);
    } else if (StartsWithText(line, "SPEAKER")) {
      handed = SpeakerLine(ctx);
    } else {
      ctx.log.Always("Неизвестные данные=%s", std::string(line).c_str());
    }
    if (!handed) return false;
  }
  return true;
}

}  // namespace

bool LoadMaps(TLoadContext& ctx) {
  TLineChannel& ch = ctx.channel;
  if (!ctx.ShowStatus(Cp("Запрос карт..."))) return false;
  int count = 0;
  if (!RequestCount(ch, "GETMAP", "MAPCOUNT=", count)) return false;
  if (!WithinLimit(&ctx.log, "MAPCOUNT", count, ctx.limits.maxMaps)) return false;
  const std::string progress = Cp("Получение карты ");
  for (int i = 0; i < count; ++i) {
    if (!ctx.ShowStatus(progress + std::to_string(i + 1))) return false;
    if (!ctx.ShowProgress(i + 1, count)) return false;
    if (!ExpectRecord(ch, "MAP=", i)) return false;
    std::string name;
    int pict = 0;
    if (!ch.LineStr(" NAME=", decltype(MAP::Name)::kCapacity, name) || !ch.LineInt(" PICT=", pict))
      return false;
    MAP* map = ctx.model.MapList.Add(name, pict != 0);
    ctx.log.Debug("Создание карты %d: Имя=%s Картинка=%d ", i, map->Name.c_str(), pict);
  }
  return ReadLayoutLines(ctx);
}

bool LoadMapObjects(TLoadContext& ctx) {
  TLineChannel& ch = ctx.channel;
  if (!ctx.ShowStatus(Cp("Запрос объектов карты"))) return false;
  int count = 0;
  if (!RequestCount(ch, "GETMAPOBJ", "OBJCOUNT=", count)) return false;
  if (!WithinLimit(&ctx.log, "OBJCOUNT", count, ctx.limits.maxObjects)) return false;
  const std::string progress = Cp("Получение объекта ");
  const std::string of = Cp(" из ") + std::to_string(count);
  for (int i = 0; i < count; ++i) {
    if (!ctx.ShowStatus(progress + std::to_string(i + 1) + of)) return false;
    if (!ctx.ShowProgress(i + 1, count)) return false;
    if (!ExpectRecord(ch, "OBJ=", i)) return false;

    MAPOBJECT o;
    int value = 0;
    std::string text;
    // Required keys, in this order; the first missing one fails the exchange.
    if (!ch.LineInt(" MAP=", value)) return false;
    o.SetMapIndex(value);
    if (!ch.LineInt(" X=", value)) return false;
    o.SetX(value);
    if (!ch.LineInt(" Y=", value)) return false;
    o.SetY(value);
    if (!ch.LineStr(" NAME=", kWireTextRead, text)) return false;
    o.SetName(text);
    if (!ch.LineInt(" TYPE=", value)) return false;
    o.SetType(value);
    if (!ch.LineStr(" IML=", kWireTextRead, text)) return false;
    o.SetImlName(text);
    if (!ch.LineInt(" PCOUNT=", value)) return false;
    o.SetPCount(value);
    if (!ch.LineInt(" IDX=", value)) return false;
    o.SetIdx(value);
    if (!ch.LineStr(" HINT=", kWireTextRead, text)) return false;
    o.SetHint(text);

    // Optional keys.
    o.SetCapVisible(ch.LineIntOpt(" CAPVISIBLE=", value) && value != 0);
    if (ch.LineIntOpt(" CX=", value)) o.SetCX(value);
    if (ch.LineIntOpt(" CY=", value)) o.SetCY(value);
    if (ch.LineStrOpt(" CAPTION=", kWireTextRead, text)) o.SetCaption(text);
    if (!ch.LineIntOpt(" CAPCOLOR=", value)) {
      o.SetCapTransparent(true);
    } else if (value == -1) {
      o.SetCapTransparent(true);
      o.SetCapColor(kColorWhite);
    } else {
      o.SetCapTransparent(false);
      o.SetCapColor(value);
    }

    ctx.log.Debug("Создание объекта карты %d: Имя=%s Индекс=%d ", i, o.Name.c_str(), o.Idx);
    ctx.model.ObjectList.Add(o);
  }
  return true;
}

bool LoadTexts(TLoadContext& ctx) {
  TLineChannel& ch = ctx.channel;
  int count = 0;
  if (!RequestCount(ch, "GETTEXT", "TEXTCOUNT=", count)) return false;
  if (!WithinLimit(&ctx.log, "TEXTCOUNT", count, ctx.limits.maxTexts)) return false;
  const std::string progress = Cp("Получение текста ");
  for (int i = 0; i < count; ++i) {
    if (!ctx.ShowStatus(progress + std::to_string(i))) return false;
    if (!ctx.ShowProgress(i + 1, count)) return false;
    if (!ExpectRecord(ch, "IDX=", i)) return false;

    MAPTEXT t;
    std::string text;
    if (!ReadInts(ch, {{" MAP=", &t.MapIndex}, {" X=", &t.X}, {" Y=", &t.Y}, {" W=", &t.W}, {" H=", &t.H}}) ||
        !ch.LineStr(" CAPTION=", kWireTextRead, text))
      return false;
    t.Caption = text;

    if (ch.LineStrOpt(" FONTNAME=", kWireTextRead, text)) t.FontName = text;
    if (ch.LineStrOpt(" VIDEOTAG=", kWireTextRead, text)) t.VideoTag = text;
    static constexpr std::pair<const char*, MapTextFlag> kFlagKeys[] = {
        {" TRANSPARENT=", kTextTransparent}, {" VISIBLE=", kTextVisible},     {" AUTOSIZE=", kTextAutoSize},
        {" WORDWRAP=", kTextWordWrap},       {" BOLD=", kTextBold},           {" ITALIC=", kTextItalic},
        {" UNDERLINE=", kTextUnderline},     {" STRIKEOUT=", kTextStrikeOut},
    };
    int value = 0;
    for (const auto& [key, flag] : kFlagKeys)
      if (ch.LineIntOpt(key, value)) t.SetFlag(flag, value != 0);
    if (ch.LineIntOpt(" ALIGNMENT=", value)) t.Alignment = static_cast<uint8_t>(value & 0xFF);
    if (ch.LineIntOpt(" LAYOUT=", value)) t.Layout = static_cast<uint8_t>(value & 0xFF);
    if (ch.LineIntOpt(" COLOR=", value)) t.Color = value;
    if (ch.LineIntOpt(" FONTCOLOR=", value)) t.FontColor = value;
    if (ch.LineIntOpt(" FONTSIZE=", value)) t.FontSize = value;
    if (ch.LineIntOpt(" CHARSET=", value)) t.Charset = static_cast<uint16_t>(value & 0xFFFF);
    if (ch.LineIntOpt(" PITCH=", value)) t.Pitch = static_cast<uint8_t>(value & 0xFF);
    if (ch.LineIntOpt(" ACTION=", value)) t.Action = value;
    if (ch.LineIntOpt(" APARAM=", value)) t.AParam = value;

    ctx.log.Debug("Создание текста %d: текст=%s", i, t.Caption.c_str());
    ctx.model.TextList.Add(t);
  }
  return true;
}

}  // namespace vertamo
