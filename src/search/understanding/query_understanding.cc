#include "search/understanding/query_understanding.h"

#include <algorithm>

#include "search/understanding/catalogue_numbers.h"
#include "search/understanding/composer_names.h"
#include "search/understanding/index_words.h"
#include "search/understanding/keys.h"
#include "search/understanding/word_forms.h"
#include "search/understanding/work_nicknames.h"

namespace indicizza {
namespace {

// The rewrite of a query's tree: the members of each AND read one at a
// time, as a number (catalogue_numbers.h), as a word (word_forms.h), as a
// group of their own, or kept as typed.
class Understanding {
 public:
  explicit Understanding(Rewriting& rewriting) : rewriting_(rewriting) {}

  // The items holding separators read as catalogue numbers, as typed.
  const std::vector<std::string>& codesFromPhrases() const { return codesFromPhrases_; }

  Status rewrite(const QueryNode& node, QueryNode& out) {
    switch (node.kind) {
      case NodeKind::kAll: return rewriteGroup(node.children, node, out);
      case NodeKind::kAny: {
        out = node;
        for (std::size_t i = 0; i < node.children.size() && i < rewriting_.limits.maxMembers; ++i) {
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
  Status rewriteGroup(const std::vector<QueryNode>& members, const QueryNode& original,
                      QueryNode& out) {
    RewriteGroup group;
    std::size_t i = 0;
    while (i < members.size()) {
      const QueryNode& member = members[i];
      std::size_t taken = 0;
      bool read = false;
      Status done;
      if (i < rewriting_.limits.maxMembers) {
        readNickname(members, i, rewriting_, group, taken);
        if (taken == 0) readKey(members, i, rewriting_, group, taken);
        if (taken == 0) done = readNumber(members, i, rewriting_, group, taken, codesFromPhrases_);
        if (done.ok() && taken == 0) done = readInitials(members, i, rewriting_, group, taken);
        if (done.ok() && taken == 0) done = readWord(member, rewriting_, group, read);
        if (done.ok() && taken == 0 && !read)
          done = readNamePhrase(member, rewriting_, group, read);
      }
      if (!done.ok()) return done;
      if (taken == 0 && !read) {
        const bool nested = (member.kind == NodeKind::kAll || member.kind == NodeKind::kAny) &&
                            i < rewriting_.limits.maxMembers;
        if (nested) {
          done = rewrite(member, group.members.emplace_back());
          if (!done.ok()) return done;
        } else {
          group.members.push_back(member);
        }
      }
      i += std::max<std::size_t>(taken, 1);
    }
    settle(group);
    if (group.members.size() == 1) {
      out = std::move(group.members.front());
      return {};
    }
    out = QueryNode(NodeKind::kAll, original.source);
    out.children = std::move(group.members);
    return {};
  }

  // Stop words are dropped, and numbers checked on the text, only where
  // some other member still proposes records; otherwise the group is left
  // as typed (it finds nothing either way, and says so plainly).
  void settle(RewriteGroup& group) {
    std::vector<ReadingNote>& notes = rewriting_.notes;
    const bool proposes = std::any_of(group.members.begin(), group.members.end(),
                                      [](const QueryNode& m) { return !isFilter(m); });
    if (!proposes) {
      for (CheckedMember& checked : group.checkedOnly) {
        notes.push_back({ReadingNote::Kind::kNumberAlone, checked.typed.source, {}, "", ""});
        group.members[checked.place] = std::move(checked.typed);
      }
      for (QueryNode& word : group.stopWords) {
        notes.push_back({ReadingNote::Kind::kStopWordsOnly, word.source, {}, "", ""});
        group.members.push_back(std::move(word));
      }
      return;
    }
    for (const QueryNode& word : group.stopWords)
      notes.push_back({ReadingNote::Kind::kStopWordLeftOut, word.source, {}, "", ""});
    for (const CheckedMember& checked : group.checkedOnly) notes.push_back(checked.note);
  }

  Rewriting& rewriting_;
  std::vector<std::string> codesFromPhrases_;
};

Status understand(const QueryNode& parsed, const std::vector<std::string>& parseNotes,
                  ReadOnlyDatabase& index, const QueryVocabulary& vocabulary,
                  const UnderstandingLimits& limits, UnderstoodQuery& understood) {
  understood = UnderstoodQuery();
  understood.root = parsed;
  for (const std::string& note : parseNotes)
    understood.notes.push_back({ReadingNote::Kind::kParser, note, {}, "", ""});
  UnderstoodQuery working;
  IndexWords words(index);
  Rewriting rewriting{words,
                      vocabulary.stopWords,
                      *vocabulary.aliases,
                      vocabulary.synonyms,
                      vocabulary.stemmer,
                      vocabulary.nicknames,
                      limits,
                      working.notes,
                      working.unknownWords};
  Understanding understanding(rewriting);
  Status done = words.open();
  if (done.ok()) done = understanding.rewrite(parsed, working.root);
  if (!done.ok()) return done;
  // The parser quotes the item as typed in its note: 'op.37'.
  std::erase_if(understood.notes, [&](const ReadingNote& note) {
    const std::vector<std::string>& items = understanding.codesFromPhrases();
    return std::any_of(items.begin(), items.end(), [&](const std::string& item) {
      return note.typed.find("'" + item + "'") != std::string::npos;
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
