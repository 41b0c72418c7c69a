// The answers of `catalogo servi` that read the catalogue: a page of
// results, its JSON, a record page. Run on a worker thread, never where
// the server watches its connections.
//
// A search over its limits is refused with 400 and the read side's
// sentence (how to narrow it); a search past its deadline gives a 503 page
// saying it took too long and how to narrow it (and a log line, at most
// one every few seconds); a
// catalogue that can't be read, or memory running out, a 503 with the
// failure's text (logged by CatalogueAccess).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "catalogo/web/answer_stream.h"
#include "catalogo/web/catalogue_access.h"
#include "catalogo/web/search_stop.h"
#include "catalogo/web/site_routes.h"
#include "catalogo/web/throttled_log.h"

namespace indicizza::catalogo {

// Results whose facets a page counts at most. Ranking has just read the
// first of them, so they cost little; counting the kExactFacetRecords that
// cerca counts read for 11 s on the million-record catalogue, past any
// deadline.
inline constexpr std::uint64_t kPageFacetRecords = 5'000;

// How each reading of the catalogue is bounded, and where a search past its
// deadline is logged.
struct ReadingBounds {
  SearchLimits limits;                 // of each search's cost
  std::chrono::milliseconds deadline;  // the time `stop` allows, for the 503's text
  ThrottledLog* pastDeadline = nullptr;
};

// A download (CatalogueReading::kDownload): runs its search and writes its
// header line and every result into `stream` (exportRow), calling `begin`
// once, right before the first bytes go in; the stream is finished whole
// when the search ends, cut short when it stops (its deadline, its client
// gone, or `halted` saying so: the service stops) or fails after `begin`.
// When the search is refused or fails before `begin`, nothing is written
// and the answer saying why is returned.
std::optional<WebAnswer> writeDownload(const CatalogueReading& reading, CatalogueAccess& catalogue,
                                       SearchStop& stop, const std::function<bool()>& halted,
                                       const ReadingBounds& bounds, AnswerStream& stream,
                                       const std::function<void()>& begin);

WebAnswer answerReading(const CatalogueReading& reading, CatalogueAccess& catalogue,
                        SearchStop& stop, const ReadingBounds& bounds);

}  // namespace indicizza::catalogo
