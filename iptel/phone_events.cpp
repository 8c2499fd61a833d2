#include "iptel/phone_events.h"

#include <algorithm>
#include <array>

#include "voice/phone_book.h"
#include "iptel/phone_log.h"
#include "platform/cp1251.h"
#include "protocol/txtfunc.h"

namespace vertamo {

namespace {

// The texts of the system, UTF-8 here, code page 1251 on the way out.
std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

constexpr std::array<const char*, 16> kErrorTexts = {
    "Неверно указан адресат !",
    "Удаленный абонент повесил трубку...",
    "Удаленный абонент прервал звонок...",
    "Удаленный абонент не принял звонок...",
    "Соединение перегружено !",
    "Удаленный абонент не ответил на звонок...",
    "Сбой соединения !",
    "Не найден общий кодек !",
    "Мы не приняли входящий звонок !",
    "Входящий звонок отвергнут !",
    "Привратник не нашел указанного абонента !",
    "Звонок прерван ! (Не хватает полосы канала)",
    "Удаленный абонент недостижим !",
    "Удаленный абонент сейчас отключен !",
    "На удаленной стороне нет телефона !",
    "Ошибка звонка !",
};

struct Keyword {
  const char* text;
  TPhoneEventKind kind;
};

constexpr Keyword kKeywords[] = {
    {"RING", TPhoneEventKind::Ring}, {"STAT", TPhoneEventKind::Stat},
    {"BUSY", TPhoneEventKind::Busy}, {"CALL", TPhoneEventKind::Call},
    {"ERROR", TPhoneEventKind::Error}, {"OK", TPhoneEventKind::Ok},
    {"END", TPhoneEventKind::End},   {"FORWARDED", TPhoneEventKind::Forwarded},
    {"APP", TPhoneEventKind::App},   {"REC", TPhoneEventKind::Record},
    {"NOREC", TPhoneEventKind::NoRecord},
};

// The line from its n-th character (counted from 1); empty when shorter.
std::string_view From(std::string_view line, size_t n) { return line.size() >= n ? line.substr(n - 1) : ""; }

// A reason code: optional blanks, an optional sign, at least one digit.
bool ParseCode(std::string_view text, int& code) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = std::min(value * 10 + (text[i] - '0'), 1000000L);
  code = static_cast<int>(negative ? -value : value);
  return true;
}

// Letters (Latin and Cyrillic, code page 1251) and digits make up a word.
bool IsWordCharacter(unsigned char c) {
  return (c >= '0' && c <= '9') || UpperCp1251(c) != LowerCp1251(c);
}

std::string Quoted(const char* utf8Label, std::string_view text) {
  return Cp(utf8Label) + " \"" + std::string(text) + "\"";
}

}  // namespace

bool PhoneKeywordMatches(std::string_view line, std::string_view keyword) {
  if (keyword.empty() || line.size() < keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i)
    if (UpperCp1251(static_cast<unsigned char>(line[i])) != UpperCp1251(static_cast<unsigned char>(keyword[i])))
      return false;
  return line.size() == keyword.size() || !IsWordCharacter(static_cast<unsigned char>(line[keyword.size()]));
}

std::string PhoneErrorText(int code) {
  return code >= 0 && code < static_cast<int>(kErrorTexts.size()) ? Cp(kErrorTexts[static_cast<size_t>(code)])
                                                                   : std::string();
}

TPhoneEvent InterpretPhoneEvent(std::string_view line) {
  TPhoneEvent event;
  event.status = Cp("Ошибка !");
  for (const Keyword& keyword : kKeywords) {
    if (!PhoneKeywordMatches(line, keyword.text)) continue;
    event.kind = keyword.kind;
    break;
  }
  switch (event.kind) {
    case TPhoneEventKind::Ring: {
      const std::string_view caller = From(line, 6);
      if (line.size() > 5) event.status = std::string(caller);
      event.logText = Quoted("Звонок от", caller);
      event.caller = std::string(caller);
      event.callerName = PhoneBookText(caller.substr(0, caller.find(' ')));
      const size_t open = caller.find('[');
      if (open != std::string_view::npos) {
        const std::string_view rest = caller.substr(open + 1);
        event.callerAddress = PhoneBookText(rest.substr(0, rest.find(']')));
      }
      break;
    }
    case TPhoneEventKind::Stat:
      event.hasInfo = true;
      event.info = line.size() >= 6 ? std::string(From(line, 6)) : Cp("Статистика недоступна...");
      event.status = Cp("ОК");
      break;
    case TPhoneEventKind::Busy:
      event.hasInfo = true;
      event.info = event.status = event.logText = Cp("Занято...");
      break;
    case TPhoneEventKind::Call:
      event.status = line.size() > 5 ? std::string(From(line, 6)) : Cp("ОК");
      event.logText = Quoted("Разговор с", event.status);
      break;
    case TPhoneEventKind::Error: {
      int code = -1;
      if (line.size() > 6 && ParseCode(From(line, 7), code) && !PhoneErrorText(code).empty()) {
        event.status = PhoneErrorText(code);
        event.errorCode = code;
        int silent = 0;
        if (GetIntParam(line, " SILENT=", silent) && silent > 0) event.silentSeconds = silent;
      }
      event.logText = Quoted("Ошибка", event.status);
      break;
    }
    case TPhoneEventKind::Ok:
      event.status = Cp("ОК");
      break;
    case TPhoneEventKind::End:
      event.status = Cp("Разговор завершен...");
      break;
    case TPhoneEventKind::Forwarded:
      event.status = Cp("Выполнена переадресация...");
      break;
    case TPhoneEventKind::App:
      event.status = std::string(From(line, 5));
      std::replace(event.status.begin(), event.status.end(), '\t', ' ');
      break;
    case TPhoneEventKind::Record:
      event.record = std::string(From(line, 5));
      event.keepsStatus = true;
      break;
    case TPhoneEventKind::NoRecord:
      event.record = std::string(From(line, 7));
      event.status = event.record;
      event.keepsStatus = event.record.empty();
      break;
    case TPhoneEventKind::Unknown:
      break;
  }
  return event;
}

bool HandlePhoneEvent(TPhoneEventQueue& events, const TPhoneBook& book, TPhoneLog& log, ICallWindow& window) {
  TPhoneQueued item;
  if (!events.TryPop(item)) return false;
  switch (item.kind) {
    case TPhoneQueued::TKind::Line:
      ApplyPhoneEvent(item.line, book, log, window);
      break;
    case TPhoneQueued::TKind::LinkUp:
      window.PhoneLinkUp(item.adopted);
      break;
    case TPhoneQueued::TKind::LinkLost:
      window.PhoneLinkLost();
      break;
    case TPhoneQueued::TKind::LinkRestored:
      window.PhoneLinkRestored(item.adopted);
      break;
  }
  return true;
}

void ApplyPhoneEvent(std::string_view line, const TPhoneBook& book, TPhoneLog& log, ICallWindow& window) {
  const TPhoneEvent event = InterpretPhoneEvent(line);
  window.PhoneEvent(event);
  if (event.hasInfo) window.ShowCallInfo(event.info);
  if (event.kind == TPhoneEventKind::Ring) {
    int position = book.FindByName(event.callerName);
    if (position == TPhoneBook::kNotFound) position = book.FindByAddress(event.callerAddress);
    if (position != TPhoneBook::kNotFound) window.SelectSubscriber(position);
  }
  if (event.kind == TPhoneEventKind::Ok) window.PhoneAnswered();
  if (!event.logText.empty()) log.Write(event.logText);
  if (!event.keepsStatus) window.ShowCallStatus(event.status);
}

}  // namespace vertamo
