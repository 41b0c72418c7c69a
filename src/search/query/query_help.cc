#include "search/query/query_help.h"

#include <array>
#include <map>

#include "catalogue/forms/field_year.h"
#include "catalogue/text/latin1.h"
#include "search/query/term_folding.h"

namespace indicizza {
namespace {

// The row of year ranges says which years a field's value gives.
static_assert(kEarliestYear == 1000 && kLatestYear == 2099, "say the new years in kRows");

const std::array<QueryHelpRow, 11> kRows = {{
    {{"bach sonata"}, "record con entrambe le parole (AND sottinteso; si può scrivere)"},
    {{"bach OR handel"}, "con l'una o l'altra; AND lega più di OR: a b OR c è (a b) OR c"},
    {{"NOT sonata", "-sonata"},
     "senza la parola; solo accanto a un termine da trovare (una ricerca di sole esclusioni "
     "è rifiutata)"},
    {{"\"sonata in sol\""},
     "le parole in quest'ordine, una dopo l'altra nei campi T1-T7 letti in ordine (contano "
     "anche le parole di noused.txt e i numeri; una frase può passare da un campo al "
     "successivo)"},
    {{"l'amore", "w.a."}, "una parola con separatori è una frase come sopra"},
    {{"sonat*", "bwv10*"}, "ogni parola o codice che comincia per sonat (o per bwv10)"},
    {{"T4:sonata", "T6:\"per chitarra\""}, "solo nel campo di testo T4 (T1-T7)"},
    {{"C1:bwv1009", "C2:bwv*"}, "solo come codice del campo C1 (C1-C5)"},
    {{"C2:1700..1799", "T5:1720..1729"},
     "con l'anno del campo C2 dal 1700 al 1799 compresi: l'anno è il primo numero di quattro "
     "cifre del campo, tra 1000 e 2099; restringe ciò che trovano gli altri termini (da solo "
     "è rifiutato)"},
    {{"(bach OR handel) sonata", "-(a OR b)"}, "le parentesi raggruppano"},
    {{"BWV1009"}, "una cifra fa di un termine un codice, cercato intero in C1-C5"},
}};

// The lower-case letters of Latin-1 that fold to other letters, ß and the
// ordinals last; the capitals fold as they do.
std::vector<unsigned char> lowerCaseLetters() {
  std::vector<unsigned char> letters;
  for (int b = 0xE0; b <= 0xFF; ++b) letters.push_back(static_cast<unsigned char>(b));
  for (unsigned char b : {0xDF, 0xAA, 0xBA}) letters.push_back(b);  // ß ª º
  return letters;
}

// The folding table in short, from the table itself: each fold with the
// lower-case letters that take it, in order of their first letter
// ("àáâãäåª→a æ→ae ç→c ...").
std::string foldingList() {
  std::map<std::string, std::string> lettersByFold;
  std::vector<std::string> order;
  for (const unsigned char byte : lowerCaseLetters()) {
    const std::string_view fold = foldOf(byte).text();
    if (fold == std::string_view(reinterpret_cast<const char*>(&byte), 1)) continue;  // ÷
    const std::string lowerFold = asciiLower(fold);
    if (!lettersByFold.contains(lowerFold)) order.push_back(lowerFold);
    lettersByFold[lowerFold] += static_cast<char>(byte);
  }
  std::string list;
  for (const std::string& fold : order) {
    if (!list.empty()) list += ' ';
    list += latin1ToUtf8(lettersByFold[fold]) + "→" + fold;
  }
  return list;
}

}  // namespace

std::span<const QueryHelpRow> queryHelpRows() { return kRows; }

std::vector<std::string> queryHelpNotes() {
  return {
      "OR, AND e NOT sono operatori solo in maiuscolo; scritti altrimenti, o tra virgolette, "
      "sono parole. Le virgolette curve valgono come virgolette.",
      "L'indice tiene un campo di codice solo fino al primo separatore (se non è il primo "
      "carattere), e solo se ciò che resta ha una cifra: K.331 o 979-0-2001-1 non possono "
      "essere codici dell'indice. La ricerca lo dice in una nota, con ciò che l'indice tiene "
      "al loro posto, e li cerca come frase nei campi di testo. Un campo di codice che comincia "
      "con uno spazio è indicizzato intero, spazi compresi.",
      "Maiuscole, minuscole e accenti non contano: la ricerca e i termini dell'indice si "
      "confrontano ripiegati, lettera per lettera: " +
          foldingList() +
          " (lo stesso per le maiuscole; œ, scritta nella ricerca, vale oe). Così perche trova "
          "anche «Perché», uber «über» e strasse «Straße».",
  };
}

std::vector<std::string> nothingFoundTips() {
  return {
      "Controllare l'ortografia, oppure scrivere solo l'inizio di una parola seguito da * "
      "(beeth*).",
      "Cercare il cognome del compositore, senza nome né iniziali.",
      "Scrivere il titolo nella lingua dei record, o solo le sue parole più rare.",
      "Scrivere un numero di catalogo con le sue lettere (bwv 565, op. 28, k 525).",
  };
}

}  // namespace indicizza
