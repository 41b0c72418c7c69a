// catalogo servi as built, against clients that don't play fair, over raw
// sockets: heads trickled a line at a time, a flood of header lines, a body
// on a GET (which a server must never read as a second request), a Host of
// another site, thousands of ranges, a query that is not UTF-8; and the
// addresses --indirizzo takes.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/text/utf8.h"
#include "tools/catalogo/catalogo_run.h"
#include "tools/catalogo/raw_connection.h"
#include "tools/catalogo/serve_process.h"

namespace indicizza {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testing::RawConnection;
using testing::ServeProcess;

// Generous bounds: the sanitizer build is slow, and the machine busy.
constexpr auto kPromptly = std::chrono::seconds(5);
constexpr const char* kReplacement = "\xEF\xBF\xBD";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The peak resident memory of process `pid`, in kB (VmHWM), or -1.
long peakMemoryKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return -1;
}

// One server over the small catalogue for every case of this file.
class ServeHostile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::CatalogueDir;
    testing::indexSmallCatalogue(*dir_);
    server_ = new ServeProcess(dir_->path());
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
  }

  // The whole answer to `request` sent on a connection of its own.
  static std::string exchange(const std::string& request) {
    RawConnection connection(server_->port());
    connection.send(request);
    return connection.receive(kPromptly);
  }
  static std::string get(const std::string& target) {
    return exchange(testing::getRequest(target, server_->host(), "Connection: close\r\n"));
  }

  static testing::CatalogueDir* dir_;
  static ServeProcess* server_;
};
testing::CatalogueDir* ServeHostile::dir_ = nullptr;
ServeProcess* ServeHostile::server_ = nullptr;

TEST_F(ServeHostile, ClientsTricklingTheirHeadsDoNotHoldUpOthers) {
  // Twice as many as the old server had threads, each a header line at a
  // time, from another machine.
  std::vector<std::unique_ptr<RawConnection>> tricklers;
  for (int i = 0; i < 32; ++i) {
    tricklers.push_back(std::make_unique<RawConnection>(server_->port(), "127.0.0.2"));
    tricklers.back()->send("GET /?q=bach HTTP/1.1\r\nHost: " + server_->host() + "\r\n");
  }
  for (int round = 0; round < 5; ++round) {
    for (auto& trickler : tricklers) trickler->send("X-Lento: " + std::to_string(round) + "\r\n");
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(testing::statusesIn(get("/?q=bach")), std::vector<int>{200});
    EXPECT_LT(Clock::now() - start, kPromptly);
    std::this_thread::sleep_for(milliseconds(300));
  }
}

TEST_F(ServeHostile, AHeadTooLargeIsRefusedAndTheServerStaysSmall) {
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "X-Riga: " + std::to_string(i) + "\r\n";
  const std::string refused = exchange(testing::getRequest("/", server_->host(), lines));
  EXPECT_EQ(testing::statusesIn(refused), std::vector<int>{431});
  EXPECT_TRUE(contains(refused, "al massimo 64 righe e 8192 byte")) << refused;

  // A million header lines: sent until the server closes the connection.
  RawConnection flood(server_->port());
  flood.send("GET / HTTP/1.1\r\nHost: " + server_->host() + "\r\n");
  std::string block;
  for (int i = 0; i < 1000; ++i) block += "X-Inondazione: " + std::string(38, 'x') + "\r\n";
  for (int i = 0; i < 1000 && flood.send(block); ++i) {}
  EXPECT_EQ(testing::statusesIn(flood.receive(kPromptly)), std::vector<int>{431});
  EXPECT_LT(peakMemoryKb(server_->pid()), 200 * 1024);
  EXPECT_EQ(testing::statusesIn(get("/")), std::vector<int>{200});
}

TEST_F(ServeHostile, ABodyOnAGetIsRefusedAndNeverReadAsARequest) {
  const std::string second = testing::getRequest("/?q=mozart", server_->host());
  for (const std::string& announced : {"Content-Length: " + std::to_string(second.size()) + "\r\n",
                                       std::string("Transfer-Encoding: chunked\r\n")}) {
    SCOPED_TRACE(announced);
    RawConnection connection(server_->port());
    connection.send(testing::getRequest("/?q=bach", server_->host(), announced));
    std::this_thread::sleep_for(milliseconds(500));
    connection.send(second);
    const std::string answers = connection.receive(kPromptly);
    EXPECT_EQ(testing::statusesIn(answers), std::vector<int>{400});
    EXPECT_TRUE(contains(answers, "Una richiesta GET o HEAD non ha corpo")) << answers;
    EXPECT_TRUE(connection.closedByServer());
  }
}

TEST_F(ServeHostile, OnLoopbackOnlyTheNamesOfThisMachineAreServed) {
  struct HostCase {
    std::string request;
    int status;
  };
  const std::string port = std::to_string(server_->port());
  const std::string close = "Connection: close\r\n";
  const std::vector<HostCase> cases = {
      {testing::getRequest("/?q=bach", "127.0.0.1:" + port, close), 200},
      {testing::getRequest("/?q=bach", "localhost:" + port, close), 200},
      {testing::getRequest("/?q=bach", "evil.example:" + port, close), 421},
      {testing::getRequest("/api/cerca?q=bach", "rebind.evil.example", close), 421},
      {"GET / HTTP/1.0\r\n\r\n", 421},
  };
  for (const HostCase& test : cases) {
    SCOPED_TRACE(test.request);
    EXPECT_EQ(testing::statusesIn(exchange(test.request)), std::vector<int>{test.status});
  }
  const std::string refused =
      exchange(testing::getRequest("/", "<b>evil</b>.example", "Connection: close\r\n"));
  EXPECT_TRUE(contains(refused, "questa era per &#39;&lt;b&gt;evil&lt;/b&gt;.example&#39;"))
      << refused;
}

TEST_F(ServeHostile, RangesAreIgnored) {
  std::string ranges = "Range: bytes=0-";
  for (int i = 1; i < 2000; ++i) ranges += ",0-";
  const std::string whole = get("/?q=bach");
  const std::string ranged = exchange(
      testing::getRequest("/?q=bach", server_->host(), ranges + "\r\nConnection: close\r\n"));
  EXPECT_EQ(testing::statusesIn(ranged), std::vector<int>{200});
  EXPECT_TRUE(contains(ranged, "Content-Type: text/html; charset=utf-8\r\n"));
  EXPECT_EQ(testing::bodyIn(ranged), testing::bodyIn(whole));
}

TEST_F(ServeHostile, TextThatIsNotUtf8IsShownWithReplacementCharacters) {
  const std::string shown = std::string(kReplacement) + kReplacement + kReplacement;
  for (const std::string target : {"/?q=%ED%A0%80", "/%ED%A0%80"}) {
    SCOPED_TRACE(target);
    const std::string body = testing::bodyIn(get(target));
    EXPECT_TRUE(contains(body, shown)) << body;
    EXPECT_FALSE(contains(body, "\xED\xA0\x80"));
  }
}

// The edges of a request's head: a zero byte in the path, which the path as
// a C string would lose with all that follows; a Host given twice, which
// could be read as either; the absolute form of the target, which RFC 9112
// asks a server to take, its host standing for the Host header.
TEST_F(ServeHostile, EdgesOfTheHeadAreTakenAsHttpSays) {
  struct EdgeCase {
    const char* name;
    std::string request;
    int status;
    std::string part;  // of the answer
  };
  const std::string host = server_->host();
  const std::string close = "Connection: close\r\n";
  const std::vector<EdgeCase> cases = {
      {"ZeroByteInThePath", testing::getRequest("/record/1%00x", host, close), 400,
       "Un byte zero (%00)"},
      {"ZeroByteInTheSearchPath", testing::getRequest("/%00/?q=bach", host, close), 400,
       "Un byte zero (%00)"},
      {"TwoHosts", "GET / HTTP/1.1\r\nHost: " + host + "\r\nHost: evil.example\r\n\r\n", 400,
       "Più di un&#39;intestazione Host"},
      {"TheSameHostTwice", "GET / HTTP/1.1\r\nHost: " + host + "\r\nHost: " + host + "\r\n\r\n",
       400, "Più di un&#39;intestazione Host"},
      {"AbsoluteForm",
       "GET http://" + host + "/record/2 HTTP/1.1\r\nHost: " + host + "\r\n" + close + "\r\n", 200,
       "Partita"},
      {"AbsoluteFormWithoutAPath",
       "GET HTTP://" + host + " HTTP/1.1\r\nHost: " + host + "\r\n" + close + "\r\n", 200, "<form"},
      {"AbsoluteFormOfAnotherSite",
       "GET http://evil.example/record/2 HTTP/1.1\r\nHost: " + host + "\r\n" + close + "\r\n", 421,
       "questa era per &#39;evil.example&#39;"},
  };
  for (const EdgeCase& test : cases) {
    SCOPED_TRACE(test.name);
    RawConnection connection(server_->port());
    connection.send(test.request);
    const std::string answer = connection.receive(kPromptly);
    EXPECT_EQ(testing::statusesIn(answer), std::vector<int>{test.status});
    EXPECT_TRUE(contains(answer, test.part)) << answer;
    EXPECT_TRUE(connection.closedByServer());
  }
}

// The first byte of `text` that an answer must never hold: one outside
// well-formed UTF-8, or a C0 control byte (but the line feed that ends a
// page's lines); in a page (`json` false) DEL and the C1 range too (U+0080-
// U+009F), which HTML has no place for, while JSON takes them as they are.
// "" when none.
std::string firstForbiddenByte(const std::string& text, bool json) {
  for (std::size_t at = 0; at < text.size();) {
    char32_t c = 0;
    const std::size_t length = utf8SequenceAt(std::string_view(text).substr(at), c);
    const bool control = c < 0x20 ? c != '\n' : !json && (c == 0x7F || (c >= 0x80 && c <= 0x9F));
    if (length == 0 || control) return "byte " + std::to_string(at) + " of " + text;
    at += length;
  }
  return "";
}

// A query holding control bytes (NUL, ESC, the C1 CSI) or bytes that are not
// UTF-8 is shown on the page (its title, its heading, the form's value) and
// echoed by the JSON answer, and neither ever holds such a byte.
TEST_F(ServeHostile, NoControlByteNorInvalidUtf8ReachesAnAnswer) {
  for (const std::string target : {"/?q=bach%00%1B%5B2J%C2%9B", "/?q=%1B%5B2J", "/?q=bach%FF",
                                   "/?q=%22bach%1B", "/api/cerca?q=bach%FF", "/api/cerca?q=%FF",
                                   "/api/cerca?q=%22bach%FF", "/api/cerca?q=bach%1B%C2%9B"}) {
    SCOPED_TRACE(target);
    const std::string answer = get(target);
    EXPECT_EQ(firstForbiddenByte(testing::bodyIn(answer), target.starts_with("/api")), "");
  }
}

TEST(ServeAddress, RefusesWhatIsNotAnIpAddressSayingWhy) {
  testing::CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  for (const std::string address : {"999.1.1.1", "example.org"}) {
    SCOPED_TRACE(address);
    const testing::ProgramRun run = testing::runProgram(
        CATALOGO_EXECUTABLE, dir.path(), {"servi", "--indirizzo", address, "--porta", "0"},
        std::chrono::seconds(20));
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.errorOutput, "Indirizzo non valido: '" + address +
                                   "' (un indirizzo IPv4 come 127.0.0.1 o 0.0.0.0, IPv6 come ::1 "
                                   "o ::, oppure localhost)\n");
  }
}

TEST(ServeAddress, AnIpv4MappedLoopbackAddressIsLocal) {
  testing::CatalogueDir dir;
  testing::indexSmallCatalogue(dir);
  ServeProcess server(dir.path(), {"--indirizzo", "::ffff:127.0.0.1"});
  EXPECT_TRUE(contains(server.log(), "in ascolto su http://[::ffff:127.0.0.1]:")) << server.log();
  EXPECT_FALSE(contains(server.log(), "non è locale")) << server.log();
  const std::string port = std::to_string(server.port());
  for (const auto& [host, status] :
       std::vector<std::pair<std::string, int>>{{"[::ffff:127.0.0.1]:" + port, 200},
                                                {"127.0.0.1:" + port, 200},
                                                {"localhost", 200},
                                                {"evil.example", 421}}) {
    SCOPED_TRACE(host);
    RawConnection connection(server.port());
    connection.send(testing::getRequest("/", host, "Connection: close\r\n"));
    EXPECT_EQ(testing::statusesIn(connection.receive(kPromptly)), std::vector<int>{status});
  }
  EXPECT_EQ(server.stop(SIGTERM), 0);
}

}  // namespace
}  // namespace indicizza
