// Opening a file that must be a regular one. A named pipe in a file's place
// makes a plain open wait for a writer that may never come, and a device
// (/dev/zero) gives bytes for ever; a check by name before the open leaves
// a moment in which the name can be given to such a file. Here the check is
// made on what was opened, and the open itself never waits, so the two are
// one step.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>

#include "base/status.h"

namespace indicizza {

// Opens `path` (symbolic links followed) with `flags` (O_RDONLY, O_RDWR, with
// O_CREAT `mode` less the umask) and checks that what it opened is
// a regular file, without ever waiting on it: the open is non-blocking, and
// the descriptor is made blocking again once it is known to be a regular
// file. On success `fd` is open (close-on-exec) and the caller closes it.
// Fails with kCannotOpen, carrying errno, when the open fails (ENOENT for a
// missing file, ELOOP for a loop of symbolic links), and with kNotRegular
// when the path names a folder, a device, a named pipe or a socket, which is
// closed at once, never read.
inline constexpr mode_t kNewRegularFileMode = 0666;
Status openRegularFile(const char* path, int flags, int& fd, mode_t mode = kNewRegularFileMode);

// Reads exactly `bytes.size()` bytes of the open file `fd` from `offset`
// into `bytes`, going on after short reads and interruptions. Fails with
// kReadFailed, carrying errno when a read fails, without it when the file
// ends first.
Status readFileAt(int fd, std::uint64_t offset, std::span<std::uint8_t> bytes);

}  // namespace indicizza
