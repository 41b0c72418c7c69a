#include "catalogo/cli/decode_command.h"

#include <array>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/status.h"
#include "catalogo/cli/exit_status.h"
#include "catalogo/cli/progress.h"
#include "catalogo/cli/tool_failure.h"
#include "input/record_file.h"
#include "input/scramble_key.h"

namespace indicizza::catalogo {

int runDecode(TextEncoding encoding) {
  RecordFile file;
  if (!tryOpenRecordFile(kRecordFileName, file).ok()) throw ToolFailure(kRecordFileOpenFailed);
  const ScrambleKey key = buildScrambleKey();
  ErrorStreamProgress progress;
  std::vector<std::string> errors;
  std::cout << fullHeader() << '\n';

  std::array<std::uint8_t, kRecordSize> buffer;
  std::size_t position = 0;
  for (;;) {
    ReadOutcome outcome;
    if (!readRecord(file, buffer, outcome).ok()) {
      progress.finish();
      std::cout.flush();
      throw ToolFailure(kRecordFileReadFailed);
    }
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
