#include "web/url_parts.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(UrlParts, HostPortAndPath) {
  struct Row {
    Text url, host, hostWithPort;
    std::int32_t port;
    Text path;
  };
  const Row rows[] = {
      {"HTTPS://Srv:8443/A/b", "srv", "srv:8443", 8443, "/A/b"},
      {"https://srv/", "srv", "srv", 443, "/"},
      {"srv", "srv", "srv", 80, "/"},
      {"http://srv:abc/", "srv", "srv:abc", 0, "/"},
      {"https://Srv/Path/X?q=1", "srv", "srv", 443, "/Path/X?q=1"},
      {"https://srv", "srv", "srv", 443, "/"},
      {"srv/x", "srv", "srv", 80, "/x"},
      {"", "", "", 80, "/"},
      {"http://127.0.0.1:8080/a#frag", "127.0.0.1", "127.0.0.1:8080", 8080, "/a#frag"},
      {"https://host:88x/", "host", "host:88x", 88, "/"},
      {"Https://api.example/api/update/checkupdate?version=1.5.0.5", "api.example", "api.example", 443,
       "/api/update/checkupdate?version=1.5.0.5"},
      // A host name that also occurs in the scheme is not matched there.
      {"https://s/x", "s", "s", 443, "/x"},
      {"http://tp:81/y", "tp", "tp:81", 81, "/y"},
      {"srv/a?r=http://srv/", "srv", "srv", 80, "/a?r=http://srv/"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(UrlHost(r.url), r.host) << r.url;
    EXPECT_EQ(UrlHost(r.url, true), r.hostWithPort) << r.url;
    EXPECT_EQ(UrlPort(r.url), r.port) << r.url;
    EXPECT_EQ(UrlPath(r.url), r.path) << r.url;
  }
}

}  // namespace
}  // namespace tavrel
