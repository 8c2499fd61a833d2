#include "phone/baresip_config.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>

#include "phone/call_outcome.h"
#include "phone/dial_string.h"
#include "platform/folder_entries.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "protocol/host_address.h"
#include "protocol/txtfunc.h"
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vertamo::phone {

namespace {

constexpr int kPacketMs = 20;  // baresip's packet time

// The module an audio device needs ("pulse,x" needs pulse.so); empty when the
// name is not a plain module name.
std::string ModuleOf(const std::string& device) {
  const std::string name = device.substr(0, device.find(','));
  if (name.empty()) return {};
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return {};
  return name;
}

std::string CodecModule(const std::string& codec) {
  std::string lower = codec;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "pcmu" || lower == "pcma") return "g711";
  if (lower == "opus") return "opus";
  if (lower == "g722") return "g722";
  return {};
}

std::string CodecParameter(const std::string& codec) {
  std::string lower = codec;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "pcmu") return "PCMU/8000/1";
  if (lower == "pcma") return "PCMA/8000/1";
  if (lower == "g722") return "G722/16000/1";
  if (lower == "opus") return "opus/48000/2";
  return {};
}

// A display name goes between double quotes, which baresip reads without
// escapes: quotes, backslashes and control characters are left out.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text)
    if (c != '"' && c != '\\' && (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)) out += c;
  return out + "\"";
}

// The characters of a SIP user (RFC 3261's unreserved and user-unreserved)
// that baresip's account line carries as they are: ";" would begin the
// URI's parameters, and escapes are not undone.
bool IsSipUser(const std::string& user) {
  if (user.empty() || user.size() > 63) return false;
  for (const char c : user) {
    const auto u = static_cast<unsigned char>(c);
    if (!(u < 0x80 && std::isalnum(u)) && std::string_view("-_.!~*'()&=+$,?/").find(c) == std::string_view::npos)
      return false;
  }
  return true;
}

// host[:port] of a registrar.
bool IsRegistrar(const std::string& text) {
  const size_t colon = text.rfind(':');
  const std::string host = text.substr(0, colon);
  if (!IsIpv4Address(host) && !IsHostName(host)) return false;
  if (colon == std::string::npos) return true;
  int port = 0;
  return ParseWholeNumber(std::string_view(text).substr(colon + 1), port) && port > 0 && port < 65536;
}

// baresip takes auth_pass up to the first ";" or blank, and a double quote
// spoils the whole account line; there is no escape for any of them.
bool IsAccountPassword(const std::string& password) {
  for (const char c : password) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x21 || u == 0x7F || c == ';' || c == '"') return false;
  }
  return true;
}

std::string AccountAor(const TBaresipSetup& s, const std::string& user, bool withRegistrar) {
  const std::string host = withRegistrar ? s.registrar : (s.sipAddress == "0.0.0.0" ? "localhost" : s.sipAddress);
  return "sip:" + user + "@" + host;
}

std::string AccountLine(const TBaresipSetup& s, const std::string& user, bool withRegistrar) {
  std::string line = Quoted(s.displayName) + " <" + AccountAor(s, user, withRegistrar) + ">";
  std::vector<std::string> codecs;
  for (const std::string& c : s.codecs)
    if (!CodecParameter(c).empty()) codecs.push_back(CodecParameter(c));
  if (!codecs.empty()) {
    line += ";audio_codecs=";
    for (size_t i = 0; i < codecs.size(); ++i) line += (i ? "," : "") + codecs[i];
  }
  line += std::string(";answermode=") + (s.answerAtOnce ? "auto" : "manual");
  if (withRegistrar) {
    if (!s.password.empty()) line += ";auth_pass=" + s.password;
    line += ";regint=600";
  } else {
    line += ";regint=0";
  }
  return line + "\n";
}

}  // namespace

TBaresipSetup SetupFrom(const TPhoneOptions& options, const TSipSettings& settings, std::vector<std::string>* refused) {
  auto refuse = [&](const std::string& why) {
    if (refused) refused->push_back(why);
  };
  TBaresipSetup s;
  s.sipAddresses = settings.localAddresses;
  s.sipAddress = s.sipAddresses.empty() ? "0.0.0.0" : s.sipAddresses.front();
  s.sipPort = settings.sipPort;
  const std::string alias = IsSipUser(options.alias) ? options.alias : std::string(kAnyPhoneUser);
  s.user = alias;
  if (!settings.user.empty()) {
    if (IsSipUser(settings.user))
      s.user = settings.user;
    else
      refuse("User \"" + settings.user + "\" не годится для SIP (допустимы латинские буквы, цифры и -_.!~*'()&=+$,?/): "
             "взят " + alias);
  }
  s.displayName = settings.displayName.empty() ? alias : settings.displayName;
  for (const std::string& user : settings.extraUsers) {
    if (IsSipUser(user))
      s.extraUsers.push_back(user);
    else
      refuse("ExtraUsers: \"" + user + "\" не годится для SIP и пропущен");
  }
  if (!settings.registrar.empty() && !IsRegistrar(settings.registrar)) {
    refuse("Registrar \"" + settings.registrar + "\" не вида узел[:порт]: регистрации не будет");
  } else if (!IsAccountPassword(settings.password)) {
    refuse(std::string("Password: пароль с \";\", кавычкой, пробелом или управляющим символом baresip принять не может") +
           (settings.registrar.empty() ? "" : ": регистрации не будет"));
  } else {
    s.registrar = settings.registrar;
    s.password = settings.password;
  }
  s.audioSource = AudioDevice(settings.audioSource);
  s.audioPlayer = AudioDevice(settings.audioPlayer);
  s.codecs = settings.codecs;
  if (s.codecs.empty())
    s.codecs = options.ulawFirst ? std::vector<std::string>{"PCMU", "PCMA"} : std::vector<std::string>{"PCMA", "PCMU"};
  if (options.jitterMinMs > 0) {
    s.jitterMinFrames = std::max(1, options.jitterMinMs / kPacketMs);
    s.jitterMaxFrames = std::max(s.jitterMinFrames, (options.jitterMaxMs + kPacketMs - 1) / kPacketMs);
  }
  s.answerAtOnce = settings.answerAtOnce;
  return s;
}

std::string BaresipConfigText(const TBaresipSetup& s) {
  std::string c;
  c += "poll_method\t\tepoll\n";
  c += "sip_listen\t\t" + s.sipAddress + ":" + std::to_string(s.sipPort) + "\n";
  if (s.sipAddress != "0.0.0.0") c += "net_interface\t\t" + s.sipAddress + "\n";
  c += "call_local_timeout\t120\n";
  // baresip counts calls per account and refuses the one beyond its limit
  // busy (486) without a word to us. A phone that answers by itself keeps one
  // call; the dispatcher's phone lets a second one through, so that it can
  // tell the workstation who rang before it refuses that call itself.
  c += std::string("call_max_calls\t\t") + (s.answerAtOnce ? "1" : "2") + "\n";
  c += "audio_path\t\t/usr/share/baresip\n";
  c += "audio_player\t\t" + s.audioPlayer + "\n";
  c += "audio_source\t\t" + s.audioSource + "\n";
  c += "audio_alert\t\t" + s.audioPlayer + "\n";
  c += "ausrc_format\t\ts16\nauplay_format\t\ts16\nauenc_format\t\ts16\naudec_format\t\ts16\n";
  if (s.jitterMinFrames > 0)
    c += "jitter_buffer_delay\t" + std::to_string(s.jitterMinFrames) + "-" + std::to_string(s.jitterMaxFrames) + "\n";
  c += "rtcp_mux\t\tno\n";
  // A far side that vanishes (its engine killed, its network gone) ends the
  // call after this many seconds without media, instead of never.
  c += "rtp_timeout\t\t" + std::to_string(kMediaTimeoutSeconds) + "\n";
  c += "module_path\t\t/usr/lib/baresip/modules\n";
  std::vector<std::string> modules;
  for (const std::string& codec : s.codecs)
    if (const std::string m = CodecModule(codec); !m.empty()) modules.push_back(m);
  for (const std::string* device : {&s.audioSource, &s.audioPlayer})
    if (const std::string m = ModuleOf(*device); !m.empty()) modules.push_back(m);
  std::vector<std::string> loaded;
  for (const std::string& m : modules) {
    if (std::find(loaded.begin(), loaded.end(), m) != loaded.end()) continue;
    loaded.push_back(m);
    c += "module\t\t\t" + m + ".so\n";
  }
  if (!s.soundFolder.empty()) {
    c += "module\t\t\tsndfile.so\n";
    std::string folder = s.soundFolder;
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    c += "snd_path\t\t" + folder + "\n";
  }
  c += "module_tmp\t\taccount.so\n";
  c += "module_app\t\tmenu.so\n";
  c += "module_app\t\tctrl_tcp.so\n";
  c += "ctrl_tcp_listen\t\t127.0.0.1:" + std::to_string(s.controlPort) + "\n";
  return c;
}

std::string MainAccountAor(const TBaresipSetup& s) { return AccountAor(s, s.user, !s.registrar.empty()); }

std::string BaresipAccountsText(const TBaresipSetup& s) {
  std::string a;
  if (!s.registrar.empty()) a += AccountLine(s, s.user, true);
  else a += AccountLine(s, s.user, false);
  for (const std::string& user : s.extraUsers)
    if (user != s.user) a += AccountLine(s, user, false);
  // A call to the machine's address alone reaches the phone as this user
  // (baresip routes an incoming call only to an account of its user).
  if (s.user != kAnyPhoneUser) a += AccountLine(s, kAnyPhoneUser, false);
  return a;
}

namespace {

std::string EngineFolderBase() {
  std::string base = EnvironmentValue("XDG_RUNTIME_DIR");
  if (base.empty() || !FolderExists(base)) base = EnvironmentValue("TMPDIR");
  if (base.empty() || !FolderExists(base)) base = "/tmp";
  return base;
}

bool WriteOwnerOnly(const std::string& path, const std::string& text, std::string* error) {
  std::FILE* file = nullptr;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) file = ::fdopen(fd, "w");
  if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fclose(file) != 0) {
    if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

void RemoveOrphanEngines() {
  const std::string base = EngineFolderBase();
  for (const std::string& name : FolderEntries(base, TEntryKind::Folders)) {
    if (name.rfind("vertamo-phone.", 0) != 0) continue;
    const std::string folder = WithTrailingSlash(base) + name + "/";
    std::FILE* file = std::fopen((folder + "owner").c_str(), "r");
    if (file == nullptr) continue;
    int pid = 0;
    const bool read = std::fscanf(file, "%d", &pid) == 1;
    std::fclose(file);
    if (!read || pid <= 0 || ProcessAlive(pid)) continue;
    // Its engine, still hanging up its calls with a far end that does not
    // answer, would hold the SIP port for half a minute more.
    for (const int engine : OwnProcesses()) {
      const std::vector<std::string> args = ProcessArguments(engine);
      if (std::find(args.begin(), args.end(), folder) == args.end()) continue;
      const int handle = OpenProcessHandle(engine);
      if (handle >= 0 && TerminateProcessHandle(handle)) {
        // Its sockets are free only once it has ended, and the caller picks
        // its SIP port next: wait for that, a second at most.
        pollfd ended{handle, POLLIN, 0};
        ::poll(&ended, 1, 1000);
      }
      CloseProcessHandle(handle);
    }
    RemoveBaresipFolder(folder);
  }
}

std::string MakePrivateFolder(std::string* error) {
  const std::string base = EngineFolderBase();
  std::string pattern = WithTrailingSlash(base) + "vertamo-phone.XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {  // mode 0700
    if (error) *error = "cannot create a folder in " + base + ": " + std::strerror(errno);
    return {};
  }
  const std::string folder = WithTrailingSlash(pattern);
  if (!WriteOwnerOnly(folder + "owner", std::to_string(::getpid()) + "\n", error)) {
    RemoveBaresipFolder(folder);
    return {};
  }
  return folder;
}

std::string WriteBaresipFolder(const TBaresipSetup& setup, std::string* error) {
  const std::string folder = MakePrivateFolder(error);
  if (folder.empty()) return {};
  for (const auto& [name, text] : {std::pair<std::string, std::string>{"config", BaresipConfigText(setup)},
                                   {"accounts", BaresipAccountsText(setup)}}) {
    if (!WriteOwnerOnly(folder + name, text, error)) {
      RemoveBaresipFolder(folder);
      return {};
    }
  }
  return folder;
}

void RemoveBaresipFolder(const std::string& folder) {
  if (folder.empty()) return;
  for (const std::string& name : FolderEntries(folder, TEntryKind::Files)) RemoveFile(WithTrailingSlash(folder) + name);
  ::rmdir(folder.c_str());
}

}  // namespace vertamo::phone
