// Runs the catalogo executable built with these tests, and the catalogues
// the catalogo tests share.
#pragma once

#include <string>
#include <vector>

#include "input/plain_record.h"
#include "support/catalogue_dir.h"

namespace indicizza::testing {

// Runs build/tools/catalogo/catalogo with `arguments` in `directory`.
ProgramRun runCatalogo(const std::filesystem::path& directory,
                       const std::vector<std::string>& arguments);

// Runs catalogo cerca with `arguments` in `directory`.
ProgramRun runCerca(const std::filesystem::path& directory, std::vector<std::string> arguments);

// Four records: 1 Bach sonata (AR, code BWV1001), 2 Bach partita (PF with
// the flags that make it pF), 3 Mozart sonata (PF, code K545), 4 a Latin-1
// title "Minuit Chrétiens" (VO). Stop word: IN.
std::vector<PlainRecord> smallCatalogue();
inline constexpr const char* kSmallCatalogueStopWords = "IN\n";

// `dir` prepared with smallCatalogue() and indexed by the indexer; throws
// std::runtime_error when the indexer fails.
void indexSmallCatalogue(CatalogueDir& dir);

// `dir` made the demo catalogue (samples/works.tsv through the
// demo-catalogue tool, with the samples' stop words, synonyms and labels)
// and indexed; throws std::runtime_error when either step fails.
void indexDemoCatalogue(CatalogueDir& dir);

// The record numbers of a TSV listing of cerca (--formato tsv), in order,
// after its header line.
std::vector<int> tsvListedNumbers(const std::string& tsv);

}  // namespace indicizza::testing
