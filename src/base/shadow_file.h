// Whole-or-nothing replacement of a file: the databases of a run, and the
// record file catalogo writes.
//
// The run never writes a database file in place: it writes a working copy
// beside it (the shadow, `<name>.nuovo`) and renames the copy over the file
// only once the copy is whole and on the disk. Whatever stops the run (a
// fatal message, a signal, SIGKILL, a power cut), the file is either as it
// was or as the phase left it, never in between. A shadow left by a run that
// was killed is removed by the next run, which holds the catalogue lock (see
// catalogue_lock.h) before it touches any of them.
//
// Nor does a run replace a file it did not start from: a copy made by a
// run remembers the identity of the file it is the new version of (nothing
// when there was none), and its commit proves, with no moment between the
// proof and the rename, that the file is still that one (see commit()).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <thread>

#include "base/btree_pages.h"
#include "base/file_identity.h"
#include "base/status.h"

namespace indicizza {

// The file `path` names once its symbolic links are followed: `path` itself
// when it is no link. The target need not exist (a dangling link names the
// file the link would reach).
std::filesystem::path linkTarget(const std::filesystem::path& path);

// The working copy's name for `target`: in the same folder, so that the
// rename stays on one file system.
std::filesystem::path shadowPathOf(const std::filesystem::path& target);

// Removes the working copy of `target` that a killed run may have left.
// Only to be called while holding the catalogue lock.
void removeLeftoverShadow(const std::filesystem::path& target);

// A working copy of one database file. Destroying it before commit()
// removes the copy and leaves the target as it was. Not copyable; movable.
class ShadowFile {
 public:
  ShadowFile() = default;
  ~ShadowFile();
  ShadowFile(ShadowFile&& other) noexcept;
  ShadowFile& operator=(ShadowFile&& other) noexcept;
  ShadowFile(const ShadowFile&) = delete;
  ShadowFile& operator=(const ShadowFile&) = delete;

  // Copies the existing `target` to its working copy, checking the target's
  // B-tree pages as they pass; the file copied is the one commit() must
  // find. Fails with kCannotOpen when the target can't be opened,
  // kNotRegular when it is no regular file (never waited on), kReadFailed
  // when it can't be read,
  // kWriteFailed when the copy can't be made or written (no room, or no
  // write permission in the folder), kUnknownFormat, kEncrypted, kForeign
  // or kDamaged when its pages say so (see BtreePageCheck::finish). On
  // failure nothing is left behind and `shadow` stays empty.
  // When `stop` is given and turns true, the copy gives up (kWriteFailed).
  static Status copyOf(const std::filesystem::path& target, ShadowFile& shadow,
                       const std::atomic<bool>* stop = nullptr);

  // The working copy of a `target` that did not exist when the caller looked
  // (and must still not exist at commit()): the caller creates the file at
  // path(). Its mode is then the one it was created with.
  static ShadowFile toCreate(const std::filesystem::path& target);

  // The working copy of the existing `target` when the caller writes its new
  // version from scratch at path() rather than from a copy: the copy gets
  // the target's mode, owner and group when committed. `startedFrom` is the
  // identity of the file the caller read as the target (see
  // file_identity.h), which commit() must find. Fails with kCannotOpen when
  // the target can't be looked at, kNotRegular when it is no regular file.
  static Status toRewrite(const std::filesystem::path& target, const FileIdentity& startedFrom,
                          ShadowFile& shadow);

  // The working copy of `target` for a writer that writes the new version
  // from scratch and holds no catalogue lock (catalogo cifra): created now,
  // empty, under a name of its own beside the file (FILE.XXXXXX, made with
  // O_EXCL), so that two writers at once never share a copy. `target` is
  // followed through symbolic links: the file a link points to is replaced,
  // the link stays. On success `fd` is open for writing on the copy; the
  // caller closes it before commit(). The copy is private (0600) until
  // commit() gives it the mode, owner and group of the file it replaces (a
  // new file: `newFileMode` less the umask); it replaces whatever the target
  // is then, unproved, as such a writer reads nothing of it. On failure
  // nothing is left behind. Fails with kCannotOpen when the target exists but
  // is no regular file or can't be looked at, kWriteFailed when the copy
  // can't be created.
  static Status toWriteBeside(const std::filesystem::path& target, ShadowFile& shadow, int& fd,
                              mode_t newFileMode = 0666);

  // Where the working copy is.
  const std::filesystem::path& path() const { return path_; }

  // The identity of the file the copy was made from (or that the caller
  // read, for toRewrite); nothing for a copy of no file.
  const std::optional<FileIdentity>& startedFrom() const { return startedFrom_; }

  // Gives the copy the mode, owner and group of the file it replaces (the
  // owner only where the user may), makes its bytes durable, puts it in the
  // target's place and makes that durable (a sync of the folder). Every
  // handle on the copy must be closed first.
  //
  // A copy that knows the file it started from proves that the target is
  // still that file, in the same step as it takes its place: the two swap
  // names at once (renameat2 RENAME_EXCHANGE), and what came back under the
  // copy's name is compared with the file started from (its identity, the
  // entry itself: a link is not followed). The same file is removed; any
  // other file (restored from a backup, say, or copied over in place)
  // is renamed back over the copy at once, so it stays, and the copy is
  // gone. A copy of a target that was not there takes its place only if it
  // is still not there. Fails with kReplaced then: the target is as it was
  // found. Where the file system can't swap two names, the target is
  // compared first and then replaced, with a moment between the two.
  //
  // Fails with kWriteFailed when a step fails: before the target is replaced
  // it is as it was and the copy is removed; after it the target holds the
  // copy, whose rename may not be on the disk yet. The replaced file's blocks
  // are freed on a thread of its own (for a large file that takes a while),
  // which the destructor waits for.
  Status commit();

  // As commit(), for a copy that must never replace a file: the target gets
  // the copy only if it still does not exist. Fails with kWriteFailed
  // (EEXIST) when it does, leaving it as it is; the copy is then removed
  // when this is destroyed.
  Status commitAsNew();

 private:
  // commit() when `replace`, else commitAsNew().
  Status publish(bool replace);
  // The copy given its ownership and made durable, before it is renamed.
  Status readyToPublish();
  // The steps of commit() once the copy is ready: the copy swapped with the
  // target it started from, renamed as new where there was none, or renamed
  // over whatever the target is (a writer without the lock).
  Status swapWithStartingFile();
  Status replaceTarget();
  // Closes `fd`, the last descriptor of a file whose name is gone, on a
  // thread of its own, which frees the file's blocks away from the run.
  void releaseLater(int fd);

  std::filesystem::path target_;
  std::filesystem::path path_;
  // The replaced file's mode, owner and group; none for a new file.
  struct Ownership {
    mode_t mode;
    uid_t owner;
    gid_t group;
  };
  std::optional<Ownership> ownership_;
  // Whether commit() proves the target is the file it started from, and
  // that file's identity (nothing: there was none).
  bool proveTarget_ = false;
  std::optional<FileIdentity> startedFrom_;
  bool pending_ = false;   // a copy exists and is not committed
  std::thread releasing_;  // closes the last descriptor of the replaced file
};

// A working copy made on a thread of its own while the run goes on: the copy
// of a large file takes about as long as `cp`, time the run can spend
// reading its input or scanning. Not copyable.
class ShadowCopyInProgress {
 public:
  // Starts ShadowFile::copyOf(target).
  explicit ShadowCopyInProgress(std::filesystem::path target);
  // Stops the copy if it still runs and waits for it; a copy not taken by
  // finish() is removed.
  ~ShadowCopyInProgress();
  ShadowCopyInProgress(const ShadowCopyInProgress&) = delete;
  ShadowCopyInProgress& operator=(const ShadowCopyInProgress&) = delete;

  // Waits for the copy to end and gives copyOf's verdict; on success
  // `shadow` takes the copy. Called once.
  Status finish(ShadowFile& shadow);

 private:
  std::atomic<bool> stop_{false};
  ShadowFile shadow_;
  Status status_;
  std::thread thread_;
};

}  // namespace indicizza
