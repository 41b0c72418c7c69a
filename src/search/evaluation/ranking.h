// How relevant a record is to a query: the score that orders results by
// relevance, computed on the record's own text (index entries carry no
// field, so the weight of the field a word is found in needs the record).
//
// The query's words are the members of its top-level AND (its NOT members
// and year ranges, which only filter, left out), or the query itself when
// it is no AND: a member that is an OR counts as one word, matched when any
// of its alternatives is.
//
// The score is BM25F without length normalisation (b = 0: the fields are
// short, fixed-width slots, so a long title is no sign of a diluted one):
//
//   score(r) = sum over words q that r matches of
//                rarity(q) * t(q, r) * (k1 + 1) / (t(q, r) + k1)
//   t(q, r)   = sum over fields f of weight(f) * occurrences of q in f
//   rarity(q) = ln(1 + (N - n(q) + 0.5) / (n(q) + 0.5))
//
// n(q) is the number of records the index lists under q's terms (the length
// of their arrays in opere.idb), N the size of the catalogue; k1 = 1.2, so a
// second occurrence adds less than the first. Composer (T1) and title (T4)
// weigh most, then instruments (T2), style (T3) and date (T5), then the
// source fields (T6, T7); a code field weighs as a title, a catalogue number
// being as telling as one. A record matching more of the query's words
// scores more, each word adding its rarity-weighted part, and more again
// when it holds them in one field or in their order (togetherBonus); results
// that match only some of the words are ranked apart, by the same score, so
// that the rarest words win there too (query_run.h).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "input/record_layout.h"
#include "search/evaluation/record_match.h"
#include "search/query/query.h"
#include "search/query/term_folding.h"

namespace indicizza {

// The weight of a word found in text field T1..T7 (index 0..6), and in a
// code field.
inline constexpr std::array<double, kTextFieldCount> kTextFieldWeights = {3.0, 1.5, 1.5, 3.0,
                                                                          1.0, 0.5, 0.5};
inline constexpr double kCodeFieldWeight = 3.0;
// BM25's k1: how fast repeated occurrences stop adding.
inline constexpr double kOccurrenceSaturation = 1.2;
// What an occurrence of a word's other form weighs (an OR's alternatives
// after its first, the word as typed: a synonym, a stem, a translation).
inline constexpr double kAlternativeWeight = 0.8;

// The query's words, as described above; pointers into `query`.
std::vector<const QueryNode*> queryWordsOf(const QueryNode& query);

// The members of `query`'s top-level AND that are NOT (their one child
// each): what no result, full or partial, may match.
std::vector<const QueryNode*> excludedWordsOf(const QueryNode& query);

// The members of `query`'s top-level AND that are year ranges: what every
// result, full or partial, must match.
std::vector<const QueryNode*> yearRangesOf(const QueryNode& query);

// rarity(q) above for a word listed under `listed` of `catalogueSize`
// records (`listed` is taken as at most `catalogueSize`).
double rarityOf(std::uint64_t listed, std::uint64_t catalogueSize);

// t(q, r) above: the field-weighted occurrences of `word` in `view`; 0
// when the record does not match it.
double weightedOccurrences(const QueryNode& word, const RecordView& view, Matching matching);

// One word's part of the score, from its weighted occurrences and rarity.
double wordScore(double occurrences, double rarity);

// What a record earns for holding the query's words together: for each two
// words next to each other in the query (`words`, with their `rarities`),
// both found in one text field, the rarer word's rarity times
// kSameFieldBonus, and times kInOrderBonus more when the second follows the
// first there, as typed. A title that holds "well tempered clavier" so
// outranks one that holds "clavier" twice.
double togetherBonus(const std::vector<const QueryNode*>& words,
                     const std::vector<double>& rarities, const RecordView& view,
                     Matching matching);

inline constexpr double kSameFieldBonus = 0.5;
inline constexpr double kInOrderBonus = 0.5;

}  // namespace indicizza
