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
  std::vector<std::string> sipAddresses;  // as the settings name them; empty: every one
  std::string sipAddress;   // the one SIP listens on, once chosen ("0.0.0.0": baresip's choice)
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
// ports are left for the caller to pick. What baresip's account syntax
// cannot carry is refused, never passed on (it would let a setting add
// parameters of its own, or make baresip refuse the whole account file):
// a user with other than a SIP user's characters, a registrar that is not
// host[:port], a password with ";", '"', a blank or a control character.
// Each refusal leaves its default in place (the alias; no registrar) and
// adds a sentence for the dispatcher (UTF-8) to `refused`.
TBaresipSetup SetupFrom(const TPhoneOptions& options, const TSipSettings& settings,
                        std::vector<std::string>* refused = nullptr);

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
// The folders (and the engines) of phones that no longer run: a phone killed
// outright leaves its folder behind (the account file may hold the
// registrar's password), and its engine, told to end, may still be hanging up.
void RemoveOrphanEngines();
// Removes the folder and what the engine left in it.
void RemoveBaresipFolder(const std::string& folder);

}  // namespace vertamo::phone
