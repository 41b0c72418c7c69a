// Database files with other names. A run of the indexer replaces opere.ddb
// and opere.idb by renaming a new file over the name, so another hard link to
// either file goes on naming the file of before the run.
#pragma once

#include <optional>
#include <string>

namespace indicizza {

// The warning for the database `fileName` when the file it names (symbolic
// links followed) has more than one hard link: "Attenzione: opere.ddb ha 2
// collegamenti fisici: ..."; nothing when it has one, or can't be looked at.
std::optional<std::string> hardLinkWarning(const std::string& fileName);

}  // namespace indicizza
