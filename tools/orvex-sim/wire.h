// The server's side of the text protocol: reading request lines, writing
// key=value reply lines, and the names of the scenario's enumerations.
//
// This is deliberately the server's own code, independent of the workstation's
// line channel, so that a test that drives the workstation against the
// simulator does not test a parser against itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/orvex-sim/scenario.h"

namespace orvexsim {

// ---- Request lines ----------------------------------------------------------

enum class RequestKind {
  Empty,
  Remote,        // REMOTE: the greeting before the login
  GetMap,        // GETMAP
  GetMapObj,     // GETMAPOBJ
  GetText,       // GETTEXT
  GetPictMap,    // GETPICTMAP MAP=n
  GetPictMapCs,  // GETPICTMAPCS MAP=n
  GetPictIml,    // GETPICTIML OBJ=n
  GetPictImlCs,  // GETPICTIMLCS OBJ=n
  GetChanges,    // GETCHANGES
  MouseDownObj,  // MOUSEDOWN OBJ=n
  Report,        // MOUSEDOWN LIFTBREAK | OHRALR | PUERR
  StartSpeak,    // STARTSPEAK OBJ=n PU=m
  EndSpeak,      // ENDSPEAK OBJ=n PU=m
  Unknown,
};

enum class ReportKind { LiftBreak, OhrAlr, PuErr };

struct Request {
  RequestKind kind = RequestKind::Empty;
  ReportKind report = ReportKind::LiftBreak;  // for Report
  std::optional<int> map;                     // MAP=
  std::optional<int> obj;                     // OBJ=
  std::optional<int> pu;                      // PU=
};

// Parses one request line (code page 1251, line end removed). The keyword is
// compared without regard to case; numbers are read after "MAP=", "OBJ=",
// "PU=" at the start of a word. Never fails: what it cannot place is Unknown.
Request ParseRequest(std::string_view line);

// The step a request belongs to, for faults; nullopt for Empty / Unknown / Remote.
std::optional<Step> StepOf(const Request& request);

// ---- Key=value items --------------------------------------------------------

// First occurrence of `key` (which carries its separators, e.g. " OBJ=") in
// `line`, followed by a decimal integer (optional sign; no digits give 0).
// Values beyond the int range are clamped.
std::optional<int> FindIntKey(std::string_view line, std::string_view key);
// First occurrence of `key` followed by a double quote: the text up to the next
// quote or the end of the line.
std::optional<std::string> FindQuotedKey(std::string_view line, std::string_view key);

// Starts `text` with `prefix`, ASCII letters compared without regard to case.
bool StartsWithWord(std::string_view text, std::string_view prefix);

// A quoted text value for the wire: UTF-8 converted to code page 1251, with
// the characters a quoted value cannot hold (double quote, CR, LF, NUL)
// replaced by an apostrophe or a blank.
std::string Quoted(std::string_view utf8);
// The same for a text that is code page 1251 already.
std::string QuotedCp1251(std::string_view cp1251);
// " KEY=" + decimal value, ready to append to a line.
std::string IntItem(std::string_view key, long long value);
// " KEY=" + Quoted(value).
std::string TextItem(std::string_view key, std::string_view utf8);
// " KEY=" + QuotedCp1251(value).
std::string TextItemCp1251(std::string_view key, std::string_view cp1251);

// ---- Names ------------------------------------------------------------------

const char* StepName(Step step);
std::optional<Step> StepFromName(std::string_view name);
const char* FaultKindName(FaultKind kind);
std::optional<FaultKind> FaultKindFromName(std::string_view name);
const char* StateRoleName(StateRole role);
std::optional<StateRole> StateRoleFromName(std::string_view name);

// A fault written as "kind@step[,connection=N][,occurrence=N][,delay=MS][,value=N]",
// e.g. "drop@getmap,connection=0". On failure returns nullopt and sets `error`.
std::optional<Fault> ParseFault(std::string_view params, std::string* error);

}  // namespace orvexsim
