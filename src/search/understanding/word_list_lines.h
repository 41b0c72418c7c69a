// What the word lists read by the query's understanding share, built in
// (data/*.txt) or a catalogue's own (sinonimi.txt, soprannomi.txt): a line
// that starts with this mark is a comment.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace indicizza {

inline constexpr char kWordListCommentMark = '#';

// Whether `word` is one of `words`, byte for byte.
inline bool isIn(const std::vector<std::string>& words, std::string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

}  // namespace indicizza
