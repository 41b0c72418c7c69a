#include "catalogo/cli/help_texts.h"

namespace indicizza::catalogo {

const char* const kMainHelpFooter =
    "Esempi:\n"
    "  catalogo cerca bach sonata\n"
    "  catalogo help cerca\n"
    "Esito: 0 fatto o trovato, 1 nulla trovato o discordanze, 2 errore.";

const char* const kSearchHelpFooter =
    "Ricerca (gli argomenti sono uniti da spazi in un'unica ricerca):\n"
    "  bach sonata          record con entrambe le parole (AND sottinteso; si può scrivere AND)\n"
    "  bach OR handel       record con l'una o l'altra; AND lega più di OR\n"
    "  NOT sonata           record senza la parola; anche -sonata, dopo -- o dentro\n"
    "                       un argomento: cerca bach -- -sonata, cerca 'bach -sonata'\n"
    "  '\"sonata in sol\"'    le parole in quest'ordine, una dopo l'altra nel testo del record\n"
    "  l'amore, w.a.        una parola con separatori è una frase come sopra\n"
    "  sonat*               ogni parola o codice che comincia per sonat\n"
    "  T4:sonata            solo nel campo T4 (T1-T7); C1:bwv1009 solo nel campo C1 (C1-C5)\n"
    "  '(bach OR handel) sonata'   le parentesi raggruppano\n"
    "  BWV1009              un termine con una cifra è un codice: l'indice tiene un\n"
    "                       codice fino al primo separatore, K.331 è cercato come frase\n"
    "OR, AND e NOT sono operatori solo in maiuscolo. Maiuscole, minuscole e accenti non\n"
    "contano (--esatto li fa contare): àáâãäå->a ç->c èéêë->e ìíîï->i ñ->n òóôõöø->o\n"
    "ùúûü->u ýÿ->y ð->d æ->ae þ->th ß->ss ª->a º->o, lo stesso per le maiuscole.\n"
    "Ogni record proposto dall'indice è riletto da opere.ddb: una voce superata non è\n"
    "un risultato, e il loro numero va sullo standard error.\n"
    "Formati (colonne fisse: numero, tipo, T1-T7, C1-C5; un campo vuoto resta una\n"
    "colonna vuota; testo in UTF-8):\n"
    "  testo   numero, tipo e i campi separati da ' | '; poi il conteggio\n"
    "  tsv     intestazione e righe separate da tabulazioni (\\t \\n \\r \\\\ nei valori)\n"
    "  csv     intestazione e righe separate da virgole (virgolette come in RFC 4180)\n"
    "  json    un oggetto JSON per riga: {\"numero\":49,\"tipo\":\"aR\",\"T1\":...,\"C5\":\"\"}\n"
    "In tsv, csv e json il conteggio va sullo standard error. I risultati sono in ordine\n"
    "di numero; con --limite si leggono solo i record della pagina, e il totale è un\n"
    "massimo ('al più') finché --conta non li controlla tutti.\n"
    "Esempi:\n"
    "  catalogo cerca perche\n"
    "  catalogo cerca 'bach OR handel' sonata --formato csv > sonate.csv\n"
    "  catalogo cerca bach --limite 20 --da 21\n"
    "  catalogo cerca --conta bwv*";

const char* const kShowHelpFooter =
    "Esempi:\n"
    "  catalogo mostra 43\n"
    "  catalogo mostra 43 49 50 --formato json";

const char* const kCreateHelpFooter =
    "Esempio:\n"
    "  catalogo crea-db";

const char* const kEncodeHelpFooter =
    "La prima riga nomina le colonne (RecordNumber obbligatoria, poi KindCode FlagA FlagB\n"
    "T1-T7 C1-C5 in qualsiasi ordine). Un numero di record ripetuto è un errore, se non\n"
    "con --ammetti-doppi. opere.cry è sostituito solo se tutto il file è corretto.\n"
    "--sostituisci: trattini lunghi e il segno meno -> '-', virgolette curve -> ' e \",\n"
    "puntini di sospensione -> '...', spazi tipografici -> spazio (U+2007 e U+202F ->\n"
    "spazio non separabile).\n"
    "Esempi:\n"
    "  catalogo cifra opere.tsv\n"
    "  catalogo esporta | catalogo cifra -";

const char* const kDecodeHelpFooter =
    "Esempio:\n"
    "  catalogo decifra > opere.tsv";

const char* const kExportHelpFooter =
    "Scrive ogni record di opere.ddb, in ordine di numero, nella forma che cifra legge.\n"
    "Esempio:\n"
    "  catalogo esporta > opere.tsv";

const char* const kVerifyHelpFooter =
    "Esempio:\n"
    "  catalogo verifica";

const char* const kHelpHelpFooter =
    "Esempio:\n"
    "  catalogo help cerca";

}  // namespace indicizza::catalogo
