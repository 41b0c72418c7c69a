// What every command of catalogo's command line shares: Italian help, the
// Italian message for a command line that can't be parsed, the making of a
// subcommand and the --formato option.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/forms/tsv_rows.h"
#include "search/presentation/result_formats.h"

namespace indicizza::catalogo {

// Gives `app`'s help Italian labels and groups, and its -h/--help flag.
void italianHelp(CLI::App& app);

// The message for a command that does not exist, with its line end.
std::string unknownCommand(std::string_view name);

// The Italian message for a command line that can't be parsed; CLI11's own
// text (English) follows it as the detail. An unknown option or command is
// named; a value outside an option's range is refusedValue's message.
std::string usageFailure(const CLI::App* app, const CLI::Error& error);

// The short message for a value that an option's range check (CLI::Range)
// refused, not a number at all or out of range: "Valore non valido per
// --porta: '70000' (un numero intero da 0 a 65535)", the range as the check
// has it ("da 1 in su" when it goes to the type's largest value). Nothing
// for any other error.
std::optional<std::string> refusedValue(const CLI::Error& error);

// The check of a whole-number option that starts at 1 (--limite, --da):
// named POSITIVE in the help, like CLI11's PositiveNumber, but refusing a
// fraction by refusedValue's message too.
CLI::Range wholeNumberFromOne();

// Adds the subcommand `name` to `app`, with `footer` after its options in
// its help.
CLI::App* addSubcommand(CLI::App& app, std::string_view name, std::string_view description,
                        std::string_view footer);

// Puts `command` in the group of the commands and gives it the Italian
// -h/--help flag, listed after the options it has: called once every option
// is declared.
void finishSubcommand(CLI::App& command);

// Adds --formato (testo, tsv, csv, json) to `command`, stored in `format`
// (which holds the default), and --csv-grezzo, stored in `csvAsIs`: csv
// values as they are, without the ' that guards a formula
// (result_formats.h).
void addFormatOption(CLI::App& command, std::string& format, bool& csvAsIs);

// How csv writes a value that looks like a formula, as --csv-grezzo says.
CsvValues csvValuesOf(bool csvAsIs);

// `text` (UTF-8) cut into lines of at most `width` characters at blanks (a
// longer word stands alone), each ending in a line feed. The lines after the
// first start with `indent`; the first is taken to start at the same column,
// after what the caller wrote before it.
std::string wrapped(std::string_view text, std::size_t width, std::string_view indent = "");

// Adds --latin1 to a command that writes the tab-separated form (decifra,
// esporta): Latin-1 instead of UTF-8. The encoding chosen, once parsed, is
// encodingOf(latin1).
void addLatin1OutputOption(CLI::App& command, bool& latin1);
TextEncoding encodingOf(bool latin1);

// The format named by a value --formato accepted.
OutputFormat formatOf(const std::string& name);

}  // namespace indicizza::catalogo
