// The terms opere.idb files one record under, for showing a record with
// what the index knows of it.
#pragma once

#include <string>
#include <vector>

#include "catalogue/files/read_only_database.h"
#include "input/decoded_record.h"

namespace indicizza {

// Of the terms the indexer takes from `record` (its words upper-cased, its
// codes; stop words too, as noused.txt is not read), those whose entries in
// `index` list the record's number: each once, in the order the record
// gives them, Latin-1 as stored, into `terms`. A term the record carries
// that the index does not list it under (a stop word, or an index older than
// the record) is left out. Fails as fetchRecordNumbers when the index can't
// be read.
Status termsIndexedFor(ReadOnlyDatabase& index, const DecodedRecord& record,
                       std::vector<std::string>& terms);

}  // namespace indicizza
