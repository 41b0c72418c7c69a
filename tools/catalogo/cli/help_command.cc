// catalogo help [COMANDO]: the help of catalogo (its commands), or of one
// command (its arguments, options and examples), on standard output. Exit
// status 2 for a command that does not exist.
#include <iostream>
#include <memory>
#include <string>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/commands.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/tool_failure.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kHelpHelpFooter =
    "Esempio:\n"
    "  catalogo help cerca";

int runHelp(const CLI::App& app, const std::string& topic) {
  if (topic.empty()) {
    // app.help() would show the help of the command given: "help".
    std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
    return kExitFound;
  }
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->get_name() == topic) {
      std::cout << command->help(app.get_name());
      return kExitFound;
    }
  }
  std::string message = unknownCommand(topic);
  message.pop_back();  // the failure's line end is written by main
  throw ToolFailure(message);
}

}  // namespace

Command addHelpCommand(CLI::App& app) {
  auto topic = std::make_shared<std::string>();
  CLI::App* help =
      addSubcommand(app, "help", "Mostra l'aiuto di catalogo o di un comando", kHelpHelpFooter);
  help->add_option("COMANDO", *topic, "Il comando di cui mostrare l'aiuto");
  return {help, [&app, topic] { return runHelp(app, *topic); }};
}

}  // namespace indicizza::catalogo
