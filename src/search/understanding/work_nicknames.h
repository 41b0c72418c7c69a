// Works as people know them by a nickname ("eroica", "mondscheinsonate",
// "forelle", "brandenburg 3"), read as the composer and catalogue number
// the work is filed under: a nickname finds the records of that composer
// whose code or text carries that number, through the catalogue-number
// reading (catalogue_numbers.h). The nicknames are data
// (data/work-nicknames.txt), built in, and so are the other catalogue
// numbers works are asked by (data/catalogue-concordance.txt: "Hob. III:75"
// for Haydn's Op. 76 No. 1), read the same way; a catalogue adds its own
// nicknames in soprannomi.txt, in the same form.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "search/query/query.h"
#include "search/understanding/rewrite_parts.h"

namespace indicizza {

inline constexpr const char* kNicknameFileName = "soprannomi.txt";

// One work a nickname names.
struct NicknamedWork {
  std::string composer;  // lower case, as the composer field names them: "beethoven"
  std::string number;    // as typed: "op. 55"
  std::string what;      // for people: "Symphony No. 3 in E flat major"
};

// Nicknames by their words (folded, separated by one blank), each with the
// works it names.
struct WorkNicknames {
  std::map<std::string, std::vector<NicknamedWork>, std::less<>> works;
  std::size_t longest = 0;  // words of the longest nickname
  // Every nickname (Latin-1, as written) of each work, by composer and
  // number ("beethoven\top. 55").
  std::map<std::string, std::vector<std::string>, std::less<>> nicknamesOfWork;
};

// Adds the nicknames of `text` (lines of four columns parted by tabs:
// nickname, composer, catalogue number, what it is; '#' comments and blank
// lines left out; UTF-8 or Latin-1) to `nicknames`. A line of another form
// is refused: `error` names it ("riga 3: ..."), and the lines before it stay.
void addWorkNicknames(std::string_view text, WorkNicknames& nicknames, std::string& error);

// The nicknames of data/work-nicknames.txt.
const WorkNicknames& builtInWorkNicknames();

// Every nickname of `work` (Latin-1, as written), its own among them.
std::vector<std::string> nicknamesOf(const WorkNicknames& nicknames, const NicknamedWork& work);

// Reads a nickname that starts at members[i] (the longest run of plain
// terms, or phrases the parser made of items with separators, that is one)
// into `group`: each word typed (but a stop word) stays a member of its
// own, as an OR of itself and the records of the works the nickname names
// (their composer's records whose code or text carries the number, or
// whose title carries a nickname of the work), with a note. `taken` says
// how many members it took (0: no nickname starts there, or it names no
// work whose number can be read).
void readNickname(const std::vector<QueryNode>& members, std::size_t i, Rewriting& rewriting,
                  RewriteGroup& group, std::size_t& taken);

}  // namespace indicizza
