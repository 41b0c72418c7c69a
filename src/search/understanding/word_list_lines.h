// What the word lists read by the query's understanding share, built in
// (data/*.txt) or a catalogue's own (sinonimi.txt, soprannomi.txt): a line
// that starts with this mark is a comment.
#pragma once

namespace indicizza {

inline constexpr char kWordListCommentMark = '#';

}  // namespace indicizza
