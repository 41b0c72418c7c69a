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
  if (!loadRecords(recordFile, dataDatabase, key,
                   [&](const bdb::BulkPairs& records) { return pass.take(records); })) {
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
    StoredRecordTerms stored(dataDatabase.target, key, stopWords);
    const IndexChanges changes{
        ChangedRecords(dataDatabase.earlier.keys),
        termsOfRecords(dataDatabase.earlier.replaced, key, stopWords), termsMadeBefore,
        [&](std::span<const std::uint8_t, kRecordKeySize> recordKey, std::string_view term,
            bool& carries) { return stored.carries(recordKey, term, carries); }};
    writeIndex(wordIndex, indexStart, ready, &changes);
  }

  reportLine("Fine scansione");
  return 0;
}

}  // namespace indicizza
