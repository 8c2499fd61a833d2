// The prefix of every line of the workstation's logs (Client.log, IpPhone.log,
// the journal's day files): day.month hour:minute:second and two blanks.
#pragma once

#include <ctime>
#include <string>

namespace vertamo {

// "%02u.%02u %02u:%02u:%02u  " of the local time `local`.
std::string LogLinePrefix(const std::tm& local);

}  // namespace vertamo
