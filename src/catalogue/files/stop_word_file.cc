#include "catalogue/files/stop_word_file.h"

#include <sys/stat.h>

#include <string>

namespace indicizza {

Status loadRegularStopWordFile(StopWordSet& set) {
  // Looked at before it is opened: opening a named pipe would wait.
  struct stat info;
  if (stat(kStopWordFileName, &info) != 0) {
    return Status::described(Status::Code::kCannotOpen, kStopWordFileOpenFailed);
  }
  if (!S_ISREG(info.st_mode)) {
    return Status::described(Status::Code::kCannotOpen,
                             std::string(kStopWordFileName) + " non è un file regolare");
  }
  const Status loaded = tryLoadStopWords(kStopWordFileName, set);
  if (loaded.code() == Status::Code::kCannotOpen) {
    return Status::described(Status::Code::kCannotOpen, kStopWordFileOpenFailed);
  }
  if (!loaded.ok()) return Status::described(loaded.code(), kStopWordFileReadFailed);
  return {};
}

}  // namespace indicizza
