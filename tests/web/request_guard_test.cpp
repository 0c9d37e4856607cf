#include "web/request_guard.h"

#include <gtest/gtest.h>

namespace fenban::web {
namespace {

GuardConfig Config() { return {OwnHosts("127.0.0.1", 8123), "0123456789abcdef0123456789abcdef"}; }

GuardRequest WithCookie(const std::string& token) {
  GuardRequest request;
  request.host = "127.0.0.1:8123";
  request.cookie = "theme=dark; fenban_token=" + token;
  return request;
}

TEST(RequestGuard, HostIsCheckedBeforeTheToken) {
  GuardRequest request = WithCookie(Config().token);
  for (const char* host : {"evil.example:8123", "127.0.0.1:9999", "127.0.0.1", "", "localhost.evil:8123"}) {
    request.host = host;
    GuardDecision decision = CheckRequest(Config(), request);
    EXPECT_EQ(decision.status, 403) << host;
  }
  request.host = "localhost:8123";
  EXPECT_EQ(CheckRequest(Config(), request).status, 0);
  // A foreign Host gets 403 even without any token (not 401): nothing else is looked at.
  GuardRequest bare;
  bare.host = "attacker.example";
  EXPECT_EQ(CheckRequest(Config(), bare).status, 403);
}

TEST(RequestGuard, OnlyTheServersOwnOriginPasses) {
  GuardRequest request = WithCookie(Config().token);
  request.hasOrigin = true;
  for (const char* origin : {"http://evil.example", "null", "", "https://127.0.0.1:8123", "http://127.0.0.1:8124",
                             "http://127.0.0.1:8123.evil.example"}) {
    request.origin = origin;
    EXPECT_EQ(CheckRequest(Config(), request).status, 403) << origin;
  }
  for (const char* origin : {"http://127.0.0.1:8123", "http://localhost:8123"}) {
    request.origin = origin;
    EXPECT_EQ(CheckRequest(Config(), request).status, 0) << origin;
  }
}

TEST(RequestGuard, MissingTokenIs401AndWrongTokenIs403) {
  GuardRequest request;
  request.host = "127.0.0.1:8123";
  GuardDecision missing = CheckRequest(Config(), request);
  EXPECT_EQ(missing.status, 401);
  EXPECT_NE(missing.message.find("令牌"), std::string::npos);
  request.cookie = "fenban_token=0123456789abcdef0123456789abcdee";
  EXPECT_EQ(CheckRequest(Config(), request).status, 403);
  request.cookie = "fenban_token=0123456789abcdef";  // a prefix of the token
  EXPECT_EQ(CheckRequest(Config(), request).status, 403);
  request.cookie = "xfenban_token=" + Config().token;  // another cookie's name
  EXPECT_EQ(CheckRequest(Config(), request).status, 401);
}

TEST(RequestGuard, TokenFromCookieHeaderOrAddress) {
  GuardRequest request = WithCookie(Config().token);
  GuardDecision byCookie = CheckRequest(Config(), request);
  EXPECT_EQ(byCookie.status, 0);
  EXPECT_FALSE(byCookie.fromQuery);

  request.cookie.clear();
  request.headerToken = Config().token;
  EXPECT_EQ(CheckRequest(Config(), request).status, 0);

  request.headerToken.clear();
  request.queryToken = Config().token;
  GuardDecision byQuery = CheckRequest(Config(), request);
  EXPECT_EQ(byQuery.status, 0);
  EXPECT_TRUE(byQuery.fromQuery);  // the server then sets the cookie

  // The cookie of an earlier run gives way to the right token in the address.
  request.cookie = "fenban_token=ffffffffffffffffffffffffffffffff";
  GuardDecision stale = CheckRequest(Config(), request);
  EXPECT_EQ(stale.status, 0);
  EXPECT_TRUE(stale.fromQuery);
  request.queryToken = "wrong";
  EXPECT_EQ(CheckRequest(Config(), request).status, 403);
}

TEST(RequestGuard, CookieValueFindsTheNamedCookieOnly) {
  EXPECT_EQ(CookieValue("a=1; fenban_token=abc; b=2", "fenban_token"), "abc");
  EXPECT_EQ(CookieValue("fenban_token=abc", "fenban_token"), "abc");
  EXPECT_EQ(CookieValue("  fenban_token=abc  ;", "fenban_token"), "abc");
  EXPECT_EQ(CookieValue("my_fenban_token=abc", "fenban_token"), "");
  EXPECT_EQ(CookieValue("", "fenban_token"), "");
}

TEST(RequestGuard, TokensAreRandomAndComparedWhole) {
  std::string first = NewToken(), second = NewToken();
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first, second);
  EXPECT_TRUE(SameToken(first, first));
  EXPECT_FALSE(SameToken(first, second));
  EXPECT_FALSE(SameToken(first, first.substr(0, 31)));
  EXPECT_FALSE(SameToken("", first));
}

TEST(RequestGuard, CookieIsHttpOnlyAndStrict) {
  std::string cookie = TokenCookie("abc");
  EXPECT_EQ(cookie.rfind("fenban_token=abc;", 0), 0u);
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
}

TEST(RequestGuard, OwnHostsOfOtherAddresses) {
  EXPECT_EQ(OwnHosts("192.168.1.5", 80), std::vector<std::string>{"192.168.1.5:80"});
  EXPECT_EQ(OwnHosts("::1", 8080), std::vector<std::string>{"[::1]:8080"});
  EXPECT_EQ(OwnHosts("127.0.0.1", 5).size(), 2u);
}

}  // namespace
}  // namespace fenban::web
