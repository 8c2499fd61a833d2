#include "shell/demo/demo_phone.h"

#include <iterator>

#include "iptel/phone_book.h"
#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "tools/phone-sim/phone_sim.h"

namespace vertamo::ui {

namespace {

struct Subscriber {
  const char* name;  // UTF-8
  const char* address;
};

// The demo's address book; its subscribers are also the ones who ring.
constexpr Subscriber kSubscribers[] = {
    {"Пост охраны", "10.20.0.5"}, {"Аварийная служба", "10.20.0.7"}, {"Диспетчер Север", "north.demo.local"}};
constexpr int kSubscriberCount = static_cast<int>(std::size(kSubscribers));

}  // namespace

TDemoPhone::TDemoPhone() = default;

TDemoPhone::~TDemoPhone() { Stop(); }

bool TDemoPhone::Start(std::string* error) {
  Stop();
  phonesim::Options options;
  options.bind = "127.0.0.1";
  options.port = 0;
  options.paused = true;
  options.answerDelayMs = kAnswerDelayMs;
  options.statEveryMs = kStatEveryMs;
  options.app = Utf8ToCp1251("phone-sim\tдемонстрация");
  // The subscribers ring in turn, kRingEveryMs apart.
  for (int i = 0; i < kSubscriberCount; ++i) {
    const Subscriber& s = kSubscribers[i];
    options.rings.push_back(
        {kRingAfterMs + i * kRingEveryMs, Utf8ToCp1251(std::string(s.name) + " [" + s.address + "]")});
  }
  options.ringRepeatMs = kSubscriberCount * kRingEveryMs;
  auto server = std::make_unique<phonesim::Server>();
  if (!server->Start(options, error)) return false;
  server_ = std::move(server);
  return true;
}

uint16_t TDemoPhone::Port() const { return server_ ? server_->Port() : 0; }

void TDemoPhone::Stop() {
  if (server_) server_->Stop();
  server_.reset();
}

bool TDemoPhone::StartPhoneProcess(const std::string& path, const std::vector<std::string>& args) {
  if (!server_) return false;
  std::vector<std::string> commandLine{path};
  commandLine.insert(commandLine.end(), args.begin(), args.end());
  server_->Resume(commandLine);
  return true;
}

bool TDemoPhone::GetHostName(std::string& name) { return vertamo::GetHostName(name); }

bool PrepareDemoPhoneBook(const std::string& workFolder) {
  TPhoneBook book(workFolder);
  if (book.LoadPhoneBook()) return true;  // the dispatcher's own book stays
  for (const Subscriber& s : kSubscribers) book.Add(Utf8ToCp1251(s.name), s.address);
  book.SavePhoneBook();
  return FileExists(WithTrailingSlash(workFolder) + TPhoneBook::kFileName);
}

}  // namespace vertamo::ui
