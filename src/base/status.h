// The outcome of a silent core: an operation that can fail but neither
// prints nor stops the program. It says whether the operation worked, and if
// not, what kind of failure it was (the code a caller acts on), the number
// behind it (the library's result or errno) and that number's text.
//
// The indexer's phases turn a failed Status into their fixed message and
// the fatal stop (see console.h). The read side of the catalogue (catalogue/,
// search/) describes its failures itself, naming the file and the key or
// term (described()), and its front ends show that text: catalogo on
// standard error with exit status 2, its web page in a 503. Codes are kinds
// of failure, not places: a caller knows which step it called, and each
// step's comment says which codes it gives.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace indicizza {

class [[nodiscard]] Status {
 public:
  enum class Code : std::uint8_t {
    kOk,
    kNotFound,       // a key, an item or a file that is not there
    kCannotOpen,     // a file that can't be opened: missing, not permitted, a loop of links
    kNotRegular,     // a path that names a folder, a device, a named pipe or a socket, where a
                     // regular file must be: never read (a pipe could be waited on for ever)
    kReadFailed,     // reading failed after the open
    kWriteFailed,    // writing, putting, syncing, closing or renaming failed
    kNoHandle,       // the library could not make a database handle or a cursor
    kForeign,        // a database file the library opens, of a kind this program never makes
    kUnknownFormat,  // a file the library can't open as a B-tree: no database at all,
                     // another access method or version, a length that is not whole pages
    kEncrypted,      // a database file written encrypted, which only its password opens
    kDamaged,        // a database file whose structure is broken
    kEmpty,          // a walk found no item at all
    kBusy,           // another process holds the catalogue lock
    kInterrupted,    // a signal asked the run to stop (see interruption.h), or the
                     // caller of a search gave up on it (its deadline, its client gone)
    kOverBudget,     // a request that would cost more than it may (a search's limits)
    kReplaced,       // a file that another program replaced or changed while this one
                     // worked from it, and which is left as it was found
  };

  // Success.
  Status() = default;

  // A failure of kind `code` with no number behind it.
  static Status failure(Code code) { return Status(code, 0, {}); }
  // A failure behind which is `error`, an errno value; its text is
  // strerror's.
  static Status systemFailure(Code code, int error);
  // A failure behind which is `result`, a Berkeley DB result (its own codes
  // and errno values); its text is the library's (see berkeley_db.h).
  static Status libraryFailure(Code code, int result, std::string text) {
    return Status(code, result, std::move(text));
  }
  // A failure the layer that found it has put in words for the person who
  // asked ("Errore lettura opere.idb: file danneggiato"); its text is that
  // sentence, whole.
  static Status described(Code code, std::string sentence) {
    return Status(code, 0, std::move(sentence));
  }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // The library's result or the errno value behind the failure; 0 when there
  // is none.
  int error() const { return error_; }
  // That number's text ("No such file or directory"), for a tool's message,
  // or the sentence of a described() failure; empty when there is neither.
  const std::string& text() const { return text_; }

 private:
  Status(Code code, int error, std::string text)
      : code_(code), error_(error), text_(std::move(text)) {}

  Code code_ = Code::kOk;
  int error_ = 0;
  std::string text_;
};

}  // namespace indicizza
