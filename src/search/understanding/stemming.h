// Word stems, for a search that finds "suites" under SUITE: the Snowball
// stemmers of libstemmer, on folded words. Plain ASCII in and out.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

struct sb_stemmer;

namespace indicizza {

// The languages a search stems in unless told otherwise: English, the
// language of most titles, instruments and forms in a catalogue of works
// such as the demo's (see docs/search.md for why no more by default).
inline const std::vector<std::string> kDefaultStemmingLanguages = {"english"};

// One Snowball stemmer per language. Safe to use from several threads (a
// lock is held around each stem: libstemmer's stemmer keeps its result in
// itself). Not copyable.
class Stemmer {
 public:
  Stemmer();
  ~Stemmer();
  Stemmer(const Stemmer&) = delete;
  Stemmer& operator=(const Stemmer&) = delete;

  // Makes the stemmers of `languages` (libstemmer's names: "english",
  // "italian", ...), dropping those made before. Fails with kNotFound
  // "Lingua di radici sconosciuta: NAME" for a language libstemmer does not
  // know (none is then kept).
  Status open(const std::vector<std::string>& languages);

  // Whether some language is open.
  bool enabled() const { return !stemmers_.empty(); }

  // The stem of `word` (folded: upper-case ASCII letters) in each open
  // language, in lower case, in the order of the languages.
  std::vector<std::string> stemsOf(std::string_view word) const;

 private:
  struct Free {
    void operator()(sb_stemmer* stemmer) const;
  };
  std::vector<std::unique_ptr<sb_stemmer, Free>> stemmers_;
  mutable std::mutex lock_;
};

}  // namespace indicizza
