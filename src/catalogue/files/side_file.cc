#include "catalogue/files/side_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace indicizza {
namespace {

constexpr std::size_t kReadPiece = 64 * 1024;

// Closes a descriptor when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

Status refused(Status::Code code, const std::string& name, const std::string& why) {
  return Status::described(code, name + " " + why);
}

Status readFailure(const std::string& name) {
  return Status::described(Status::Code::kReadFailed, "Errore durante la lettura di " + name);
}

}  // namespace

Status readSideFile(const std::string& name, std::size_t maxBytes, SideFile& file,
                    const std::filesystem::path& folder) {
  file = SideFile{name, std::nullopt, ""};
  const std::string path = folder == "." ? name : (folder / name).string();
  // Opened without waiting, then examined: a named pipe is refused, never
  // waited on, whatever stood at the name a moment before.
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    const int error = errno;
    struct stat link {};
    if (error == ENOENT && ::lstat(path.c_str(), &link) != 0) return {};  // not there
    if (error == ELOOP)
      return refused(Status::Code::kCannotOpen, name, "è un collegamento simbolico in un ciclo");
    if (error == ENOENT)
      return refused(Status::Code::kCannotOpen, name,
                     "è un collegamento simbolico a un file che non c'è");
    return Status::described(Status::Code::kCannotOpen, "File " + name + " illeggibile");
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) return readFailure(name);
  if (!S_ISREG(status.st_mode))
    return refused(Status::Code::kCannotOpen, name, "non è un file regolare");
  if (static_cast<std::uint64_t>(status.st_size) > maxBytes) {
    return refused(Status::Code::kReadFailed, name,
                   "è troppo grande: " + std::to_string(status.st_size) + " byte, al massimo " +
                       std::to_string(maxBytes));
  }
  file.identity = identityOfStatus(status);
  std::string text;
  char piece[kReadPiece];
  for (;;) {
    const ssize_t got = ::read(fd.get(), piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return readFailure(name);
    if (got == 0) break;
    text.append(piece, static_cast<std::size_t>(got));
    if (text.size() > maxBytes) {
      return refused(Status::Code::kReadFailed, name,
                     "è troppo grande: più di " + std::to_string(maxBytes) + " byte");
    }
  }
  file.text = std::move(text);
  return {};
}

}  // namespace indicizza
