// One command of catalogo: its subcommand on the command line, whose options
// the function that made it declared (see commands.h), and what runs once
// the command line is parsed.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace indicizza::catalogo {

struct Command {
  CLI::App* app = nullptr;  // owned by the main command line
  // Runs the command with the options as parsed; returns its exit status
  // (exit_status.h). Throws ToolFailure where it can't go on.
  std::function<int()> run;
};

}  // namespace indicizza::catalogo
