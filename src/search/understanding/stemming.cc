#include "search/understanding/stemming.h"

#include <libstemmer.h>

#include "search/query/term_folding.h"

namespace indicizza {
namespace {

// Folded words are ASCII, which UTF-8 takes as it is.
constexpr const char* kEncoding = "UTF_8";

}  // namespace

void Stemmer::Free::operator()(sb_stemmer* stemmer) const { sb_stemmer_delete(stemmer); }

Stemmer::Stemmer() = default;
Stemmer::~Stemmer() = default;

Status Stemmer::open(const std::vector<std::string>& languages) {
  std::lock_guard<std::mutex> held(lock_);
  stemmers_.clear();
  for (const std::string& language : languages) {
    std::unique_ptr<sb_stemmer, Free> stemmer(sb_stemmer_new(language.c_str(), kEncoding));
    if (!stemmer) {
      stemmers_.clear();
      return Status::described(Status::Code::kNotFound,
                               "Lingua di radici sconosciuta: " + language);
    }
    stemmers_.push_back(std::move(stemmer));
  }
  return {};
}

std::vector<std::string> Stemmer::stemsOf(std::string_view word) const {
  const std::string lower = asciiLower(word);
  std::vector<std::string> stems;
  std::lock_guard<std::mutex> held(lock_);
  for (const auto& stemmer : stemmers_) {
    const sb_symbol* stem =
        sb_stemmer_stem(stemmer.get(), reinterpret_cast<const sb_symbol*>(lower.data()),
                        static_cast<int>(lower.size()));
    // libstemmer gives no stem only when it runs out of memory.
    if (!stem) {
      stems.push_back(lower);
      continue;
    }
    stems.emplace_back(reinterpret_cast<const char*>(stem),
                       static_cast<std::size_t>(sb_stemmer_length(stemmer.get())));
  }
  return stems;
}

}  // namespace indicizza
