#include "run/run.h"

#include "base/catalogue_lock.h"
#include "base/console.h"
#include "index_store/index_changes.h"
#include "index_store/index_database.h"
#include "index_store/index_proof.h"
#include "index_store/stored_record_terms.h"
#include "indexing/word_index.h"
#include "input/record_file.h"
#include "input/scramble_key.h"
#include "input/stop_words.h"
#include "records/data_database.h"
#include "records/load_records.h"
#include "records/record_pass.h"
#include "records/scan_records.h"

namespace indicizza {

int runIndexer() {
  const ScrambleKey key = buildScrambleKey();
  const StopWordSet stopWords = loadStopWords();
  RecordFile recordFile = openRecordFile();
  reportLine("Inizio scansione");

  // Nothing is touched before the locks on the folders where the working
  // copies are made are held; they are released when the run ends, however
  // it ends.
  const CatalogueLock lock = lockCatalogue({kDataDatabaseFileName, kIndexDatabaseFileName});
  refuseIndexThatIsTheData(kDataDatabaseFileName);
  DataDatabase dataDatabase = openDataDatabase();
  const IndexDatabaseStart indexStart = checkIndexDatabase();
  // When opere.idb proves to be the index of the opere.ddb copied, only the
  // records put are read into terms, and the index worked out from it.
  const std::uint64_t termRules = termRulesDigest(stopWords);
  const std::optional<IndexProof> proof =
      indexStart ? readIndexProof(kIndexDatabaseFileName) : std::nullopt;
  std::uint64_t termsMadeBefore = 0;
  if (proof && proof->index == *indexStart && proof->termRules == termRules) {
    dataDatabase.indexedFrom = proof->data;
    dataDatabase.indexedRecords = proof->records;
    termsMadeBefore = proof->termsMade;
  }
  // One thread extracts each record's terms, another adds them to the
  // index: in the load's pass when the records are written as pages or
  // only the records put are read, else in the scan's walk back.
  WordIndex wordIndex;
  std::size_t scanned = 0;
  bool provable = true;
  const RecordPreparer<TermList> extract = [&](const DecodedRecord& record, TermList& terms) {
    extractTerms(record, stopWords, terms);
  };
  const PreparedRecordHandler<TermList> add = [&](const DecodedRecord& record,
                                                  const TermList& terms) {
    indexRecordTerms(record, terms, wordIndex);
    ++scanned;
  };
  RecordPass<TermList> pass(key, extract, add);
  // When only the records put are read, the index is worked out and
  // written beside their puts, once every one is read into terms.
  StoredRecordTerms stored(dataDatabase.target, key, stopWords);
  std::optional<IndexChanges> changes;
  std::optional<IndexWriteBeside> indexWrite;
  const auto startIndexWrite = [&] {
    changes.emplace(IndexChanges{
        ChangedRecords(dataDatabase.earlier.keys),
        termsOfRecords(dataDatabase.earlier.replaced, key, stopWords), termsMadeBefore,
        [&](std::span<const std::uint8_t, kRecordKeySize> recordKey, std::string_view term,
            bool& carries) { return stored.carries(recordKey, term, carries); }});
    indexWrite.emplace(wordIndex, indexStart, *changes);
  };
  const ChangesNoted changesNoted = [&] {
    std::size_t handled = 0;
    try {
      if (!pass.finish(handled).ok()) return false;
    } catch (...) {
      return true;  // thrown again once the records are put, where the pass ends
    }
    startIndexWrite();
    return true;
  };
  if (!loadRecords(
          recordFile, dataDatabase, key,
          [&](const bdb::BulkPairs& records) { return pass.take(records); }, changesNoted)) {
    // An item that is no record is reported by every run that reads it: no
    // proof lets a later run pass it by.
    if (scanPreparedRecords<TermList>(dataDatabase, key, extract, add) > 0) provable = false;
  } else if (dataDatabase.changesOnly) {
    scanned = endRecordPass(pass, dataDatabase.indexedRecords + dataDatabase.earlier.added);
  } else {
    endRecordPass(pass);
  }
  // opere.ddb goes to the disk while the index is put in order (and, on an
  // increment, worked out), and is put in place before the index is.
  // Records are read from whichever opere.ddb is in place meanwhile: the
  // ones read are the same in both.
  DataDatabaseClosing closing(dataDatabase);
  const IndexedDataReady ready{
      [&] { return closing.done(); },
      [&] {
        closing.finish();
        return IndexedData{provable ? dataDatabase.committed : std::nullopt, scanned, termRules};
      }};
  if (!dataDatabase.changesOnly) {
    writeIndex(wordIndex, indexStart, ready);
  } else {
    if (!indexWrite) startIndexWrite();
    indexWrite->finish(ready);
  }

  reportLine("Fine scansione");
  return 0;
}

}  // namespace indicizza
