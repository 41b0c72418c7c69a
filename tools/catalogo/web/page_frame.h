// What every page of `catalogo servi` shares: the HTML frame (head, header,
// the stylesheet link), the stylesheet itself and the error pages. Pages
// are plain HTML made on the server; they need no JavaScript.
//
// Every link is relative (`toRoot` leads from a page back to the root of
// the site: "" at /, "../" at /record/N), so the pages work unchanged
// behind a reverse proxy that serves them under a path of its own.
#pragma once

#include <string>
#include <string_view>

namespace indicizza::catalogo {

// What a page may add to its frame.
struct PageExtras {
  // The head's title (text) when it says more than the heading.
  std::string_view headTitle;
  // The page's address for citing and bookmarking (relative, ready for an
  // attribute), as a canonical link; "": none.
  std::string_view canonical;
};

// A whole page: `title` (text, escaped here) in the head and as the
// heading, `body` (HTML, as given) after it.
std::string pageFrame(std::string_view title, std::string_view toRoot, std::string_view body,
                      const PageExtras& extras = {});

// The page for an HTTP error `status` (4xx, 5xx): its Italian name as the
// heading, `message` (text, escaped here) and a link back to the search.
std::string errorPage(int status, std::string_view message, std::string_view toRoot);

// The Italian name of an HTTP error status ("Pagina inesistente" for 404).
std::string_view statusTitle(int status);

// The stylesheet every page links to (stile.css).
std::string_view styleSheet();

}  // namespace indicizza::catalogo
