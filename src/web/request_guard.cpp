#include "web/request_guard.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <random>

namespace fenban::web {

namespace {

bool IsOwnHost(const GuardConfig& config, const std::string& host) {
  return std::find(config.hosts.begin(), config.hosts.end(), host) != config.hosts.end();
}

}  // namespace

GuardDecision CheckRequest(const GuardConfig& config, const GuardRequest& request) {
  if (!IsOwnHost(config, request.host)) {
    return {403, "Host 不是本服务的地址 (foreign Host header)", false};
  }
  if (request.hasOrigin) {
    bool own = request.origin.rfind("http://", 0) == 0 && IsOwnHost(config, request.origin.substr(7));
    if (!own) return {403, "请求来自别的网站 (foreign Origin)", false};
  }
  std::string cookieToken = CookieValue(request.cookie, kTokenCookie);
  const std::string* given = nullptr;
  bool fromQuery = false;
  if (!request.headerToken.empty()) {
    given = &request.headerToken;
  } else if (!cookieToken.empty()) {
    given = &cookieToken;
  } else if (!request.queryToken.empty()) {
    given = &request.queryToken;
    fromQuery = true;
  }
  if (given == nullptr) {
    return {401, "需要访问令牌：请用 fenban serve 显示的完整地址打开 (access token required)", false};
  }
  if (!SameToken(*given, config.token)) {
    // A stale cookie from an earlier run gives way to a token in the address.
    if (!request.queryToken.empty() && SameToken(request.queryToken, config.token)) return {0, "", true};
    return {403, "访问令牌不对：请用 fenban serve 显示的完整地址打开 (wrong access token)", false};
  }
  return {0, "", fromQuery};
}

std::vector<std::string> OwnHosts(const std::string& address, int port) {
  std::vector<std::string> hosts;
  if (address == "127.0.0.1" || address == "localhost") {
    hosts.push_back(fmt::format("127.0.0.1:{}", port));
    hosts.push_back(fmt::format("localhost:{}", port));
  } else if (address.find(':') != std::string::npos) {
    hosts.push_back(fmt::format("[{}]:{}", address, port));
  } else {
    hosts.push_back(fmt::format("{}:{}", address, port));
  }
  return hosts;
}

std::string CookieValue(const std::string& cookieHeader, const std::string& name) {
  const std::string wanted = name + "=";
  size_t at = 0;
  while (at < cookieHeader.size()) {
    while (at < cookieHeader.size() && (cookieHeader[at] == ' ' || cookieHeader[at] == ';')) ++at;
    size_t end = cookieHeader.find(';', at);
    if (end == std::string::npos) end = cookieHeader.size();
    if (cookieHeader.compare(at, wanted.size(), wanted) == 0) {
      std::string value = cookieHeader.substr(at + wanted.size(), end - at - wanted.size());
      while (!value.empty() && value.back() == ' ') value.pop_back();
      return value;
    }
    at = end;
  }
  return "";
}

std::string NewToken() {
  std::random_device device;
  std::string token;
  for (int i = 0; i < 4; ++i) token += fmt::format("{:08x}", static_cast<uint32_t>(device()));
  return token;
}

bool SameToken(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

std::string TokenCookie(const std::string& token) {
  return fmt::format("{}={}; Path=/; HttpOnly; SameSite=Strict", kTokenCookie, token);
}

}  // namespace fenban::web
