#include "iptel/telephony.h"

#include <chrono>

#include "platform/folders.h"
#include "settings/fast_ini.h"
#include "settings/func.h"

namespace vertamo {

TTelephony::TTelephony(TTelephonyOptions options, IPhoneHost& host)
    : options_(std::move(options)),
      host_(host),
      book_(options_.workFolder),
      log_(options_.workFolder, false) {
  if (options_.programPath.empty())
    options_.programPath = vertamo::ProgramPath(WithTrailingSlash(options_.programFolder),
                                                TTelephonyOptions::kProgramName);
}

TTelephony::~TTelephony() { Close(); }

void TTelephony::ReadSettings(const TFastIni& ini) {
  settings_ = ReadPhoneSettings(ini);
  settings_.UseIpTel = true;
  log_.SetEnabled(settings_.EnableIpLog);
}

void TTelephony::WriteSettings(TFastIni& ini) const { WritePhoneSettings(ini, settings_); }

void TTelephony::Start() {
  if (thread_ || !settings_.UseIpTel) return;
  book_.LoadPhoneBook();
  if (!book_.ReadWhole()) log_.Write(book_.NotReadWholeText());
  IPhoneProcesses* processes = options_.processes;
  if (!processes) {
    ownProcesses_ =
        std::make_unique<TLinuxPhoneProcesses>(options_.programPath, options_.port, options_.workFolder);
    processes = ownProcesses_.get();
  }
  TPhoneConfig config;
  config.programPath = options_.programPath;
  config.workFolder = WithTrailingSlash(options_.workFolder);
  config.port = options_.port;
  config.settings = settings_;
  thread_ = std::make_unique<TIPTELThread>(std::move(config), *processes, host_, log_);
  thread_->Start();
}

bool TTelephony::Close() {
  if (!thread_) return false;
  const bool down = thread_->QuitPhone();
  thread_.reset();
  return down;
}

bool TTelephony::HandlePhoneEvent(ICallWindow& window) {
  return thread_ && vertamo::HandlePhoneEvent(thread_->PhoneEvents(), book_, log_, window);
}

bool TTelephony::HandlePhoneEvents(ICallWindow& window, int budgetMs, int maxItems) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);
  for (int taken = 1; HandlePhoneEvent(window); ++taken)
    if (taken >= maxItems || std::chrono::steady_clock::now() >= deadline) return true;
  return false;
}

bool TTelephony::SendPhoneCommand(std::string_view command) {
  return !thread_ || thread_->SendPhoneCommand(command);
}

}  // namespace vertamo
