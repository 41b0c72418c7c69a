#include "run/run.h"

#include "input/record_file.h"
#include "input/scramble_key.h"
#include "input/stop_words.h"
#include "run/console.h"

namespace indicizza {

int runIndexer() {
  const ScrambleKey key = buildScrambleKey();
  const StopWordSet stopWords = loadStopWords();
  RecordFile recordFile = openRecordFile();
  reportLine("Inizio scansione");

  (void)key;
  (void)stopWords;

  reportLine("Fine scansione");
  return 0;
}

}  // namespace indicizza
