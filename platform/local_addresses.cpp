#include "platform/local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <fstream>
#include <limits>
#include <sstream>

namespace vertamo {

std::vector<TLocalAddress> LocalIpv4Addresses() {
  std::vector<TLocalAddress> addresses;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
    if (item->ifa_addr == nullptr || item->ifa_addr->sa_family != AF_INET || !(item->ifa_flags & IFF_UP)) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(item->ifa_addr);
    if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
    addresses.push_back({text, item->ifa_name ? item->ifa_name : "", (item->ifa_flags & IFF_LOOPBACK) != 0,
                         (item->ifa_flags & IFF_RUNNING) != 0});
  }
  ::freeifaddrs(list);
  return addresses;
}

std::string DefaultRouteInterface() {
  std::ifstream routes("/proc/net/route");
  std::string line, best;
  long bestMetric = std::numeric_limits<long>::max();
  std::getline(routes, line);  // the heading
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, mask;
    unsigned flags = 0;
    long refs = 0, use = 0, metric = 0;
    if (!(fields >> name >> destination >> gateway >> std::hex >> flags >> std::dec >> refs >> use >> metric >> mask))
      continue;
    constexpr unsigned kRouteUp = 0x1;
    if (destination == "00000000" && mask == "00000000" && (flags & kRouteUp) && metric < bestMetric) {
      best = name;
      bestMetric = metric;
    }
  }
  return best;
}

}  // namespace vertamo
