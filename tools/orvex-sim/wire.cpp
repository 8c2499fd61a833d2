#include "tools/orvex-sim/wire.h"

#include <climits>
#include <cstring>
#include <utility>

#include "platform/cp1251.h"

namespace orvexsim {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

// Reads a decimal integer at `pos`: blanks, optional sign, digits. Clamped.
int ReadInt(std::string_view text, size_t pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  long long value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// "KEY=" at the start of a blank-separated word of the line (case ignored).
std::optional<int> WordInt(std::string_view line, std::string_view key) {
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    std::string_view word = line.substr(pos, end - pos);
    if (word.size() >= key.size() && EqualsWord(word.substr(0, key.size()), key))
      return ReadInt(line, pos + key.size());
    pos = end;
  }
  return std::nullopt;
}

template <typename E>
struct NameEntry {
  E value;
  const char* name;
};

constexpr NameEntry<Step> kSteps[] = {
    {Step::Greeting, "greeting"},     {Step::Login, "login"},
    {Step::GetMap, "getmap"},         {Step::GetMapObj, "getmapobj"},
    {Step::GetPictMap, "getpictmap"}, {Step::GetPictMapCs, "getpictmapcs"},
    {Step::GetPictIml, "getpictiml"}, {Step::GetPictImlCs, "getpictimlcs"},
    {Step::GetText, "gettext"},       {Step::GetChanges, "getchanges"},
    {Step::MouseDown, "mousedown"},   {Step::Report, "report"},
    {Step::Speak, "speak"},
};

constexpr NameEntry<FaultKind> kFaultKinds[] = {
    {FaultKind::RefuseLogin, "refuse_login"},
    {FaultKind::GarblePrompt, "garble_prompt"},
    {FaultKind::Drop, "drop"},
    {FaultKind::DropMidData, "drop_mid_data"},
    {FaultKind::DropMidReply, "drop_mid_reply"},
    {FaultKind::Stall, "stall"},
    {FaultKind::Drip, "drip"},
    {FaultKind::Delay, "delay"},
    {FaultKind::WrongRecordNumber, "wrong_record_number"},
    {FaultKind::MissingKey, "missing_key"},
    {FaultKind::Base64WrongLength, "base64_wrong_length"},
    {FaultKind::NotPng, "not_png"},
    {FaultKind::BadChecksum, "bad_checksum"},
    {FaultKind::Reload, "reload"},
    {FaultKind::UpdateWithoutObj, "update_without_obj"},
    {FaultKind::OverlongLine, "overlong_line"},
    {FaultKind::LowerCase, "lower_case"},
    {FaultKind::LfBeforeCr, "lf_before_cr"},
    {FaultKind::ExtraLines, "extra_lines"},
    {FaultKind::WrongPrefix, "wrong_prefix"},
};

constexpr NameEntry<StateRole> kRoles[] = {
    {StateRole::Normal, "normal"},
    {StateRole::LiftFault, "lift_fault"},
    {StateRole::LoopTriggered, "loop_triggered"},
    {StateRole::IntercomFault, "intercom_fault"},
    {StateRole::CabinCall, "cabin_call"},
    {StateRole::NoLink, "no_link"},
};

template <typename E, size_t N>
const char* NameOf(const NameEntry<E> (&table)[N], E value) {
  for (const auto& entry : table)
    if (entry.value == value) return entry.name;
  return "?";
}

template <typename E, size_t N>
std::optional<E> ValueOf(const NameEntry<E> (&table)[N], std::string_view name) {
  for (const auto& entry : table)
    if (EqualsWord(name, entry.name)) return entry.value;
  return std::nullopt;
}

bool ParseSpecInt(std::string_view text, int* out) {
  if (text.empty()) return false;
  size_t i = (text[0] == '-') ? 1 : 0;
  if (i == text.size()) return false;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) return false;
  }
  *out = static_cast<int>(text[0] == '-' ? -value : value);
  return true;
}

}  // namespace

Request ParseRequest(std::string_view line) {
  Request request;
  size_t start = 0;
  while (start < line.size() && line[start] == ' ') ++start;
  line = line.substr(start);
  if (line.empty()) return request;
  size_t end = line.find(' ');
  std::string_view keyword = line.substr(0, end);
  std::string_view rest = end == std::string_view::npos ? std::string_view() : line.substr(end);
  request.kind = RequestKind::Unknown;
  request.map = WordInt(rest, "MAP=");
  request.obj = WordInt(rest, "OBJ=");
  request.pu = WordInt(rest, "PU=");
  if (EqualsWord(keyword, "REMOTE")) {
    request.kind = RequestKind::Remote;
  } else if (EqualsWord(keyword, "GETMAP")) {
    request.kind = RequestKind::GetMap;
  } else if (EqualsWord(keyword, "GETMAPOBJ")) {
    request.kind = RequestKind::GetMapObj;
  } else if (EqualsWord(keyword, "GETTEXT")) {
    request.kind = RequestKind::GetText;
  } else if (EqualsWord(keyword, "GETCHANGES")) {
    request.kind = RequestKind::GetChanges;
  } else if (EqualsWord(keyword, "GETPICTMAP")) {
    if (request.map) request.kind = RequestKind::GetPictMap;
  } else if (EqualsWord(keyword, "GETPICTMAPCS")) {
    if (request.map) request.kind = RequestKind::GetPictMapCs;
  } else if (EqualsWord(keyword, "GETPICTIML")) {
    if (request.obj) request.kind = RequestKind::GetPictIml;
  } else if (EqualsWord(keyword, "GETPICTIMLCS")) {
    if (request.obj) request.kind = RequestKind::GetPictImlCs;
  } else if (EqualsWord(keyword, "STARTSPEAK")) {
    if (request.obj) request.kind = RequestKind::StartSpeak;
  } else if (EqualsWord(keyword, "ENDSPEAK")) {
    if (request.obj) request.kind = RequestKind::EndSpeak;
  } else if (EqualsWord(keyword, "MOUSEDOWN")) {
    size_t pos = 0;
    while (pos < rest.size() && rest[pos] == ' ') ++pos;
    std::string_view second = rest.substr(pos, rest.find(' ', pos) - pos);
    if (EqualsWord(second, "LIFTBREAK")) {
      request.kind = RequestKind::Report;
      request.report = ReportKind::LiftBreak;
    } else if (EqualsWord(second, "OHRALR")) {
      request.kind = RequestKind::Report;
      request.report = ReportKind::OhrAlr;
    } else if (EqualsWord(second, "PUERR")) {
      request.kind = RequestKind::Report;
      request.report = ReportKind::PuErr;
    } else if (request.obj) {
      request.kind = RequestKind::MouseDownObj;
    }
  }
  return request;
}

std::optional<Step> StepOf(const Request& request) {
  switch (request.kind) {
    case RequestKind::GetMap:
      return Step::GetMap;
    case RequestKind::GetMapObj:
      return Step::GetMapObj;
    case RequestKind::GetText:
      return Step::GetText;
    case RequestKind::GetPictMap:
      return Step::GetPictMap;
    case RequestKind::GetPictMapCs:
      return Step::GetPictMapCs;
    case RequestKind::GetPictIml:
      return Step::GetPictIml;
    case RequestKind::GetPictImlCs:
      return Step::GetPictImlCs;
    case RequestKind::GetChanges:
      return Step::GetChanges;
    case RequestKind::MouseDownObj:
      return Step::MouseDown;
    case RequestKind::Report:
      return Step::Report;
    case RequestKind::StartSpeak:
    case RequestKind::EndSpeak:
      return Step::Speak;
    default:
      return std::nullopt;
  }
}

std::optional<int> FindIntKey(std::string_view line, std::string_view key) {
  if (key.empty()) return std::nullopt;
  size_t pos = line.find(key);
  if (pos == std::string_view::npos) return std::nullopt;
  return ReadInt(line, pos + key.size());
}

std::optional<std::string> FindQuotedKey(std::string_view line, std::string_view key) {
  if (key.empty()) return std::nullopt;
  size_t pos = line.find(key);
  if (pos == std::string_view::npos) return std::nullopt;
  pos += key.size();
  if (pos >= line.size() || line[pos] != '"') return std::nullopt;
  ++pos;
  size_t end = line.find('"', pos);
  if (end == std::string_view::npos) end = line.size();
  return std::string(line.substr(pos, end - pos));
}

bool StartsWithWord(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsWord(text.substr(0, prefix.size()), prefix);
}

std::string Quoted(std::string_view utf8) { return QuotedCp1251(vertamo::Utf8ToCp1251(utf8)); }

std::string QuotedCp1251(std::string_view cp1251) {
  std::string text(cp1251);
  for (char& c : text) {
    if (c == '"')
      c = '\'';
    else if (c == '\r' || c == '\n' || c == '\0')
      c = ' ';
  }
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  out += text;
  out += '"';
  return out;
}

std::string IntItem(std::string_view key, long long value) {
  std::string out;
  out += ' ';
  out += key;
  out += '=';
  out += std::to_string(value);
  return out;
}

std::string TextItem(std::string_view key, std::string_view utf8) {
  return TextItemCp1251(key, vertamo::Utf8ToCp1251(utf8));
}

std::string TextItemCp1251(std::string_view key, std::string_view cp1251) {
  std::string out;
  out += ' ';
  out += key;
  out += '=';
  out += QuotedCp1251(cp1251);
  return out;
}

const char* StepName(Step step) { return NameOf(kSteps, step); }
std::optional<Step> StepFromName(std::string_view name) { return ValueOf(kSteps, name); }
const char* FaultKindName(FaultKind kind) { return NameOf(kFaultKinds, kind); }
std::optional<FaultKind> FaultKindFromName(std::string_view name) { return ValueOf(kFaultKinds, name); }
const char* StateRoleName(StateRole role) { return NameOf(kRoles, role); }
std::optional<StateRole> StateRoleFromName(std::string_view name) { return ValueOf(kRoles, name); }

std::optional<Fault> ParseFault(std::string_view params, std::string* error) {
  auto fail = [&](std::string message) -> std::optional<Fault> {
    if (error) *error = "fault \"" + std::string(params) + "\": " + std::move(message);
    return std::nullopt;
  };
  size_t comma = params.find(',');
  std::string_view head = params.substr(0, comma);
  size_t at = head.find('@');
  Fault fault;
  auto kind = FaultKindFromName(head.substr(0, at));
  if (!kind) return fail("unknown kind \"" + std::string(head.substr(0, at)) + "\"");
  fault.kind = *kind;
  if (at != std::string_view::npos) {
    auto step = StepFromName(head.substr(at + 1));
    if (!step) return fail("unknown step \"" + std::string(head.substr(at + 1)) + "\"");
    fault.step = *step;
  } else if (fault.kind == FaultKind::RefuseLogin) {
    fault.step = Step::Login;
  } else if (fault.kind != FaultKind::GarblePrompt) {
    return fail("a step is needed (kind@step)");
  }
  while (comma != std::string_view::npos) {
    size_t next = params.find(',', comma + 1);
    std::string_view item = params.substr(comma + 1, next == std::string_view::npos ? next : next - comma - 1);
    comma = next;
    size_t eq = item.find('=');
    std::string_view key = item.substr(0, eq);
    int value = 0;
    if (eq == std::string_view::npos || !ParseSpecInt(item.substr(eq + 1), &value))
      return fail("\"" + std::string(item) + "\" is not key=number");
    if (key == "connection")
      fault.connection = value;
    else if (key == "occurrence")
      fault.occurrence = value;
    else if (key == "delay")
      fault.delayMs = value;
    else if (key == "value")
      fault.value = value;
    else
      return fail("unknown item \"" + std::string(key) + "\"");
  }
  return fault;
}

}  // namespace orvexsim
