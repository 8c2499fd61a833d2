// The link between the workstation and the demo program it starts: lines of
// fields separated by TAB, UTF-8, on the demo's standard input and output.
//
// The demo says once, as soon as its servers listen:
//   server PORT | gateway HOST PORT | no-gateway WHY | phone PORT DESCRIPTION real|sim
//   subscriber ADDRESS NAME (each) | ready
// and then answers each request of the workstation:
//   start PROGRAM ARG...  ->  started | failed WHY
//   requests              ->  request LINE (each line the district was sent) ... ready
// It ends when its standard input ends (the workstation has gone, however).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vertamo::demolink {

inline constexpr std::string_view kServer = "server";
inline constexpr std::string_view kGateway = "gateway";
inline constexpr std::string_view kNoGateway = "no-gateway";
inline constexpr std::string_view kPhone = "phone";
inline constexpr std::string_view kSubscriber = "subscriber";
inline constexpr std::string_view kReady = "ready";
inline constexpr std::string_view kStart = "start";
inline constexpr std::string_view kStarted = "started";
inline constexpr std::string_view kFailed = "failed";
inline constexpr std::string_view kRequests = "requests";
inline constexpr std::string_view kRequest = "request";
inline constexpr std::string_view kRealPhone = "real";

// One line, without its "\n": the fields with TAB, line feed and backslash
// escaped ("\t", "\n", "\\"), so that any text travels.
std::string JoinFields(const std::vector<std::string>& fields);
// The fields of one line (without its "\n"); an unknown escape stands for
// itself.
std::vector<std::string> SplitFields(std::string_view line);

}  // namespace vertamo::demolink
