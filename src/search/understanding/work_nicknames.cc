#include "search/understanding/work_nicknames.h"

#include <optional>

#include "catalogue/text/latin1.h"
#include "catalogue/text/line_reader.h"
#include "indexing/byte_classes.h"
#include "indexing/tokens.h"
#include "search/query/term_folding.h"
#include "search/understanding/built_in_vocabulary_text.h"
#include "search/understanding/catalogue_numbers.h"
#include "search/understanding/word_list_lines.h"

namespace indicizza {
namespace {

constexpr char kColumn = '\t';
constexpr std::size_t kColumns = 4;

// A line's text as Latin-1: UTF-8 converted, anything else taken as it is.
std::string latin1Of(std::string_view text) {
  const Latin1Conversion converted = utf8ToLatin1(text, Typographic::kReplaced);
  return converted.ok() ? converted.latin1 : std::string(text);
}

// The words of `latin1`, folded, separated by one blank.
std::string foldedWords(std::string_view latin1, std::size_t* count = nullptr) {
  std::string words;
  std::size_t n = 0;
  forEachToken(latin1, [&](std::string_view token) {
    words += (words.empty() ? "" : " ") + foldedText(token);
    ++n;
  });
  if (count) *count = n;
  return words;
}

std::vector<std::string_view> columnsOf(std::string_view line) {
  std::vector<std::string_view> columns;
  for (;;) {
    const std::size_t tab = line.find(kColumn);
    columns.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return columns;
    line.remove_prefix(tab + 1);
  }
}

std::string upperOf(std::string_view word) {
  std::string upper(word);
  for (char& c : upper) c = asciiUpper(c);
  return upper;
}

// The composer field's words of `composer`, as a term or phrase of T1.
QueryNode composerTerm(std::string_view composer) {
  QueryNode name(NodeKind::kPhrase, std::string(composer));
  forEachToken(composer, [&](std::string_view token) { name.tokens.emplace_back(token); });
  if (name.tokens.size() == 1) name.kind = NodeKind::kTerm;
  name.scope = FieldScope::kTextField;
  name.field = 1;
  return name;
}

// The composer as a person reads it: "Beethoven", "Saint-Saëns".
std::string shownComposer(std::string_view latin1) {
  std::string shown(latin1);
  bool start = true;
  for (char& c : shown) {
    if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    start = c == ' ' || c == '-';
  }
  return latin1ToUtf8(shown);
}

}  // namespace

void addWorkNicknames(std::string_view text, WorkNicknames& nicknames, std::string& error) {
  std::size_t number = 0;
  for (const std::string_view line : textLines(text)) {
    ++number;
    if (line.empty() || line.front() == kWordListCommentMark) continue;
    const std::vector<std::string_view> columns = columnsOf(line);
    if (columns.size() != kColumns) {
      error = "riga " + std::to_string(number) + ": " + std::to_string(columns.size()) +
              " colonne separate da tabulazioni, non " + std::to_string(kColumns);
      return;
    }
    std::size_t words = 0;
    const std::string nickname = foldedWords(latin1Of(columns[0]), &words);
    if (words == 0) continue;
    NicknamedWork work{latin1Of(columns[1]), latin1Of(columns[2]), std::string(columns[3])};
    nicknames.nicknamesOfWork[work.composer + kColumn + work.number].push_back(
        latin1Of(columns[0]));
    nicknames.works[nickname].push_back(std::move(work));
    nicknames.longest = std::max(nicknames.longest, words);
  }
}

std::vector<std::string> nicknamesOf(const WorkNicknames& nicknames, const NicknamedWork& work) {
  const auto found = nicknames.nicknamesOfWork.find(work.composer + kColumn + work.number);
  return found == nicknames.nicknamesOfWork.end() ? std::vector<std::string>() : found->second;
}

const WorkNicknames& builtInWorkNicknames() {
  static const WorkNicknames nicknames = [] {
    WorkNicknames read;
    std::string error;
    addWorkNicknames(kWorkNicknamesText, read, error);
    addWorkNicknames(kCatalogueConcordanceText, read, error);
    return read;
  }();
  return nicknames;
}

void readNickname(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                  RewriteGroup& group, std::size_t& taken) {
  taken = 0;
  const WorkNicknames& nicknames = rewriting.nicknames;
  // The words of the members from i on, and where each member ends.
  std::vector<std::string> words;
  std::vector<std::size_t> ends;  // ends[m]: words up to the end of member i + m
  for (std::size_t j = i; j < members.size() && words.size() < nicknames.longest; ++j) {
    if (!isPlainTerm(members[j]) && !isUnquotedPhrase(members[j])) break;
    for (const std::string& token : members[j].tokens) words.push_back(foldedText(token));
    ends.push_back(words.size());
  }
  const std::vector<NicknamedWork>* works = nullptr;
  for (std::size_t m = ends.size(); m > 0 && !works; --m) {
    std::string nickname;
    for (std::size_t w = 0; w < ends[m - 1]; ++w) nickname += (w == 0 ? "" : " ") + words[w];
    const auto found = nicknames.works.find(nickname);
    if (found != nicknames.works.end()) {
      works = &found->second;
      taken = m;
    }
  }
  if (!works) return;
  std::string source;
  for (std::size_t j = i; j < i + taken; ++j)
    source += (source.empty() ? "" : " ") + members[j].source;
  // Each work's records: its composer's whose code or text carries its
  // number, or whose title carries any of its nicknames.
  std::vector<QueryNode> found;
  std::string meaning;
  for (const NicknamedWork& work : *works) {
    std::optional<QueryNode> numbered =
        worksNumbered(work.composer, work.number, rewriting.aliases);
    if (!numbered) continue;
    found.push_back(std::move(*numbered));
    for (const std::string& nickname : nicknamesOf(nicknames, work)) {
      QueryNode titled(NodeKind::kAll, source);
      titled.children.push_back(composerTerm(work.composer));
      QueryNode phrase(NodeKind::kPhrase, '"' + latin1ToUtf8(nickname) + '"');
      forEachToken(nickname, [&](std::string_view token) { phrase.tokens.emplace_back(token); });
      titled.children.push_back(std::move(phrase));
      found.push_back(std::move(titled));
    }
    meaning += (meaning.empty() ? "" : "; ") + shownComposer(work.composer) + ", " +
               latin1ToUtf8(work.number);
  }
  if (found.empty()) {
    taken = 0;
    return;
  }
  // The works stand beside each word typed, so that the query still finds
  // what it would find as words, its partial results too; a stop word is
  // left out, as ever.
  for (std::size_t j = i; j < i + taken; ++j) {
    const QueryNode& member = members[j];
    if (member.kind == NodeKind::kTerm &&
        rewriting.stopWords.contains(upperOf(member.tokens.front()))) {
      group.stopWords.push_back(member);
      continue;
    }
    QueryNode any(NodeKind::kAny, member.source);
    any.children.push_back(member);
    any.children.insert(any.children.end(), found.begin(), found.end());
    group.members.push_back(std::move(any));
  }
  rewriting.notes.push_back({ReadingNote::Kind::kReadAs, source, {}, "", meaning});
}

}  // namespace indicizza
