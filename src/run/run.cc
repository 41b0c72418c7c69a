#include "run/run.h"

#include "base/catalogue_lock.h"
#include "base/console.h"
#include "index_store/index_database.h"
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
  DataDatabase dataDatabase = openDataDatabase();
  const IndexDatabaseStart indexStart = checkIndexDatabase();
  // One thread extracts each record's terms, another adds them to the
  // index: in the load's pass when the records are written as pages, else
  // in the scan's walk back.
  WordIndex wordIndex;
  const RecordPreparer<TermList> extract = [&](const DecodedRecord& record, TermList& terms) {
    extractTerms(record, stopWords, terms);
  };
  const PreparedRecordHandler<TermList> add = [&](const DecodedRecord& record,
                                                  const TermList& terms) {
    indexRecordTerms(record, terms, wordIndex);
  };
  RecordPass<TermList> pass(key, extract, add);
  if (loadRecords(recordFile, dataDatabase, key,
                  [&](const bdb::BulkPairs& records) { return pass.take(records); })) {
    endRecordPass(pass);
  } else {
    scanPreparedRecords<TermList>(dataDatabase, key, extract, add);
  }
  // The data database is closed, and put in place, before the index
  // database gets its own handle: a handle is never opened twice.
  closeDataDatabase(dataDatabase);
  writeIndex(wordIndex, indexStart);

  reportLine("Fine scansione");
  return 0;
}

}  // namespace indicizza
