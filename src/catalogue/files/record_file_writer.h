// A new record file (opere.cry) written record by record and put in place
// of the old one whole: until commit(), and whatever stops the program, the
// old file is as it was (see ShadowFile::toWriteBeside). The working copy
// is removed on every way out but SIGKILL: by the destructor, or, when a
// signal ends the program at once, by the handler (see interruption.h).
#pragma once

#include <cstdio>
#include <filesystem>

#include "base/interruption.h"
#include "base/shadow_file.h"
#include "base/status.h"
#include "input/plain_record.h"
#include "input/scramble_key.h"

namespace indicizza {

// Owns the working copy until commit(); destroying it before then removes
// the copy. Not copyable.
class RecordFileWriter {
 public:
  RecordFileWriter() = default;
  ~RecordFileWriter();
  RecordFileWriter(const RecordFileWriter&) = delete;
  RecordFileWriter& operator=(const RecordFileWriter&) = delete;

  // Starts the new version of `target`. Fails with kCannotOpen or
  // kWriteFailed, "Impossibile creare un file temporaneo per NAME: REASON".
  Status open(const std::filesystem::path& target);

  // Appends `record` scrambled with `key`. Fails with kWriteFailed, "Errore
  // di scrittura su TEMP: REASON".
  Status append(const PlainRecord& record, const ScrambleKey& key);

  // Writes out what is buffered, makes the copy durable and renames it over
  // the target (ShadowFile::commit). Fails with kWriteFailed, "Errore di
  // scrittura su TEMP: REASON" or "Impossibile sostituire NAME: REASON";
  // the target then holds what it held before, unless the rename itself was
  // done and only the folder's sync failed.
  Status commit();

 private:
  Status writeFailed();

  std::filesystem::path target_;
  // Destroyed after copy_, so that the copy stays named until it is gone.
  RemovedOnAbruptEnd removal_;
  ShadowFile copy_;
  std::FILE* file_ = nullptr;
};

}  // namespace indicizza
