#include "catalogo/decode_command.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "catalogo/exit_status.h"
#include "catalogo/progress.h"
#include "catalogo/tool_failure.h"
#include "input/record_file.h"
#include "input/scramble_key.h"

namespace indicizza::catalogo {
namespace {

// Opens the record file without the indexer's fatal stop, which would write
// its message to standard output, among the records.
RecordFile openRecordFileForTool() {
  std::FILE* file = std::fopen(kRecordFileName, "rb");
  if (!file) throw ToolFailure(std::string("Errore lettura ") + kRecordFileName);
  RecordFile recordFile(file);
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
    throw ToolFailure(std::string("Errore lettura ") + kRecordFileName);
  }
  return recordFile;
}

}  // namespace

int runDecode(TextEncoding encoding) {
  RecordFile file = openRecordFileForTool();
  const ScrambleKey key = buildScrambleKey();
  ErrorStreamProgress progress;
  std::vector<std::string> errors;
  std::cout << fullHeader() << '\n';

  std::array<std::uint8_t, kRecordSize> buffer;
  std::size_t position = 0;
  for (;;) {
    const ReadOutcome outcome = readRecord(file, buffer);
    if (outcome == ReadOutcome::kEnd) break;
    ++position;
    if (outcome == ReadOutcome::kShortRecord) {
      errors.push_back("record " + std::to_string(position) + ": incompleto (" +
                       std::to_string(std::ftell(file.stream()) % kRecordSize) + " byte)");
      progress.finish();
      std::cerr << errors.back() << '\n';
      break;
    }
    const std::size_t before = errors.size();
    const auto line = rowOfRecord(DecodedRecord::fromScrambled(buffer, key),
                                  "record " + std::to_string(position), encoding, errors);
    if (line) {
      std::cout << *line << '\n';
    } else {
      progress.finish();
      for (std::size_t i = before; i < errors.size(); ++i) std::cerr << errors[i] << '\n';
    }
    progress.tick();
  }
  progress.finish();
  std::cout.flush();
  if (!std::cout) throw ToolFailure("Errore di scrittura sullo standard output");
  if (!errors.empty()) {
    throw ToolFailure(std::to_string(errors.size()) + " record non convertiti su " +
                      std::to_string(position));
  }
  return kExitFound;
}

}  // namespace indicizza::catalogo
