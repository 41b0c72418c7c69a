// catalogo servi [--indirizzo A] [--porta P]: the search page of the
// catalogue of the current folder, for a browser (see search_server.h).
#pragma once

#include <string>

namespace indicizza::catalogo {

struct ServeCommand {
  std::string address = "127.0.0.1";
  int port = 8080;
};

// What `catalogo help servi` shows after the options.
extern const char* const kServeHelpFooter;

// Serves until SIGINT, SIGTERM or SIGHUP: then stops taking connections,
// answers the requests under way and returns kExitFound (a second signal
// ends the process at once). Says on standard error where it listens, and
// logs there. Throws ToolFailure when it can't listen on the address.
int runServe(const ServeCommand& command);

}  // namespace indicizza::catalogo
