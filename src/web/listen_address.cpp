#include "web/listen_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>


namespace fenban::web {

namespace {

bool IsUnspecified(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    return reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr == htonl(INADDR_ANY);
  }
  if (address->sa_family == AF_INET6) {
    const in6_addr& ip = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    if (IN6_IS_ADDR_UNSPECIFIED(&ip)) return true;
    // ::ffff:0.0.0.0 is the IPv4 unspecified address in IPv6 form.
    return IN6_IS_ADDR_V4MAPPED(&ip) && ip.s6_addr[12] == 0 && ip.s6_addr[13] == 0 && ip.s6_addr[14] == 0 &&
           ip.s6_addr[15] == 0;
  }
  return false;
}

}  // namespace

bool IsEveryInterface(const std::string& address) {
  std::string host = address;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty()) return true;
  // The server binds through getaddrinfo, which takes the old numeric forms
  // ("0", "0x0", "0.0") as well as names; every answer is looked at.
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;  // binding fails on its own
  bool every = false;
  for (addrinfo* item = found; item != nullptr; item = item->ai_next) every = every || IsUnspecified(item->ai_addr);
  freeaddrinfo(found);
  return every;
}

}  // namespace fenban::web
