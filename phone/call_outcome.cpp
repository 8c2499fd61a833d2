#include "phone/call_outcome.h"

#include <cctype>

namespace vertamo::phone {

namespace {

// SIP final responses to an outgoing call.
struct TSipOutcome {
  int from, to;        // status codes, inclusive
  const char* line;    // the event line
};
constexpr TSipOutcome kSipOutcomes[] = {
    {486, 486, "BUSY"},       {600, 600, "BUSY"},      {404, 404, "ERROR 0"}, {484, 484, "ERROR 0"},
    {603, 603, "ERROR 3"},    {408, 408, "ERROR 5"},   {480, 480, "ERROR 5"}, {487, 487, "ERROR 5"},
    {488, 488, "ERROR 7"},    {606, 606, "ERROR 7"},   {415, 415, "ERROR 7"}, {503, 503, "ERROR 4"},
    {400, 699, "ERROR 15"},
};

// Transport failures, as baresip words them (strerror texts).
struct TTextOutcome {
  const char* start;
  int code;
};
constexpr TTextOutcome kTextOutcomes[] = {
    {"Connection refused", kUnreachable},    {"No route to host", kUnreachable},
    {"Network is unreachable", kUnreachable}, {"Host is unreachable", kUnreachable},
    {"Host is down", kUnreachable},           {"Cannot assign requested address", kUnreachable},
};

int LeadingStatus(std::string_view reason) {
  if (reason.size() < 3) return 0;
  int status = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(reason[i]))) return 0;
    status = status * 10 + (reason[i] - '0');
  }
  return reason.size() == 3 || reason[3] == ' ' ? status : 0;
}

}  // namespace

std::string ErrorLine(int code) { return "ERROR " + std::to_string(code); }

std::string RefusedDialLine(std::string_view why) {
  for (const TTextOutcome& o : kTextOutcomes)
    if (why.substr(0, std::string_view(o.start).size()) == o.start) return ErrorLine(o.code);
  return ErrorLine(kWrongAddress);
}

std::string ClosedCallLine(std::string_view reason, const TCallHistory& call) {
  if (call.weRefused) return ErrorLine(kWeRefused);
  if (call.weHungUp) return "END";
  if (call.dialTimedOut) return ErrorLine(call.rang ? kNoAnswer : kUnreachable);
  // No media for a while: the far side vanished without a word.
  if (call.established)
    return reason == "rtp stream error" ? ErrorLine(kLinkFailed) + " SILENT=" + std::to_string(kMediaTimeoutSeconds)
                                        : ErrorLine(kRemoteHungUp);
  if (call.incoming) return ErrorLine(kRemoteCancelled);  // the caller gave up before "y"
  if (const int status = LeadingStatus(reason); status != 0) {
    for (const TSipOutcome& o : kSipOutcomes)
      if (status >= o.from && status <= o.to) return o.line;
    return ErrorLine(kCallFailed);
  }
  // No final response: nobody answered at the SIP level (the transaction
  // timed out) means unreachable, unless the far side had already rung.
  if (reason.substr(0, 20) == "Connection timed out") return ErrorLine(call.rang ? kNoAnswer : kUnreachable);
  for (const TTextOutcome& o : kTextOutcomes)
    if (reason.substr(0, std::string_view(o.start).size()) == o.start) return ErrorLine(o.code);
  return ErrorLine(kCallFailed);
}

}  // namespace vertamo::phone
