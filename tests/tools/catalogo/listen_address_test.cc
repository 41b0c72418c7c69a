// The addresses `catalogo servi --indirizzo` takes, and the Host names a
// server on a loopback address serves.
#include "catalogo/web/listen_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogo/web/host_check.h"

namespace indicizza::catalogo {
namespace {

struct AddressCase {
  std::string text;
  std::string urlHost;  // "": refused
  bool loopback;
};

TEST(ListenAddress, TakesIpLiteralsAndLocalhost) {
  const std::vector<AddressCase> cases = {
      {"127.0.0.1", "127.0.0.1", true},
      {"127.1.2.3", "127.1.2.3", true},
      {"localhost", "127.0.0.1", true},
      {"0.0.0.0", "0.0.0.0", false},
      {"192.168.1.20", "192.168.1.20", false},
      {"::1", "[::1]", true},
      {"0:0:0:0:0:0:0:1", "[::1]", true},
      {"::ffff:127.0.0.1", "[::ffff:127.0.0.1]", true},
      {"::ffff:10.0.0.1", "[::ffff:10.0.0.1]", false},
      {"::", "[::]", false},
      {"fe80::1", "[fe80::1]", false},
      {"999.1.1.1", "", false},
      {"127.1", "", false},
      {"127.0.0.1 ", "", false},
      {"[::1]", "", false},
      {"::1%lo", "", false},
      {"example.org", "", false},
      {"", "", false},
  };
  for (const AddressCase& test : cases) {
    SCOPED_TRACE("'" + test.text + "'");
    const ListenAddressParse parse = parseListenAddress(test.text);
    if (test.urlHost.empty()) {
      EXPECT_FALSE(parse.address);
      EXPECT_EQ(parse.error, "Indirizzo non valido: '" + test.text +
                                 "' (un indirizzo IPv4 come 127.0.0.1 o 0.0.0.0, IPv6 come ::1 "
                                 "o ::, oppure localhost)");
      continue;
    }
    ASSERT_TRUE(parse.address) << parse.error;
    EXPECT_EQ(parse.address->urlHost, test.urlHost);
    EXPECT_EQ(parse.address->loopback, test.loopback);
  }
}

struct HostCase {
  std::string listen;
  std::optional<std::string> host;
  bool served;
};

TEST(HostServed, OnLoopbackOnlyTheNamesOfThisMachine) {
  constexpr int kPort = 8080;
  const std::vector<HostCase> cases = {
      {"127.0.0.1", "127.0.0.1:8080", true},
      {"127.0.0.1", "127.0.0.1", true},
      {"127.0.0.1", "localhost:8080", true},
      {"127.0.0.1", "LocalHost", true},
      {"127.0.0.1", "[::1]:8080", true},
      {"127.0.0.1", "evil.example:8080", false},
      {"127.0.0.1", "evil.example", false},
      {"127.0.0.1", "localhost.evil.example", false},
      {"127.0.0.1", "127.0.0.1:8081", false},
      {"127.0.0.1", "127.0.0.1:", false},
      {"127.0.0.1", "127.0.0.2:8080", false},
      {"127.0.0.1", "", false},
      {"127.0.0.1", std::nullopt, false},
      {"::1", "[::1]:8080", true},
      {"::1", "[0:0::1]", true},
      {"::1", "localhost", true},
      {"::1", "::1", false},
      {"::1", "[::1]:80", false},
      {"::ffff:127.0.0.1", "[::ffff:127.0.0.1]:8080", true},
      {"::ffff:127.0.0.1", "evil.example", false},
      {"0.0.0.0", "evil.example", true},
      {"0.0.0.0", std::nullopt, true},
      {"192.168.1.20", "catalogo.example", true},
  };
  for (const HostCase& test : cases) {
    SCOPED_TRACE(test.listen + " for " + test.host.value_or("(no Host)"));
    const ListenAddressParse parse = parseListenAddress(test.listen);
    ASSERT_TRUE(parse.address);
    const std::optional<std::string_view> host =
        test.host ? std::optional<std::string_view>(*test.host) : std::nullopt;
    EXPECT_EQ(hostServed(host, *parse.address, kPort), test.served);
  }
}

}  // namespace
}  // namespace indicizza::catalogo
