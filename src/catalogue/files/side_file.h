// The optional text files beside a catalogue's databases that the read side
// takes as they are now: noused.txt, sinonimi.txt, soprannomi.txt and
// etichette.txt. Each is read whole, only when it is a regular file and
// within a size limit, in one step with the check (so a file swapped for a
// named pipe after a look can't make a reader wait). A program that serves
// many searches keeps what it made of them for as long as each file keeps
// its version (SideFileCache), and reads them again only when one changes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"
#include "catalogue/files/file_identity.h"

namespace indicizza {

// One side file as read: its name, its version (nothing when it is not
// there), and its bytes.
struct SideFile {
  std::string name;
  std::optional<FileIdentity> identity;
  std::string text;
};

// Reads `name` of `folder` (the current one by default) into `file`. A file that is not there
// is no failure: `file` then has no identity and no text. Fails, with a
// sentence that names the file, when it is no regular file (a named pipe, a
// device, a folder, a socket: kCannotOpen "sinonimi.txt non è un file
// regolare"), a symbolic link that goes round in a loop or leads nowhere,
// more than `maxBytes` long (kReadFailed "sinonimi.txt è troppo grande:
// ..."), or can't be read: the file's fault, never the query's.
Status readSideFile(const std::string& name, std::size_t maxBytes, SideFile& file,
                    const std::filesystem::path& folder = ".");

// A side file a value is made of, and the most bytes it may hold.
struct SideFileSource {
  std::string name;
  std::size_t maxBytes;
};

// A value made from some side files, kept while each keeps its version.
// Safe to use from several threads at once.
template <typename T>
class SideFileCache {
 public:
  // How the value is made of its files as read by readSideFile, in the
  // order of its sources; a failure of `make` is the failure of current().
  using Make = std::function<Status(const std::vector<SideFile>&, T&)>;

  SideFileCache(std::vector<SideFileSource> sources, Make make)
      : sources_(std::move(sources)), make_(std::move(make)) {}
  SideFileCache(const SideFileCache&) = delete;
  SideFileCache& operator=(const SideFileCache&) = delete;

  // The value for the files as they are now: the one kept when every file
  // has the version it was made of (one stat each), else one made anew, and
  // kept when no file changed while it was read. Fails as readSideFile and
  // `make` do; nothing is kept then, so the next call reads the files again.
  Status current(std::shared_ptr<const T>& value) {
    std::vector<std::optional<FileIdentity>> now;
    for (const SideFileSource& source : sources_) now.push_back(identityOf(source.name));
    {
      const std::lock_guard lock(mutex_);
      if (kept_ && now == keptIdentities_) {
        value = kept_;
        return {};
      }
    }
    std::vector<SideFile> files(sources_.size());
    for (std::size_t i = 0; i < sources_.size(); ++i) {
      const Status read = readSideFile(sources_[i].name, sources_[i].maxBytes, files[i]);
      if (!read.ok()) return read;
    }
    auto made = std::make_shared<T>();
    const Status madeStatus = make_(files, *made);
    if (!madeStatus.ok()) return madeStatus;
    value = made;
    std::vector<std::optional<FileIdentity>> read;
    for (const SideFile& file : files) read.push_back(file.identity);
    if (read == now) {
      const std::lock_guard lock(mutex_);
      kept_ = std::move(made);
      keptIdentities_ = std::move(read);
    }
    return {};
  }

 private:
  const std::vector<SideFileSource> sources_;
  const Make make_;
  std::mutex mutex_;
  std::shared_ptr<const T> kept_;
  std::vector<std::optional<FileIdentity>> keptIdentities_;
};

}  // namespace indicizza
