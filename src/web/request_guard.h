// Who may talk to the server: the Host and Origin checks that stop DNS
// rebinding and cross-site requests, and the access token. Kept apart from
// the HTTP library so that every rule can be tested on its own.
#pragma once

#include <string>
#include <vector>

namespace fenban::web {

inline constexpr const char* kTokenCookie = "fenban_token";
inline constexpr const char* kTokenHeader = "X-Fenban-Token";

struct GuardConfig {
  std::vector<std::string> hosts;  // the server's own "host:port" forms
  std::string token;
};

// What the request brings; empty when absent.
struct GuardRequest {
  std::string host;         // Host header
  std::string origin;       // Origin header
  bool hasOrigin = false;
  std::string cookie;       // Cookie header
  std::string headerToken;  // X-Fenban-Token header
  std::string queryToken;   // ?token=
};

struct GuardDecision {
  int status = 0;          // 0 = let through; 401 or 403 otherwise
  std::string message;     // why it was refused (Chinese and English)
  bool fromQuery = false;  // the token came in the address: set the cookie
};

// The Host and Origin checks come first, then the token: from the cookie, the
// header or the address. A missing token is 401, a wrong one 403.
GuardDecision CheckRequest(const GuardConfig& config, const GuardRequest& request);

// The "host:port" forms a server listening on address:port answers to.
std::vector<std::string> OwnHosts(const std::string& address, int port);

// The value of one cookie in a Cookie header, or "".
std::string CookieValue(const std::string& cookieHeader, const std::string& name);

// A fresh random token (32 hexadecimal digits from the system's generator).
std::string NewToken();

// Compares in time that does not depend on where the texts differ.
bool SameToken(const std::string& a, const std::string& b);

// The Set-Cookie value that hands the token to the browser.
std::string TokenCookie(const std::string& token);

}  // namespace fenban::web
