#include "catalogo/cli/replacement_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "catalogo/cli/tool_failure.h"

namespace indicizza::catalogo {
namespace {

constexpr const char* kTemporarySuffix = ".XXXXXX";
constexpr mode_t kNewFileMode = 0666;

mode_t currentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

ReplacementFile::ReplacementFile(const std::filesystem::path& target) : target_(target) {
  std::string pattern = target.string() + kTemporarySuffix;
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    throw ToolFailure("Impossibile creare un file temporaneo per " + target.string() + ": " +
                      std::strerror(errno));
  }
  temporary_ = pattern;
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    std::remove(temporary_.c_str());
    throw ToolFailure("Impossibile scrivere " + temporary_.string());
  }
}

ReplacementFile::~ReplacementFile() {
  if (file_) std::fclose(file_);
  if (!committed_) std::remove(temporary_.c_str());
}

void ReplacementFile::write(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    throw ToolFailure("Errore di scrittura su " + temporary_.string() + ": " +
                      std::strerror(errno));
  }
}

void ReplacementFile::commit() {
  const bool flushed = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0 &&
                       fchmod(fileno(file_), kNewFileMode & ~currentUmask()) == 0;
  const int savedErrno = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    throw ToolFailure("Errore di scrittura su " + temporary_.string() + ": " +
                      std::strerror(flushed ? errno : savedErrno));
  }
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    throw ToolFailure("Impossibile sostituire " + target_.string() + ": " + std::strerror(errno));
  }
  committed_ = true;
}

}  // namespace indicizza::catalogo
