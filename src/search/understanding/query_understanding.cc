#include "search/understanding/query_understanding.h"

#include <algorithm>
#include <optional>

#include "catalogue/text/latin1.h"
#include "indexing/byte_classes.h"
#include "search/evaluation/index_terms.h"
#include "search/query/term_folding.h"

namespace indicizza {
namespace {

// The folded forms one word may have in the index (case and accents aside)
// are few; more would be a damaged or hostile index.
constexpr std::size_t kMaxKeysOfOneWord = 64;
constexpr char kQuote = '"';
// The shortest stem whose keys are walked: a shorter one starts too many.
constexpr std::size_t kShortestStemRoot = 3;

QueryNode nodeOf(NodeKind kind, std::string source) {
  QueryNode node;
  node.kind = kind;
  node.source = std::move(source);
  return node;
}

std::string indexerUpper(std::string_view word) {
  std::string upper(word);
  for (char& c : upper) c = asciiUpper(c);
  return upper;
}

std::string guillemets(std::string_view utf8) { return "«" + std::string(utf8) + "»"; }

std::string joined(const std::vector<std::string>& words, std::string_view between) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : std::string(between)) + word;
  return text;
}

bool isAsciiLetters(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// A term typed on its own, anywhere, not a prefix: what a catalogue number
// or a plain number may be made of.
bool isPlainTerm(const QueryNode& node) {
  return node.kind == NodeKind::kTerm && node.scope == FieldScope::kAnywhere && !node.prefix;
}

// A word (no digit) that a stem, a synonym or a correction may stand in for.
bool isPlainWord(const QueryNode& node) {
  return node.kind == NodeKind::kTerm && !node.prefix && node.scope != FieldScope::kCodeField &&
         !holdsDigit(node.tokens.front());
}

// A phrase the parser made of one typed item holding separators ("op.37").
bool isUnquotedPhrase(const QueryNode& node) {
  return node.kind == NodeKind::kPhrase && node.scope == FieldScope::kAnywhere &&
         !node.source.empty() && node.source.front() != kQuote;
}

bool isNumberTerm(const QueryNode& node) {
  const std::string& token = node.tokens.front();
  return isPlainTerm(node) &&
         std::all_of(token.begin(), token.end(), [](char c) { return isDigit(c); });
}

class Understanding {
 public:
  Understanding(ReadOnlyDatabase& index, const QueryVocabulary& vocabulary,
                const UnderstandingLimits& limits, UnderstoodQuery& understood)
      : terms_(index), vocabulary_(vocabulary), limits_(limits), understood_(understood) {}

  Status open() { return terms_.open(); }

  // The items holding separators read as catalogue numbers, as typed.
  const std::vector<std::string>& codesFromPhrases() const { return codesFromPhrases_; }

  Status rewrite(const QueryNode& node, QueryNode& out) {
    switch (node.kind) {
      case NodeKind::kAll: return rewriteGroup(node.children, node, out);
      case NodeKind::kAny: {
        out = node;
        for (std::size_t i = 0; i < node.children.size() && i < limits_.maxMembers; ++i) {
          const Status done = rewrite(node.children[i], out.children[i]);
          if (!done.ok()) return done;
        }
        return {};
      }
      case NodeKind::kNot: out = node; return {};
      default: return rewriteGroup({node}, node, out);
    }
  }

 private:
  // What became of the members of one AND.
  struct Group {
    std::vector<QueryNode> members;
    std::vector<QueryNode> stopWords;    // dropped
    std::vector<QueryNode> checkedOnly;  // the originals of checkedOnRecordText members
  };

  Status rewriteGroup(const std::vector<QueryNode>& members, const QueryNode& original,
                      QueryNode& out) {
    Group group;
    std::size_t i = 0;
    while (i < members.size()) {
      const QueryNode& member = members[i];
      if (i >= limits_.maxMembers) {
        group.members.push_back(member);
        ++i;
        continue;
      }
      std::size_t taken = 0;
      Status done = catalogueNumber(members, i, group, taken);
      if (done.ok() && taken == 0) done = oneMember(members, i, group);
      if (!done.ok()) return done;
      i += std::max<std::size_t>(taken, 1);
    }
    finish(group);
    if (group.members.size() == 1) {
      out = std::move(group.members.front());
      return {};
    }
    out = nodeOf(NodeKind::kAll, original.source);
    out.children = std::move(group.members);
    return {};
  }

  Status oneMember(const std::vector<QueryNode>& members, std::size_t i, Group& group) {
    const QueryNode& member = members[i];
    if (member.kind == NodeKind::kAll || member.kind == NodeKind::kAny) {
      group.members.emplace_back();
      return rewrite(member, group.members.back());
    }
    if (member.kind == NodeKind::kTerm && isNumberTerm(member))
      return plainNumber(members, i, group);
    if (isPlainWord(member)) {
      if (vocabulary_.stopWords.contains(indexerUpper(member.tokens.front()))) {
        group.stopWords.push_back(member);
        return {};
      }
      group.members.emplace_back();
      return expandWord(member, group.members.back());
    }
    group.members.push_back(member);
    return {};
  }

  // Stop words are dropped, and numbers checked on the text, only where
  // some other member still proposes records; otherwise the group is left
  // as typed (it finds nothing either way, and says so plainly).
  void finish(Group& group) {
    const bool proposes = std::any_of(group.members.begin(), group.members.end(),
                                      [](const QueryNode& m) { return m.kind != NodeKind::kNot; });
    if (!proposes) {
      for (QueryNode& member : group.members) {
        if (!isCheckedOnRecordText(member)) continue;
        member = std::move(member.children[0].children[0].children[0]);
        understood_.notes.push_back(guillemets(member.source) +
                                    " non è un codice dell'indice, e un numero nel testo si cerca "
                                    "solo insieme ad altre parole");
      }
      for (QueryNode& word : group.stopWords) {
        understood_.notes.push_back("Parola troppo comune, non indicizzata: " +
                                    guillemets(word.source));
        group.members.push_back(std::move(word));
      }
      return;
    }
    for (const QueryNode& word : group.stopWords) {
      understood_.notes.push_back("Parola ignorata perché troppo comune: " +
                                  guillemets(word.source));
    }
    for (const QueryNode& number : group.checkedOnly) {
      understood_.notes.push_back(guillemets(number.source) +
                                  " non è un codice dell'indice: cercato nel testo dei record "
                                  "trovati dalle altre parole");
    }
  }

  // The keys of the index `token` stands for (folded), into `keys`; fails
  // with kOverBudget past `maxKeys` (see IndexTerms::keysFor).
  Status keysOf(std::string_view token, bool prefix, std::size_t maxKeys,
                std::vector<std::string>& keys) {
    return terms_.keysFor(token, prefix, Matching::kFolded, maxKeys, keys);
  }

  Status isInIndex(std::string_view token, bool& held) {
    std::vector<std::string> keys;
    const Status found = keysOf(token, false, kMaxKeysOfOneWord, keys);
    held = !keys.empty();
    return found.code() == Status::Code::kOverBudget ? Status() : found;
  }

  // Whether runQuery can propose records for `phrase`: some word of it, not
  // a stop word, is in the index.
  Status proposes(const QueryNode& phrase, bool& can) {
    can = false;
    for (const std::string& token : phrase.tokens) {
      if (holdsDigit(token) || vocabulary_.stopWords.contains(indexerUpper(token))) continue;
      const Status found = isInIndex(token, can);
      if (!found.ok() || can) return found;
    }
    return {};
  }

  // A catalogue number typed at members[i] (over one or more members),
  // into the group; `taken` says how many members it took (0: none is
  // there, or it is no code and its prefix is no known one).
  Status catalogueNumber(const std::vector<QueryNode>& members, std::size_t i, Group& group,
                         std::size_t& taken) {
    taken = 0;
    std::vector<std::string> tokens;
    const bool phrase = isUnquotedPhrase(members[i]);
    if (phrase) {
      tokens = members[i].tokens;
    } else {
      for (std::size_t j = i; j < members.size() && isPlainTerm(members[j]); ++j) {
        tokens.push_back(members[j].tokens.front());
      }
    }
    const std::optional<TypedCatalogueNumber> typed =
        catalogueNumberAt(tokens, vocabulary_.aliases);
    if (!typed || (phrase && typed->tokens != tokens.size())) return {};
    const std::size_t count = phrase ? 1 : typed->tokens;

    QueryNode text = nodeOf(NodeKind::kPhrase, "");
    std::vector<std::string> sources;
    for (std::size_t j = i; j < i + count; ++j) {
      sources.push_back(members[j].source);
      text.tokens.insert(text.tokens.end(), members[j].tokens.begin(), members[j].tokens.end());
    }
    text.source = joined(sources, " ");
    if (text.tokens.size() == 1) text.kind = NodeKind::kTerm;  // "k331": a code as typed

    std::vector<std::string> codes;
    Status done = existingKeys(codeFormsOf(*typed, vocabulary_.aliases, false), codes);
    bool partLeftOut = false;
    if (done.ok() && codes.empty() && !typed->part.empty()) {
      done = existingKeys(codeFormsOf(*typed, vocabulary_.aliases, true), codes);
      partLeftOut = !codes.empty();
    }
    if (!done.ok()) return done;
    if (codes.empty() && !typed->known) return {};
    taken = count;

    bool textProposes = false;
    if (text.kind == NodeKind::kPhrase) done = proposes(text, textProposes);
    if (!done.ok()) return done;
    // The number as a title may spell it with another prefix of its group
    // ("KV 331" for "k 331"), each spelling the index can propose records for.
    std::vector<QueryNode> spellings;
    done = otherSpellings(*typed, spellings);
    if (!done.ok()) return done;
    if (codes.empty()) {
      if (textProposes || !spellings.empty()) {
        understood_.notes.push_back(
            guillemets(text.source) +
            " non è tra i codici dell'indice: cercato come frase nel testo");
        QueryNode any = nodeOf(NodeKind::kAny, text.source);
        if (textProposes) any.children.push_back(std::move(text));
        for (QueryNode& spelled : spellings) any.children.push_back(std::move(spelled));
        group.members.push_back(any.children.size() == 1 ? std::move(any.children.front())
                                                         : std::move(any));
      } else {
        group.checkedOnly.push_back(text);
        group.members.push_back(checkedOnRecordText(std::move(text)));
      }
      return {};
    }
    if (phrase) codesFromPhrases_.push_back(members[i].source);
    if (text.kind == NodeKind::kTerm && codes.size() == 1 &&
        foldedText(codes.front()) == foldedText(text.tokens.front())) {
      group.members.push_back(members[i]);  // typed as the index holds it
      return {};
    }
    QueryNode any = nodeOf(NodeKind::kAny, text.source);
    for (const std::string& code : codes) {
      QueryNode term = nodeOf(NodeKind::kTerm, latin1ToUtf8(code));
      term.tokens = {code};
      any.children.push_back(std::move(term));
    }
    std::string note = guillemets(text.source) +
                       " cercato come numero di catalogo: " + latin1ToUtf8(joined(codes, ", "));
    if (partLeftOut) {
      note += " (i codici dell'indice non hanno il numero della parte " +
              guillemets(shownTerm(typed->partWord) + " " + typed->part) + ")";
    }
    understood_.notes.push_back(note);
    if (textProposes) any.children.push_back(std::move(text));
    for (QueryNode& spelled : spellings) any.children.push_back(std::move(spelled));
    group.members.push_back(any.children.size() == 1 ? std::move(any.children.front())
                                                     : std::move(any));
    return {};
  }

  // Phrases of `typed` spelled with each other prefix of its group, as
  // titles write them ("kv 331", "opus 37 no 2"), that the index can
  // propose records for; none for a prefix the table does not know.
  Status otherSpellings(const TypedCatalogueNumber& typed, std::vector<QueryNode>& spellings) {
    const std::vector<std::string>* group = aliasGroupOf(vocabulary_.aliases, typed.prefix);
    if (group == nullptr) return {};
    for (const std::string& prefix : *group) {
      if (prefix == typed.prefix) continue;
      QueryNode phrase = nodeOf(NodeKind::kPhrase, "");
      phrase.tokens = {prefix};
      if (!typed.roman.empty()) phrase.tokens.push_back(typed.roman);
      phrase.tokens.push_back(typed.number);
      if (!typed.part.empty())
        phrase.tokens.insert(phrase.tokens.end(), {typed.partWord, typed.part});
      phrase.source = "\"" + shownTerm(joined(phrase.tokens, " ")) + "\"";
      bool can = false;
      const Status done = proposes(phrase, can);
      if (!done.ok()) return done;
      if (can) spellings.push_back(std::move(phrase));
    }
    return {};
  }

  // The keys of the index among `forms`, each once, in the order of the forms.
  Status existingKeys(const std::vector<std::string>& forms, std::vector<std::string>& found) {
    for (const std::string& form : forms) {
      std::vector<std::string> keys;
      Status looked = keysOf(form, false, kMaxKeysOfOneWord, keys);
      if (looked.code() == Status::Code::kOverBudget) looked = {};
      if (!looked.ok()) return looked;
      for (std::string& key : keys) {
        if (std::find(found.begin(), found.end(), key) == found.end())
          found.push_back(std::move(key));
      }
    }
    return {};
  }

  // A number on its own: a code when the index holds it; otherwise a
  // number in a title, checked on the text (after the stop word or part
  // word typed before it, "no 5", when there is one).
  Status plainNumber(const std::vector<QueryNode>& members, std::size_t i, Group& group) {
    const QueryNode& number = members[i];
    bool held = false;
    const Status found = isInIndex(number.tokens.front(), held);
    if (!found.ok()) return found;
    if (held) {
      group.members.push_back(number);
      return {};
    }
    QueryNode text = nodeOf(NodeKind::kPhrase, number.source);
    text.tokens = number.tokens;
    if (i > 0 && !group.stopWords.empty() && isPlainWord(members[i - 1]) &&
        group.stopWords.back().source == members[i - 1].source) {
      text.tokens.insert(text.tokens.begin(), members[i - 1].tokens.front());
      text.source = members[i - 1].source + " " + number.source;
      group.stopWords.pop_back();
    }
    group.checkedOnly.push_back(text);
    group.members.push_back(checkedOnRecordText(std::move(text)));
    return {};
  }

  // `word` with its alternatives: its synonyms that the index holds, and
  // the index terms that share its stem (or a synonym's), as an OR.
  Status expandWord(const QueryNode& word, QueryNode& out) {
    out = word;
    const std::string folded = foldedText(word.tokens.front());
    bool held = false;
    Status done = isInIndex(word.tokens.front(), held);
    if (!done.ok()) return done;
    std::vector<std::string> alternatives;  // folded forms, the word's first
    alternatives.push_back(folded);
    std::vector<std::string> added;  // index keys or synonyms, as the OR's terms
    const auto add = [&](const std::string& token) {
      const std::string form = foldedText(token);
      if (alternatives.size() >= limits_.maxAlternatives) return;
      if (std::find(alternatives.begin(), alternatives.end(), form) != alternatives.end()) return;
      alternatives.push_back(form);
      added.push_back(token);
    };
    std::vector<std::string> stemmed = {folded};
    for (const std::string& synonym : synonymsOf(vocabulary_.synonyms, folded)) {
      bool synonymHeld = false;
      done = isInIndex(synonym, synonymHeld);
      if (!done.ok()) return done;
      if (synonymHeld) add(synonym);
      stemmed.push_back(synonym);
    }
    for (const std::string& form : stemmed) {
      std::vector<std::string> keys;
      done = keysWithStemOf(form, keys);
      if (!done.ok()) return done;
      for (const std::string& key : keys) add(key);
    }
    if (!held && added.empty()) understood_.unknownWords.push_back(word.source);
    if (added.empty()) return {};
    out = nodeOf(NodeKind::kAny, word.source);
    out.children.push_back(word);
    std::vector<std::string> shown;
    for (const std::string& token : added) {
      QueryNode term = word;
      term.tokens = {token};
      term.source = shownTerm(token);
      shown.push_back(term.source);
      out.children.push_back(std::move(term));
    }
    understood_.notes.push_back(guillemets(word.source) +
                                " cercato anche come: " + joined(shown, ", "));
    return {};
  }

  // The index keys (words) that share a stem with `folded` in some
  // language of the stemmer. Walks the keys that start with the stem (less
  // a final i, which English stems give for a final y); a stem too short,
  // or starting more than limits_.maxStemKeys keys, is not used.
  Status keysWithStemOf(const std::string& folded, std::vector<std::string>& found) {
    if (!vocabulary_.stemmer.enabled() || !isAsciiLetters(folded)) return {};
    const std::vector<std::string> stems = vocabulary_.stemmer.stemsOf(folded);
    for (std::size_t language = 0; language < stems.size(); ++language) {
      std::string root = indexerUpper(stems[language]);
      if (root.size() > kShortestStemRoot && root.back() == 'I') root.pop_back();
      if (root.size() < kShortestStemRoot) continue;
      std::vector<std::string> keys;
      const Status walked = keysOf(root, true, limits_.maxStemKeys, keys);
      if (walked.code() == Status::Code::kOverBudget) continue;
      if (!walked.ok()) return walked;
      for (const std::string& key : keys) {
        const std::string keyFolded = foldedText(key);
        if (keyFolded == folded || !isAsciiLetters(keyFolded)) continue;
        if (vocabulary_.stemmer.stemsOf(keyFolded)[language] == stems[language])
          found.push_back(key);
      }
    }
    return {};
  }

  IndexTerms terms_;
  std::vector<std::string> codesFromPhrases_;
  const QueryVocabulary& vocabulary_;
  const UnderstandingLimits& limits_;
  UnderstoodQuery& understood_;
};

}  // namespace

std::string shownTerm(std::string_view latin1) {
  std::string lower(latin1);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return latin1ToUtf8(lower);
}

QueryNode checkedOnRecordText(QueryNode node) {
  const std::string source = node.source;
  QueryNode inner = nodeOf(NodeKind::kNot, source);
  inner.children.push_back(std::move(node));
  QueryNode all = nodeOf(NodeKind::kAll, source);
  all.children.push_back(std::move(inner));
  QueryNode outer = nodeOf(NodeKind::kNot, source);
  outer.children.push_back(std::move(all));
  return outer;
}

bool isCheckedOnRecordText(const QueryNode& node) {
  return node.kind == NodeKind::kNot && node.children.size() == 1 &&
         node.children[0].kind == NodeKind::kAll && node.children[0].children.size() == 1 &&
         node.children[0].children[0].kind == NodeKind::kNot;
}

namespace {

Status understand(const QueryNode& parsed, const std::vector<std::string>& parseNotes,
                  ReadOnlyDatabase& index, const QueryVocabulary& vocabulary,
                  const UnderstandingLimits& limits, UnderstoodQuery& understood) {
  understood = UnderstoodQuery();
  understood.root = parsed;
  understood.notes = parseNotes;
  UnderstoodQuery working;
  Understanding understanding(index, vocabulary, limits, working);
  Status done = understanding.open();
  if (done.ok()) done = understanding.rewrite(parsed, working.root);
  if (!done.ok()) return done;
  // The parser quotes the item as typed in its note: 'op.37'.
  std::erase_if(understood.notes, [&](const std::string& note) {
    const std::vector<std::string>& items = understanding.codesFromPhrases();
    return std::any_of(items.begin(), items.end(), [&](const std::string& item) {
      return note.find("'" + item + "'") != std::string::npos;
    });
  });
  working.notes.insert(working.notes.begin(), understood.notes.begin(), understood.notes.end());
  understood = std::move(working);
  return {};
}

}  // namespace

Status understandQuery(const QueryNode& parsed, ReadOnlyDatabase& index,
                       const QueryVocabulary& vocabulary, const UnderstandingLimits& limits,
                       UnderstoodQuery& understood) {
  return understand(parsed, {}, index, vocabulary, limits, understood);
}

Status understandQuery(const ParsedQuery& parsed, ReadOnlyDatabase& index,
                       const QueryVocabulary& vocabulary, const UnderstandingLimits& limits,
                       UnderstoodQuery& understood) {
  return understand(parsed.root, parsed.notes, index, vocabulary, limits, understood);
}

}  // namespace indicizza
