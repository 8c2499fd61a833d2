// The phone program's command line, built from the IP-telephony settings.
//
// The logged line is the program path followed by each argument after one
// blank, at most 511 bytes; an argument that does not fit whole is cut where
// the line ends, and the ones after it are left out. The program is started
// with exactly the arguments the line shows.
#pragma once

#include <string>
#include <vector>

#include "iptel/phone_settings.h"

namespace vertamo {

struct TPhoneCommandLine {
  static constexpr size_t kMaxLength = 511;
  std::string line;                // as logged in "ohphone.log"
  std::vector<std::string> args;   // the arguments after the program path
};

// `alias` is the host name as the phone announces it (already transliterated);
// `workFolder` holds "H323.log".
TPhoneCommandLine BuildPhoneCommandLine(const PhoneSettings& settings, const std::string& programPath,
                                        const std::string& alias, const std::string& workFolder);

// The alias of this computer: its host name (code page 1251, at most 63
// bytes) transliterated to Latin letters; "Orvex" when there is no name.
std::string PhoneAlias(const std::string& hostName);

}  // namespace vertamo
