// catalogo servi over HTTP, on a catalogue made for it: the search page and
// its paging, the record page, the JSON of /api/cerca, escaping, the 4xx
// answers and several requests at once. Expected texts are written by hand
// from the records below.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tools/catalogo/catalogo_run.h"
#include "tools/catalogo/serve_process.h"

namespace indicizza {
namespace {

using testing::CatalogueDir;
using testing::HttpAnswer;
using testing::ServeProcess;

constexpr int kSonatas = 25;

// Records 1-25: J. S. Bach, "Sonata n. N", code BWV(1000+N); 26: markup in
// its fields; 27: a Latin-1 title; 28: values a spreadsheet would take for
// formulas; 29: no title. Stop word: N.
std::vector<PlainRecord> serveCatalogue() {
  std::vector<PlainRecord> records;
  for (int n = 1; n <= kSonatas; ++n) {
    records.push_back(PlainRecord()
                          .recordNumber(n)
                          .kindCode("AR")
                          .textField(1, "J. S. Bach")
                          .textField(4, "Sonata n. " + std::to_string(n))
                          .codeField(1, "BWV" + std::to_string(1000 + n)));
  }
  records.push_back(PlainRecord()
                        .recordNumber(26)
                        .kindCode("VO")
                        .textField(1, "<script>alert(1)</script>")
                        .textField(4, "Tom & \"Jerry\" 'x'"));
  records.push_back(PlainRecord()
                        .recordNumber(27)
                        .kindCode("VO")
                        .textField(1, "A. Adam")
                        .textField(4, "Minuit Chr\xE9tiens"));
  records.push_back(PlainRecord()
                        .recordNumber(28)
                        .kindCode("VO")
                        .textField(1, "@Ignoto, \"detto\"")
                        .textField(4, "=1+2 Minuetto")
                        .textField(5, "-3"));
  records.push_back(PlainRecord()
                        .recordNumber(29)
                        .kindCode("VO")
                        .textField(1, "Anonimo")
                        .textField(5, "Passacaglia"));
  return records;
}

// One server over one indexed catalogue for every case of this file; the
// cases only read.
class ServeCatalogue : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new CatalogueDir;
    dir_->prepare(serveCatalogue(), "N\n");
    testing::writeFile(*dir_ / "etichette.txt", "T1 Compositore\nAR Archi\n");
    ASSERT_EQ(dir_->run().exitStatus, 0);
    server_ = new ServeProcess(dir_->path());
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
  }
  static CatalogueDir* dir_;
  static ServeProcess* server_;
};
CatalogueDir* ServeCatalogue::dir_ = nullptr;
ServeProcess* ServeCatalogue::server_ = nullptr;

struct PageCase {
  std::string target;
  int status;
  std::vector<std::string> present;
  std::vector<std::string> absent;
};

void expectPage(const HttpAnswer& answer, const PageCase& expected) {
  SCOPED_TRACE(expected.target);
  EXPECT_EQ(answer.status, expected.status);
  EXPECT_EQ(answer.contentType, "text/html; charset=utf-8");
  for (const std::string& text : expected.present)
    EXPECT_NE(answer.body.find(text), std::string::npos) << text << answer.body;
  for (const std::string& text : expected.absent)
    EXPECT_EQ(answer.body.find(text), std::string::npos) << text;
}

TEST_F(ServeCatalogue, SearchPagesRecordPagesAndEscaping) {
  const std::vector<PageCase> cases = {
      {"/",
       200,
       {"<form", "action=\"./\"", "method=\"get\"", "<label for=\"q\"", "name=\"q\"",
        "Come si scrive"},
       {"id=\"conteggio\""}},
      // The total is exact from the first page on.
      {"/?q=sonata",
       200,
       {">25 record trovati, mostrati 1-20</p>", "href=\"record/1?", "href=\"record/20?",
        "<ol class=\"risultati\" start=\"1\">", "href=\"./?q=sonata&amp;da=21\">successivi"},
       {"href=\"record/21?", "rel=\"prev\""}},
      {"/?q=sonata&da=21",
       200,
       {">25 record trovati, mostrati 21-25</p>", "href=\"record/21?", "href=\"record/25?",
        "<ol class=\"risultati\" start=\"21\">", "rel=\"prev\" href=\"./?q=sonata\"",
        "<span aria-current=\"page\">2</span>"},
       {"href=\"record/20?", "rel=\"next\""}},
      {"/?q=bwv1003+OR+bwv1017",
       200,
       {">2 record trovati</p>", "href=\"record/3?", "href=\"record/17?"},
       {}},
      {"/?q=nessuna", 200, {">Nessun record trovato</p>", "Qualche idea"}, {"<ol", "faccette"}},
      // Beside the results, their facets: each value narrows the query as
      // run, a kind code under its label; the words found are marked.
      {"/?q=sonata",
       200,
       {"<aside class=\"faccette\"", ">Faccette dei 25 risultati</h2>",
        ">Per T1 (Compositore)</h3>",
        "<a href=\"./?q=%28sonata%29+T1%3A%22J+S+Bach%22\">J. S. Bach</a> <span "
        "class=\"quanti\">25</span>",
        "Archi <span class=\"tipo\">AR</span>", "<mark>Sonata</mark> n. 3"},
       {"Qualche idea"}},
      // A record found by a search leads back to it, and to its composer.
      {"/record/3?q=sonata&da=21&ordina=numero",
       200,
       {"href=\"../?q=sonata&amp;da=21&amp;ordina=numero\">« Torna ai risultati</a>",
        "href=\"../?q=T1%3A%22J+S+Bach%22\">Altre opere di J. S. Bach</a>"},
       {}},
      {"/record/3?da=0", 200, {"Altre opere di"}, {"Torna ai risultati"}},
      // The order chosen stays in the form and in the links to other pages.
      {"/?q=sonata&ordina=numero",
       200,
       {"<option value=\"numero\" selected>", "href=\"./?q=sonata&amp;da=21&amp;ordina=numero\""},
       {"<option value=\"rilevanza\" selected>"}},
      {"/?q=sonata&ordina=anno", 400, {"Parametro ordina non valido"}, {"id=\"conteggio\""}},
      // A thin page is filled with the records that have some of the words.
      {"/?q=bwv1003+sonata",
       200,
       {">1 record trovato, e 24 con alcune delle parole</p>",
        "<p id=\"parziali\" class=\"conteggio\">Risultati parziali: 24 record "
        "con alcune delle parole</p>",
        "<ol class=\"risultati parziali\">", "href=\"record/3?", "href=\"record/1?"},
       {"rel=\"next\""}},
      {"/?q=chretiens", 200, {"Minuit <mark>Chrétiens</mark>"}, {}},
      {"/?q=jerry",
       200,
       {"&lt;script&gt;alert(1)&lt;/script&gt;",
        "Tom &amp; &quot;<mark>Jerry</mark>&quot; &#39;x&#39;"},
       {"<script", "\"Jerry\""}},
      // The query comes back in the form, escaped, and in the title.
      {"/?q=%3Cb%3Ex%27y",
       200,
       {"value=\"&lt;b&gt;x&#39;y\"", "Ricerca: &lt;b&gt;x&#39;y"},
       {"<b>x"}},
      // A record reads as a catalogue card: the title as the heading, the
      // composer under it, the other fields under their labels, each once,
      // the empty ones and the index terms folded away.
      {"/record/3",
       200,
       {"<title>Sonata n. 3 - J. S. Bach - Catalogo</title>",
        "<link rel=\"canonical\" href=\"../record/3\">",
        "<h1>Sonata n. 3</h1>\n<p "
        "class=\"compositore\">J. S. Bach</p>",
        "<table class=\"campi\">\n<tr><th scope=\"row\">Tipo</th><td>Archi (AR)</td></tr>\n"
        "<tr><th scope=\"row\">C1</th><td>BWV1003</td></tr>\n"
        "<tr><th scope=\"row\">Numero</th><td>3</td></tr>\n</table>",
        "<details class=\"vuoti\">\n<summary>Campi vuoti (11)</summary>",
        "<tr><th scope=\"row\">Segno A</th><td></td></tr>",
        "<details class=\"indice\">\n<summary>Termini nell'indice (5)</summary>", "<li>SONATA</li>",
        "<li>BACH</li>", "<li>BWV1003</li>", "href=\"../stile.css\""},
       {"<li>N</li>", "<li>BWV1004</li>", "000003", "RecordNumber", "KindCode", "Tipo indice",
        ">T4<", ">Compositore<", "<details class=\"indice\" open"}},
      {"/record/26",
       200,
       {"<title>Tom &amp; &quot;Jerry&quot; &#39;x&#39; - &lt;script&gt;alert(1)&lt;/script&gt; - "
        "Catalogo</title>",
        "<h1>Tom &amp; &quot;Jerry&quot; &#39;x&#39;</h1>",
        "<p class=\"compositore\">&lt;script&gt;alert(1)&lt;/script&gt;</p>",
        "<li>&lt;SCRIPT&gt;ALERT</li>"},
       {"<script", "<SCRIPT"}},
      // A record without a title is named by its number, as a heading and as a link.
      {"/record/29",
       200,
       {"<title>Record 29 - Anonimo - Catalogo</title>", "<h1>Record 29</h1>"},
       {}},
      {"/?q=passacaglia",
       200,
       {"\">Record 29</a><span class=\"dettagli\"><span class=\"compositore\">Anonimo</span>"},
       {"\"></a>"}},
  };
  for (const PageCase& expected : cases) expectPage(server_->request(expected.target), expected);
}

// A misspelt word: the page and the API run its correction when the query
// as typed finds nothing, and say so; the API names the query it ran and
// says so among its notes.
TEST_F(ServeCatalogue, ACorrectionRunsInPlaceOfAQueryThatFindsNothing) {
  const HttpAnswer page = server_->request("/?q=sonatta");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("Risultati per «sonata» (nessun risultato per «sonatta»)"),
            std::string::npos)
      << page.body;
  const HttpAnswer api = server_->request("/api/cerca?q=sonatta");
  EXPECT_NE(api.body.find(",\"ricerca\":\"sonata\",\"note\":[\"Risultati per «sonata» "
                          "(nessun risultato per «sonatta»)\""),
            std::string::npos)
      << api.body;
  EXPECT_TRUE(api.body.starts_with("{\"totale\":25,")) << api.body;
}

TEST_F(ServeCatalogue, ApiAnswersOnePageAsJson) {
  const HttpAnswer page = server_->request("/api/cerca?q=bwv1002+OR+bwv1003&limite=1&da=2");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.contentType, "application/json; charset=utf-8");
  EXPECT_EQ(page.body,
            "{\"totale\":2,\"esatto\":true,\"da\":2,\"ordina\":\"rilevanza\","
            "\"record\":[{\"numero\":3,\"tipo\":\"AR\",\"T1\":\"J. S. Bach\","
            "\"T2\":\"\",\"T3\":\"\",\"T4\":\"Sonata n. "
            "3\",\"T5\":\"\",\"T6\":\"\",\"T7\":\"\",\"C1\":\"BWV1003\","
            "\"C2\":\"\",\"C3\":\"\",\"C4\":\"\",\"C5\":\"\",\"termini\":[\"BWV1003\"]}],"
            "\"parziali\":{\"totale\":0,\"esatto\":true,\"record\":[]},"
            "\"ricerca\":\"bwv1002 OR bwv1003\",\"note\":[]}");
  const HttpAnswer facets = server_->request("/api/cerca?q=sonata&limite=1&faccette=1");
  EXPECT_NE(facets.body.find(",\"faccette\":{\"contati\":25,\"risultati\":25,\"esatte\":true,"
                             "\"tipo\":[{\"valore\":\"AR\",\"conteggio\":25}],\"T1\":[{\"valore\":"
                             "\"J. S. Bach\",\"conteggio\":25,\"restringe\":\"(sonata) T1:\\\"J S "
                             "Bach\\\"\"}]"),
            std::string::npos)
      << facets.body;
  EXPECT_EQ(server_->request("/api/cerca?q=sonata&faccette=si").status, 400);
  const HttpAnswer markup = server_->request("/api/cerca?q=jerry");
  EXPECT_NE(markup.body.find("\"T4\":\"Tom & \\\"Jerry\\\" 'x'\""), std::string::npos)
      << markup.body;
}

TEST_F(ServeCatalogue, RefusesWhatItDoesNotServe) {
  struct Refusal {
    std::string method;
    std::string target;
    int status;
    std::string message;
  };
  const std::string longQuery(501, 'a');
  const std::vector<Refusal> cases = {
      {"GET", "/?q=" + longQuery, 400, "Ricerca troppo lunga: 501 byte, al massimo 500"},
      {"GET", "/?q=(bach", 400, "&#39;(&#39; senza &#39;)&#39; corrispondente"},
      {"GET", "/?q=%22%3Cscript%3E", 400, "virgolette non chiuse: &#39;&quot;&lt;script&gt;&#39;"},
      {"GET", "/?q=sonata&da=0", 400, "Parametro da non valido: un numero da 1 a 1000"},
      {"GET", "/?q=sonata&da=1001", 400, "Parametro da non valido"},
      {"GET", "/?q=sonata&da=2x", 400, "Parametro da non valido"},
      {"GET", "/api/cerca?q=sonata&limite=101", 400,
       "{\"errore\":\"Parametro limite non valido: un numero da 1 a 100\"}"},
      {"GET", "/api/cerca", 400, "{\"errore\":\"Parametro q mancante: la ricerca\"}"},
      {"GET", "/api/cerca?q=T8:x", 400,
       "{\"errore\":\"campo sconosciuto 'T8:' (campi: T1-T7, C1-C5)\"}"},
      {"GET", "/record/999", 404, "Record 999 non trovato"},
      {"GET", "/record/abc", 404, "Nessuna pagina a questo indirizzo: /record/abc"},
      {"GET", "/opere.ddb", 404, "Nessuna pagina a questo indirizzo: /opere.ddb"},
      {"GET", "/../noused.txt", 404, "Errore 404"},
      {"GET", "/%3Cscript%3E", 404, "/&lt;script&gt;"},
      {"POST", "/", 405, "metodo POST non ammesso"},
      {"DELETE", "/record/1", 405, "metodo DELETE non ammesso"},
  };
  for (const Refusal& refusal : cases) {
    SCOPED_TRACE(refusal.method + " " + refusal.target.substr(0, 60));
    const HttpAnswer answer = server_->request(refusal.target, refusal.method);
    EXPECT_EQ(answer.status, refusal.status);
    EXPECT_NE(answer.body.find(refusal.message), std::string::npos) << answer.body;
    EXPECT_EQ(answer.body.find("<script"), std::string::npos);
  }
}

// The results taken away: every one of them, not the page, in the columns
// of esporta, as UTF-8; csv guards what a spreadsheet would run.
struct DownloadCase {
  std::string target;
  int status;
  std::string contentType;
  std::string disposition;
  std::vector<std::string> present;
  std::size_t lines;  // with the header line
};

TEST_F(ServeCatalogue, DownloadsGiveEveryResultInTheColumnsOfEsporta) {
  const std::string tsvHeader =
      "RecordNumber\tKindCode\tFlagA\tFlagB\tT1\tT2\tT3\tT4\tT5\tT6\tT7\tC1\tC2\tC3\tC4\tC5\n";
  const std::vector<DownloadCase> cases = {
      {"/scarica.tsv?q=sonata&ordina=numero",
       200,
       "text/tab-separated-values; charset=utf-8",
       "attachment; filename=\"risultati.tsv\"",
       {tsvHeader + "000001\tAR\t\t\tJ. S. Bach\t\t\tSonata n. 1\t\t\t\tBWV1001\t\t\t\t\n",
        "000025\tAR\t\t\tJ. S. Bach\t\t\tSonata n. 25\t\t\t\tBWV1025\t\t\t\t\n"},
       26},
      {"/scarica.csv?q=minuetto+OR+chretiens&ordina=numero",
       200,
       "text/csv; charset=utf-8",
       "attachment; filename=\"risultati.csv\"",
       {"RecordNumber,KindCode,FlagA,FlagB,T1,T2,T3,T4,T5,T6,T7,C1,C2,C3,C4,C5\n"
        "000027,VO,,,A. Adam,,,Minuit Chrétiens,,,,,,,,\n"
        "000028,VO,,,\"'@Ignoto, \"\"detto\"\"\",,,'=1+2 Minuetto,'-3,,,,,,,\n"},
       3},
      {"/scarica.tsv?q=jerry",
       200,
       "text/tab-separated-values; charset=utf-8",
       "attachment; filename=\"risultati.tsv\"",
       {"000026\tVO\t\t\t<script>alert(1)</script>\t\t\tTom & \"Jerry\" 'x'\t"},
       2},
      {"/scarica.csv?q=nessuna",
       200,
       "text/csv; charset=utf-8",
       "attachment; filename=\"risultati.csv\"",
       {"RecordNumber,"},
       1},
      {"/scarica.csv", 400, "text/html; charset=utf-8", "", {"Parametro q mancante"}, 0},
      {"/scarica.tsv?q=(", 400, "text/html; charset=utf-8", "", {}, 0},
  };
  for (const DownloadCase& expected : cases) {
    SCOPED_TRACE(expected.target);
    const HttpAnswer answer = server_->request(expected.target);
    EXPECT_EQ(answer.status, expected.status);
    EXPECT_EQ(answer.contentType, expected.contentType);
    EXPECT_EQ(answer.disposition, expected.disposition);
    for (const std::string& text : expected.present)
      EXPECT_NE(answer.body.find(text), std::string::npos) << answer.body;
    if (expected.status == 200) {
      EXPECT_EQ(static_cast<std::size_t>(std::count(answer.body.begin(), answer.body.end(), '\n')),
                expected.lines)
          << answer.body;
    }
  }
  // The page offers them for its search, whatever page it shows.
  const HttpAnswer page = server_->request("/?q=sonata&da=21&ordina=numero");
  EXPECT_NE(page.body.find("<a href=\"scarica.csv?q=sonata&amp;ordina=numero\" download>CSV</a>"),
            std::string::npos)
      << page.body;
  EXPECT_NE(page.body.find("<a href=\"scarica.tsv?q=sonata&amp;ordina=numero\" download>TSV</a>"),
            std::string::npos);
}

TEST_F(ServeCatalogue, AnswersSeveralRequestsAtOnce) {
  constexpr int kClients = 8;
  constexpr int kRequestsEach = 300;
  std::vector<std::thread> clients;
  std::vector<int> wrong(kClients, 0);
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      for (int r = 0; r < kRequestsEach; ++r) {
        const int number = 1 + (c * kRequestsEach + r) % kSonatas;
        const std::string code = "bwv" + std::to_string(1000 + number);
        const HttpAnswer found = server_->request("/?q=" + code);
        const HttpAnswer record = server_->request("/record/" + std::to_string(number));
        if (found.status != 200 ||
            found.body.find("href=\"record/" + std::to_string(number) + "?") == std::string::npos ||
            found.body.find(">1 record trovato</p>") == std::string::npos ||
            record.body.find("<h1>Sonata n. " + std::to_string(number) + "</h1>") ==
                std::string::npos) {
          ++wrong[c];
        }
      }
    });
  }
  for (std::thread& client : clients) client.join();
  for (int c = 0; c < kClients; ++c) EXPECT_EQ(wrong[c], 0) << "client " << c;
}

}  // namespace
}  // namespace indicizza
