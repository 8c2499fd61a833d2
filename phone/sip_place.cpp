#include "phone/sip_place.h"

#include <algorithm>

namespace vertamo::phone {

std::vector<std::string> SipCandidates(const std::vector<std::string>& named, const std::vector<TLocalAddress>& local,
                                       const std::string& defaultInterface) {
  if (!named.empty()) return named;
  std::vector<std::string> first, rest, loopback;
  for (const TLocalAddress& a : local) {
    if (a.loopback) loopback.push_back(a.address);
    else if (!a.running) continue;  // no carrier: nothing can call it
    else (a.interface == defaultInterface ? first : rest).push_back(a.address);
  }
  first.insert(first.end(), rest.begin(), rest.end());
  if (first.empty()) first = loopback;
  // Never the same address twice (an address on two interfaces).
  std::vector<std::string> unique;
  for (const std::string& address : first)
    if (std::find(unique.begin(), unique.end(), address) == unique.end()) unique.push_back(address);
  return unique;
}

namespace {

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

TSipPlace ChooseSipPlace(const std::vector<std::string>& candidates, int wantedPort, const TSipPorts& ports) {
  TSipPlace place;
  std::vector<std::string> usable, taken;
  for (const std::string& address : candidates) {
    if (const std::string problem = ports.problem(address); !problem.empty()) {
      if (place.error.empty()) place.error = problem;
      place.notices.push_back("LocalAddress " + address + " не IPv4-адрес этого компьютера: SIP его не слушает");
      continue;
    }
    usable.push_back(address);
    if (place.address.empty() && ports.free(address, wantedPort)) {
      place.address = address;
      place.port = wantedPort;
    } else if (place.address.empty()) {
      taken.push_back(address);
    }
  }
  if (usable.empty()) {
    if (place.error.empty()) place.error = "no address to listen on";
    place.notices.clear();
    return place;
  }
  const std::string wanted = std::to_string(wantedPort);
  if (place.address.empty()) {
    // Taken everywhere: the best address on a port of its own, said plainly.
    place.address = usable.front();
    for (int attempt = 0; attempt < 50 && place.port == 0; ++attempt) {
      const int port = ports.anyFree(place.address);
      if (port > 0 && ports.free(place.address, port)) place.port = port;
    }
    if (place.port == 0) {
      place.error = "no free SIP port on " + place.address;
      place.address.clear();
      place.notices.clear();
      return place;
    }
    place.notices.push_back("SIP слушает порт " + std::to_string(place.port) + " вместо " + wanted +
                            " (тот занят другой программой): звонящие на " + wanted + " не дозвонятся");
    taken.clear();
  }
  place.error.clear();
  std::vector<std::string> lost;
  for (const std::string& address : usable)
    if (address != place.address) lost.push_back(address);
  if (!lost.empty()) {
    std::string notice = "SIP принимает звонки только на " + place.address + ":" + std::to_string(place.port) +
                         "; звонки на " + Joined(lost) + " не дойдут";
    if (!taken.empty()) notice += " (на " + Joined(taken) + " порт " + wanted + " занят другой программой)";
    place.notices.push_back(notice);
  }
  return place;
}

}  // namespace vertamo::phone
