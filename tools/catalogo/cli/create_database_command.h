// catalogo crea-db
#pragma once

namespace indicizza::catalogo {

// Creates an empty opere.ddb (a B-tree, mode 0664 less the umask) in the
// current folder and says so. Throws ToolFailure, leaving the file alone,
// when opere.ddb already exists (in any form: file, directory, link) or the
// library can't create it.
int runCreateDatabase();

}  // namespace indicizza::catalogo
