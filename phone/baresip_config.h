// baresip's configuration, written afresh at every start into a private
// folder only the owner may enter: "config" (what the engine loads and where
// it listens) and "accounts" (who the phone is; it may hold the registrar's
// password, so it is owner-only too and never logged).
#pragma once

#include <string>
#include <vector>

#include "phone/phone_options.h"
#include "phone/sip_settings.h"

namespace vertamo::phone {

struct TBaresipSetup {
  std::string sipAddress;   // the address SIP listens on ("0.0.0.0": every one)
  int sipPort = 0;
  int controlPort = 0;      // ctrl_tcp on 127.0.0.1
  std::string user;         // SIP user of the account
  std::string displayName;
  std::vector<std::string> extraUsers;
  std::string registrar;
  std::string password;
  std::string audioSource, audioPlayer;  // "module,device"
  std::vector<std::string> codecs;       // baresip names: PCMU, PCMA, opus, G722
  int jitterMinFrames = 0, jitterMaxFrames = 0;  // 0: baresip's own
  bool answerAtOnce = false;
  // Where baresip writes both directions of each conversation (its sndfile
  // module); empty: it writes nothing.
  std::string soundFolder;
};

// Everything the start needs, from the command line and the settings; the
// ports are left for the caller to pick.
TBaresipSetup SetupFrom(const TPhoneOptions& options, const TSipSettings& settings);

// The text of "config" and of "accounts".
std::string BaresipConfigText(const TBaresipSetup& setup);
std::string BaresipAccountsText(const TBaresipSetup& setup);
// The address of the account calls are dialled from ("sip:user@host").
std::string MainAccountAor(const TBaresipSetup& setup);

// Creates a fresh folder only the owner may enter (in $XDG_RUNTIME_DIR, else
// the temporary folder), marked with this process so that a later start
// removes it when this one died without doing so. Its path ending in "/", or
// empty with `error`.
std::string MakePrivateFolder(std::string* error);
// Creates a fresh owner-only folder for the engine (in $XDG_RUNTIME_DIR, else
// the temporary folder) and writes both files into it, owner-only. The
// folder's path, or empty with `error`.
std::string WriteBaresipFolder(const TBaresipSetup& setup, std::string* error);
// Removes the folder and what the engine left in it.
void RemoveBaresipFolder(const std::string& folder);

}  // namespace vertamo::phone
