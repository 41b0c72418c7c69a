#include "catalogo/web/page_frame.h"

#include "catalogo/web/web_text.h"

namespace indicizza::catalogo {

std::string pageFrame(std::string_view title, std::string_view toRoot, std::string_view body,
                      const PageExtras& extras) {
  const std::string root(toRoot.empty() ? "./" : toRoot);
  const std::string canonical =
      extras.canonical.empty()
          ? ""
          : "<link rel=\"canonical\" href=\"" + std::string(extras.canonical) + "\">\n";
  std::string page =
      "<!DOCTYPE html>\n"
      "<html lang=\"it\">\n"
      "<head>\n"
      "<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>" +
      htmlEscaped(extras.headTitle.empty() ? title : extras.headTitle) + " - Catalogo</title>\n" +
      canonical + "<link rel=\"stylesheet\" href=\"" + std::string(toRoot) +
      "stile.css\">\n"
      "</head>\n"
      "<body>\n"
      "<header><a class=\"sito\" href=\"" +
      root +
      "\">Catalogo delle opere</a></header>\n"
      "<main>\n"
      "<h1>" +
      htmlEscaped(title) + "</h1>\n";
  page += body;
  page += "</main>\n</body>\n</html>\n";
  return page;
}

std::string_view statusTitle(int status) {
  switch (status) {
    case 400: return "Richiesta non valida";
    case 404: return "Pagina inesistente";
    case 405: return "Metodo non ammesso";
    case 421: return "Richiesta per un altro sito";
    case 431: return "Intestazioni troppo grandi";
    case 503: return "Servizio non disponibile";
    default: return status < 500 ? "Richiesta rifiutata" : "Errore del servizio";
  }
}

std::string errorPage(int status, std::string_view message, std::string_view toRoot) {
  const std::string root(toRoot.empty() ? "./" : toRoot);
  const std::string body = "<p class=\"errore\">" + htmlEscaped(message) + "</p>\n<p><a href=\"" +
                           root + "\">Torna alla ricerca</a></p>\n";
  return pageFrame("Errore " + std::to_string(status) + ": " + std::string(statusTitle(status)),
                   toRoot, body);
}

std::string_view styleSheet() {
  return R"css(*, *::before, *::after { box-sizing: border-box; }
body { margin: 0; font-family: system-ui, -apple-system, "Segoe UI", Roboto, sans-serif;
  line-height: 1.45; color: #1d1d1f; background: #fbfbf8; }
header { background: #2c3e50; padding: 0.6rem 1rem; }
header a.sito { color: #fff; text-decoration: none; font-weight: 600; }
main { max-width: 64rem; margin: 0 auto; padding: 0.5rem 1rem 2rem; }
h1 { font-size: 1.35rem; margin: 0.8rem 0; }
h2 { font-size: 1.1rem; margin-top: 1.5rem; }
a { color: #1a5fb4; }
form.ricerca label { display: block; font-weight: 600; margin-bottom: 0.25rem; }
form.ricerca .riga { display: flex; gap: 0.5rem; }
form.ricerca input { flex: 1; min-width: 0; font-size: 1rem; padding: 0.45rem 0.5rem;
  border: 1px solid #888; border-radius: 4px; }
form.ricerca button { font-size: 1rem; padding: 0.45rem 1rem; border: 0; border-radius: 4px;
  background: #1a5fb4; color: #fff; cursor: pointer; }
@media (max-width: 36rem) { form.ricerca .riga { flex-wrap: wrap; align-items: center; }
  form.ricerca input { flex: 1 1 100%; } form.ricerca select { flex: 1; } }
details.sintassi { margin: 0.6rem 0 1rem; font-size: 0.92rem; }
details.sintassi summary { cursor: pointer; color: #1a5fb4; }
details.sintassi td { padding: 0.2rem 0.6rem 0.2rem 0; vertical-align: top; }
code { background: #eceae4; padding: 0 0.2rem; border-radius: 3px; }
.conteggio { font-weight: 600; }
.nota { color: #6b4f00; background: #fff6d8; padding: 0.4rem 0.6rem; border-radius: 4px; }
.errore { color: #8a1c1c; background: #fde8e8; padding: 0.4rem 0.6rem; border-radius: 4px; }
ol.risultati { list-style: none; padding-left: 0; }
ol.risultati li { margin: 0 0 0.7rem; }
ol.risultati a.titolo { display: block; font-weight: 600; font-size: 1.05rem; }
ol.risultati .dettagli { display: block; }
ol.risultati .compositore { font-weight: 600; }
.numero { font-weight: 600; }
.tipo { font-family: ui-monospace, monospace; font-size: 0.85rem; background: #e3e8ef;
  padding: 0 0.3rem; border-radius: 3px; color: #1d1d1f; }
.codici { display: block; font-family: ui-monospace, monospace; font-size: 0.85rem; color: #555; }
nav.pagine { display: flex; flex-wrap: wrap; gap: 0.4rem; margin-top: 1rem; }
nav.pagine a, nav.pagine span { padding: 0.25rem 0.55rem; border: 1px solid #ccc; border-radius: 4px; }
nav.pagine span[aria-current] { background: #1a5fb4; color: #fff; border-color: #1a5fb4; }
table.campi { border-collapse: collapse; width: 100%; }
table.campi th { text-align: left; white-space: nowrap; padding: 0.3rem 0.8rem 0.3rem 0;
  font-weight: 600; vertical-align: top; width: 1%; }
table.campi td { padding: 0.3rem 0; overflow-wrap: anywhere; }
table.campi tr { border-bottom: 1px solid #e2e0da; }
ul.termini { list-style: none; padding: 0; display: flex; flex-wrap: wrap; gap: 0.35rem; }
.esiti { display: grid; grid-template-columns: minmax(0, 1fr) 15rem; gap: 1.5rem;
  align-items: start; }
@media (max-width: 48rem) { .esiti { grid-template-columns: minmax(0, 1fr); } }
aside.faccette { font-size: 0.92rem; background: #f3f1ea; padding: 0.5rem 0.8rem;
  border-radius: 6px; }
aside.faccette h2 { font-size: 0.95rem; margin: 0.3rem 0; }
aside.faccette h3 { font-size: 0.9rem; margin: 0.8rem 0 0.2rem; }
aside.faccette ul { list-style: none; padding: 0; margin: 0; }
aside.faccette li { margin: 0.15rem 0; overflow-wrap: anywhere; }
.quanti, .altri { color: #555; font-size: 0.85rem; }
svg.anni { display: block; width: 100%; height: auto; font-size: 10px; }
svg.anni text { fill: #1d1d1f; }
svg.anni rect { fill: #1a5fb4; }
svg.anni a text { fill: #1a5fb4; text-decoration: underline; }
svg.anni a:hover rect, svg.anni a:focus rect { fill: #0d3a70; }
.altri { margin: 0.2rem 0; }
mark { background: #ffe58a; color: inherit; }
.consigli { background: #eef4fb; padding: 0.4rem 0.8rem; border-radius: 4px; }
nav.ritorno { display: flex; flex-wrap: wrap; gap: 1rem; margin: 0.8rem 0; }
p.compositore { font-size: 1.1rem; margin: -0.4rem 0 0.8rem; }
details.vuoti, details.indice { margin-top: 1rem; }
details.vuoti summary, details.indice summary { cursor: pointer; color: #1a5fb4; }
ul.termini li { font-family: ui-monospace, monospace; background: #e3e8ef; padding: 0.1rem 0.4rem;
  border-radius: 3px; }
)css";
}

}  // namespace indicizza::catalogo
